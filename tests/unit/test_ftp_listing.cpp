#include "net/FtpListing.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

} // namespace

TEST(FtpListing, MachineListingFactsAndNames)
{
    const auto file = ftplisting::parseMlsd(
        "type=file;size=10240;modify=20260307140507.123;perm=adfrw;unique=1; Peer one.ms");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->name, QStringLiteral("Peer one.ms"));
    EXPECT_EQ(file->size, 10240);
    EXPECT_EQ(file->modified, utc(2026, 3, 7, 14, 5, 7));
    EXPECT_FALSE(file->folder);

    const auto folder = ftplisting::parseMlsd("Type=dir;Modify=20260307140507; Ann");
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->folder);
    EXPECT_EQ(folder->size, -1);
    EXPECT_FALSE(ftplisting::parseMlsd("type=cdir;modify=20260307140507; ."));
    EXPECT_FALSE(ftplisting::parseMlsd("type=pdir;modify=20260307140507; .."));
    EXPECT_FALSE(ftplisting::parseMlsd("no facts here"));
    // Without a usable time the entry never counts as unchanged.
    const auto undated = ftplisting::parseMlsd("type=file;size=3;modify=yesterday; x");
    ASSERT_TRUE(undated);
    EXPECT_FALSE(undated->sameAs(*undated));
}

TEST(FtpListing, UnixListingWithAndWithoutYear)
{
    const QDateTime now = utc(2026, 12, 9, 15, 0);
    const auto recent = ftplisting::parseList(
        "-rw-r--r--    1 1000     1000        10240 Dec 09 14:05 Peer 1.ms", now);
    ASSERT_TRUE(recent);
    EXPECT_EQ(recent->name, QStringLiteral("Peer 1.ms"));
    EXPECT_EQ(recent->size, 10240);
    EXPECT_EQ(recent->modified, utc(2026, 12, 9, 14, 5));
    // Written any time within that minute.
    EXPECT_EQ(recent->latest(), utc(2026, 12, 9, 14, 6));

    const auto old =
        ftplisting::parseList("-rw-r--r--   1 larkftp  larkftp    12 Mar  7  2025 old.ms", now);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->modified, utc(2025, 3, 7, 0, 0));
    EXPECT_EQ(old->latest(), utc(2025, 3, 8, 0, 0));

    const auto folder =
        ftplisting::parseList("drwxr-xr-x    2 1000     1000         4096 Dec 09 14:05 Ann", now);
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->folder);
    const auto link = ftplisting::parseList(
        "lrwxrwxrwx    1 0        0               6 Dec 09 14:05 l -> t", now);
    ASSERT_TRUE(link);
    EXPECT_EQ(link->name, QStringLiteral("l"));
    EXPECT_FALSE(ftplisting::parseList("total 12", now));
}

TEST(FtpListing, AYearlessTimeIsTheLatestNotInTheFuture)
{
    // December's file listed in January belongs to the year before.
    const auto december = ftplisting::parseList(
        "-rw-r--r--    1 1000     1000           10 Dec 31 23:59 a.ms", utc(2027, 1, 2, 8, 0));
    ASSERT_TRUE(december);
    EXPECT_EQ(december->modified, utc(2026, 12, 31, 23, 59));
    // A server clock a few minutes ahead still gives this year.
    const auto ahead = ftplisting::parseList(
        "-rw-r--r--    1 1000     1000           10 Mar 07 14:05 a.ms", utc(2026, 3, 7, 14, 0));
    ASSERT_TRUE(ahead);
    EXPECT_EQ(ahead->modified, utc(2026, 3, 7, 14, 5));
}
