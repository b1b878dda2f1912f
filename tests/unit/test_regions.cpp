#include "core/Cp1251.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

// The lists are written to disk in windows-1251 and read back as lines of
// "}"- and ";"-separated records, so every entry must survive all of that.
void expectStorable(const QStringList& list)
{
    for (const QString& entry : list) {
        EXPECT_FALSE(entry.trimmed().isEmpty()) << "blank entry";
        EXPECT_EQ(cp1251::decode(cp1251::encode(entry)), entry);
        EXPECT_FALSE(entry.contains(u';') || entry.contains(u'}')) << entry.toStdString();
        EXPECT_FALSE(entry.contains(u'\n') || entry.contains(u'\r')) << entry.toStdString();
        EXPECT_EQ(entry, entry.trimmed());
    }
}

bool hasCyrillic(const QString& text)
{
    for (QChar ch : text) {
        if (ch.script() == QChar::Script_Cyrillic)
            return true;
    }
    return false;
}

} // namespace

TEST(RegionLists, RussianListShape)
{
    const QStringList& rus = allrgRus();
    ASSERT_EQ(rus.size(), 2649);
    EXPECT_EQ(rus.mid(0, 3), (QStringList{"Абаза", "Абакан", "Абан"}));
    // Homonymous towns are kept, so repeats are expected, but only a few.
    const qsizetype distinct = QSet<QString>(rus.cbegin(), rus.cend()).size();
    EXPECT_LT(distinct, rus.size());
    EXPECT_GT(distinct, rus.size() * 9 / 10);
    for (const QString& entry : rus)
        EXPECT_TRUE(hasCyrillic(entry)) << entry.toStdString();
}

TEST(RegionLists, RussianTownsComeFirstInAlphabeticalOrder)
{
    const QStringList& rus = allrgRus();
    // The alphabetical run of Russian towns ends where the towns abroad begin.
    qsizetype end = 1;
    auto key = [](QString s) { return s.toLower().replace(u'ё', u'е'); };
    while (end < rus.size() && key(rus[end - 1]) <= key(rus[end]))
        ++end;
    EXPECT_GT(end, rus.size() / 2);
    EXPECT_LT(end, rus.size());
    EXPECT_TRUE(rus.mid(0, end).contains("Москва"));
    EXPECT_TRUE(rus.mid(0, end).contains("Санкт-Петербург"));
    EXPECT_TRUE(rus.mid(end).contains("Шанхай"));
}

TEST(RegionLists, EnglishListShape)
{
    const QStringList& eng = allrgEng();
    ASSERT_EQ(eng.size(), 1238);
    EXPECT_EQ(eng.mid(0, 3), (QStringList{"New York", "Los Angeles", "Chicago"}));
    const qsizetype distinct = QSet<QString>(eng.cbegin(), eng.cend()).size();
    EXPECT_LT(distinct, eng.size());
    EXPECT_GT(distinct, eng.size() * 3 / 4);
    for (const QString& entry : eng)
        EXPECT_FALSE(hasCyrillic(entry)) << entry.toStdString();
}

TEST(RegionLists, EveryEntryIsStorable)
{
    expectStorable(allrgRus());
    expectStorable(allrgEng());
}

TEST(RegionLists, BuiltInRegionsFollowTheLanguageCode)
{
    EXPECT_EQ(builtInRegions("rus/"), allrgRus());
    EXPECT_EQ(builtInRegions("eng/"), allrgEng());
    EXPECT_TRUE(builtInRegions("ukr/").isEmpty());
    EXPECT_TRUE(builtInRegions("").isEmpty());
    // The code is matched exactly, as the language files name it.
    EXPECT_TRUE(builtInRegions("rus").isEmpty());
    EXPECT_TRUE(builtInRegions("RUS/").isEmpty());
}
