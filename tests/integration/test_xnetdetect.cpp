#include "net/XNetDetect.h"

#include "net/ServerAddress.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>

#include <QThread>
#include <gtest/gtest.h>

#include <future>

namespace {

QString loopback(const QTcpServer& server)
{
    return QStringLiteral("127.0.0.1:%1").arg(server.serverPort());
}

// A port that was just free: nothing listens there.
QString closedPort()
{
    QTcpServer s;
    s.listen(QHostAddress::LocalHost);
    return loopback(s);
}

bool nextAnswer(QSignalSpy& spy)
{
    if (spy.isEmpty() && !spy.wait(20000))
        ADD_FAILURE() << "no answer";
    return spy.isEmpty() ? false : spy.takeFirst().at(1).toBool();
}

} // namespace

TEST(Probe, AsksTheSettingsServerUnlessToldOtherwise)
{
    const QByteArray probe = qgetenv("LARKSPIRE_PROBE_URL");
    const QByteArray settings = qgetenv("LARKSPIRE_SETTINGS_SERVER");
    qunsetenv("LARKSPIRE_PROBE_URL");
    qputenv("LARKSPIRE_SETTINGS_SERVER", "ftp.example.org");
    EXPECT_EQ(connectivityProbeUrl(), QStringLiteral("ftp.example.org:21"));
    qputenv("LARKSPIRE_SETTINGS_SERVER", "10.1.2.3:2121");
    EXPECT_EQ(connectivityProbeUrl(), QStringLiteral("10.1.2.3:2121"));
    qputenv("LARKSPIRE_PROBE_URL", "http://intranet.example/");
    EXPECT_EQ(connectivityProbeUrl(), QStringLiteral("http://intranet.example/"));
    qputenv("LARKSPIRE_PROBE_URL", probe);
    qputenv("LARKSPIRE_SETTINGS_SERVER", settings);
}

TEST(Probe, TcpAndHttpAddresses)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    EXPECT_TRUE(probeAddress(loopback(server), 500));
    EXPECT_FALSE(probeAddress(closedPort(), 500));
    EXPECT_FALSE(probeAddress(QStringLiteral("no port here:"), 500));
    EXPECT_FALSE(probeAddress(QString(), 500));
}

TEST(Probe, WebAddressCountsWhenTheServerAnswers)
{
    QTcpServer web;
    ASSERT_TRUE(web.listen(QHostAddress::LocalHost));
    QByteArray asked;
    QObject::connect(&web, &QTcpServer::newConnection, [&] {
        QTcpSocket* client = web.nextPendingConnection();
        QObject::connect(client, &QTcpSocket::readyRead, [&, client] {
            asked += client->readAll();
            if (asked.endsWith("\r\n\r\n")) {
                client->write("HTTP/1.0 204 No Content\r\n\r\n");
                client->disconnectFromHost();
            }
        });
    });
    const QString url = QStringLiteral("http://127.0.0.1:%1/probe").arg(web.serverPort());
    auto answer = std::async(std::launch::async, [&] { return probeAddress(url, 500); });
    while (answer.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready)
        QCoreApplication::processEvents();
    EXPECT_TRUE(answer.get());
    EXPECT_TRUE(asked.startsWith("HEAD /probe HTTP/1.0\r\n")) << asked.constData();
}

TEST(XNetDetect, RequestedChecksAlwaysAnswer)
{
    QTcpServer server;
    ASSERT_TRUE(server.listen(QHostAddress::LocalHost));
    TXNetDetect detect(loopback(server));
    QSignalSpy status(&detect, &TXNetDetect::ConnectionStatus);
    QSignalSpy changed(&detect, &TXNetDetect::ConnectionStatusChanged);
    // The check made at creation.
    EXPECT_TRUE(nextAnswer(status));
    detect.requestCheck();
    EXPECT_TRUE(nextAnswer(status));
    EXPECT_TRUE(detect.lastAnswer());
    EXPECT_TRUE(changed.isEmpty());
}

TEST(XNetDetect, TimerChecksReportOnlyChanges)
{
    auto server = std::make_unique<QTcpServer>();
    ASSERT_TRUE(server->listen(QHostAddress::LocalHost));
    TXNetDetect detect(loopback(*server));
    QSignalSpy status(&detect, &TXNetDetect::ConnectionStatus);
    QSignalSpy changed(&detect, &TXNetDetect::ConnectionStatusChanged);
    ASSERT_TRUE(nextAnswer(status));

    // Same answer as before: nothing is raised. A requested check afterwards proves the timer
    // check had finished, since answers arrive in order.
    detect.timerTick();
    detect.requestCheck();
    EXPECT_TRUE(nextAnswer(status));
    EXPECT_TRUE(changed.isEmpty());

    server.reset();
    detect.timerTick();
    EXPECT_FALSE(nextAnswer(changed));
    detect.timerTick();
    QTcpServer back;
    ASSERT_TRUE(back.listen(QHostAddress::LocalHost));
    detect.setUrl(loopback(back));
    detect.timerTick();
    EXPECT_TRUE(nextAnswer(changed));
    EXPECT_TRUE(changed.isEmpty());
}

TEST(XNetDetect, ShortIntervalsAreIgnored)
{
    TXNetDetect detect(closedPort());
    EXPECT_EQ(detect.Interval(), 5000);
    EXPECT_EQ(detect.TimeOut(), 500);
    detect.setInterval(500);
    EXPECT_EQ(detect.Interval(), 5000);
    detect.setInterval(999);
    EXPECT_EQ(detect.Interval(), 5000);
    detect.setInterval(2000);
    EXPECT_EQ(detect.Interval(), 2000);
    EXPECT_FALSE(detect.Enabled());
    detect.setEnabled(true);
    EXPECT_TRUE(detect.Enabled());
}

TEST(XNetDetect, UnreachableAnswersCanBeRequestedAgainUntilTheNetworkReturns)
{
    const QString address = closedPort();
    TXNetDetect detect(address);
    QTcpServer* server = nullptr;
    int unreachable = 0;
    bool reached = false;
    // As the main window does: ask again at once after every unreachable answer.
    QObject::connect(&detect, &TXNetDetect::ConnectionStatus, [&](TXNetDetect*, bool ok) {
        if (ok) {
            reached = true;
            return;
        }
        if (++unreachable == 3) {
            server = new QTcpServer(&detect);
            server->listen(QHostAddress::LocalHost);
            detect.setUrl(loopback(*server));
        }
        detect.requestCheck();
    });
    QSignalSpy status(&detect, &TXNetDetect::ConnectionStatus);
    while (!reached && unreachable < 50 && status.wait(20000)) {
    }
    EXPECT_TRUE(reached);
    EXPECT_EQ(unreachable, 3);
}

TEST(XNetDetect, DestroyedWhileAWorkerRunsNeitherWaitsForItNorHearsFromIt)
{
    // A web server that takes the request and holds its answer keeps the worker busy.
    QTcpServer web;
    ASSERT_TRUE(web.listen(QHostAddress::LocalHost));
    auto detect =
        std::make_unique<TXNetDetect>(QStringLiteral("http://127.0.0.1:%1/").arg(web.serverPort()));
    int answers = 0;
    QObject::connect(detect.get(), &TXNetDetect::ConnectionStatus, [&] { ++answers; });
    ASSERT_TRUE(web.waitForNewConnection(10000));
    QTcpSocket* worker = web.nextPendingConnection();
    while (!worker->canReadLine() && worker->waitForReadyRead(10000)) {
    }
    ASSERT_TRUE(worker->canReadLine());

    detect.reset();
    // The detector is gone while its worker still waits for the answer.
    EXPECT_EQ(worker->state(), QAbstractSocket::ConnectedState);

    worker->write("HTTP/1.0 200 OK\r\n\r\n");
    worker->flush();
    worker->waitForDisconnected(10000);
    QThread::msleep(100);
    QCoreApplication::processEvents();
    EXPECT_EQ(answers, 0);
}
