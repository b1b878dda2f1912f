#pragma once

#include "net/FtpTimeouts.h"

#include <QString>

#include <functional>
#include <memory>

class TlsPins;

// Whether a connection is protected with TLS (AUTH TLS, RFC 4217).
enum class FtpTls
{
    Off, // plain FTP, never asked
    // TLS whenever the server offers it; plain text only for a server that never did (one
    // without a pin).
    Try,
    Require // TLS or no connection
};

// How one FTP client object connects. The main window owns one of these per client instance
// (see FtpInstances) and the bootstrap fills in host, user and password at run time.
struct FtpSettings
{
    QString host; // "host" or "host:port"; a plain host means port 21
    QString user;
    QString password;
    // EPSV instead of PASV, and only when the server's FEAT offers both EPRT and EPSV.
    bool extendedPassive = false;
    // TCP keep-alive on the control connection; 0 leaves the system's idle time or interval.
    bool keepAlive = true;
    int keepAliveIdleMs = 10'000;
    int keepAliveIntervalMs = 20'000;
    FtpTimeouts timeouts;
    int transferBufferBytes = kFtpTransferBufferBytes;
    FtpTls tls = FtpTls::Try;
    // The servers that offered TLS before and their certificates; null remembers nothing
    // beyond the connection.
    std::shared_ptr<TlsPins> tlsPins;
    // Data connections resume the control connection's TLS session, as vsftpd and proftpd
    // require by default. Only tests switch it off, to see such a server refuse.
    bool tlsResumeSession = true;
    // Sent with CLNT when the server offers it.
    QString clientName = QStringLiteral("Larkspire");
    // Runs after every successful Connect, once the whole login sequence has passed.
    std::function<void()> onConnected;
};

// The three client instances of the main window: the main connection, the settings server's
// connection, and a spare main connection with extended passive mode that is never opened.
struct FtpInstances
{
    FtpSettings idFtp1;      // the main server; every feature's connection
    FtpSettings fcommandftp; // the settings server; used by the bootstrap only
    FtpSettings idFtp1x;     // configured, never opened

    // mainHost is the main server's address as known before the bootstrap replaces it;
    // settingsHost is the settings server's address. onConnected is the main window's
    // "on connect" handler, shared by idFtp1 and idFtp1x.
    static FtpInstances ofMainWindow(const QString& mainHost, const QString& settingsHost,
                                     const std::function<void()>& onConnected);
};
