#include "core/uLocal.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

namespace {

StringTable tableFor(const QByteArray& languageFile)
{
    TempTree tmp;
    const QString path = tmp.write(QStringLiteral("LC.xo"), languageFile);
    QString error;
    StringTable table;
    table.build(readLanguageCode(path, &error));
    EXPECT_TRUE(error.isEmpty());
    return table;
}

} // namespace

TEST(LanguageFile, OnlyTheExactFirstLineSelectsALanguage)
{
    EXPECT_EQ(tableFor("rus/\r\nanything else\r\n").text(131), QStringLiteral("Запуск"));
    EXPECT_EQ(tableFor("eng/").text(131), QStringLiteral("Login"));
    EXPECT_EQ(tableFor("eng/\n").size(), StringTable::kRowCount);
    for (const QByteArray bad : {"rus/ \r\n", "RUS/\r\n", "rus\r\n", " eng/", "\r\neng/"})
        EXPECT_TRUE(tableFor(bad).isEmpty()) << bad.constData();
}

TEST(LanguageFile, MissingOrEmptyFileIsAnError)
{
    TempTree tmp;
    QString error;
    EXPECT_TRUE(readLanguageCode(tmp.path(QStringLiteral("LC.xo")), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
    error.clear();
    EXPECT_TRUE(readLanguageCode(tmp.write(QStringLiteral("e.xo"), ""), &error).isEmpty());
    EXPECT_FALSE(error.isEmpty());
}

TEST(StringTable, RowsKeepTheirNumbersAndBlanks)
{
    StringTable rus, eng;
    rus.build(QStringLiteral("rus/"));
    eng.build(QStringLiteral("eng/"));
    ASSERT_EQ(rus.size(), StringTable::kRowCount);
    EXPECT_EQ(rus.text(317), QStringLiteral("Получатель: "));
    EXPECT_EQ(eng.text(317), QStringLiteral("For "));
    EXPECT_EQ(rus.text(20), QStringLiteral("Без пробелов и символов"));
    EXPECT_EQ(eng.text(296),
              QStringLiteral("Enter username and password to register or to login:"));
    EXPECT_EQ(eng.text(368),
              QStringLiteral("Remove Larkspire from Autostart? All files are saved"));
    EXPECT_EQ(rus.text(126), QStringLiteral("Сеть"));
    EXPECT_EQ(eng.text(127), QStringLiteral("My images"));
    // Rows the program never fetches exist with empty texts.
    EXPECT_EQ(eng.text(0), QString());
    EXPECT_EQ(eng.text(371), QStringLiteral("Add Larkspire to Autostart"));
    EXPECT_EQ(rus.text(372), QStringLiteral("Недопустимые символы: "));
    EXPECT_EQ(eng.text(372), QStringLiteral("Characters not allowed: "));
    EXPECT_EQ(eng.text(376),
              QStringLiteral("This picture cannot be read, the avatar was not changed"));
    EXPECT_EQ(eng.text(377).arg("Carol"),
              QStringLiteral("Not sent: Carol is not in the user list"));
    EXPECT_EQ(rus.text(402), QStringLiteral("Не отправлено: этой переписки больше нет на сервере. "
                                            "Возможно, пользователь удалил свою учётную запись"));
    // Captions once written into the main window in Russian only.
    EXPECT_EQ(rus.text(404), QStringLiteral("В сети"));
    EXPECT_EQ(eng.text(404), QStringLiteral("Online"));
    EXPECT_EQ(rus.text(408), QStringLiteral("Тип аватара"));
    EXPECT_EQ(eng.text(408), QStringLiteral("Avatar type"));
    EXPECT_EQ(eng.text(StringTable::kRowCount), QString());
    EXPECT_EQ(eng.text(-1), QString());
    EXPECT_EQ(StringTable().text(131), QString());
}

TEST(StringTable, EverySourceRowHasThreeFields)
{
    for (int n = 0; n < StringTable::kRowCount; ++n)
        EXPECT_EQ(StringTable::sourceRow(n).count(u';'), 2) << n;
    for (int n = 0; n < StringTable::kPhraseCount; ++n)
        EXPECT_EQ(StringTable::sourcePhraseRow(n).count(u';'), 2) << n;
}

TEST(PhraseTable, RebuildReplacesEveryRow)
{
    PhraseTable phrases;
    phrases.rebuild(QStringLiteral("rus/"));
    EXPECT_EQ(phrases.phrase(0), QStringLiteral(" отправляет файл "));
    EXPECT_EQ(phrases.phrase(2), QStringLiteral("\" и \""));
    EXPECT_EQ(phrases.phrase(6), QStringLiteral(" файлов ("));
    phrases.rebuild(QStringLiteral("eng/"));
    ASSERT_EQ(phrases.size(), 7);
    EXPECT_EQ(phrases.phrase(0), QStringLiteral(" sent "));
    EXPECT_EQ(phrases.phrase(2), QStringLiteral("\" and \""));
    EXPECT_EQ(phrases.phrase(4), QStringLiteral(" file ("));
    EXPECT_EQ(phrases.phrase(6), QStringLiteral(" files ("));
    phrases.rebuild(QString());
    EXPECT_EQ(phrases.size(), 0);
    EXPECT_EQ(phrases.phrase(0), QString());
}
