#include "core/Conversation.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace conversation;

namespace {

const QDateTime kWhen(QDate(2026, 3, 7), QTime(14, 5, 7));

QStringList phrases(const char* code)
{
    PhraseTable t;
    t.rebuild(QString::fromLatin1(code));
    QStringList list;
    for (int i = 0; i < t.size(); ++i)
        list.append(t.phrase(i));
    return list;
}

QString notice(const char* code, const QStringList& paths, int verbRow = 1)
{
    Notice n{QStringLiteral("Ivan"), paths, phrases(code), verbRow, true, kWhen};
    return noticeLines(n).join(u'|');
}

QStringList files(int n)
{
    QStringList p;
    for (int i = 0; i < n; ++i)
        p.append(QStringLiteral("/tmp/f%1.txt").arg(i));
    return p;
}

} // namespace

TEST(Conversation, HeaderLineBytes)
{
    const QString header = headerLine(QStringLiteral("Иван"), kWhen);
    EXPECT_EQ(header, QStringLiteral("Иван     07.03.2026     14:05:07 :"));
    EXPECT_EQ(encode({header}), QByteArray("\xC8\xE2\xE0\xED     07.03.2026     14:05:07 :"));
    // 24-hour time whatever the locale: no "AM", no zone, no leading zero on the hour.
    EXPECT_EQ(timeText(QTime(9, 1, 2)), QStringLiteral("9:01:02"));
    EXPECT_EQ(timeText(QTime(21, 5, 7)), QStringLiteral("21:05:07"));
}

TEST(Conversation, EntriesGoOnTopAndTheFirstHasNoEmptyLine)
{
    QStringList chat;
    insertMessage(chat, QStringLiteral("A h :"), QStringLiteral("hello"));
    EXPECT_EQ(chat, (QStringList{"A h :", "hello"}));
    insertMessage(chat, QStringLiteral("B h :"), QStringLiteral("hi\r\nthere"));
    EXPECT_EQ(chat, (QStringList{"B h :", "hi", "there", "", "A h :", "hello"}));
    // The chat view writes no line end after the last line; readers take either form.
    EXPECT_EQ(encode(chat), QByteArray("B h :\r\nhi\r\nthere\r\n\r\nA h :\r\nhello"));
    EXPECT_TRUE(same(encode(chat), encode(chat) + "\r\n"));
    EXPECT_TRUE(same("a\r\nb", "a\nb\n"));
    EXPECT_FALSE(same("a\r\nb", "a\r\nb\r\n\r\n"));
}

TEST(Conversation, NewestEntryMessageOrNotice)
{
    const Newest m = newestEntry({"Zoe     07.03.2026     14:05:07 :", "Hi!", ""});
    EXPECT_TRUE(m.isMessage);
    EXPECT_EQ(m.sender, QStringLiteral("Zoe"));
    EXPECT_EQ(m.secondLine, QStringLiteral("Hi!"));
    const Newest ru = newestEntry({"Иван Петров отправляет файл \"отчёт\" (07.03.2026   1:2:3)"});
    EXPECT_FALSE(ru.isMessage);
    EXPECT_EQ(ru.sender, QStringLiteral("Иван Петров"));
    EXPECT_EQ(newestEntry({"Ann sent 5 files (x)"}).sender, QStringLiteral("Ann"));
    EXPECT_TRUE(newestEntry({}).sender.isEmpty());
}

TEST(Conversation, TheFileLineIsHiddenFromViews)
{
    QStringList recipient{"Ivan sent \"a\" (d   t)", "...a.txt", ""};
    EXPECT_EQ(fileLineName(recipient), QStringLiteral("a.txt"));
    dropFileLine(recipient);
    EXPECT_EQ(recipient, (QStringList{"Ivan sent \"a\" (d   t)", ""}));
    dropFileLine(recipient);
    EXPECT_EQ(recipient.size(), 2);
}

TEST(FileNotice, OneFileInRussianWithItsFileLine)
{
    EXPECT_EQ(uploadName(QStringLiteral("/home/u/отчёт.docx")), QStringLiteral("otchyot.docx"));
    EXPECT_EQ(notice("rus/", {QStringLiteral("/home/u/отчёт.docx")}),
              QStringLiteral("Ivan отправляет файл \"отчёт\" (07.03.2026   14:05:07)|"
                             "...otchyot.docx"));
    QStringList chat;
    insertNotice(chat, {QStringLiteral("N"), QStringLiteral("...x")});
    EXPECT_EQ(chat, (QStringList{"N", "...x"}));
    insertNotice(chat, {QStringLiteral("M")});
    EXPECT_EQ(chat, (QStringList{"M", "", "N", "...x"}));
}

TEST(FileNotice, TwoAndThreeFilesAreNamedCountsAreCounted)
{
    EXPECT_EQ(notice("eng/", {"/x/a.b.txt", "/y/c"}),
              QStringLiteral("Ivan sent \"a.b\" and \"c\" (07.03.2026   14:05:07)"));
    EXPECT_EQ(notice("rus/", {"/x/a.txt", "/y/b.txt", "/z/c.txt"}),
              QStringLiteral("Ivan отправляет \"a\", \"b\" и \"c\" (07.03.2026   14:05:07)"));
    EXPECT_EQ(notice("eng/", files(5)),
              QStringLiteral("Ivan sent 5 files (07.03.2026   14:05:07)"));
    const std::pair<int, const char*> counts[] = {
        {11, " файл ("}, {12, " файла ("}, {21, " файл ("}, {22, " файла ("}, {25, " файлов ("}};
    for (const auto& [n, noun] : counts)
        EXPECT_EQ(notice("rus/", files(n)), QStringLiteral("Ivan отправляет ") +
                                                QString::number(n) + QString::fromUtf8(noun) +
                                                QStringLiteral("07.03.2026   14:05:07)"))
            << n;
    // The drop zone and the mini bar use their own verb row and no file line.
    Notice one{QStringLiteral("Ivan"), files(1), phrases("eng/"), 3, false, kWhen};
    EXPECT_EQ(noticeLines(one).size(), 1);
}

TEST(FileNotice, AnUnknownLanguageFallsBackToEnglish)
{
    Notice n{QStringLiteral("Ivan"), files(2), fallbackPhrases(), 1, true, kWhen};
    EXPECT_EQ(noticeLines(n).join(QString()), notice("eng/", files(2)));
}
