// The three FTP client configurations the main window owns.
#include "net/FtpSettings.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(FtpSettings, TheMainWindowsInstances)
{
    int calls = 0;
    const FtpInstances i = FtpInstances::ofMainWindow(
        QStringLiteral("main.example:2121"), QStringLiteral("settings.example"), [&] { ++calls; });
    EXPECT_EQ(i.idFtp1.host, QStringLiteral("main.example:2121"));
    EXPECT_FALSE(i.idFtp1.extendedPassive);
    EXPECT_TRUE(i.idFtp1.keepAlive);
    EXPECT_EQ(i.idFtp1.keepAliveIdleMs, 10000);
    EXPECT_EQ(i.idFtp1.keepAliveIntervalMs, 20000);

    EXPECT_EQ(i.fcommandftp.host, QStringLiteral("settings.example"));
    EXPECT_EQ(i.fcommandftp.user, QStringLiteral("fcom"));
    EXPECT_FALSE(i.fcommandftp.extendedPassive);
    EXPECT_EQ(i.fcommandftp.keepAliveIdleMs, 10000);
    EXPECT_FALSE(i.fcommandftp.onConnected);

    EXPECT_EQ(i.idFtp1x.host, QStringLiteral("main.example:2121"));
    EXPECT_TRUE(i.idFtp1x.extendedPassive);
    EXPECT_EQ(i.idFtp1x.keepAliveIdleMs, 0);
    EXPECT_EQ(i.idFtp1x.keepAliveIntervalMs, 0);

    // Every wait is bounded: a silent server must not hold the connection for good.
    for (const FtpSettings* s : {&i.idFtp1, &i.fcommandftp, &i.idFtp1x}) {
        EXPECT_EQ(s->timeouts.connectMs, kFtpConnectTimeoutMs);
        EXPECT_EQ(s->timeouts.replyMs, kFtpReplyTimeoutMs);
        EXPECT_EQ(s->timeouts.dataIdleMs, kFtpDataIdleTimeoutMs);
        EXPECT_GT(s->timeouts.connectMs, 0);
    }

    i.idFtp1.onConnected();
    i.idFtp1x.onConnected();
    EXPECT_EQ(calls, 2);
}
