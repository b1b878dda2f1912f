#include "net/FtpClient.h"

#include <QRandomGenerator>

#include "core/Cp1251.h"
#include "net/ServerAddress.h"
#include "net/TlsPins.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <memory>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The words of a FEAT line, split at blanks, commas and semicolons. By hand: this runs at every
// login, and a pattern would bring the regular expression engine into a client that never
// reads a listing.
QStringList featureWords(const QString& line)
{
    QStringList words;
    QString word;
    for (const QChar c : line) {
        if (c.isSpace() || c == u',' || c == u';') {
            if (!word.isEmpty())
                words.append(std::exchange(word, QString()));
        } else {
            word.append(c);
        }
    }
    if (!word.isEmpty())
        words.append(word);
    return words;
}

constexpr std::initializer_list<int> kTransferStarted = {125, 150, 154};
constexpr std::initializer_list<int> kTransferDone = {226, 225, 250};
constexpr int kQuitReplyWaitMs = 100;
constexpr qsizetype kLongestReplyLine = 64 * 1024;
// A reply longer than this is a server in a loop or an attack; FEAT, the longest reply the
// client reads, has a few dozen lines.
constexpr int kMostReplyLines = 1000;
constexpr qsizetype kMostReplyBytes = 256 * 1024;

int msUntil(Clock::time_point when)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return left <= 0 ? 0 : static_cast<int>(std::min<long long>(left, INT_MAX));
}

QString secondsText(int ms)
{
    return ms % 1000 == 0 ? QString::number(ms / 1000) + QStringLiteral(" s")
                          : QString::number(ms) + QStringLiteral(" ms");
}

bool contains(std::initializer_list<int> list, int code)
{
    return std::find(list.begin(), list.end(), code) != list.end();
}

QString systemText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// Closes a local file descriptor when a transfer ends early.
class LocalFile
{
public:
    explicit LocalFile(int fd) : m_fd(fd) {}
    ~LocalFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;
    int fd() const { return m_fd; }
    // Closes now and reports whether the last writes reached the file.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

// Removes an unfinished download's temporary file unless the transfer completed.
class PartialFile
{
public:
    explicit PartialFile(QByteArray path) : m_path(std::move(path)) {}
    ~PartialFile()
    {
        if (!m_path.isEmpty())
            ::unlink(m_path.constData());
    }
    PartialFile(const PartialFile&) = delete;
    PartialFile& operator=(const PartialFile&) = delete;
    void keep() { m_path.clear(); }

private:
    QByteArray m_path;
};

FtpError localError(const QString& what, const QString& path, int error)
{
    return FtpError(
        FtpError::Kind::Local,
        QStringLiteral("Cannot %1 the local file %2: %3").arg(what, path, systemText(error)), 0,
        error);
}

// `size` -1: not known, only that the transfer went past the limit.
FtpError tooLarge(const QString& name, const QString& host, qint64 size, qint64 maxBytes)
{
    const QString what = size >= 0 ? QStringLiteral("is %1 bytes").arg(size)
                                   : QStringLiteral("grew beyond %1 bytes").arg(maxBytes);
    return FtpError(FtpError::Kind::TooLarge,
                    QStringLiteral("The file %1 on %2 %3, more than the %4 this program reads.")
                        .arg(name, host, what)
                        .arg(maxBytes));
}

// The port of a 227 reply "... (h1,h2,h3,h4,p1,p2)"; the address part is not used.
int pasvPort(const QString& text)
{
    int numbers[6];
    int count = 0;
    int value = -1;
    for (const QChar c : text + u' ') {
        if (c.isDigit()) {
            value = (value < 0 ? 0 : value * 10) + c.digitValue();
            if (value > 255)
                value = 256; // keeps it invalid
            continue;
        }
        if (value >= 0 && c == u',' && count < 5) {
            numbers[count++] = value;
        } else if (value >= 0 && count == 5) {
            numbers[count++] = value;
            break;
        } else {
            count = 0;
        }
        value = -1;
    }
    if (count != 6 || std::any_of(numbers, numbers + 6, [](int n) { return n > 255; }))
        return -1;
    const int port = numbers[4] * 256 + numbers[5];
    return port > 0 ? port : -1;
}

// The port of a 229 reply "... (|||port|)".
int epsvPort(const QString& text)
{
    const qsizetype open = text.indexOf(u'(');
    if (open < 0 || open + 4 >= text.size())
        return -1;
    const QChar d = text.at(open + 1);
    if (text.at(open + 2) != d || text.at(open + 3) != d)
        return -1;
    const qsizetype close = text.indexOf(d, open + 4);
    if (close < 0)
        return -1;
    bool ok = false;
    const int port = text.mid(open + 4, close - open - 4).toInt(&ok);
    return ok && port > 0 && port < 65536 ? port : -1;
}

// "150 Opening BINARY mode data connection for x (1234 bytes)." -> 1234, else -1.
qint64 announcedSize(const FtpReply& reply)
{
    const QString text = reply.lines.value(0);
    const qsizetype end = text.lastIndexOf(QStringLiteral(" bytes)"));
    if (end < 0)
        return -1;
    const qsizetype open = text.lastIndexOf(u'(', end);
    if (open < 0)
        return -1;
    bool ok = false;
    const qint64 n = text.mid(open + 1, end - open - 1).toLongLong(&ok);
    return ok ? n : -1;
}

// The text of a reply line after its code and separator.
QString afterCode(const QString& line)
{
    return line.size() > 4 ? line.mid(4) : QString();
}

} // namespace

// Keeps a transfer moving: it fails when nothing arrives for the idle limit, or when fewer than
// the minimum bytes move within one rate window. Waits are cut to the window's end so that a
// dribble of single bytes, which never leaves the socket silent, is still caught.
class FtpPace
{
public:
    FtpPace(const FtpTimeouts& limits, QString what)
        : m_windowMs(limits.rateWindowMs), m_minBytes(limits.minBytesPerWindow),
          m_idleMs(limits.dataIdleMs), m_what(std::move(what)), m_windowStart(Clock::now()),
          m_lastMove(m_windowStart)
    {
    }

    // How long the next wait may last; throws FtpError (Timeout) once the transfer is too slow.
    int nextWaitMs()
    {
        const auto now = Clock::now();
        if (m_windowMs > 0 && now - m_windowStart >= std::chrono::milliseconds(m_windowMs)) {
            if (m_bytes < m_minBytes)
                throw FtpError(FtpError::Kind::Timeout,
                               QStringLiteral("The %1 moved %2 bytes in %3, fewer than the %4 "
                                              "that count as progress")
                                   .arg(m_what)
                                   .arg(m_bytes)
                                   .arg(secondsText(m_windowMs))
                                   .arg(m_minBytes));
            m_windowStart = now;
            m_bytes = 0;
        }
        int wait = msUntil(m_lastMove + std::chrono::milliseconds(m_idleMs));
        if (wait <= 0)
            throw FtpError(
                FtpError::Kind::Timeout,
                QStringLiteral("No data on the %1 within %2").arg(m_what, secondsText(m_idleMs)));
        if (m_windowMs > 0)
            wait = std::min(wait, msUntil(m_windowStart + std::chrono::milliseconds(m_windowMs)));
        return std::max(wait, 1);
    }

    void moved(qint64 bytes)
    {
        if (bytes <= 0)
            return;
        m_bytes += bytes;
        m_lastMove = Clock::now();
    }

private:
    int m_windowMs;
    qint64 m_minBytes;
    int m_idleMs;
    QString m_what;
    Clock::time_point m_windowStart;
    Clock::time_point m_lastMove;
    qint64 m_bytes = 0;
};

FtpClient::FtpClient(FtpSettings settings)
    : m_settings(std::move(settings)),
      m_ownerToken(QString::number(QRandomGenerator::system()->generate64(), 36))
{
}

FtpClient::~FtpClient() = default;

// ---- connection -----------------------------------------------------------------------------

void FtpClient::connect()
{
    if (connected())
        throw FtpError(FtpError::Kind::Usage,
                       QStringLiteral("Already connected to %1").arg(m_hostText));
    const std::optional<HostPort> address = HostPort::parse(m_settings.host);
    if (!address)
        throw FtpError(FtpError::Kind::Usage,
                       m_settings.host.trimmed().isEmpty()
                           ? QStringLiteral("No FTP server address is set")
                           : QStringLiteral("Not a server address: %1").arg(m_settings.host));
    m_hostText = QStringLiteral("%1:%2").arg(address->host).arg(address->port);

    sockaddr_in peer = resolveIpv4(address->host, m_settings.timeouts.connectMs);
    peer.sin_port = htons(address->port);

    m_features.clear();
    m_greeting.clear();
    m_system.clear();
    m_utf8 = false;
    m_protectData = false;
    m_peer = {};
    m_tlsVersion.clear();
    m_lastDataResumed = false;
    try {
        for (const bool sendHost : {true, false}) {
            m_control =
                FtpSocket::connectTo(peer, m_settings.timeouts.connectMs,
                                     QStringLiteral("control connection to %1").arg(m_hostText));
            m_input.clear();
            m_inputPos = 0;
            m_control.setNoDelay();
            if (m_settings.keepAlive)
                m_control.setKeepAlive(m_settings.keepAliveIdleMs, m_settings.keepAliveIntervalMs);

            // The whole greeting, a 1xx one included, must arrive within one reply limit.
            const auto deadline =
                Clock::now() + std::chrono::milliseconds(m_settings.timeouts.replyMs);
            const FtpReply* greeting = &readReplyBy(deadline);
            if (greeting->code >= 100 && greeting->code < 200)
                greeting = &readReplyBy(deadline);
            if (greeting->code != 220)
                refuse(*greeting);
            m_greeting = greeting->lines.value(0);

            if (sendHost) {
                // RFC 7151: an address literal goes in brackets.
                in_addr literal{};
                const bool numeric =
                    ::inet_pton(AF_INET, address->host.toLatin1().constData(), &literal) == 1 &&
                    literal.s_addr == peer.sin_addr.s_addr;
                const QString hostArgument = numeric ? u'[' + address->host + u']' : address->host;
                try {
                    command(QStringLiteral("HOST"), hostArgument, {});
                } catch (const FtpError& e) {
                    // Some servers drop the connection on HOST: log in again without it.
                    if (e.kind() != FtpError::Kind::Closed)
                        throw;
                    m_control.close();
                    continue;
                }
            }
            secureControl(address->host);
            login();
            break;
        }
    } catch (...) {
        m_control.close();
        throw;
    }
    if (m_settings.onConnected)
        m_settings.onConnected();
}

void FtpClient::secureControl(const QString& host)
{
    if (m_settings.tls == FtpTls::Off)
        return;
    const QString pinned = m_settings.tlsPins ? m_settings.tlsPins->pin(m_hostText) : QString();
    const FtpReply& auth = command("AUTH TLS");
    if (auth.code != 234) {
        const QString answer = auth.lines.value(0);
        if (!pinned.isEmpty())
            throw FtpError(
                FtpError::Kind::Tls,
                QStringLiteral("The FTP server %1 no longer offers TLS: it answered \"%2\" to "
                               "AUTH TLS, where it offered TLS before (certificate SHA256 %3). "
                               "The login and the files are not sent to it in plain text; if "
                               "the server was changed on purpose, remove its pin from the "
                               "settings.")
                    .arg(m_hostText, answer, pinned));
        if (m_settings.tls == FtpTls::Require)
            throw FtpError(FtpError::Kind::Tls,
                           QStringLiteral("The FTP server %1 does not offer TLS (it answered "
                                          "\"%2\" to AUTH TLS), and TLS is required here.")
                               .arg(m_hostText, answer));
        return;
    }
    // Whatever came after the 234 reply in plain text would be read as if protected: a
    // command injected by someone on the way.
    if (m_inputPos < m_input.size())
        fail(FtpError(FtpError::Kind::Protocol,
                      QStringLiteral("The FTP server %1 sent more after accepting AUTH TLS")
                          .arg(m_hostText)));
    if (!m_tlsContext)
        m_tlsContext = std::make_unique<TlsContext>();
    m_control.startTls(*m_tlsContext, host, nullptr, m_settings.timeouts.replyMs, true);
    m_tlsHost = host;
    m_tlsVersion = m_control.tls()->version();
    m_peer = m_control.tls()->peer();
    checkCertificate(m_peer, pinned);

    command("PBSZ 0", {200});
    const FtpReply& prot = command("PROT P");
    m_protectData = prot.code == 200;
    if (!m_protectData && m_settings.tls == FtpTls::Require)
        throw FtpError(FtpError::Kind::Tls,
                       QStringLiteral("The FTP server %1 does not protect data connections (it "
                                      "answered \"%2\" to PROT P), and TLS is required here.")
                           .arg(m_hostText, prot.lines.value(0)));
}

void FtpClient::checkCertificate(const TlsPeer& peer, const QString& pinned)
{
    if (peer.fingerprint.isEmpty())
        throw FtpError(FtpError::Kind::Tls,
                       QStringLiteral("The FTP server %1 showed no certificate").arg(m_hostText));
    // A certificate the system's store vouches for may be renewed at any time; one seen first
    // is taken on trust, as office servers mostly sign their own.
    if (pinned.isEmpty() || pinned == peer.fingerprint || peer.trusted) {
        if (m_settings.tlsPins && pinned != peer.fingerprint)
            m_settings.tlsPins->setPin(m_hostText, peer.fingerprint);
        return;
    }
    throw FtpError(FtpError::Kind::Tls,
                   QStringLiteral("The certificate of the FTP server %1 changed: was SHA256 %2, "
                                  "now SHA256 %3 (%4, valid until %5, %6). Nothing is sent to "
                                  "it, since another machine may be posing as the server; if "
                                  "the server was given a new certificate on purpose, remove its "
                                  "pin from the settings.")
                       .arg(m_hostText, pinned, peer.fingerprint, peer.subject,
                            peer.expires.toString(Qt::ISODate), peer.untrustedBecause));
}

void FtpClient::login()
{
    const FtpReply& user = command(QStringLiteral("USER"), m_settings.user, {230, 232, 331});
    if (user.code == 331) {
        const FtpReply& pass = command(QStringLiteral("PASS"), m_settings.password, {230, 332});
        if (pass.code == 332) // an account is required and none is configured
            refuse(pass);
    }

    const FtpReply& feat = command("FEAT");
    if ((feat.code == 211 || feat.code == 221) && feat.lines.size() > 2)
        m_features = feat.lines.mid(1, feat.lines.size() - 2);

    if (offers(QStringLiteral("CLNT")))
        command(QStringLiteral("CLNT"), m_settings.clientName, {});
    m_utf8 = offers(QStringLiteral("UTF8"));
    command("TYPE I", {200});

    m_system = afterCode(command("SYST").lines.value(0));
    const bool siteZone = std::any_of(m_features.cbegin(), m_features.cend(), [](const QString& l) {
        const QStringList words = featureWords(l);
        return words.size() > 1 && words.first().compare(u"SITE", Qt::CaseInsensitive) == 0 &&
               words.contains(QStringLiteral("ZONE"), Qt::CaseInsensitive);
    });
    if (siteZone)
        command("SITE ZONE");
    command("TYPE I", {200});
}

void FtpClient::disconnect()
{
    if (!connected())
        return;
    try {
        send("QUIT");
        if (m_control.waitReadable(kQuitReplyWaitMs))
            readReply(kQuitReplyWaitMs);
        m_control.finishTls(kQuitReplyWaitMs);
    } catch (const FtpError&) {
        // The QUIT reply does not matter: the connection is closed in any case.
    }
    m_control.close();
}

bool FtpClient::offers(const QString& feature) const
{
    return std::any_of(m_features.cbegin(), m_features.cend(), [&](const QString& line) {
        QString l = line.trimmed();
        // Some servers repeat the code on every line ("211-UTF8").
        if (l.size() > 4 && l.at(3) == u'-' && l.left(3).toInt() > 0)
            l = l.mid(4).trimmed();
        return l.section(u' ', 0, 0).compare(feature, Qt::CaseInsensitive) == 0;
    });
}

// ---- commands and replies -------------------------------------------------------------------

void FtpClient::ensureConnected() const
{
    if (!connected())
        throw FtpError(FtpError::Kind::Usage, QStringLiteral("Not connected to the FTP server"));
}

QByteArray FtpClient::encode(const QString& text) const
{
    if (text.contains(u'\r') || text.contains(u'\n') || text.contains(QChar(0)))
        throw FtpError(
            FtpError::Kind::Usage,
            QStringLiteral("A name sent to the FTP server holds a line break: %1").arg(text));
    return m_utf8 ? text.toUtf8() : cp1251::encode(text);
}

QString FtpClient::decode(const QByteArray& bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : cp1251::decode(bytes);
}

void FtpClient::send(const QByteArray& line)
{
    ensureConnected();
    // One write per command line.
    const QByteArray wire = line + "\r\n";
    try {
        m_control.sendAll(wire.constData(), wire.size(), m_settings.timeouts.replyMs);
    } catch (const FtpError& e) {
        fail(e);
    }
}

QByteArray FtpClient::readLine(Deadline deadline)
{
    for (;;) {
        const qsizetype end = m_input.indexOf('\n', m_inputPos);
        if (end >= 0) {
            QByteArray line = m_input.mid(m_inputPos, end - m_inputPos);
            m_inputPos = end + 1;
            if (m_inputPos == m_input.size()) {
                m_input.clear();
                m_inputPos = 0;
            }
            if (line.endsWith('\r'))
                line.chop(1);
            return line;
        }
        if (m_input.size() - m_inputPos > kLongestReplyLine)
            fail(FtpError(FtpError::Kind::Protocol,
                          QStringLiteral("The server %1 sent a reply line that does not end")
                              .arg(m_hostText)));
        char chunk[4096];
        qint64 n = 0;
        const int left = msUntil(deadline);
        const auto late = [&] {
            fail(FtpError(FtpError::Kind::Timeout,
                          QStringLiteral("The FTP server %1 did not complete its reply in time")
                              .arg(m_hostText)));
        };
        if (left <= 0)
            late();
        try {
            n = m_control.receiveSome(chunk, sizeof chunk, left);
        } catch (const FtpError& e) {
            if (e.kind() == FtpError::Kind::Timeout)
                late();
            fail(e);
        }
        if (n == 0)
            fail(FtpError(
                FtpError::Kind::Closed,
                QStringLiteral("The FTP server %1 closed the connection").arg(m_hostText)));
        m_input.append(chunk, n);
    }
}

const FtpReply& FtpClient::readReply(int timeoutMs)
{
    if (timeoutMs < 0)
        timeoutMs = m_settings.timeouts.replyMs;
    return readReplyBy(Clock::now() + std::chrono::milliseconds(timeoutMs));
}

const FtpReply& FtpClient::readReplyBy(Deadline deadline)
{
    const QByteArray first = readLine(deadline);
    const auto isCode = [](const QByteArray& l) {
        return l.size() >= 3 &&
               std::all_of(l.begin(), l.begin() + 3, [](char c) { return c >= '0' && c <= '9'; });
    };
    if (!isCode(first) || (first.size() > 3 && first.at(3) != ' ' && first.at(3) != '-'))
        fail(FtpError(FtpError::Kind::Protocol,
                      QStringLiteral("The server %1 sent something that is not an FTP reply: %2")
                          .arg(m_hostText, decode(first.left(200)))));
    FtpReply reply;
    reply.code = first.left(3).toInt();
    reply.lines.append(decode(first));
    if (first.size() > 3 && first.at(3) == '-') {
        // RFC 959: the reply ends with the line that starts with the same code and a space;
        // lines in between may start with digits or repeat the code with "-".
        const QByteArray code = first.left(3);
        qsizetype bytes = first.size();
        for (;;) {
            const QByteArray line = readLine(deadline);
            bytes += line.size() + 2;
            if (reply.lines.size() >= kMostReplyLines || bytes > kMostReplyBytes)
                fail(FtpError(FtpError::Kind::Protocol,
                              QStringLiteral("The server %1 sent a reply of more than %2 lines "
                                             "or %3 KiB")
                                  .arg(m_hostText)
                                  .arg(kMostReplyLines)
                                  .arg(kMostReplyBytes / 1024)));
            reply.lines.append(decode(line));
            if (line.startsWith(code) && (line.size() == 3 || line.at(3) == ' '))
                break;
        }
    }
    m_lastReply = std::move(reply);
    m_lastAnswer = Clock::now();
    return m_lastReply;
}

const FtpReply& FtpClient::command(const QByteArray& line, std::initializer_list<int> accepted)
{
    send(line);
    const FtpReply& reply = readReply();
    if (accepted.size() != 0 && !contains(accepted, reply.code))
        refuse(reply);
    return reply;
}

const FtpReply& FtpClient::command(const QString& verb, const QString& argument,
                                   std::initializer_list<int> accepted)
{
    return command(verb.toLatin1() + ' ' + encode(argument), accepted);
}

void FtpClient::refuse(const FtpReply& reply)
{
    throw FtpError(FtpError::Kind::Reply, reply.text(), reply.code);
}

void FtpClient::fail(const FtpError& error)
{
    // After a timeout or a broken stream the next reply cannot be matched to its command.
    m_control.close();
    m_input.clear();
    m_inputPos = 0;
    throw error;
}

// ---- data transfers -------------------------------------------------------------------------

FtpSocket FtpClient::openDataConnection(const QByteArray& transferCommand)
{
    ensureConnected();
    if (offers(QStringLiteral("PRET")))
        command("PRET " + transferCommand);

    // The data connection goes to the control connection's peer with the port of the reply.
    // The address in a 227 reply is not dialled: a hostile or misconfigured server could
    // steer the client to another host with it (CVE-2020-8284), and behind NAT it is often a
    // private address that cannot be reached.
    sockaddr_in address = m_control.peerAddress();
    int port;
    if (m_settings.extendedPassive && offers(QStringLiteral("EPRT")) &&
        offers(QStringLiteral("EPSV"))) {
        const FtpReply& reply = command("EPSV", {229});
        port = epsvPort(reply.text());
    } else {
        const FtpReply& reply = command("PASV", {227});
        port = pasvPort(reply.text());
    }
    if (port < 0)
        throw FtpError(FtpError::Kind::Protocol,
                       QStringLiteral("The server %1 named no usable data port: %2")
                           .arg(m_hostText, m_lastReply.text()));
    address.sin_port = htons(static_cast<quint16>(port));
    // Connected before the transfer command is sent: vsftpd, pure-ftpd and proftpd answer it
    // only once they have accepted the data connection.
    return FtpSocket::connectTo(
        address, m_settings.timeouts.connectMs,
        QStringLiteral("data connection to %1").arg(ftpAddressText(address)));
}

char* FtpClient::transferBuffer()
{
    const int size = std::max(4096, m_settings.transferBufferBytes);
    if (m_bufferSize != size) {
        m_buffer = std::make_unique<char[]>(static_cast<size_t>(size));
        m_bufferSize = size;
    }
    return m_buffer.get();
}

void FtpClient::protectData(FtpSocket& data)
{
    if (!dataProtected())
        return;
    SSL_SESSION* const resume = m_settings.tlsResumeSession ? m_tlsContext->session() : nullptr;
    try {
        data.startTls(*m_tlsContext, m_tlsHost, resume, m_settings.timeouts.replyMs, false);
    } catch (const FtpError& e) {
        dataFailed(data, e);
    }
    m_lastDataResumed = data.tls()->resumed();
    // A resumed session carries the control connection's certificate; a new handshake must
    // show it too, or the data may come from another machine.
    const TlsPeer peer = data.tls()->peer();
    if (peer.fingerprint != m_peer.fingerprint && !peer.trusted)
        abandonTransfer(data,
                        FtpError(FtpError::Kind::Tls,
                                 QStringLiteral("The %1 showed the certificate SHA256 %2, "
                                                "not SHA256 %3 as the control connection")
                                     .arg(data.label(), peer.fingerprint, m_peer.fingerprint)));
}

void FtpClient::endData(FtpSocket& data)
{
    // Without close_notify a server may take an upload for one cut short; the transfer's
    // final reply tells how it went.
    data.finishTls(m_settings.timeouts.replyMs);
    data.close();
}

void FtpClient::dataFailed(FtpSocket& data, const FtpError& error)
{
    data.close();
    if (error.kind() == FtpError::Kind::Timeout || !connected())
        fail(error);
    // The server usually explains a broken data connection on the control connection.
    const FtpReply& reply = readReply();
    if (!contains(kTransferDone, reply.code))
        refuse(reply);
    throw error;
}

void FtpClient::abandonTransfer(FtpSocket& data, const FtpError& error)
{
    data.close();
    // Take the reply that ends the transfer (usually 426) so the next command meets its own.
    readReply();
    throw error;
}

qint64 FtpClient::receiveData(FtpSocket& data, FtpPace& pace)
{
    char* buffer = transferBuffer();
    for (;;) {
        int wait = 0;
        try {
            wait = pace.nextWaitMs();
        } catch (const FtpError& e) {
            dataFailed(data, e);
        }
        try {
            const qint64 n = data.receiveSome(buffer, m_bufferSize, wait);
            pace.moved(n);
            return n;
        } catch (const FtpError& e) {
            // A wait cut short at the end of a rate window: the pace decides.
            if (e.kind() != FtpError::Kind::Timeout)
                dataFailed(data, e);
        }
    }
}

void FtpClient::sendData(FtpSocket& data, const char* bytes, qint64 size, FtpPace& pace)
{
    while (size > 0) {
        int wait = 0;
        try {
            wait = pace.nextWaitMs();
        } catch (const FtpError& e) {
            dataFailed(data, e);
        }
        try {
            const qint64 n = data.sendSome(bytes, size, wait);
            pace.moved(n);
            bytes += n;
            size -= n;
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::Timeout)
                dataFailed(data, e);
        }
    }
}

QString partialDownloadPath(const QString& localPath)
{
    return localPath + QStringLiteral(".larkspire-part");
}

void FtpClient::download(const QString& remoteName, const QString& localPath,
                         const FtpProgress& progress, unsigned permissions, qint64 maxBytes)
{
    ensureConnected();
    const QByteArray transfer = "RETR " + encode(remoteName);
    const QByteArray path = QFile::encodeName(localPath);
    const QString partPath = partialDownloadPath(localPath);
    const QByteArray part = QFile::encodeName(partPath);
    // Exclusive creation: a link planted under the temporary name is never followed.
    ::unlink(part.constData());
    LocalFile file(::open(part.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC,
                          static_cast<mode_t>(permissions)));
    if (file.fd() < 0)
        throw localError(QStringLiteral("create"), partPath, errno);
    PartialFile partial(part);

    // The size the server reports is what makes a transfer complete: a server that closes the
    // data connection early may still answer 226.
    const qint64 reported = offers(QStringLiteral("SIZE")) ? size(remoteName) : -1;
    const bool limited = maxBytes >= 0;
    if (limited && reported > maxBytes)
        throw tooLarge(remoteName, m_hostText, reported, maxBytes);
    FtpSocket data = openDataConnection(transfer);
    const qint64 announced = announcedSize(command(transfer, kTransferStarted));
    protectData(data);
    qint64 total = announced >= 0 ? announced : reported;
    if (limited && total > maxBytes)
        abandonTransfer(data, tooLarge(remoteName, m_hostText, total, maxBytes));
    FtpPace pace(m_settings.timeouts, data.label());
    char* buffer = transferBuffer();
    qint64 done = 0;
    if (progress)
        progress(0, total);
    for (;;) {
        const qint64 n = receiveData(data, pace);
        if (n == 0)
            break;
        // A file that grows while it is read, or whose size the server did not tell.
        if (limited && done + n > maxBytes)
            abandonTransfer(data, tooLarge(remoteName, m_hostText, -1, maxBytes));
        for (qint64 written = 0; written < n;) {
            const ssize_t w =
                ::write(file.fd(), buffer + written, static_cast<size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                abandonTransfer(data, localError(QStringLiteral("write"), localPath, errno));
            written += w;
        }
        done += n;
        if (progress)
            progress(done, total);
    }
    endData(data);
    finishTransfer();
    // A peer may replace the file between SIZE and RETR; the server then sends the new file
    // whole, which a second SIZE confirms. A cut transfer still falls short of it.
    if (total >= 0 && done != total && announced < 0 && size(remoteName) == done)
        total = done;
    if (total >= 0 && done != total)
        throw FtpError(FtpError::Kind::Incomplete,
                       QStringLiteral("The download of %1 from %2 ended after %3 of %4 bytes")
                           .arg(remoteName, m_hostText)
                           .arg(done)
                           .arg(total));
    if (!file.close())
        throw localError(QStringLiteral("write"), partPath, errno);
    if (::rename(part.constData(), path.constData()) != 0)
        throw localError(QStringLiteral("replace"), localPath, errno);
    partial.keep();
}

void FtpClient::upload(const QString& localPath, const QString& remoteName,
                       const FtpProgress& progress)
{
    ensureConnected();
    const QString name = remoteName.isEmpty() ? QFileInfo(localPath).fileName() : remoteName;
    const QByteArray transfer = "STOR " + encode(name);
    LocalFile file(::open(QFile::encodeName(localPath).constData(), O_RDONLY | O_CLOEXEC));
    if (file.fd() < 0)
        throw localError(QStringLiteral("open"), localPath, errno);
    struct stat info
    {
    };
    const qint64 total = ::fstat(file.fd(), &info) == 0 ? info.st_size : -1;

    FtpSocket data = openDataConnection(transfer);
    command(transfer, kTransferStarted);
    protectData(data);
    FtpPace pace(m_settings.timeouts, data.label());
    char* buffer = transferBuffer();
    qint64 done = 0;
    if (progress)
        progress(0, total);
    for (;;) {
        const ssize_t n = ::read(file.fd(), buffer, static_cast<size_t>(m_bufferSize));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            abandonTransfer(data, localError(QStringLiteral("read"), localPath, errno));
        if (n == 0)
            break;
        sendData(data, buffer, n, pace);
        done += n;
        if (progress)
            progress(done, total);
    }
    endData(data);
    finishTransfer();
}

void FtpClient::finishTransfer()
{
    const FtpReply& reply = readReply();
    if (!contains(kTransferDone, reply.code))
        refuse(reply);
}

QStringList FtpClient::listNames()
{
    return listLines("NLST");
}

QStringList FtpClient::listDetails(const QString& name)
{
    // MLSD takes folders only; a single file goes to LIST, whose line every server gives.
    if (name.isEmpty() && listsMachineReadable())
        return listLines("MLSD");
    return listLines(name.isEmpty() ? QByteArray("LIST") : "LIST " + encode(name));
}

QStringList FtpClient::listFolderDetails(const QString& path)
{
    if (listsMachineReadable())
        return listLines("MLSD " + encode(path), false);
    return listLines("LIST " + encode(path));
}

QString FtpClient::fileFacts(const QString& path)
{
    if (!listsMachineReadable())
        return {};
    const FtpReply& reply = command(QStringLiteral("MLST"), path, {});
    if (reply.code != 250)
        return {};
    // RFC 3659: the facts line is the one between the first and the last, led by a space.
    for (qsizetype i = 1; i + 1 < reply.lines.size(); ++i) {
        const QString line = reply.lines.at(i);
        if (line.startsWith(u' '))
            return line.mid(1);
    }
    return {};
}

QStringList FtpClient::listLines(const QByteArray& transfer, bool asText)
{
    if (asText)
        command("TYPE A", {200});
    QByteArray listing;
    try {
        FtpSocket data = openDataConnection(transfer);
        // Some servers answer 450 for a folder without files.
        if (command(transfer, {125, 150, 154, 450}).code != 450) {
            protectData(data);
            FtpPace pace(m_settings.timeouts, data.label());
            for (;;) {
                const qint64 n = receiveData(data, pace);
                if (n == 0)
                    break;
                listing.append(transferBuffer(), n);
            }
            endData(data);
            finishTransfer();
        }
    } catch (const FtpError&) {
        // Leave the connection in binary mode, or the next download would be translated.
        if (asText && connected()) {
            try {
                command("TYPE I", {200});
            } catch (const FtpError&) {
                // The first failure is the one to report.
            }
        }
        throw;
    }
    if (asText)
        command("TYPE I", {200});

    QStringList names;
    for (QByteArray line : listing.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.append(decode(line));
    }
    return names;
}

// ---- simple commands ------------------------------------------------------------------------

void FtpClient::makeFolder(const QString& name)
{
    command(QStringLiteral("MKD"), name, {257});
}

void FtpClient::removeFolder(const QString& name)
{
    command(QStringLiteral("RMD"), name, {250});
}

void FtpClient::deleteFile(const QString& name)
{
    command(QStringLiteral("DELE"), name, {200, 250, 257});
}

void FtpClient::changeFolder(const QString& path)
{
    command(QStringLiteral("CWD"), path, {200, 250, 257});
}

void FtpClient::folderUp()
{
    command("CDUP", {200, 250});
}

QString FtpClient::currentFolder()
{
    const QString line = command("PWD", {257}).lines.value(0);
    const qsizetype open = line.indexOf(u'"');
    const qsizetype close = open < 0 ? -1 : line.indexOf(u'"', open + 1);
    return close < 0 ? QString() : line.mid(open + 1, close - open - 1);
}

void FtpClient::rename(const QString& oldName, const QString& newName)
{
    command(QStringLiteral("RNFR"), oldName, {350});
    command(QStringLiteral("RNTO"), newName, {250});
}

qint64 FtpClient::size(const QString& name)
{
    const FtpReply& reply = command(QStringLiteral("SIZE"), name, {});
    if (reply.code != 213)
        return -1;
    bool ok = false;
    const qint64 n = afterCode(reply.lines.value(0)).trimmed().section(u' ', 0, 0).toLongLong(&ok);
    return ok ? n : -1;
}

QDateTime FtpClient::modificationTime(const QString& name)
{
    const FtpReply& reply = command(QStringLiteral("MDTM"), name, {});
    if (reply.code != 213)
        return {};
    // RFC 3659: YYYYMMDDHHMMSS in UTC, optionally followed by a fraction of a second.
    const QString stamp = afterCode(reply.lines.value(0)).trimmed().left(14);
    QDateTime time = QDateTime::fromString(stamp, QStringLiteral("yyyyMMddHHmmss"));
    if (!time.isValid())
        return {};
    time.setTimeZone(QTimeZone::utc());
    return time;
}

void FtpClient::noop()
{
    command("NOOP", {200});
}
