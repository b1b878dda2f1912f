#include "core/Cp1251.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QFileInfo>

#include <gtest/gtest.h>
#include <sys/stat.h>

using stringlist::field;

namespace {

unsigned modeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

} // namespace

TEST(Cp1251, EveryAssignedByteRoundTrips)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    EXPECT_EQ(cp1251::encode(cp1251::decode(all)), all);
    EXPECT_EQ(cp1251::decode("\xC0\xFF\xA8\xB8\xB9"), QStringLiteral("АяЁё№"));
}

TEST(Cp1251, CharactersOutsideTheCodePageBecomeQuestionMarks)
{
    EXPECT_EQ(cp1251::encode(QStringLiteral("a€ж中b")), QByteArray("a\x88\xE6?b"));
    // A character outside the basic plane is one character, so one "?".
    EXPECT_EQ(cp1251::encode(QString::fromUtf8("x\xF0\x9F\x98\x80y")), QByteArray("x?y"));
}

TEST(StringList, ReadsAnyLineEnd)
{
    EXPECT_EQ(stringlist::decode("a\r\nb\nc\rd"), (QStringList{"a", "b", "c", "d"}));
    EXPECT_EQ(stringlist::decode("a\r\n\r\nb\r\n"), (QStringList{"a", "", "b"}));
    EXPECT_EQ(stringlist::decode("last without end"), QStringList{"last without end"});
    EXPECT_EQ(stringlist::decode("\r\n"), QStringList{""});
    EXPECT_TRUE(stringlist::decode("").isEmpty());
    // CR LF split across the last two bytes is still one line end.
    EXPECT_EQ(stringlist::decode("x\r"), QStringList{"x"});
}

TEST(StringList, ReadsTheFirstLinesWithoutTheRest)
{
    const QByteArray text = "\xC0\xFF :\r\n\r\n\x98x\n\rlast";
    const QStringList all{QStringLiteral("Ая :"), "", QString(QChar(0x98)) + u'x', "", "last"};
    EXPECT_EQ(stringlist::decode(text), all);
    EXPECT_EQ(stringlist::decodeHead(text, 2), all.mid(0, 2));
    EXPECT_EQ(stringlist::decodeHead(text, 99), all);
    EXPECT_TRUE(stringlist::decodeHead(text, 0).isEmpty());
    // A CR LF cut in two by the end of the bytes ends the line once.
    EXPECT_EQ(stringlist::decodeHead("a\r", 2), QStringList{"a"});

    stringlist::LineReader reader(QByteArrayView(text).first(text.size() - 4));
    QString line;
    QStringList read;
    while (reader.next(line))
        read.append(line);
    EXPECT_EQ(read, all.mid(0, 4));
    EXPECT_FALSE(reader.next(line));
}

TEST(StringList, WritesCrLfAfterEveryLineInWindows1251)
{
    const QStringList lines{QStringLiteral("Привет"), QString(), QStringLiteral("end ")};
    EXPECT_EQ(stringlist::encode(lines), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2\r\n\r\nend \r\n"));
    EXPECT_EQ(stringlist::encode({}), QByteArray());
}

TEST(StringList, FileRoundTripKeepsCyrillicAndBlanks)
{
    TempTree tmp;
    const QString path = tmp.path(QStringLiteral("list.xo"));
    const QStringList lines{QStringLiteral("  Ёжик в тумане  "), QStringLiteral("}a}b}"),
                            QString()};
    ASSERT_TRUE(stringlist::save(path, lines));
    EXPECT_EQ(stringlist::load(path).value(), lines);

    tmp.write(QStringLiteral("lf.xo"), "one\ntwo");
    EXPECT_EQ(stringlist::load(tmp.path(QStringLiteral("lf.xo"))).value(),
              (QStringList{"one", "two"}));
}

TEST(StringList, SaveReportsFailureAndLeavesNoPartialFile)
{
    TempTree tmp;
    QString error;
    EXPECT_FALSE(stringlist::save(tmp.path(QStringLiteral("missing/x.xo")), {"a"}, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(stringlist::load(tmp.path(QStringLiteral("none.xo")), &error).has_value());
    EXPECT_TRUE(error.contains(QStringLiteral("none.xo")));
}

TEST(StringList, NewFilesTakeTheGivenPermissionsExistingOnesKeepTheirs)
{
    TempTree tmp;
    const QString secret = tmp.path(QStringLiteral("acc.xo"));
    ASSERT_TRUE(stringlist::save(secret, {"pw"}, nullptr,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    EXPECT_EQ(modeOf(secret), 0600u);
    ASSERT_TRUE(stringlist::save(secret, {"pw2"}));
    EXPECT_EQ(modeOf(secret), 0600u);
}

TEST(FieldRule, SplitsAtEachDelimiter)
{
    const QString entry = QStringLiteral("}Ivan}Moscow}}.png}eng/");
    EXPECT_EQ(field(entry, 0, u'}'), QString());
    EXPECT_EQ(field(entry, 1, u'}'), QStringLiteral("Ivan"));
    EXPECT_EQ(field(entry, 3, u'}'), QString());
    EXPECT_EQ(field(entry, 5, u'}'), QStringLiteral("eng/"));
    EXPECT_EQ(field(entry, 6, u'}'), QString());
}

TEST(FieldRule, EntriesWithFewDelimiters)
{
    EXPECT_EQ(field(QStringLiteral("whole"), 0, u';'), QStringLiteral("whole"));
    EXPECT_EQ(field(QStringLiteral("whole"), 1, u';'), QString());
    EXPECT_EQ(field(QStringLiteral("a;"), 1, u';'), QString());
    EXPECT_EQ(field(QStringLiteral(";b"), 1, u';'), QStringLiteral("b"));
    EXPECT_EQ(field(QStringLiteral(" a ; b ;"), 1, u';'), QStringLiteral(" b "));
    EXPECT_EQ(field(QString(), 0, u';'), QString());
}

TEST(Limits, JustUnderAndJustOverEachLimit)
{
    EXPECT_EQ(limits::avatarExtension(".jpeg"), QStringLiteral(".jpeg"));
    EXPECT_EQ(limits::avatarExtension(".webp5"), QStringLiteral(".webp5"));
    for (const char* bad : {"", ".", "png", ".webp56", "./../x", ".p g", ".pn/"})
        EXPECT_EQ(limits::avatarExtension(QString::fromLatin1(bad)), QStringLiteral(".png")) << bad;

    const QString atLimit(limits::kMaxShownLineChars, u'a');
    const QStringList shown = limits::shownLines({atLimit, atLimit + u'b', QString()});
    EXPECT_EQ(shown[0], atLimit);
    EXPECT_EQ(shown[1], atLimit + QChar(0x2026));
    EXPECT_EQ(shown[2], QString());

    const QString line(limits::kMaxDirectoryLineChars, u'}');
    EXPECT_EQ(limits::listableDirectoryLines({line, line + u'x', "}Zoe}}}.png}eng/"}),
              (QStringList{line, "}Zoe}}}.png}eng/"}));

    TempTree t;
    const QString path = t.write("f", QByteArray(100, 'a'));
    EXPECT_TRUE(stringlist::loadAtMost(path, 100).has_value());
    QString error;
    EXPECT_FALSE(stringlist::loadAtMost(path, 99, &error).has_value());
    EXPECT_FALSE(error.isEmpty());
}
