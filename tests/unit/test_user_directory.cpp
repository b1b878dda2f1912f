#include "core/UserDirectory.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

const QString kAnna = QStringLiteral("}Anna}Oslo}Art}.png}eng/");
const QString kIvan = QStringLiteral("}Ivan}Tver}}.png}rus/");
const QString kZoe = QStringLiteral("}Zoe}}}.png}eng/");
const QString kMe = QStringLiteral("}Me}}}.png}eng/");

} // namespace

TEST(UserEntry, FieldsAndMarks)
{
    EXPECT_EQ(userentry::name(kIvan), QStringLiteral("Ivan"));
    EXPECT_EQ(userentry::language(kIvan), QStringLiteral("rus/"));
    const QString marked = userentry::withMark(kIvan);
    EXPECT_EQ(marked, QStringLiteral("(+)}Ivan}Tver}}.png}rus/"));
    EXPECT_TRUE(userentry::isMarked(marked));
    EXPECT_EQ(userentry::withoutMark(marked), kIvan);
    // A short line gains the empty fields it lacked.
    EXPECT_EQ(userentry::withoutMark(QStringLiteral("(+)}Bob")), QStringLiteral("}Bob}}}}"));
    for (const QString bad : {"", ".", "..", "a/b", "..\\x"})
        EXPECT_FALSE(userentry::openable(bad)) << bad.toStdString();
    EXPECT_TRUE(userentry::openable(QStringLiteral("Shchuka Yozh")));
}

TEST(UserDirectory, FirstFillSortsAndLeavesOutTheSignedInUser)
{
    UserDirectory d;
    d.firstFill(QStringList{kZoe, kMe, kIvan, kAnna}, QStringLiteral("Me"));
    EXPECT_EQ(d.userst(), (QStringList{kAnna, kIvan, kMe, kZoe}));
    EXPECT_EQ(d.users(), (QStringList{kAnna, kIvan, kZoe}));
    EXPECT_EQ(d.selected(), -1);

    // A duplicate line of one's own name does not make oneself a correspondent.
    d.firstFill(QStringList{kZoe, kMe, kMe, kAnna}, QStringLiteral("Me"));
    EXPECT_EQ(d.users(), (QStringList{kAnna, kZoe}));
    EXPECT_TRUE(d.reload(QStringList{kZoe, kMe, kIvan, kMe, kAnna}, QStringLiteral("Me")));
    EXPECT_EQ(d.users(), (QStringList{kAnna, kIvan, kZoe}));
}

TEST(UserDirectory, AnEntryThatCannotBeOpenedNeverBecomesTheSelection)
{
    const QString bad = QStringLiteral("}../x}}}.png}eng/");
    UserDirectory d;
    d.firstFill(QStringList{kZoe, bad}, QStringLiteral("Me"));
    ASSERT_TRUE(d.select(UserDirectory::find(d.users(), "Zoe")));
    const int zoe = d.selected();
    EXPECT_FALSE(d.select(UserDirectory::find(d.users(), "../x")));
    EXPECT_EQ(d.selected(), zoe);
    // Nor at the next change of the directory.
    d.reload(QStringList{kZoe, bad, kIvan}, QStringLiteral("Me"));
    EXPECT_EQ(d.selectedPeer(), QStringLiteral("Zoe"));
}

TEST(UserDirectory, EveryChangedLineShowsAndUnreadMarksStay)
{
    UserDirectory d;
    d.firstFill(QStringList{kAnna, kIvan, kMe}, QStringLiteral("Me"));
    d.setUserLine(1, userentry::withMark(kIvan));
    // A new region: the same number of lines.
    const QString moved = QStringLiteral("}Ivan}Moscow}}.png}rus/");
    EXPECT_TRUE(d.reload(QStringList{kAnna, moved, kMe}, QStringLiteral("Me")));
    EXPECT_TRUE(d.userst().contains(moved));
    EXPECT_EQ(d.users().at(1), userentry::withMark(moved));
    EXPECT_FALSE(d.reload(QStringList{kAnna, moved, kMe}, QStringLiteral("Me")));

    // Anna renamed herself: the list follows, and the open correspondent's name is no more.
    d.select(0);
    const QString renamed = QStringLiteral("}Annika}Oslo}Art}.png}eng/");
    EXPECT_TRUE(d.reload(QStringList{renamed, moved, kMe}, QStringLiteral("Me")));
    EXPECT_EQ(d.users(), (QStringList{renamed, userentry::withMark(moved)}));
    EXPECT_EQ(d.selected(), -1);
}

TEST(UserDirectory, ANewUserRebuildsUsersAndReselectsThePeer)
{
    UserDirectory d;
    d.firstFill(QStringList{kAnna, kIvan, kMe}, QStringLiteral("Me"));
    d.setUserLine(0, userentry::withMark(kAnna));
    d.select(1);
    EXPECT_TRUE(d.reload(QStringList{kAnna, kIvan, kMe, kZoe}, QStringLiteral("Me")));
    EXPECT_EQ(d.users(), (QStringList{userentry::withMark(kAnna), kIvan, kZoe}));
    EXPECT_EQ(d.selectedPeer(), QStringLiteral("Ivan"));
    EXPECT_EQ(d.selected(), 1);
    EXPECT_EQ(d.sendbutHint(), QStringLiteral("Ivan"));
}

TEST(UserDirectory, APeerThatLeftIsNotSelectedAndTheRecipientStays)
{
    UserDirectory d;
    d.firstFill(QStringList{kAnna, kIvan, kMe}, QStringLiteral("Me"));
    d.select(1);
    d.selectPeer();
    d.setSelectedPeer(QStringLiteral("Ivan"));
    d.selectPeer();
    EXPECT_TRUE(d.reload(QStringList{kAnna, kMe}, QStringLiteral("Me")));
    EXPECT_EQ(d.selected(), -1);
    EXPECT_EQ(d.sendbutHint(), QStringLiteral("Ivan"));
}

TEST(UserDirectory, AnUnreadableCopyKeepsTheListsAsTheyAre)
{
    UserDirectory d;
    d.firstFill(QStringList{kAnna, kIvan, kMe}, QStringLiteral("Me"));
    EXPECT_FALSE(d.reload(std::nullopt, QStringLiteral("Me")));
    EXPECT_EQ(d.users().size(), 2);
    EXPECT_EQ(d.userst().size(), 3);
    d.clear();
    EXPECT_TRUE(d.users().isEmpty());
    EXPECT_TRUE(d.selectedPeer().isEmpty());
}

TEST(UserDirectory, LookupsTakeTheFirstOfTwoEqualNames)
{
    const QStringList lines{QStringLiteral("}Ivan}A}}.png}rus/"),
                            QStringLiteral("}Ivan}B}}.png}rus/")};
    EXPECT_EQ(UserDirectory::find(lines, QStringLiteral("Ivan")), 0);
    EXPECT_EQ(UserDirectory::find(lines, QStringLiteral("ivan")), -1);
}
