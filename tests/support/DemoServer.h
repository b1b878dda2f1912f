#pragma once

#include "support/TempTree.h"

#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <memory>

// The demo server of tools/: both accounts the program needs, on a free port.
class DemoServer
{
public:
    DemoServer()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost);
        m_port = probe.serverPort();
        probe.close();
        start();
    }
    ~DemoServer() { stop(); }
    // An outage: the server goes away; start() brings it back on the same port and tree.
    void stop()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    void start()
    {
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {qEnvironmentVariable("LARKSPIRE_SOURCE_DIR") + "/tools/demo-server.py",
                         "--port", QString::number(m_port), "--data", m_data.path("demo")});
        for (int i = 0; i < 100 && !listening(); ++i)
            QThread::msleep(50);
    }
    bool listening() const
    {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, m_port);
        return s.waitForConnected(200);
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    QString tree(const QString& relative) const { return m_data.path("demo/main/" + relative); }
    // The server's log: pyftpdlib's line for each transfer ("RETR /path completed=1 ...").
    QString log() const
    {
        return QString::fromUtf8(TempTree::read(m_data.path("demo/server.log")));
    }

private:
    TempTree m_data;
    QProcess m_process;
    quint16 m_port = 0;

public:
    // Starts a server into `server` and points the program's settings and probe at it; the
    // reason the test must be skipped, or an empty text.
    static QString startFor(std::unique_ptr<DemoServer>& server)
    {
        if (!QFile::exists(QStringLiteral("/usr/bin/python3")))
            return QStringLiteral("no /usr/bin/python3 with pyftpdlib");
        server = std::make_unique<DemoServer>();
        if (!server->listening())
            return QStringLiteral(
                "the demo server did not start (is python3-pyftpdlib installed?)");
        qputenv("LARKSPIRE_SETTINGS_SERVER", server->address().toUtf8());
        qputenv("LARKSPIRE_PROBE_URL", server->address().toUtf8());
        return {};
    }
};
