#pragma once

#include "net/FtpSettings.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// The real FTP servers the client is tested against.
enum class FtpServerKind
{
    Pyftpdlib,
    Vsftpd,
    PureFtpd,
    Proftpd
};

QString ftpServerKindName(FtpServerKind kind); // "pyftpdlib", "vsftpd", "pure-ftpd", "proftpd"

// A real FTP server on 127.0.0.1 and a free port, serving a fresh temporary folder to one test
// user, stopped and removed when the object goes. pyftpdlib runs as the current user with
// Debian's /usr/bin/python3; vsftpd, pure-ftpd and proftpd come unpacked from
// tools/ftpservers/fetch.sh (LARKSPIRE_FTPSERVERS_DIR) and need root: they log in the system
// user "larkftp", which the fixture creates when it is missing.
//
//     if (const QString why = FtpServerFixture::unavailable(kind); !why.isEmpty())
//         GTEST_SKIP() << why.toStdString();
//     const auto server = FtpServerFixture::start(kind);
//     FtpClient client({.host = server->address(), .user = server->user(), ...});
//
// Environment: LARKSPIRE_FTPSERVERS_DIR overrides the folder of the unpacked servers,
// LARKSPIRE_FTP_KEEP=1 keeps the temporary folder (root, configuration, log) for a look
// afterwards, LARKSPIRE_FTP_QUIET=1 stops vsftpd logging every command (for benchmarks).
class FtpServerFixture
{
public:
    // Why `kind` cannot run here (its program is missing, no root), or an empty text.
    static QString unavailable(FtpServerKind kind);
    struct Options
    {
        // pyftpdlib only:
        int replyDelayMs = 0;          // every reply held back this long
        bool refuseRenameOver = false; // RNTO onto an existing file answers 553
        quint16 port = 0;              // this port rather than a free one
        QList<quint16> passivePorts;   // data connections on these ports only

        // TLS (AUTH TLS, PROT P) besides plain FTP, with a self-signed certificate for
        // 127.0.0.1 made for this server (pyftpdlib needs python3-openssl).
        bool tls = false;
        bool tlsRequired = false; // with tls: plain logins and data connections are refused
        // With tls, vsftpd and proftpd: a data connection must resume the control connection's
        // TLS session, as they want by default. pyftpdlib and pure-ftpd never ask for it.
        bool requireSessionReuse = true;
    };

    // Starts a server; throws std::runtime_error (with the server's log) if it does not come up.
    static std::unique_ptr<FtpServerFixture> start(FtpServerKind kind);
    static std::unique_ptr<FtpServerFixture> start(FtpServerKind kind, const Options& options);
    // Starts pyftpdlib into `server`; the reason the test must be skipped, or an empty text.
    static QString startPyftpdlib(std::unique_ptr<FtpServerFixture>& server);

    ~FtpServerFixture();
    FtpServerFixture(const FtpServerFixture&) = delete;
    FtpServerFixture& operator=(const FtpServerFixture&) = delete;

    FtpServerKind kind() const { return m_kind; }
    QString name() const { return ftpServerKindName(m_kind); }
    QString address() const; // "127.0.0.1:<port>"
    quint16 port() const { return m_port; }
    QString user() const;
    QString password() const;
    QString root() const { return m_root; } // the folder the user sees as "/"
    // A client's settings for this server's user.
    FtpSettings clientSettings() const;

    // Files in the served folder, owned by the server's user so that it may replace them.
    QString path(const QString& relative) const { return m_root + u'/' + relative; }
    QString write(const QString& relative, const QByteArray& bytes) const;
    QString makeFolder(const QString& relative) const;
    QByteArray read(const QString& relative) const;
    QString log() const; // what the server wrote to its log so far
    bool tls() const { return !m_certificate.isEmpty(); }
    // The SHA-256 fingerprint of the server's certificate as `openssl x509` prints it
    // ("AB:01:..."); empty without TLS.
    QString certificateFingerprint() const;

    // pyftpdlib only: answers RETR of these names with 550, as a server does for a file that
    // another session is writing; an empty list answers normally again.
    void refuseDownloads(const QStringList& names) const;
    // pyftpdlib only: answers DELE of these names with 550, as for a file the login may not
    // delete; an empty list answers normally again.
    void refuseDeletes(const QStringList& names) const;
    // pyftpdlib only: answers STOR of names beginning with one of these with 550.
    void refuseUploads(const QStringList& prefixes) const;
    // pyftpdlib only: RETR of these names waits until releaseDownloads(); downloadWaiting()
    // tells whether one waits now (or did).
    void stallDownloads(const QStringList& names) const;
    bool downloadWaiting() const;
    void releaseDownloads() const;

    void stop();

private:
    FtpServerFixture() = default;
    void launch(const QStringList& argv, bool readPort);
    void giveToServerUser(const QString& path) const;

    FtpServerKind m_kind = FtpServerKind::Pyftpdlib;
    QString m_base; // temporary folder: root/, config, log
    QString m_root;
    QString m_logPath;
    QString m_certificate; // PEM files of a server with TLS
    QString m_key;
    quint16 m_port = 0;
    int m_pid = -1;       // also the process group of the server and its sessions
    int m_stdinPipe = -1; // pyftpdlib stops when it closes
    int m_uid = -1;
    int m_gid = -1;
};
