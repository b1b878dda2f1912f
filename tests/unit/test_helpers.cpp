#include "core/Error.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

using namespace helpers;

TEST(Transliterate, RussianLettersBecomeLatinText)
{
    EXPECT_EQ(transliterate(QStringLiteral("Щука Ёж")), QStringLiteral("Shchuka Yozh"));
    EXPECT_EQ(transliterate(QStringLiteral("abc-123")), QStringLiteral("abc-123"));
    EXPECT_EQ(transliterate(QStringLiteral("ЪЬъь")), QStringLiteral("''''"));
    EXPECT_EQ(transliterate(QStringLiteral("Хабаровск, Цех, Чай, Шар, Юла, Яма, Жук, Эхо, Ы")),
              QStringLiteral("Khabarovsk, Tsekh, Chay, Shar, Yula, Yama, Zhuk, Ekho, Y"));
    EXPECT_EQ(transliterate(QStringLiteral("абвгдеёжзийклмнопрстуфхцчшщьыъэюя")),
              QStringLiteral("abvgdeyozhziyklmnoprstufkhtschshshch'y'eyuya"));
    // Letters outside the Russian alphabet stay as they are.
    EXPECT_EQ(transliterate(QStringLiteral("Ґї")), QStringLiteral("Ґї"));
}

TEST(NameIsClean, RefusesEachForbiddenCharacter)
{
    EXPECT_TRUE(nameIsClean(QString()));
    EXPECT_TRUE(nameIsClean(QStringLiteral("a/b")));
    EXPECT_TRUE(nameIsClean(QStringLiteral("Иван Petrov_1")));
    for (const QChar c : QStringView(kForbiddenNameChars))
        EXPECT_FALSE(nameIsClean(QStringLiteral("ab") + c + QStringLiteral("c")))
            << int(c.unicode());
    EXPECT_EQ(QStringView(kForbiddenNameChars).size(), 10);
}

TEST(FixedDateText, WritesDayMonthFourDigitYear)
{
    EXPECT_EQ(fixedDateText(QDate(2026, 3, 7)), QStringLiteral("07.03.2026"));
    EXPECT_EQ(fixedDateText(QStringLiteral("07.03.2026"), QLocale(QLocale::Russian)),
              QStringLiteral("07.03.2026"));
    // The US short form has a two-digit year, which must not become 1926.
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QString today = us.toString(QDate::currentDate(), QLocale::ShortFormat);
    EXPECT_EQ(fixedDateText(today, us), fixedDateText(QDate::currentDate()));
    try {
        fixedDateText(QStringLiteral("not a date"), us);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'not a date' is not a valid date and time"));
    }
}

TEST(FolderHasEntries, FalseOnlyForAnExistingEmptyFolder)
{
    TempTree tmp;
    QDir().mkpath(tmp.path(QStringLiteral("empty")));
    EXPECT_FALSE(folderHasEntries(tmp.path(QStringLiteral("empty"))));
    tmp.write(QStringLiteral("one/.dotfile"), "x");
    EXPECT_TRUE(folderHasEntries(tmp.path(QStringLiteral("one"))));
    EXPECT_TRUE(folderHasEntries(tmp.path(QStringLiteral("missing"))));
}

TEST(Hidden, NamesAreListedOnceAsFileManagersReadThem)
{
    TempTree tmp;
    QDir().mkpath(tmp.path(QStringLiteral("Network/Мои изображения")));
    QDir().mkpath(tmp.path(QStringLiteral("Network/0rg_System")));
    const QString folder = tmp.path(QStringLiteral("Network/Мои изображения/"));
    EXPECT_FALSE(isHidden(folder));
    EXPECT_TRUE(setHidden(folder));
    EXPECT_TRUE(setHidden(folder));
    EXPECT_TRUE(isHidden(folder));
    // One UTF-8 name per LF-ended line, as GIO reads it.
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("Network/.hidden"))),
              QStringLiteral("Мои изображения\n").toUtf8());
    EXPECT_FALSE(setHidden(tmp.path(QStringLiteral("absent"))));

    // A list written by an earlier version still hides, and is rewritten in the new form.
    tmp.write(QStringLiteral("Network/.hidden"), "0rg_System\r\n\xcc\xee\xe8 x\r\n");
    EXPECT_TRUE(isHidden(tmp.path(QStringLiteral("Network/0rg_System"))));
    EXPECT_TRUE(isHidden(tmp.path(QStringLiteral("Network/Мои x"))));
    EXPECT_TRUE(setHidden(tmp.path(QStringLiteral("Network/0rg_System"))));
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("Network/.hidden"))),
              QStringLiteral("0rg_System\nМои x\n").toUtf8());
}

TEST(CopyTree, CopiesFilesAndSubfoldersAndKeepsHiddenMarks)
{
    TempTree tmp;
    tmp.write(QStringLiteral("src/a.png"), "A");
    tmp.write(QStringLiteral("src/sub/b.png"), "B");
    tmp.write(QStringLiteral("src/secret/c.png"), "C");
    setHidden(tmp.path(QStringLiteral("src/secret")));
    EXPECT_TRUE(copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("dst/deep")),
                         false, true));
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("dst/deep/sub/b.png"))), "B");
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("dst/deep/secret/c.png"))), "C");
    EXPECT_TRUE(isHidden(tmp.path(QStringLiteral("dst/deep/secret"))));
    EXPECT_FALSE(isHidden(tmp.path(QStringLiteral("dst/deep/sub"))));
}

TEST(CopyTree, WithoutOverwriteExistingFilesStayAndCountAsSuccess)
{
    TempTree tmp;
    tmp.write(QStringLiteral("src/a.txt"), "new");
    tmp.write(QStringLiteral("dst/a.txt"), "old");
    EXPECT_TRUE(
        copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("dst")), true, false));
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("dst/a.txt"))), "old");
    EXPECT_TRUE(
        copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("dst")), true, true));
    EXPECT_EQ(TempTree::read(tmp.path(QStringLiteral("dst/a.txt"))), "new");
}

TEST(CopyTree, AFailedFileStopsOrIsPassedOver)
{
    TempTree tmp;
    // Entries are taken in name order; "b" is a link to nothing and cannot be copied.
    tmp.write(QStringLiteral("src/a.txt"), "a");
    QFile::link(tmp.path(QStringLiteral("nowhere")), tmp.path(QStringLiteral("src/b.txt")));
    tmp.write(QStringLiteral("src/c.txt"), "c");

    EXPECT_FALSE(
        copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("stop")), true, true));
    EXPECT_TRUE(QFile::exists(tmp.path(QStringLiteral("stop/a.txt"))));
    EXPECT_FALSE(QFile::exists(tmp.path(QStringLiteral("stop/c.txt"))));

    // Going on, the result is that of the last entry only.
    EXPECT_TRUE(
        copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("on")), false, true));
    EXPECT_TRUE(QFile::exists(tmp.path(QStringLiteral("on/c.txt"))));
}

TEST(CopyTree, RefusesTargetInsideSourceAndMissingSource)
{
    TempTree tmp;
    tmp.write(QStringLiteral("src/a.txt"), "a");
    EXPECT_FALSE(copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("src/in/x")),
                          false, true));
    EXPECT_FALSE(QDir(tmp.path(QStringLiteral("src/in"))).exists());
    EXPECT_FALSE(
        copyTree(tmp.path(QStringLiteral("src")), tmp.path(QStringLiteral("src")), false, true));
    EXPECT_FALSE(
        copyTree(tmp.path(QStringLiteral("nothing")), tmp.path(QStringLiteral("t")), false, true));
    QDir().mkpath(tmp.path(QStringLiteral("empty")));
    EXPECT_FALSE(
        copyTree(tmp.path(QStringLiteral("empty")), tmp.path(QStringLiteral("t")), false, true));
}

TEST(FileInUse, SeesLocksOfOtherProcessesAndOfThisOne)
{
    TempTree tmp;
    const QString path = tmp.write(QStringLiteral("lnplk.xo"), "x");
    EXPECT_FALSE(fileInUse(tmp.path(QStringLiteral("missing.xo"))));
    EXPECT_FALSE(fileInUse(path));
    {
        FileLock lock(path);
        ASSERT_TRUE(lock.locked());
        EXPECT_TRUE(fileInUse(path));
    }
    EXPECT_FALSE(fileInUse(path));

    const QString flock = QStandardPaths::findExecutable(QStringLiteral("flock"));
    if (flock.isEmpty())
        GTEST_SKIP() << "util-linux flock is not installed";
    QProcess holder;
    holder.start(flock, {QStringLiteral("-x"), QStringLiteral("--no-fork"), path,
                         QStringLiteral("sleep"), QStringLiteral("30")});
    ASSERT_TRUE(holder.waitForStarted());
    bool seen = false;
    for (int i = 0; i < 500 && !seen; ++i) {
        seen = fileInUse(path);
        if (!seen)
            QThread::msleep(10);
    }
    EXPECT_TRUE(seen);
    holder.kill();
    holder.waitForFinished();
    EXPECT_FALSE(fileInUse(path));
}
