#include "net/TlsChannel.h"

#include "net/FtpError.h"

#include <QStringList>
#include <QTimeZone>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>

namespace {

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int msUntil(qint64 deadlineMs)
{
    const qint64 left = deadlineMs - nowMs();
    return left <= 0 ? 0 : static_cast<int>(std::min<qint64>(left, INT_MAX));
}

QString secondsText(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) + QStringLiteral(" s")
                          : QString::number(ms) + QStringLiteral(" ms");
}

// What OpenSSL queued about the last failure, oldest first.
QString openSslErrors()
{
    QStringList texts;
    while (const unsigned long code = ERR_get_error()) {
        char text[256];
        ERR_error_string_n(code, text, sizeof text);
        texts << QString::fromLatin1(text);
    }
    return texts.join(QStringLiteral("; "));
}

// A socket BIO that sends with MSG_NOSIGNAL: OpenSSL's own writes with write(), and a server
// that closes mid-transfer would end the program with SIGPIPE.
int bioFd(BIO* bio)
{
    return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio)));
}

int bioWrite(BIO* bio, const char* data, size_t size, size_t* written)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::send(bioFd(bio), data, size, MSG_NOSIGNAL);
    if (n >= 0) {
        *written = static_cast<size_t>(n);
        return 1;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        BIO_set_retry_write(bio);
    return 0;
}

int bioRead(BIO* bio, char* data, size_t size, size_t* read)
{
    BIO_clear_retry_flags(bio);
    const ssize_t n = ::recv(bioFd(bio), data, size, 0);
    if (n > 0) {
        *read = static_cast<size_t>(n);
        return 1;
    }
    if (n == 0)
        BIO_set_flags(bio, BIO_FLAGS_IN_EOF);
    else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        BIO_set_retry_read(bio);
    return 0;
}

long bioControl(BIO* bio, int command, long, void* pointer)
{
    switch (command) {
    case BIO_CTRL_FLUSH:
        return 1;
    case BIO_CTRL_EOF:
        return BIO_test_flags(bio, BIO_FLAGS_IN_EOF) != 0;
    case BIO_C_GET_FD:
        if (pointer)
            *static_cast<int*>(pointer) = bioFd(bio);
        return bioFd(bio);
    default:
        return 0;
    }
}

BIO_METHOD* socketMethod()
{
    static BIO_METHOD* const method = [] {
        BIO_METHOD* m = BIO_meth_new(
            BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR, "larkspire socket");
        if (m) {
            BIO_meth_set_write_ex(m, bioWrite);
            BIO_meth_set_read_ex(m, bioRead);
            BIO_meth_set_ctrl(m, bioControl);
        }
        return m;
    }();
    return method;
}

bool isConnectionLoss(int error)
{
    return error == ECONNRESET || error == ECONNABORTED || error == EPIPE;
}

bool isUnexpectedEnd(unsigned long code)
{
    return ERR_GET_LIB(code) == ERR_LIB_SSL &&
           ERR_GET_REASON(code) == SSL_R_UNEXPECTED_EOF_WHILE_READING;
}

} // namespace

// ---- context ----------------------------------------------------------------------------------

TlsContext::TlsContext()
{
    m_ctx = SSL_CTX_new(TLS_client_method());
    if (!m_ctx)
        throw FtpError(FtpError::Kind::Tls,
                       QStringLiteral("TLS cannot be set up: %1").arg(openSslErrors()));
    SSL_CTX_set_min_proto_version(m_ctx, TLS1_2_VERSION);
    // The chain is checked against the system's store, but a certificate it does not vouch
    // for is not refused here: the client pins it on first use (FtpClient).
    SSL_CTX_set_default_verify_paths(m_ctx);
    SSL_CTX_set_verify(m_ctx, SSL_VERIFY_NONE, nullptr);
    SSL_CTX_set_mode(m_ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
    SSL_CTX_set_session_cache_mode(m_ctx, SSL_SESS_CACHE_CLIENT | SSL_SESS_CACHE_NO_INTERNAL_STORE);
    SSL_CTX_sess_set_new_cb(m_ctx, &TlsContext::onNewSession);
    SSL_CTX_set_app_data(m_ctx, this);
}

TlsContext::~TlsContext()
{
    forget();
    SSL_CTX_free(m_ctx);
}

void TlsContext::watch(SSL* control)
{
    forget();
    m_control = control;
}

void TlsContext::forget()
{
    m_control = nullptr;
    if (m_session)
        SSL_SESSION_free(m_session);
    m_session = nullptr;
}

void TlsContext::released(SSL* ssl)
{
    if (m_control == ssl)
        m_control = nullptr;
}

int TlsContext::onNewSession(SSL* ssl, SSL_SESSION* session)
{
    auto* self = static_cast<TlsContext*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!self || ssl != self->m_control)
        return 0; // a data connection's: the servers want the control connection's
    if (self->m_session)
        SSL_SESSION_free(self->m_session);
    self->m_session = session;
    return 1; // the reference is ours now
}

// ---- channel ----------------------------------------------------------------------------------

TlsChannel::TlsChannel(TlsContext& context, int fd, const QString& host, const QString& label)
    : m_context(context), m_fd(fd), m_host(host), m_label(label)
{
    m_ssl = SSL_new(context.get());
    BIO* bio = socketMethod() ? BIO_new(socketMethod()) : nullptr;
    if (!m_ssl || !bio) {
        const QString why = openSslErrors();
        BIO_free(bio);
        SSL_free(m_ssl);
        m_ssl = nullptr;
        throw FtpError(FtpError::Kind::Tls,
                       QStringLiteral("TLS cannot be set up for the %1: %2").arg(label, why));
    }
    BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
    BIO_set_init(bio, 1);
    SSL_set_bio(m_ssl, bio, bio);
    const QByteArray name = host.toUtf8();
    in_addr literal{};
    if (::inet_pton(AF_INET, name.constData(), &literal) == 1) {
        X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(m_ssl), name.constData());
    } else {
        SSL_set_tlsext_host_name(m_ssl, name.constData());
        SSL_set1_host(m_ssl, name.constData());
    }
    SSL_set_connect_state(m_ssl);
}

TlsChannel::~TlsChannel()
{
    m_context.released(m_ssl);
    SSL_free(m_ssl);
}

void TlsChannel::fail(int sslError, const char* doing)
{
    const int error = errno;
    m_failed = true;
    bool ended = sslError == SSL_ERROR_ZERO_RETURN ||
                 (sslError == SSL_ERROR_SYSCALL && ERR_peek_error() == 0 && error == 0);
    if (const unsigned long code = ERR_peek_error(); code != 0 && isUnexpectedEnd(code))
        ended = true;
    const QString what = QLatin1StringView(doing);
    if (ended) {
        ERR_clear_error();
        throw FtpError(FtpError::Kind::Closed,
                       QStringLiteral("The server closed the %1 during %2").arg(m_label, what));
    }
    if (sslError == SSL_ERROR_SYSCALL && ERR_peek_error() == 0)
        throw FtpError(isConnectionLoss(error) ? FtpError::Kind::Closed : FtpError::Kind::Socket,
                       QStringLiteral("%1 on the %2 failed: %3")
                           .arg(what, m_label, QString::fromLocal8Bit(std::strerror(error))),
                       0, error);
    throw FtpError(FtpError::Kind::Tls,
                   QStringLiteral("%1 on the %2 failed: %3").arg(what, m_label, openSslErrors()));
}

void TlsChannel::waitFor(int sslError, qint64 deadlineMs, const char* waitingFor, int limitMs)
{
    pollfd p{m_fd, static_cast<short>(sslError == SSL_ERROR_WANT_WRITE ? POLLOUT : POLLIN), 0};
    int n;
    do
        n = ::poll(&p, 1, msUntil(deadlineMs));
    while (n < 0 && errno == EINTR);
    if (n < 0) {
        const int error = errno;
        throw FtpError(FtpError::Kind::Socket,
                       QStringLiteral("waiting on the %1 failed: %2")
                           .arg(m_label, QString::fromLocal8Bit(std::strerror(error))),
                       0, error);
    }
    if (n == 0)
        throw FtpError(FtpError::Kind::Timeout,
                       QStringLiteral("No %1 on the %2 within %3")
                           .arg(QLatin1StringView(waitingFor), m_label, secondsText(limitMs)));
}

void TlsChannel::handshake(SSL_SESSION* resume, int timeoutMs)
{
    // A copy: OpenSSL marks a session unusable when a connection that used it ends without
    // close_notify (as vsftpd's data connections do), and the next data connection needs it.
    if (SSL_SESSION* copy = resume ? SSL_SESSION_dup(resume) : nullptr) {
        SSL_set_session(m_ssl, copy);
        SSL_SESSION_free(copy);
    }
    const qint64 deadline = nowMs() + timeoutMs;
    for (;;) {
        ERR_clear_error();
        errno = 0;
        const int r = SSL_connect(m_ssl);
        if (r == 1)
            return;
        const int e = SSL_get_error(m_ssl, r);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
            fail(e, "the TLS handshake");
        waitFor(e, deadline, "TLS handshake", timeoutMs);
    }
}

qint64 TlsChannel::receiveSome(char* data, qint64 size, int timeoutMs)
{
    const qint64 deadline = nowMs() + timeoutMs;
    for (;;) {
        ERR_clear_error();
        errno = 0;
        size_t n = 0;
        const int r = SSL_read_ex(m_ssl, data, static_cast<size_t>(size), &n);
        if (r == 1)
            return static_cast<qint64>(n);
        const int e = SSL_get_error(m_ssl, r);
        if (e == SSL_ERROR_WANT_READ || e == SSL_ERROR_WANT_WRITE) {
            waitFor(e, deadline, "answer", timeoutMs);
            continue;
        }
        if (e == SSL_ERROR_ZERO_RETURN)
            return 0;
        // A close without close_notify also ends the stream: downloads are checked against
        // the size the server reports, so a cut one is still caught.
        const unsigned long code = ERR_peek_error();
        if ((e == SSL_ERROR_SYSCALL && code == 0 && errno == 0) ||
            (code != 0 && isUnexpectedEnd(code))) {
            ERR_clear_error();
            m_failed = true;
            return 0;
        }
        fail(e, "receiving");
    }
}

qint64 TlsChannel::sendSome(const char* data, qint64 size, int timeoutMs)
{
    const qint64 deadline = nowMs() + timeoutMs;
    for (;;) {
        ERR_clear_error();
        errno = 0;
        size_t n = 0;
        const int r = SSL_write_ex(m_ssl, data, static_cast<size_t>(size), &n);
        if (r == 1)
            return static_cast<qint64>(n);
        const int e = SSL_get_error(m_ssl, r);
        if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
            fail(e, "sending");
        waitFor(e, deadline, "progress sending", timeoutMs);
    }
}

bool TlsChannel::hasPending() const
{
    return SSL_has_pending(m_ssl) == 1;
}

bool TlsChannel::shutdown(int timeoutMs)
{
    if (m_failed)
        return false;
    const qint64 deadline = nowMs() + timeoutMs;
    try {
        for (;;) {
            ERR_clear_error();
            const int r = SSL_shutdown(m_ssl);
            if (r == 1)
                return true; // the peer's came first
            if (r == 0)
                break;
            const int e = SSL_get_error(m_ssl, r);
            if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE)
                return false;
            waitFor(e, deadline, "end of the TLS stream", timeoutMs);
        }
        // Nothing more comes from this side: a server that waits for the end of the TCP stream
        // rather than for close_notify sees it too.
        ::shutdown(m_fd, SHUT_WR);
        char discard[4096];
        for (;;) {
            ERR_clear_error();
            errno = 0;
            size_t n = 0;
            const int r = SSL_read_ex(m_ssl, discard, sizeof discard, &n);
            if (r == 1)
                continue;
            const int e = SSL_get_error(m_ssl, r);
            if (e == SSL_ERROR_ZERO_RETURN)
                return true;
            if (e != SSL_ERROR_WANT_READ && e != SSL_ERROR_WANT_WRITE) {
                const unsigned long code = ERR_peek_error();
                ERR_clear_error();
                // A close without close_notify ends it as well.
                return (e == SSL_ERROR_SYSCALL && code == 0) || isUnexpectedEnd(code);
            }
            waitFor(e, deadline, "end of the TLS stream", timeoutMs);
        }
    } catch (const FtpError&) {
        return false;
    }
}

bool TlsChannel::resumed() const
{
    return SSL_session_reused(m_ssl) == 1;
}

QString TlsChannel::version() const
{
    return QString::fromLatin1(SSL_get_version(m_ssl));
}

TlsPeer TlsChannel::peer() const
{
    TlsPeer p;
    X509* cert = SSL_get1_peer_certificate(m_ssl);
    if (!cert)
        return p;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (X509_digest(cert, EVP_sha256(), digest, &length) == 1) {
        const QByteArray bytes(reinterpret_cast<const char*>(digest), length);
        p.fingerprint = QString::fromLatin1(bytes.toHex(':').toUpper());
    }
    tm end{};
    if (ASN1_TIME_to_tm(X509_get0_notAfter(cert), &end) == 1)
        p.expires = QDateTime(QDate(end.tm_year + 1900, end.tm_mon + 1, end.tm_mday),
                              QTime(end.tm_hour, end.tm_min, end.tm_sec), QTimeZone::utc());
    char subject[512] = {};
    X509_NAME_oneline(X509_get_subject_name(cert), subject, sizeof subject);
    p.subject = QString::fromUtf8(subject);
    const long verdict = SSL_get_verify_result(m_ssl);
    p.trusted = verdict == X509_V_OK;
    if (!p.trusted)
        p.untrustedBecause = QString::fromLatin1(X509_verify_cert_error_string(verdict));
    X509_free(cert);
    return p;
}
