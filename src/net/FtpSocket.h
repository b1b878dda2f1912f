#pragma once

#include "net/TlsChannel.h"

#include <QString>

#include <netinet/in.h>

#include <memory>

// One non-blocking IPv4 TCP socket of the FTP client whose every wait is bounded by poll(), in
// plain text or, after startTls(), through TLS. Failures throw FtpError; `label` ("control
// connection to host:port") names the socket in them. Internal to the FTP client.
class FtpSocket
{
public:
    FtpSocket() = default;
    FtpSocket(const FtpSocket&) = delete;
    FtpSocket& operator=(const FtpSocket&) = delete;
    FtpSocket(FtpSocket&& other) noexcept;
    FtpSocket& operator=(FtpSocket&& other) noexcept;
    ~FtpSocket();

    // Connects within timeoutMs or throws (Kind::Timeout or Kind::Socket).
    static FtpSocket connectTo(const sockaddr_in& address, int timeoutMs, const QString& label);

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    const QString& label() const { return m_label; }
    // Closes at once; on TLS without close_notify (see finishTls()).
    void close();

    // Everything after this goes through TLS: the client's handshake within timeoutMs, offering
    // `resume` (may be null). `host` is the name or address dialled. The context must outlive
    // the socket; with `keepSessions` it keeps the sessions this connection receives (the
    // control connection's, for the data connections to resume).
    void startTls(TlsContext& context, const QString& host, SSL_SESSION* resume, int timeoutMs,
                  bool keepSessions);
    bool secure() const { return m_tls != nullptr; }
    const TlsChannel* tls() const { return m_tls.get(); }
    // Ends the TLS stream cleanly: close_notify, then the peer's or its close within
    // timeoutMs. False when that did not come in time; true on a plain socket.
    bool finishTls(int timeoutMs);

    sockaddr_in peerAddress() const;
    void setNoDelay();
    void setKeepAlive(int idleMs, int intervalMs);

    // Receives up to `size` bytes, waiting at most timeoutMs for the first; 0 means the peer
    // closed the connection.
    qint64 receiveSome(char* data, qint64 size, int timeoutMs);
    // Sends everything, waiting at most timeoutMs whenever the socket cannot take more.
    void sendAll(const char* data, qint64 size, int timeoutMs);
    // Sends what the socket takes now, waiting at most timeoutMs for room; returns the count.
    qint64 sendSome(const char* data, qint64 size, int timeoutMs);
    // True when something (data or the peer's close) can be read within timeoutMs.
    bool waitReadable(int timeoutMs);

private:
    explicit FtpSocket(int fd, const QString& label) : m_fd(fd), m_label(label) {}
    void wait(short events, int timeoutMs, const char* waitingFor);

    int m_fd = -1;
    QString m_label;
    std::unique_ptr<TlsChannel> m_tls;
};

// "1.2.3.4:21"
QString ftpAddressText(const sockaddr_in& address);

// The IPv4 address of `host` (a name or an address literal), port 0. The lookup is given up
// after timeoutMs (Kind::Timeout); a name that does not resolve throws Kind::Socket.
sockaddr_in resolveIpv4(const QString& host, int timeoutMs);
