#include "net/FtpSocket.h"

#include "net/FtpError.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>

namespace {

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool isConnectionLoss(int error)
{
    return error == ECONNRESET || error == ECONNABORTED || error == EPIPE;
}

FtpError socketError(const QString& label, const char* doing, int error)
{
    const auto kind = isConnectionLoss(error) ? FtpError::Kind::Closed : FtpError::Kind::Socket;
    return FtpError(kind,
                    QStringLiteral("%1 on the %2 failed: %3")
                        .arg(QLatin1StringView(doing), label, systemText(error)),
                    0, error);
}

QString secondsText(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) + QStringLiteral(" s")
                          : QString::number(ms) + QStringLiteral(" ms");
}

} // namespace

QString ftpAddressText(const sockaddr_in& address)
{
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &address.sin_addr, text, sizeof text);
    return QStringLiteral("%1:%2").arg(QLatin1StringView(text)).arg(ntohs(address.sin_port));
}

FtpSocket::FtpSocket(FtpSocket&& other) noexcept
    : m_fd(other.m_fd), m_label(std::move(other.m_label)), m_tls(std::move(other.m_tls))
{
    other.m_fd = -1;
}

FtpSocket& FtpSocket::operator=(FtpSocket&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = other.m_fd;
        m_label = std::move(other.m_label);
        m_tls = std::move(other.m_tls);
        other.m_fd = -1;
    }
    return *this;
}

FtpSocket::~FtpSocket()
{
    close();
}

void FtpSocket::close()
{
    m_tls.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

FtpSocket FtpSocket::connectTo(const sockaddr_in& address, int timeoutMs, const QString& label)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw socketError(label, "opening a socket", errno);
    FtpSocket socket(fd, label);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        if (errno != EINPROGRESS)
            throw socketError(label, "connecting", errno);
        pollfd p{fd, POLLOUT, 0};
        int n;
        do
            n = ::poll(&p, 1, timeoutMs);
        while (n < 0 && errno == EINTR);
        if (n == 0)
            throw FtpError(FtpError::Kind::Timeout,
                           QStringLiteral("Could not open the %1 within %2")
                               .arg(label, secondsText(timeoutMs)));
        int error = 0;
        socklen_t len = sizeof error;
        if (n < 0)
            error = errno;
        else
            ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len);
        if (error != 0)
            throw FtpError(
                FtpError::Kind::Socket,
                QStringLiteral("Could not open the %1: %2").arg(label, systemText(error)), 0,
                error);
    }
    return socket;
}

sockaddr_in FtpSocket::peerAddress() const
{
    sockaddr_in address{};
    socklen_t len = sizeof address;
    ::getpeername(m_fd, reinterpret_cast<sockaddr*>(&address), &len);
    return address;
}

void FtpSocket::setNoDelay()
{
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void FtpSocket::setKeepAlive(int idleMs, int intervalMs)
{
    const int on = 1;
    ::setsockopt(m_fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    // The kernel counts whole seconds and refuses 0.
    if (idleMs > 0) {
        const int idle = std::max(1, idleMs / 1000);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    }
    if (intervalMs > 0) {
        const int interval = std::max(1, intervalMs / 1000);
        ::setsockopt(m_fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    }
}

void FtpSocket::wait(short events, int timeoutMs, const char* waitingFor)
{
    pollfd p{m_fd, events, 0};
    int n;
    do
        n = ::poll(&p, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        throw socketError(m_label, "waiting", errno);
    if (n == 0)
        throw FtpError(FtpError::Kind::Timeout,
                       QStringLiteral("No %1 on the %2 within %3")
                           .arg(QLatin1StringView(waitingFor), m_label, secondsText(timeoutMs)));
}

void FtpSocket::startTls(TlsContext& context, const QString& host, SSL_SESSION* resume,
                         int timeoutMs, bool keepSessions)
{
    auto tls = std::make_unique<TlsChannel>(context, m_fd, host, m_label);
    if (keepSessions)
        context.watch(tls->ssl());
    tls->handshake(resume, timeoutMs);
    m_tls = std::move(tls);
}

bool FtpSocket::finishTls(int timeoutMs)
{
    return !m_tls || m_tls->shutdown(timeoutMs);
}

bool FtpSocket::waitReadable(int timeoutMs)
{
    if (m_tls && m_tls->hasPending())
        return true;
    pollfd p{m_fd, POLLIN, 0};
    int n;
    do
        n = ::poll(&p, 1, timeoutMs);
    while (n < 0 && errno == EINTR);
    return n > 0;
}

qint64 FtpSocket::receiveSome(char* data, qint64 size, int timeoutMs)
{
    if (m_tls)
        return m_tls->receiveSome(data, size, timeoutMs);
    for (;;) {
        const ssize_t n = ::recv(m_fd, data, static_cast<size_t>(size), 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw socketError(m_label, "receiving", errno);
        wait(POLLIN, timeoutMs, "answer");
    }
}

void FtpSocket::sendAll(const char* data, qint64 size, int timeoutMs)
{
    if (m_tls) {
        while (size > 0) {
            const qint64 n = m_tls->sendSome(data, size, timeoutMs);
            data += n;
            size -= n;
        }
        return;
    }
    while (size > 0) {
        const ssize_t n = ::send(m_fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0) {
            data += n;
            size -= n;
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw socketError(m_label, "sending", errno);
        wait(POLLOUT, timeoutMs, "progress sending");
    }
}

qint64 FtpSocket::sendSome(const char* data, qint64 size, int timeoutMs)
{
    if (m_tls)
        return m_tls->sendSome(data, size, timeoutMs);
    for (;;) {
        const ssize_t n = ::send(m_fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK)
            throw socketError(m_label, "sending", errno);
        wait(POLLOUT, timeoutMs, "progress sending");
    }
}

// The system resolver may wait on a DNS server for as long as it likes; the lookup runs on the
// resolver's own thread and is given up after the connect limit. An address literal needs none.
sockaddr_in resolveIpv4(const QString& host, int timeoutMs)
{
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    const QByteArray name = host.toUtf8();
    if (::inet_pton(AF_INET, name.constData(), &peer.sin_addr) == 1)
        return peer;
    struct Lookup
    {
        QByteArray name;
        addrinfo hints{};
        gaicb request{};
    };
    auto lookup = std::make_unique<Lookup>();
    lookup->name = name;
    lookup->hints.ai_family = AF_INET; // the system's servers are reached over IPv4
    lookup->hints.ai_socktype = SOCK_STREAM;
    lookup->request.ar_name = lookup->name.constData();
    lookup->request.ar_request = &lookup->hints;
    gaicb* list[] = {&lookup->request};
    const auto failed = [&host](int rc) {
        return FtpError(FtpError::Kind::Socket,
                        QStringLiteral("Cannot find the FTP server %1: %2")
                            .arg(host, QString::fromLocal8Bit(::gai_strerror(rc))));
    };
    if (const int rc = ::getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr); rc != 0)
        throw failed(rc);
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 1));
    while (::gai_error(&lookup->request) == EAI_INPROGRESS) {
        const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        const timespec wait{static_cast<time_t>(left.count() / 1'000'000'000),
                            static_cast<long>(left.count() % 1'000'000'000)};
        const gaicb* const waiting[] = {&lookup->request};
        ::gai_suspend(waiting, 1, &wait);
    }
    const int rc = ::gai_error(&lookup->request);
    if (rc == EAI_INPROGRESS) {
        // A lookup that cannot be called off still writes into its request when it ends: that
        // memory is left to it.
        if (::gai_cancel(&lookup->request) != EAI_CANCELED)
            (void)lookup.release();
        throw FtpError(FtpError::Kind::Timeout,
                       QStringLiteral("Cannot find the FTP server %1: no answer within %2 s")
                           .arg(host)
                           .arg(timeoutMs / 1000.0));
    }
    if (rc != 0)
        throw failed(rc);
    std::memcpy(&peer, lookup->request.ar_result->ai_addr, sizeof peer);
    ::freeaddrinfo(lookup->request.ar_result);
    return peer;
}
