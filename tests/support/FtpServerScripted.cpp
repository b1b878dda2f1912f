#include "support/FtpServerScripted.h"

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kWaitMs = 10'000; // bound of every wait of the script

// Thrown to end a session's script early; the failure is already recorded.
struct SessionOver
{
};

int listenOnLoopback(quint16* port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    const int on = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 8) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(fd);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return fd;
}

bool waitFor(int fd, short events, int ms = kWaitMs)
{
    pollfd p{fd, events, 0};
    return ::poll(&p, 1, ms) > 0;
}

void closeFd(int& fd)
{
    if (fd >= 0)
        ::close(fd);
    fd = -1;
}

} // namespace

ScriptedFtpServer::ScriptedFtpServer(Script script, int connections) : m_script(std::move(script))
{
    m_listener = listenOnLoopback(&m_port);
    m_thread = std::thread([this, connections] { run(connections); });
}

ScriptedFtpServer::~ScriptedFtpServer()
{
    if (m_thread.joinable())
        m_thread.join();
    closeFd(m_listener);
}

QString ScriptedFtpServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QByteArrayList ScriptedFtpServer::received() const
{
    std::lock_guard lock(m_mutex);
    return m_received;
}

QString ScriptedFtpServer::failures() const
{
    std::lock_guard lock(m_mutex);
    return m_failures;
}

void ScriptedFtpServer::run(int connections)
{
    for (int i = 0; i < connections; ++i) {
        Session s;
        s.m_server = this;
        if (m_listener < 0 || !waitFor(m_listener, POLLIN)) {
            std::lock_guard lock(m_mutex);
            m_failures += QStringLiteral("no connection %1 arrived\n").arg(i + 1);
            return;
        }
        s.m_control = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        try {
            m_script(s, i);
        } catch (const SessionOver&) {
        }
        closeFd(s.m_data);
        closeFd(s.m_dataListener);
        closeFd(s.m_control);
    }
}

void ScriptedFtpServer::Session::fail(const QString& why)
{
    std::lock_guard lock(m_server->m_mutex);
    m_server->m_failures += why + u'\n';
}

void ScriptedFtpServer::Session::reply(const QByteArray& lines)
{
    QByteArray wire = lines;
    wire.replace("\n", "\r\n");
    wire += "\r\n";
    if (::send(m_control, wire.constData(), static_cast<size_t>(wire.size()), MSG_NOSIGNAL) !=
        wire.size())
        throw SessionOver();
}

QByteArray ScriptedFtpServer::Session::read()
{
    for (;;) {
        const qsizetype end = m_input.indexOf("\r\n");
        if (end >= 0) {
            const QByteArray line = m_input.left(end);
            m_input.remove(0, end + 2);
            std::lock_guard lock(m_server->m_mutex);
            m_server->m_received.append(line);
            return line;
        }
        if (!waitFor(m_control, POLLIN)) {
            fail(QStringLiteral("no command arrived"));
            throw SessionOver();
        }
        char chunk[4096];
        const ssize_t n = ::recv(m_control, chunk, sizeof chunk, 0);
        if (n <= 0)
            return {};
        m_input.append(chunk, n);
    }
}

QByteArray ScriptedFtpServer::Session::expect(const QByteArray& verb)
{
    const QByteArray line = read();
    if (!line.startsWith(verb)) {
        fail(QStringLiteral("expected %1, got \"%2\"")
                 .arg(QString::fromLatin1(verb), QString::fromLatin1(line)));
        throw SessionOver();
    }
    return line;
}

void ScriptedFtpServer::Session::login(const QByteArrayList& features)
{
    reply("220 scripted server ready");
    expect("HOST");
    reply("500 HOST not understood");
    // A client that tries TLS first learns that this server has none.
    QByteArray line = read();
    if (line.startsWith("AUTH")) {
        reply("500 AUTH not understood");
        line = read();
    }
    if (!line.startsWith("USER")) {
        fail(QStringLiteral("expected USER, got \"%1\"").arg(QString::fromLatin1(line)));
        throw SessionOver();
    }
    reply("331 password please");
    expect("PASS");
    reply("230 logged in");
    expect("FEAT");
    if (features.isEmpty()) {
        reply("211 no features");
    } else {
        QByteArray text = "211-Features:";
        for (const QByteArray& f : features)
            text += "\n " + f;
        reply(text + "\n211 End");
    }
    if (features.contains("CLNT")) {
        expect("CLNT");
        reply("200 noted");
    }
    expect("TYPE I");
    reply("200 binary");
    expect("SYST");
    reply("215 UNIX Type: L8");
    expect("TYPE I");
    reply("200 binary");
}

void ScriptedFtpServer::Session::passive(const QByteArray& address)
{
    expect("PASV");
    quint16 port = 0;
    closeFd(m_dataListener);
    m_dataListener = listenOnLoopback(&port);
    QByteArray numbers = address;
    numbers.replace('.', ',');
    reply("227 Entering Passive Mode (" + numbers + ',' + QByteArray::number(port / 256) + ',' +
          QByteArray::number(port % 256) + ").");
}

void ScriptedFtpServer::Session::acceptData()
{
    if (m_dataListener < 0 || !waitFor(m_dataListener, POLLIN)) {
        fail(QStringLiteral("no data connection arrived"));
        throw SessionOver();
    }
    m_data = ::accept4(m_dataListener, nullptr, nullptr, SOCK_CLOEXEC);
    closeFd(m_dataListener);
}

void ScriptedFtpServer::Session::sendData(const QByteArray& bytes)
{
    if (::send(m_data, bytes.constData(), static_cast<size_t>(bytes.size()), MSG_NOSIGNAL) !=
        bytes.size())
        fail(QStringLiteral("sending data failed"));
}

QByteArray ScriptedFtpServer::Session::receiveData()
{
    QByteArray all;
    char chunk[65536];
    while (waitFor(m_data, POLLIN)) {
        const ssize_t n = ::recv(m_data, chunk, sizeof chunk, 0);
        if (n <= 0)
            break;
        all.append(chunk, n);
    }
    return all;
}

void ScriptedFtpServer::Session::closeData()
{
    closeFd(m_data);
}

void ScriptedFtpServer::Session::drop()
{
    closeFd(m_control);
    throw SessionOver();
}

void ScriptedFtpServer::Session::stayQuiet()
{
    char chunk[4096];
    while (waitFor(m_control, POLLIN)) {
        if (::recv(m_control, chunk, sizeof chunk, 0) <= 0)
            return;
    }
    fail(QStringLiteral("the client did not give up on a silent server"));
}

bool ScriptedFtpServer::Session::trickle(const QByteArray& bytes, int gapMs, bool onData)
{
    const int fd = onData ? m_data : m_control;
    for (const char c : bytes) {
        if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1)
            return false;
        // A client that gave up and closed shows as readable end of stream.
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, gapMs) > 0) {
            char probe;
            if (::recv(fd, &probe, 1, MSG_PEEK | MSG_DONTWAIT) == 0)
                return false;
        }
    }
    return true;
}

void ScriptedFtpServer::Session::flood(const QByteArray& line)
{
    const QByteArray wire = line + "\r\n";
    QByteArray block;
    while (block.size() < 64 * 1024)
        block += wire;
    // Bounded: far more than any client may accept as one reply.
    for (int i = 0; i < 16 * 1024; ++i) {
        if (!waitFor(m_control, POLLOUT))
            return;
        if (::send(m_control, block.constData(), static_cast<size_t>(block.size()), MSG_NOSIGNAL) <=
            0)
            return;
    }
    fail(QStringLiteral("the client read an endless reply"));
}
