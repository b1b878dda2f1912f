#include "net/XNetDetect.h"

#include "net/FtpError.h"
#include "net/FtpSocket.h"
#include "net/ServerAddress.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QPointer>
#include <QUrl>

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

constexpr int kAnswerTimeoutMs = 5000;

} // namespace

bool probeAddress(const QString& address, int timeoutMs)
{
    QString host;
    quint16 port = 0;
    QByteArray request;
    const QUrl url(address);
    if (url.scheme() == u"http" || url.scheme() == u"https") {
        host = url.host();
        port = static_cast<quint16>(url.port(url.scheme() == u"https" ? 443 : 80));
        // Only plain HTTP can be asked without TLS; for https an accepted connection suffices.
        if (url.scheme() == u"http") {
            const QString path = url.path(QUrl::FullyEncoded).isEmpty()
                                     ? QStringLiteral("/")
                                     : url.path(QUrl::FullyEncoded);
            request = "HEAD " + path.toLatin1() + " HTTP/1.0\r\nHost: " + host.toLatin1() +
                      "\r\nUser-Agent: XNetDetect v2.1\r\nConnection: close\r\n\r\n";
        }
    } else {
        const auto hp = HostPort::parse(address, 80);
        if (!hp)
            return false;
        host = hp->host;
        port = hp->port;
    }
    if (host.isEmpty())
        return false;
    // The program's own sockets: Qt's would load its network stack (proxies, Kerberos) into
    // every client for this one connection.
    try {
        QElapsedTimer clock;
        clock.start();
        sockaddr_in peer = resolveIpv4(host, timeoutMs);
        peer.sin_port = htons(port);
        // The lookup and the connection share the one limit.
        const int left = std::max(1, timeoutMs - int(clock.elapsed()));
        FtpSocket socket = FtpSocket::connectTo(peer, left, QStringLiteral("probe"));
        if (request.isEmpty())
            return true;
        socket.sendAll(request.constData(), request.size(), kAnswerTimeoutMs);
        QByteArray answer;
        char chunk[64];
        while (answer.size() < 5) {
            const qint64 n = socket.receiveSome(chunk, sizeof chunk, kAnswerTimeoutMs);
            if (n <= 0)
                break;
            answer.append(chunk, n);
        }
        return answer.startsWith("HTTP/");
    } catch (const FtpError&) {
        return false;
    }
}

// Lets a worker that outlives its detector drop its answer instead of posting to a dead object.
struct TXNetDetect::Shared
{
    std::mutex mutex;
    TXNetDetect* owner = nullptr;
};

TXNetDetect::TXNetDetect(const QString& url, QObject* parent)
    : QObject(parent), m_shared(std::make_shared<Shared>()), m_url(url)
{
    m_shared->owner = this;
    m_timer.setInterval(5000);
    connect(&m_timer, &QTimer::timeout, this, &TXNetDetect::timerTick);
    requestCheck();
}

TXNetDetect::~TXNetDetect()
{
    const std::lock_guard<std::mutex> lock(m_shared->mutex);
    m_shared->owner = nullptr;
}

void TXNetDetect::setInterval(int ms)
{
    if (ms > 999)
        m_timer.setInterval(ms);
}

void TXNetDetect::setEnabled(bool on)
{
    if (on && !m_timer.isActive())
        m_timer.start();
    else if (!on)
        m_timer.stop();
}

void TXNetDetect::requestCheck()
{
    startCheck(true);
}

void TXNetDetect::timerTick()
{
    startCheck(false);
}

void TXNetDetect::startCheck(bool requested)
{
    m_requested = requested;
    const quint64 check = ++m_latestCheck;
    std::thread([shared = m_shared, url = m_url, timeout = m_timeOut, check] {
        const bool reachable = probeAddress(url, timeout);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        if (TXNetDetect* owner = shared->owner) {
            QMetaObject::invokeMethod(
                owner, [owner, check, reachable] { owner->complete(check, reachable); },
                Qt::QueuedConnection);
        }
    }).detach();
}

void TXNetDetect::complete(quint64 check, bool reachable)
{
    // An answer overtaken by a newer check says nothing the newer one will not say better.
    if (check != m_latestCheck)
        return;
    m_lastAnswer = reachable;
    if (m_requested) {
        m_changeAnswer = !reachable;
        emit ConnectionStatus(this, reachable);
    } else {
        if (reachable == m_changeAnswer)
            emit ConnectionStatusChanged(this, reachable);
        m_changeAnswer = !reachable;
    }
}
