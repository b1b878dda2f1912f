// The pauses of an automatic retry: which failures call for one, how they grow, and what
// starts them over.
#include "core/RetryPacing.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace retrypacing;

namespace {

const QString kTooLarge = QStringLiteral("The user directory on the server (lineup.xo) is "
                                         "20971520 bytes, more than the 4194304 this program "
                                         "reads.");
const QString kMissing = QStringLiteral("550 No such file or directory.");

} // namespace

TEST(RetryPacing, PausesDoubleFromTheFirstUpToTheLongest)
{
    EXPECT_EQ(pauseMs(0), 0);
    EXPECT_EQ(pauseMs(-3), 0);
    EXPECT_EQ(pauseMs(1), 5'000);
    EXPECT_EQ(pauseMs(2), 10'000);
    EXPECT_EQ(pauseMs(3), 20'000);
    EXPECT_EQ(pauseMs(6), 160'000);
    EXPECT_EQ(pauseMs(7), kLongestPauseMs);
    // However long the trouble lasts, the pause neither overflows nor grows past the longest.
    EXPECT_EQ(pauseMs(1'000'000), kLongestPauseMs);
    EXPECT_EQ(pauseMs(3, 100, 250), 250);
}

TEST(RetryPacing, ARefusalAlwaysPausesARepeatedStepFailureOnlyAndBeingOfflineNever)
{
    EXPECT_TRUE(backsOff(Failure::Refused, kTooLarge, {}));
    EXPECT_TRUE(backsOff(Failure::Refused, kTooLarge, kMissing));
    EXPECT_FALSE(backsOff(Failure::Step, kMissing, {}));
    EXPECT_FALSE(backsOff(Failure::Step, kMissing, kTooLarge));
    EXPECT_TRUE(backsOff(Failure::Step, kMissing, kMissing));
    EXPECT_FALSE(backsOff(Failure::Step, {}, {}));
    EXPECT_FALSE(backsOff(Failure::Offline, kTooLarge, kTooLarge));
}

TEST(RetryPacing, AnOversizedDirectoryCostsAFewAttemptsInFiveMinutesNotHundreds)
{
    // The fault measured: a sign-in that went round 478 times in 5.5 minutes.
    Pacing pacing;
    qint64 elapsed = 0;
    int attempts = 0;
    while (elapsed < 330'000) {
        ++attempts;
        elapsed += pacing.failed(Failure::Refused, kTooLarge);
    }
    EXPECT_LE(attempts, 7);
    EXPECT_EQ(pacing.failed(Failure::Refused, kTooLarge), kLongestPauseMs);
}

TEST(RetryPacing, OfflineGoesOnAtOnceAndKeepsTheCountASuccessStartsOver)
{
    Pacing pacing;
    EXPECT_EQ(pacing.failed(Failure::Refused, kTooLarge), 5'000);
    // The network went away between two refusals: no pause, and the next refusal waits longer.
    EXPECT_EQ(pacing.failed(Failure::Offline, {}), 0);
    EXPECT_EQ(pacing.failed(Failure::Offline, {}), 0);
    EXPECT_EQ(pacing.failed(Failure::Refused, kTooLarge), 10'000);
    EXPECT_EQ(pacing.pausedInARow(), 2);
    pacing.succeeded();
    EXPECT_EQ(pacing.pausedInARow(), 0);
    EXPECT_EQ(pacing.failed(Failure::Refused, kTooLarge), 5'000);
}

TEST(RetryPacing, AStepFailurePausesFromItsSecondTimeAndADifferentOneStartsOver)
{
    Pacing pacing;
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 0);
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 5'000);
    EXPECT_EQ(pacing.failed(Failure::Offline, {}), 0);
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 10'000);
    // Something else went wrong: the trouble changed, so the next pass goes at once.
    EXPECT_EQ(pacing.failed(Failure::Step, QStringLiteral("425 Can't open data connection.")), 0);
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 0);
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 5'000);
    pacing.succeeded();
    // After a pass that got through, the same failure is new again.
    EXPECT_EQ(pacing.failed(Failure::Step, kMissing), 0);
}
