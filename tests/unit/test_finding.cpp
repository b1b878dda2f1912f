// Finding a text in a conversation and a user in the list.
#include "core/TextFind.h"
#include "core/UserSearch.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(TextFind, MatchesIgnoreCaseInBothAlphabetsAndNeverOverlap)
{
    using textfind::matches;
    EXPECT_EQ(matches("Привет, ПРИВЕТ и привет", "привет"), QList<qsizetype>({0, 8, 17}));
    EXPECT_EQ(matches("Lunch? lunch at noon", "LUNCH"), QList<qsizetype>({0, 7}));
    // "aaaa" holds "aa" twice, not three times: each match is marked on its own.
    EXPECT_EQ(matches("aaaa", "aa"), QList<qsizetype>({0, 2}));
    EXPECT_TRUE(matches("anything", "").isEmpty());
    EXPECT_TRUE(matches("", "x").isEmpty());
    EXPECT_TRUE(matches("short", "shorter").isEmpty());
}

TEST(TextFind, StepsGoRoundAtBothEnds)
{
    using textfind::step;
    EXPECT_EQ(step(0, 3, true), 1);
    EXPECT_EQ(step(2, 3, true), 0);
    EXPECT_EQ(step(0, 3, false), 2);
    EXPECT_EQ(step(-1, 3, true), 0);
    EXPECT_EQ(step(-1, 3, false), 2);
    // The text changed under a chosen match: start again.
    EXPECT_EQ(step(7, 3, true), 0);
    EXPECT_EQ(step(0, 0, true), -1);
    EXPECT_EQ(step(-1, 0, false), -1);
}

TEST(UserSearch, EveryWordIsFoundInSomeField)
{
    const QStringList anna{"Anna", "Москва", "Design"};
    using usersearch::matches;
    EXPECT_TRUE(matches(anna, "ann"));
    EXPECT_TRUE(matches(anna, "МОСК"));
    EXPECT_TRUE(matches(anna, "sign"));
    EXPECT_TRUE(matches(anna, "ann москв"));
    EXPECT_TRUE(matches(anna, "  anna  "));
    EXPECT_TRUE(matches(anna, ""));
    EXPECT_FALSE(matches(anna, "ann tula"));
    EXPECT_FALSE(matches(anna, "bob"));
    // A word is looked for within one field, not across the gap between two.
    EXPECT_FALSE(matches(anna, "annamos"));
}
