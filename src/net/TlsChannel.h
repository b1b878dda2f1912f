#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

using SSL = struct ssl_st;
using SSL_CTX = struct ssl_ctx_st;
using SSL_SESSION = struct ssl_session_st;

// The certificate a server showed in a TLS handshake.
struct TlsPeer
{
    // SHA-256 of the DER certificate, "AB:01:...": what `openssl x509 -fingerprint -sha256`
    // prints, so that an operator can compare it with the server's file.
    QString fingerprint;
    QDateTime expires; // the end of its validity, UTC
    QString subject;   // one line, as OpenSSL prints it
    // The system's certificate store vouches for it and for the host name dialled.
    bool trusted = false;
    QString untrustedBecause; // OpenSSL's reason when not trusted ("self-signed certificate")
};

// The TLS settings of one FTP client, shared by its control and data connections, and the
// session of its control connection that data connections resume: vsftpd and proftpd refuse a
// data connection that does not. With TLS 1.3 the session arrives only after the handshake,
// with the first records read, so every new session of the control connection is kept.
// Internal to the FTP client.
class TlsContext
{
public:
    TlsContext(); // throws FtpError (Kind::Tls) when OpenSSL cannot set one up
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    SSL_CTX* get() const { return m_ctx; }
    // Sessions that `control` receives from now on are kept; the earlier one is dropped.
    void watch(SSL* control);
    // The control connection's latest session, or null; owned by this object.
    SSL_SESSION* session() const { return m_session; }
    void forget();
    // `ssl` goes away: it is watched no more.
    void released(SSL* ssl);

private:
    static int onNewSession(SSL* ssl, SSL_SESSION* session);

    SSL_CTX* m_ctx = nullptr;
    SSL* m_control = nullptr;
    SSL_SESSION* m_session = nullptr;
};

// TLS on one connected non-blocking socket. Every wait is bounded by poll() as the socket's
// own: a call that waits longer than its limit throws FtpError (Kind::Timeout); a failure of
// the protocol or the certificate's signature throws Kind::Tls, a broken connection
// Kind::Closed or Kind::Socket. Writes never raise SIGPIPE. `label` names the connection in
// messages. Internal to the FTP client.
class TlsChannel
{
public:
    // `host` is the name or address dialled: sent as SNI when a name, and checked against the
    // certificate either way (the result is TlsPeer::trusted, not a failure).
    TlsChannel(TlsContext& context, int fd, const QString& host, const QString& label);
    ~TlsChannel(); // frees the state without a goodbye
    TlsChannel(const TlsChannel&) = delete;
    TlsChannel& operator=(const TlsChannel&) = delete;

    // The client's handshake within timeoutMs in all; `resume` (may be null) is offered.
    void handshake(SSL_SESSION* resume, int timeoutMs);

    // Up to `size` bytes, waiting at most timeoutMs; 0 once the peer has ended the stream
    // (close_notify, or a close without one).
    qint64 receiveSome(char* data, qint64 size, int timeoutMs);
    // What fits now (at least one byte), waiting at most timeoutMs for room.
    qint64 sendSome(const char* data, qint64 size, int timeoutMs);
    // Bytes already decrypted or received that a poll() on the socket would not show.
    bool hasPending() const;
    // Sends close_notify, then waits at most timeoutMs for the peer's or for its close; false
    // when either did not happen in time (the connection can only be closed then).
    bool shutdown(int timeoutMs);

    bool resumed() const;    // the handshake resumed the offered session
    QString version() const; // "TLSv1.3"
    TlsPeer peer() const;
    SSL* ssl() const { return m_ssl; }

private:
    [[noreturn]] void fail(int sslError, const char* doing);
    // Waits for what OpenSSL asked for (SSL_ERROR_WANT_READ or _WRITE) until `deadlineMs`
    // (a steady-clock time) or throws.
    void waitFor(int sslError, qint64 deadlineMs, const char* waitingFor, int limitMs);

    TlsContext& m_context;
    SSL* m_ssl = nullptr;
    int m_fd = -1;
    bool m_failed = false; // after a fatal error OpenSSL must not be asked for a goodbye
    QString m_host;
    QString m_label;
};
