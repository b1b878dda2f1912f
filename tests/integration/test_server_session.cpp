#include "core/StringList.h"
#include "net/ServerSession.h"
#include "net/StoreLayout.h"
#include "support/FtpServerFixture.h"
#include "support/FtpServerScripted.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QTcpServer>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

namespace {

QString closedAddress()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return QStringLiteral("127.0.0.1:%1").arg(s.serverPort());
}

QByteArray settingsFile(const FtpServerFixture& main, const QString& root)
{
    return "line0\r\nline1\r\nline2\r\nline3\r\nline4\r\n" + main.address().toUtf8() + "\r\n" +
           main.user().toUtf8() + "\r\n" + main.password().toUtf8() + "\r\n" + root.toUtf8() +
           "\r\n";
}

class ServerSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server->makeFolder(QStringLiteral("lark/netwrk/users"));
        server->write(QStringLiteral("fcom.xo"), settingsFile(*server, QStringLiteral("/lark/")));
    }

    ServerSession::Config config(const QString& settingsServer)
    {
        ServerSession::Config c;
        c.settingsServer = settingsServer;
        c.settingsUser = server->user();
        c.settingsPassword = server->password();
        c.tempDataDir = local.path();
        return c;
    }

    std::unique_ptr<FtpServerFixture> server;
    TempTree local;
};

} // namespace

TEST_F(ServerSessionTest, BootstrapWaitsForTheNetworkThenConfiguresTheMainConnection)
{
    ServerSession s(config(server->address()));
    EXPECT_EQ(s.status(), QStringLiteral("lblStatus"));
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Offline);
    EXPECT_EQ(s.mark(), 0);
    EXPECT_FALSE(QFile::exists(local.path(QStringLiteral("2.x"))));

    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_EQ(s.mark(), 1);
    EXPECT_EQ(s.mainConnection().settings().host, server->address());
    EXPECT_EQ(s.mainConnection().settings().user, server->user());
    EXPECT_EQ(s.serverRoot(), QStringLiteral("/lark/"));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("2.x"))), server->read("fcom.xo"));
    EXPECT_FALSE(s.settingsConnection().connected());
}

TEST_F(ServerSessionTest, ASettingsServerDownAtFirstIsPickedUpLater)
{
    ServerSession s(config(closedAddress()));
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Retry);
    EXPECT_EQ(s.mark(), 0);
    s.config().settingsServer = server->address();
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_EQ(s.mark(), 1);
}

TEST_F(ServerSessionTest, AnEarlierCopySurvivesAFailedFetchAndServes)
{
    const QByteArray earlier = settingsFile(*server, QStringLiteral("/lark/"));
    local.write(QStringLiteral("2.x"), earlier);
    server->write(QStringLiteral("fcom.xo"), {});
    QFile::remove(server->path(QStringLiteral("fcom.xo"))); // the download fails
    ServerSession s(config(server->address()));
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::EarlierCopy);
    EXPECT_EQ(s.mark(), 1);
    EXPECT_EQ(s.serverRoot(), QStringLiteral("/lark/"));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("2.x"))), earlier);

    ServerSession unreachable(config(closedAddress()));
    unreachable.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(unreachable.bootstrapTick(), ServerSession::Bootstrap::EarlierCopy);
}

TEST_F(ServerSessionTest, AShortSettingsFileIsReportedOnce)
{
    server->write(QStringLiteral("fcom.xo"), "a\r\nb\r\nc\r\nd\r\ne\r\n");
    ServerSession s(config(server->address()));
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    QString problem;
    EXPECT_EQ(s.bootstrapTick(&problem), ServerSession::Bootstrap::Retry);
    EXPECT_TRUE(problem.contains(QStringLiteral("fcom.xo"))) << problem.toStdString();
    problem.clear();
    EXPECT_EQ(s.bootstrapTick(&problem), ServerSession::Bootstrap::Retry);
    EXPECT_TRUE(problem.isEmpty());
    EXPECT_EQ(s.mark(), 0);
}

TEST_F(ServerSessionTest, OpeningTheMainConnectionEntersTheUsersFolderOnce)
{
    int hooked = 0;
    auto c = config(server->address());
    c.onConnected = [&] { ++hooked; };
    ServerSession s(c);
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::NotReady);
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::Opened);
    EXPECT_EQ(hooked, 1);
    EXPECT_EQ(s.mainConnection().currentFolder(), QStringLiteral("/lark/netwrk/users"));
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::AlreadyOpen);
    ASSERT_NE(s.mainConnection().lastReply().code, 200);
    s.keepAlive();
    EXPECT_EQ(s.mainConnection().lastReply().code, 200); // the NOOP's answer
    EXPECT_TRUE(s.mainConnection().connected());

    s.setStatus(QString::fromUtf16(ServerSession::kDisconnected));
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::WentOffline);
    EXPECT_FALSE(s.mainConnection().connected());
    // Nothing to keep alive: no connection is opened for it and nothing is sent.
    const int lastCode = s.mainConnection().lastReply().code;
    EXPECT_NO_THROW(s.keepAlive());
    EXPECT_FALSE(s.mainConnection().connected());
    EXPECT_EQ(s.mainConnection().lastReply().code, lastCode);
}

TEST_F(ServerSessionTest, AnEmptyRootWorksFromAnyFolder)
{
    server->makeFolder(QStringLiteral("netwrk/users/Me"));
    server->write(QStringLiteral("fcom.xo"), settingsFile(*server, QString()));
    ServerSession s(config(server->address()));
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    ASSERT_TRUE(s.openMain());
    EXPECT_EQ(s.mainConnection().currentFolder(), QStringLiteral("/netwrk/users"));
    // Inside the users folder already, a path to a user's folder still leads there.
    s.mainConnection().changeFolder(store::userFolder(s.serverRoot(), QStringLiteral("Me")));
    EXPECT_EQ(s.mainConnection().currentFolder(), QStringLiteral("/netwrk/users/Me"));
}

TEST_F(ServerSessionTest, StandardOpeningFailsQuietly)
{
    server->write(QStringLiteral("fcom.xo"), settingsFile(*server, QStringLiteral("/nothere/")));
    ServerSession s(config(server->address()));
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_FALSE(s.openMain());
    // Not left open in the login folder, where the next feature would write.
    EXPECT_FALSE(s.mainConnection().connected());
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::Failed);
    EXPECT_FALSE(s.mainConnection().connected());
}

namespace {

// A session configured from the copy an earlier run left, pointing at `mainServer`.
std::unique_ptr<ServerSession> sessionFor(const QString& mainServer, const TempTree& local)
{
    local.write("2.x", "0\r\n1\r\n2\r\n3\r\n4\r\n" + mainServer.toUtf8() +
                           "\r\nuser\r\npass\r\n/lark/\r\n");
    ServerSession::Config c;
    c.settingsServer = closedAddress();
    c.tempDataDir = local.path();
    auto s = std::make_unique<ServerSession>(c);
    s->setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(s->bootstrapTick(), ServerSession::Bootstrap::EarlierCopy);
    return s;
}

QByteArray afterPwd(const QByteArray& currentFolder)
{
    QByteArray next;
    ScriptedFtpServer server([&](ScriptedFtpServer::Session& s, int) {
        s.login();
        s.expect("PWD");
        s.reply("257 \"" + currentFolder + "\" is the current directory");
        next = s.read();
        if (next.startsWith("CWD"))
            s.reply("250 OK");
        s.read(); // until the client goes
    });
    TempTree local;
    auto session = sessionFor(server.address(), local);
    EXPECT_EQ(session->openMainConnection(), ServerSession::Opening::Opened);
    session.reset();
    EXPECT_EQ(server.failures(), QString());
    return next;
}

} // namespace

TEST(OpenMainConnection, ChangesFolderOnlyWhenNotAlreadyInTheUsersFolder)
{
    EXPECT_EQ(afterPwd("/lark/netwrk/users"), QByteArray());
    EXPECT_EQ(afterPwd("/lark/netwrk/users/"), QByteArray());
    EXPECT_EQ(afterPwd("/"), QByteArray("CWD /lark/netwrk/users/"));
}

TEST(SettingsFile, NineLinesNameTheMainAccountAndLaterLinesAreIgnored)
{
    EXPECT_EQ(parseSettingsFile({}), std::nullopt);
    QStringList lines{"not read", "", "", "", "", "main.example:2121", "lark", "secret"};
    EXPECT_EQ(parseSettingsFile(lines), std::nullopt) << "eight lines are one too few";

    lines << "/lark/";
    const SettingsFile expected{"main.example:2121", "lark", "secret", "/lark/"};
    EXPECT_EQ(parseSettingsFile(lines), expected);
    lines.append({"a later line", ""});
    EXPECT_EQ(parseSettingsFile(lines), expected);

    // An empty root is the login folder, not a reason to refuse the file.
    lines[8].clear();
    const auto blank = parseSettingsFile(lines);
    ASSERT_TRUE(blank);
    EXPECT_EQ(blank->root, QString());
    EXPECT_EQ(blank->host, expected.host);
}

TEST_F(ServerSessionTest, TheLastUsableSettingsFileStaysInForce)
{
    ServerSession s(config(server->address()));
    EXPECT_EQ(s.settingsFile(), SettingsFile{}) << "nothing before the first bootstrap";
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_EQ(s.settingsFile(),
              (SettingsFile{server->address(), server->user(), server->password(), "/lark/"}));

    // A file that has become too short leaves the last one in force.
    server->write(QStringLiteral("fcom.xo"), "a\r\nb\r\n");
    EXPECT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::Retry);
    EXPECT_EQ(s.settingsFile().root, QStringLiteral("/lark/"));
}

TEST(ConnectBackoff, WaitsDoubleUpToAMinuteAndASuccessStartsOver)
{
    ConnectBackoff b;
    EXPECT_TRUE(b.mayTry(0));
    qint64 now = 1'000;
    QList<qint64> waits;
    for (int i = 0; i < 8; ++i) {
        b.failed(now);
        EXPECT_FALSE(b.mayTry(now + b.currentWaitMs() - 1));
        waits.append(b.currentWaitMs());
        now += b.currentWaitMs();
        EXPECT_TRUE(b.mayTry(now));
    }
    EXPECT_EQ(waits, (QList<qint64>{2'000, 4'000, 8'000, 16'000, 32'000, 60'000, 60'000, 60'000}));
    b.succeeded();
    EXPECT_TRUE(b.mayTry(now));
    b.failed(now);
    EXPECT_EQ(b.currentWaitMs(), 2'000);
}

TEST(OpenMainConnection, AFailedOpeningIsNotRetriedBeforeItsBackoffEnds)
{
    ScriptedFtpServer server(
        [](ScriptedFtpServer::Session& s, int connection) {
            if (connection == 0)
                s.drop(); // a server that is not there yet
            s.login();
            s.expect("PWD");
            s.reply("257 \"/lark/netwrk/users\" is the current directory");
            s.read(); // until the client goes
        },
        2);
    TempTree local;
    local.write("2.x", "0\r\n1\r\n2\r\n3\r\n4\r\n" + server.address().toUtf8() +
                           "\r\nuser\r\npass\r\n/lark/\r\n");
    ServerSession::Config c;
    c.settingsServer = closedAddress();
    c.tempDataDir = local.path();
    c.backoffFirstMs = 300;
    ServerSession s(c);
    s.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(s.bootstrapTick(), ServerSession::Bootstrap::EarlierCopy);

    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::Failed);
    const int commandsAfterFirst = server.received().size();
    // At once again: refused without a connection.
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::Failed);
    EXPECT_FALSE(s.openMain());
    EXPECT_EQ(server.received().size(), commandsAfterFirst);
    EXPECT_GT(s.backoff().currentWaitMs(), 0);

    std::this_thread::sleep_for(std::chrono::milliseconds(350));
    EXPECT_EQ(s.openMainConnection(), ServerSession::Opening::Opened);
    EXPECT_EQ(s.backoff().currentWaitMs(), 0);
    s.closeMain();
    EXPECT_EQ(server.failures(), QString());
}
