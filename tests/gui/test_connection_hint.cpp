// The connection's state in the hints of the tray icon and the mini bar, on a client against the
// demo server: they follow the detector's answers and the server's own.
#include "app/AppContext.h"
#include "session/ClientState.h"
#include "support/Controls.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/uMinimized.h"

#include <QDateTime>
#include <QSystemTrayIcon>

#include <gtest/gtest.h>

namespace {

const QString kConnecting = QString::fromUtf8("Connecting\u2026");

class ConnectionHint : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        prepareClientFolder(root, "bob");
        bob = std::make_unique<TestClient>(root.path("bob"), "Bob");
        bob->goOnline();
        bob->signIn("bob-pw");
        ASSERT_EQ(textOf(bob->w(), "User"), "Bob");
    }

    QString trayTip() const
    {
        return control<QSystemTrayIcon>(bob->ctx->Minimized(), "Tray1")->toolTip();
    }
    QString barTip() const { return bob->ctx->Minimized()->toolTip(); }
    void poll()
    {
        fire(bob->w(), "msgrld");
        settleAll();
    }

    TempTree root;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<TestClient> bob;
};

} // namespace

TEST_F(ConnectionHint, TheHintsFollowTheDetectorsAnswers)
{
    EXPECT_EQ(trayTip(), "Larkspire\nConnected, protected (TLS)");
    EXPECT_EQ(barTip(), "Connected, protected (TLS)");

    // The network goes: the hints name the time of the first failed answer.
    const QDateTime before = QDateTime::currentDateTime();
    bob->detectorSays(false);
    const QDateTime after = QDateTime::currentDateTime();
    bob->stopTimers();
    const QDateTime since = bob->state().connection().unreachableSince();
    EXPECT_GE(since, before);
    EXPECT_LE(since, after);
    const QString unreachable = "Server unreachable since " + since.toString("HH:mm");
    EXPECT_EQ(trayTip(), "Larkspire\n" + unreachable);
    EXPECT_EQ(barTip(), unreachable);

    // The answers after it keep the first one's time.
    QTest::qWait(20);
    bob->detectorSays(false);
    bob->stopTimers();
    EXPECT_EQ(bob->state().connection().unreachableSince(), since);
    EXPECT_EQ(trayTip(), "Larkspire\n" + unreachable);

    // The network is back; until the server answers, the client is only connecting.
    bob->detectorSays(true);
    bob->stopTimers();
    EXPECT_EQ(trayTip(), "Larkspire\n" + kConnecting);
    EXPECT_EQ(barTip(), kConnecting);
    poll();
    EXPECT_EQ(trayTip(), "Larkspire\nConnected, protected (TLS)");
    EXPECT_EQ(barTip(), "Connected, protected (TLS)");
}

TEST_F(ConnectionHint, AServerThatStopsAnsweringIsUnreachableThoughTheNetworkIsThere)
{
    poll();
    ASSERT_EQ(barTip(), "Connected, protected (TLS)");
    const QDateTime before = QDateTime::currentDateTime();
    server.reset();
    // The open connection breaks in the first cycle; the next one cannot open another.
    poll();
    poll();
    const QDateTime since = bob->state().connection().unreachableSince();
    EXPECT_GE(since, before);
    EXPECT_EQ(barTip(), "Server unreachable since " + since.toString("HH:mm"));
    EXPECT_EQ(trayTip(), "Larkspire\nServer unreachable since " + since.toString("HH:mm"));
    // The detector still finds the network: that is no news of the server.
    bob->detectorSays(true);
    bob->stopTimers();
    EXPECT_EQ(bob->state().connection().unreachableSince(), since);
}
