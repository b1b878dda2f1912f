#pragma once

#include "net/FtpSettings.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

// A pyftpdlib server on 127.0.0.1 that misbehaves on demand (FaultyFtpServer.py), serving a fresh
// temporary folder to one test user, stopped and removed when the object goes. Every session
// runs in its own thread, so a fault held in one session never holds up another. Faults may be
// changed while clients are connected: each takes effect from the next command the server reads.
//
//     if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
//         GTEST_SKIP() << why.toStdString();
//     const auto server = FaultyFtpServer::start();
//     const int cut = server->addRule({.command = "RETR", .name = "*.bin", .dropAfter = 1000});
//     FtpClient client(server->clientSettings());
//
// LARKSPIRE_FTP_KEEP=1 keeps the temporary folder (root, control files, log) for a look
// afterwards; LARKSPIRE_FTP_FAULTY_SCRIPT names another server script.
class FaultyFtpServer
{
public:
    // Why the server cannot run here (no /usr/bin/python3 or pyftpdlib), or an empty text.
    static QString unavailable();
    // Starts a server on a free port; throws std::runtime_error (with its log) if it does not
    // come up.
    static std::unique_ptr<FaultyFtpServer> start();

    ~FaultyFtpServer();
    FaultyFtpServer(const FaultyFtpServer&) = delete;
    FaultyFtpServer& operator=(const FaultyFtpServer&) = delete;

    QString address() const; // "127.0.0.1:<port>"
    quint16 port() const { return m_port; }
    QString user() const;
    QString password() const;
    QString root() const { return m_root; } // the folder the user sees as "/"
    FtpSettings clientSettings() const;

    QString path(const QString& relative) const { return m_root + u'/' + relative; }
    QString write(const QString& relative, const QByteArray& bytes) const;
    QString makeFolder(const QString& relative) const;
    QByteArray read(const QString& relative) const;
    QString log() const; // every command and reply so far, with times and session numbers

    // A command the server answers wrongly. Every rule that matches a command fires: delays add
    // up, the first reply, drop or cut of the matching rules applies.
    struct Rule
    {
        QString command = {};   // "RETR", "STOR", "MDTM", ... or "*" for any
        QString name = {};      // fnmatch pattern on the argument's base name; empty for any
        int delayMs = 0;        // held back this long before the command runs (its session only)
        qint64 dropAfter = -1;  // RETR, STOR: data connection closed after this many bytes, 426
        qint64 shortAfter = -1; // RETR: only this many bytes sent, then 226 as if complete
        QString reply = {};     // answered instead of running the command; 421 also hangs up
        int times = -1;         // matches before the rule expires; -1 for ever
    };
    int addRule(const Rule& rule); // the rule's id, for matched()
    int matched(int id) const;     // how often the rule has fired so far
    void clearRules();
    // Bytes per second of each download and of each upload; 0 is unlimited.
    void setRates(qint64 downBytesPerSecond, qint64 upBytesPerSecond);
    // Added to the times MDTM, LIST and MLSD report, as from a server whose clock is off.
    void setMdtmShift(int seconds);

    // SIGKILL: every session ends at once, as when the server crashes.
    void kill();
    // Starts again on the same port and root, with the same rules and match counts.
    void restart();

private:
    FaultyFtpServer() = default;
    void launch(quint16 port);
    void writeFaults() const;
    void stop();

    struct StoredRule
    {
        int id;
        Rule rule;
    };
    QString m_base; // temporary folder: root/, control/, server.log
    QString m_root;
    QString m_control;
    QString m_logPath;
    quint16 m_port = 0;
    int m_pid = -1;       // also the process group of the server
    int m_stdinPipe = -1; // the server stops when it closes
    std::vector<StoredRule> m_rules;
    int m_nextId = 1;
    qint64 m_rateDown = 0;
    qint64 m_rateUp = 0;
    int m_mdtmShift = 0;
};
