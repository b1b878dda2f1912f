#pragma once

#include <QString>

#include <netinet/in.h>

// One non-blocking IPv4 TCP socket of the FTP client whose every wait is bounded by poll().
// Failures throw FtpError; `label` ("control connection to host:port") names the socket in them.
// Internal to the FTP client.
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
    void close();

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
};

// "1.2.3.4:21"
QString ftpAddressText(const sockaddr_in& address);
