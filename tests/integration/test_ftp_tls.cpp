// TLS of the FTP client beyond the operations (test_ftp_client runs those over TLS): what must
// fail, how clearly and within which limit, that the pins outlive a session, and what someone
// on the network between client and server sees.
#include "core/Cp1251.h"
#include "net/FtpClient.h"
#include "net/ServerSession.h"
#include "net/TlsPins.h"
#include "platform/fake/FakeServices.h"
#include "session/SettingsTlsPins.h"
#include "support/AdminTool.h"
#include "support/FtpServerFixture.h"
#include "support/FtpServerScripted.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMap>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

// The client's limit on each reply and handshake in these tests; a failure must come within it
// (with room for a loaded machine), never after the test's own timeout.
constexpr int kLimitMs = 3000;
constexpr qint64 kLongestFailureMs = 3 * kLimitMs;

FtpSettings settingsFor(const FtpServerFixture& server, const std::shared_ptr<TlsPins>& pins)
{
    FtpSettings s = server.clientSettings();
    s.tlsPins = pins;
    s.timeouts.replyMs = kLimitMs;
    s.timeouts.dataIdleMs = kLimitMs;
    return s;
}

struct Failure
{
    FtpError::Kind kind = FtpError::Kind::Usage;
    QString message;
    qint64 ms = -1;
    bool failed = false;
};

Failure failureOf(const std::function<void()>& call)
{
    Failure f;
    QElapsedTimer clock;
    clock.start();
    try {
        call();
    } catch (const FtpError& e) {
        f.failed = true;
        f.kind = e.kind();
        f.message = e.message();
    }
    f.ms = clock.elapsed();
    return f;
}

std::unique_ptr<FtpServerFixture> startPyftpdlib(bool tls, quint16 port = 0,
                                                 const QList<quint16>& passivePorts = {})
{
    FtpServerFixture::Options o;
    o.tls = tls;
    o.port = port;
    o.passivePorts = passivePorts;
    return FtpServerFixture::start(FtpServerKind::Pyftpdlib, o);
}

// A TCP relay from 127.0.0.2 to the same ports on 127.0.0.1, for a control port and the data
// ports the server is told to use, keeping every byte that passes either way: what someone on
// the network between client and server sees. The client dials data connections at the control
// connection's peer, so they pass here too.
class RecordingProxy
{
public:
    explicit RecordingProxy(int dataPorts = 0)
    {
        for (int i = 0; i < dataPorts; ++i) {
            const auto [fd, port] = listenOn(0);
            m_listeners.push_back({fd, port});
        }
        if (::pipe2(m_wake, O_CLOEXEC) != 0)
            ADD_FAILURE() << "pipe failed";
    }
    ~RecordingProxy()
    {
        m_stop = true;
        if (m_wake[1] >= 0 && ::write(m_wake[1], "x", 1) < 0)
            ADD_FAILURE() << "could not wake the proxy";
        if (m_thread.joinable())
            m_thread.join();
        for (const Listener& l : m_listeners)
            ::close(l.fd);
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }

    QList<quint16> dataPorts() const
    {
        QList<quint16> ports;
        for (const Listener& l : m_listeners)
            ports << l.port;
        return ports;
    }
    // Relays from now on, the control port to `serverPort` on 127.0.0.1.
    void start(quint16 serverPort)
    {
        const auto [fd, port] = listenOn(0);
        m_controlPort = port;
        m_listeners.push_back({fd, serverPort});
        m_thread = std::thread([this] { run(); });
    }
    QString address() const { return QStringLiteral("127.0.0.2:%1").arg(m_controlPort); }
    // From the client to the server and back, in the order the proxy saw it.
    QByteArray recorded() const
    {
        const std::lock_guard lock(m_mutex);
        return m_bytes;
    }
    QByteArray sentByClient() const
    {
        const std::lock_guard lock(m_mutex);
        return m_fromClient;
    }
    void clear()
    {
        const std::lock_guard lock(m_mutex);
        m_bytes.clear();
        m_fromClient.clear();
    }

private:
    struct Listener
    {
        int fd;
        quint16 port; // the listening port for data, the server's for control
    };
    struct Pair
    {
        int fd[2];    // client side, server side
        bool open[2]; // still reading from that side
    };

    static std::pair<int, quint16> listenOn(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.2", &a.sin_addr);
        socklen_t len = sizeof a;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd, 16) != 0 ||
            ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
            ADD_FAILURE() << "cannot listen on 127.0.0.2: " << std::strerror(errno);
        return {fd, ntohs(a.sin_port)};
    }

    static int dial(quint16 port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(port);
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void run()
    {
        std::vector<Pair> pairs;
        while (!m_stop) {
            std::vector<pollfd> polled{{m_wake[0], POLLIN, 0}};
            for (const Listener& l : m_listeners)
                polled.push_back({l.fd, POLLIN, 0});
            for (const Pair& p : pairs)
                for (int side = 0; side < 2; ++side)
                    polled.push_back({p.open[side] ? p.fd[side] : -1, POLLIN, 0});
            if (::poll(polled.data(), polled.size(), 200) <= 0)
                continue;
            size_t at = 1;
            for (const Listener& l : m_listeners) {
                if (polled[at++].revents & POLLIN) {
                    const int client = ::accept4(l.fd, nullptr, nullptr, SOCK_CLOEXEC);
                    const int server = client < 0 ? -1 : dial(l.port);
                    if (server < 0) {
                        if (client >= 0)
                            ::close(client);
                        continue;
                    }
                    pairs.push_back({{client, server}, {true, true}});
                }
            }
            // Pairs accepted just now were not polled; their entries are not there.
            const size_t polledPairs = (polled.size() - at) / 2;
            char buffer[65536];
            for (size_t i = 0; i < polledPairs; ++i) {
                Pair& p = pairs[i];
                for (int side = 0; side < 2; ++side) {
                    if (!(polled[at + 2 * i + side].revents & (POLLIN | POLLHUP | POLLERR)))
                        continue;
                    const ssize_t n = ::recv(p.fd[side], buffer, sizeof buffer, 0);
                    if (n <= 0) {
                        // The end of one direction goes on to the other side as it came.
                        p.open[side] = false;
                        ::shutdown(p.fd[1 - side], SHUT_WR);
                        continue;
                    }
                    {
                        const std::lock_guard lock(m_mutex);
                        m_bytes.append(buffer, n);
                        if (side == 0)
                            m_fromClient.append(buffer, n);
                    }
                    for (ssize_t sent = 0; sent < n;) {
                        const ssize_t w =
                            ::send(p.fd[1 - side], buffer + sent, n - sent, MSG_NOSIGNAL);
                        if (w <= 0)
                            break;
                        sent += w;
                    }
                }
            }
            for (auto i = pairs.begin(); i != pairs.end();) {
                if (!i->open[0] && !i->open[1]) {
                    ::close(i->fd[0]);
                    ::close(i->fd[1]);
                    i = pairs.erase(i);
                } else {
                    ++i;
                }
            }
        }
        for (const Pair& p : pairs) {
            ::close(p.fd[0]);
            ::close(p.fd[1]);
        }
    }

    std::vector<Listener> m_listeners;
    quint16 m_controlPort = 0;
    int m_wake[2] = {-1, -1};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
    mutable std::mutex m_mutex;
    QByteArray m_bytes;
    QByteArray m_fromClient;
};

class TlsPolicy : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Pyftpdlib);
            !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }
    std::shared_ptr<TlsPins> pins = std::make_shared<MemoryTlsPins>();
};

TEST_F(TlsPolicy, APinnedServerThatStopsOfferingTlsGetsNeitherNameNorPassword)
{
    auto server = startPyftpdlib(true);
    const quint16 port = server->port();
    RecordingProxy proxy;
    proxy.start(port);
    FtpSettings s = settingsFor(*server, pins);
    s.host = proxy.address();
    {
        FtpClient first(s);
        first.connect();
        EXPECT_TRUE(first.tlsActive());
        first.disconnect();
    }
    const QString pinned = pins->pin(proxy.address());
    EXPECT_EQ(pinned, server->certificateFingerprint());

    // Someone puts a plain server where the TLS one was.
    server.reset();
    server = startPyftpdlib(false, port);
    proxy.clear();
    FtpClient again(s);
    const Failure f = failureOf([&] { again.connect(); });
    ASSERT_TRUE(f.failed);
    EXPECT_EQ(f.kind, FtpError::Kind::Tls) << f.message.toStdString();
    EXPECT_TRUE(f.message.contains(
        QStringLiteral("The FTP server %1 no longer offers TLS").arg(proxy.address())))
        << f.message.toStdString();
    EXPECT_TRUE(f.message.contains(pinned)) << f.message.toStdString();
    EXPECT_LT(f.ms, kLongestFailureMs);
    EXPECT_FALSE(again.connected());
    EXPECT_TRUE(proxy.sentByClient().contains("AUTH TLS"));
    EXPECT_FALSE(proxy.sentByClient().contains("USER")) << proxy.sentByClient().toStdString();
    EXPECT_FALSE(proxy.sentByClient().contains(server->password().toUtf8()));
    EXPECT_EQ(pins->pin(proxy.address()), pinned) << "the pin stays";

    // A server never seen with TLS is used in plain text as before.
    FtpClient other(settingsFor(*server, pins));
    other.connect();
    EXPECT_FALSE(other.tlsActive());
    EXPECT_EQ(pins->pin(server->address()), QString());
}

TEST_F(TlsPolicy, AChangedCertificateIsRefusedAndNamedWhileTheOldPinStays)
{
    auto server = startPyftpdlib(true);
    const quint16 port = server->port();
    const QString address = server->address();
    const QString first = server->certificateFingerprint();
    FtpClient client(settingsFor(*server, pins));
    client.connect();
    client.disconnect();
    EXPECT_EQ(pins->pin(address), first);

    server.reset();
    server = startPyftpdlib(true, port);
    const QString second = server->certificateFingerprint();
    ASSERT_NE(first, second);
    const Failure f = failureOf([&] { client.connect(); });
    ASSERT_TRUE(f.failed);
    EXPECT_EQ(f.kind, FtpError::Kind::Tls);
    EXPECT_TRUE(f.message.contains(
        QStringLiteral("The certificate of the FTP server %1 changed: was SHA256 %2, now SHA256 %3")
            .arg(address, first, second)))
        << f.message.toStdString();
    EXPECT_LT(f.ms, kLongestFailureMs);
    EXPECT_FALSE(client.connected());
    EXPECT_EQ(pins->pin(address), first);

    // A client that never saw the first certificate takes the new one on first use.
    auto fresh = std::make_shared<MemoryTlsPins>();
    FtpClient newcomer(settingsFor(*server, fresh));
    newcomer.connect();
    EXPECT_TRUE(newcomer.tlsActive());
    EXPECT_EQ(fresh->pin(address), second);
}

TEST_F(TlsPolicy, RequiredTlsRefusesAServerWithoutItByTheSettingsAndByTheEnvironment)
{
    auto server = startPyftpdlib(false);
    FtpSettings s = settingsFor(*server, pins);
    s.tls = FtpTls::Require;
    FtpClient client(s);
    const Failure f = failureOf([&] { client.connect(); });
    ASSERT_TRUE(f.failed);
    EXPECT_EQ(f.kind, FtpError::Kind::Tls);
    EXPECT_TRUE(f.message.contains(
        QStringLiteral("The FTP server %1 does not offer TLS").arg(server->address())))
        << f.message.toStdString();
    EXPECT_FALSE(client.connected());

    // The operator's variable reaches the session's both connections.
    server->makeFolder(QStringLiteral("lark/netwrk/users"));
    server->write(QStringLiteral("fcom.xo"), "0\r\n1\r\n2\r\n3\r\n4\r\n" +
                                                 server->address().toUtf8() + "\r\n" +
                                                 server->user().toUtf8() + "\r\n" +
                                                 server->password().toUtf8() + "\r\n/lark/\r\n");
    TempTree local;
    ServerSession::Config c;
    c.settingsServer = server->address();
    c.settingsUser = server->user();
    c.settingsPassword = server->password();
    c.tempDataDir = local.path();
    c.timeouts.replyMs = kLimitMs;
    ASSERT_FALSE(c.requireTls) << "LARKSPIRE_REQUIRE_TLS is set where the tests run";
    qputenv("LARKSPIRE_REQUIRE_TLS", "1");
    ServerSession::Config required = c;
    required.requireTls = tlsRequired();
    qunsetenv("LARKSPIRE_REQUIRE_TLS");
    ServerSession session(required);
    session.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(session.bootstrapTick(), ServerSession::Bootstrap::Retry);
    EXPECT_TRUE(session.tlsFailure().contains(
        QStringLiteral("The FTP server %1 does not offer TLS").arg(server->address())))
        << session.tlsFailure().toStdString();

    // Without the requirement the same server serves in plain text.
    ServerSession plain(c);
    plain.setStatus(QString::fromUtf16(ServerSession::kConnected));
    EXPECT_EQ(plain.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    EXPECT_EQ(plain.openMainConnection(), ServerSession::Opening::Opened);
    EXPECT_FALSE(plain.mainProtected());
    EXPECT_EQ(plain.tlsFailure(), QString());
}

TEST_F(TlsPolicy, TheSessionKeepsItsPinsInTheUsersSettings)
{
    auto server = startPyftpdlib(true);
    server->makeFolder(QStringLiteral("lark/netwrk/users"));
    server->write(QStringLiteral("fcom.xo"), "0\r\n1\r\n2\r\n3\r\n4\r\n" +
                                                 server->address().toUtf8() + "\r\n" +
                                                 server->user().toUtf8() + "\r\n" +
                                                 server->password().toUtf8() + "\r\n/lark/\r\n");
    FakeSettingsStore store; // the settings of one user, as the program would keep them
    store.setValue(QString::fromUtf16(SettingsTlsPins::kKey),
                   QStringLiteral("files.example:21=00:11:22"));
    TempTree local;
    ServerSession::Config c;
    c.settingsServer = server->address();
    c.settingsUser = server->user();
    c.settingsPassword = server->password();
    c.tempDataDir = local.path();
    c.tlsPins = std::make_shared<SettingsTlsPins>(store);
    {
        ServerSession session(c);
        session.setStatus(QString::fromUtf16(ServerSession::kConnected));
        ASSERT_EQ(session.bootstrapTick(), ServerSession::Bootstrap::Fetched);
        ASSERT_EQ(session.openMainConnection(), ServerSession::Opening::Opened);
        EXPECT_TRUE(session.mainProtected());
        EXPECT_TRUE(session.mainConnection().dataProtected());
    }
    // The next run reads them back, the other server's as well.
    SettingsTlsPins later(store);
    EXPECT_EQ(later.pin(server->address()), server->certificateFingerprint());
    EXPECT_EQ(later.pin(QStringLiteral("files.example:21")), QStringLiteral("00:11:22"));

    // A pin learnt on the session's thread reaches the store on the store's own.
    std::thread([&] {
        later.setPin(QStringLiteral("other:2121"), QStringLiteral("AA:BB"));
    }).join();
    EXPECT_FALSE(store.value(QString::fromUtf16(SettingsTlsPins::kKey), {})
                     .contains(QStringLiteral("other:2121")));
    QCoreApplication::processEvents();
    EXPECT_EQ(SettingsTlsPins(store).pin(QStringLiteral("other:2121")), QStringLiteral("AA:BB"));
}

TEST(TlsAdminCheck, ReportsEachServersTlsAndWhatMustBeFixed)
{
    for (const FtpServerKind kind : {FtpServerKind::Vsftpd, FtpServerKind::Pyftpdlib})
        if (const QString why = FtpServerFixture::unavailable(kind); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    FtpServerFixture::Options o;
    o.tls = true;
    const auto main = FtpServerFixture::start(FtpServerKind::Vsftpd, o);
    const auto settings = startPyftpdlib(false);
    settings->write(QStringLiteral("fcom.xo"),
                    "0\r\n1\r\n2\r\n3\r\n4\r\n" + main->address().toUtf8() + "\r\n" +
                        main->user().toUtf8() + "\r\n" + main->password().toUtf8() + "\r\n/\r\n");
    const QStringList mainAccount{"--host",     main->address(),  "--user", main->user(),
                                  "--password", main->password(), "--root", "/"};
    ASSERT_EQ(runAdminTool(QStringList{"init"} + mainAccount), 0);

    QString out;
    const QStringList settingsAccount{"--settings-server",   settings->address(),
                                      "--settings-user",     settings->user(),
                                      "--settings-password", settings->password()};
    // Silent when all is well, TLS or not.
    EXPECT_EQ(runAdminTool(QStringList{"check"} + settingsAccount, &out), 0) << out.toStdString();
    EXPECT_EQ(out, QString());
    EXPECT_EQ(runAdminTool(QStringList{"check", "--tls"} + settingsAccount, &out), 0)
        << out.toStdString();
    EXPECT_TRUE(out.contains("settings server " + settings->address() +
                             ": TLS not offered: the login and the files go in plain text"))
        << out.toStdString();
    const QString m = "main server " + main->address() + ": ";
    const QString expires =
        QDateTime::currentDateTimeUtc().addDays(7).toString(QStringLiteral("yyyy-MM-dd"));
    for (const QString& line :
         {m + "TLS offered (TLSv1.3)", m + "data connections protected",
          m + "session reuse required on data connections",
          m + "certificate SHA256 " + main->certificateFingerprint() + "\n",
          m + "certificate /CN=127.0.0.1, valid until " + expires,
          m + "certificate not trusted by the system's store (self-signed certificate)"})
        EXPECT_TRUE(out.contains(line)) << line.toStdString() << "\n" << out.toStdString();

    // Where TLS is required, a server without it is a fault to fix.
    qputenv("LARKSPIRE_REQUIRE_TLS", "1");
    const int required = runAdminTool({"check", "--host", settings->address(), "--user",
                                       settings->user(), "--password", settings->password()},
                                      &out);
    qunsetenv("LARKSPIRE_REQUIRE_TLS");
    EXPECT_EQ(required, 1);
    EXPECT_TRUE(out.contains("main server " + settings->address() +
                             ": TLS is required but the server does not offer it"))
        << out.toStdString();
}

// A server that accepts AUTH TLS and then drops the connection, or says nothing more.
TEST(TlsHandshake, AServerThatDropsOrFallsSilentDuringItFailsWithinTheLimit)
{
    ScriptedFtpServer server(
        [](ScriptedFtpServer::Session& s, int connection) {
            s.reply("220 scripted server ready");
            s.expect("HOST");
            s.reply("500 HOST not understood");
            s.expect("AUTH TLS");
            s.reply("234 AUTH TLS ok");
            if (connection == 0)
                s.drop();
            s.stayQuiet();
        },
        2);
    FtpSettings settings;
    settings.host = server.address();
    settings.user = QStringLiteral("anna");
    settings.password = QStringLiteral("secret");
    settings.timeouts.replyMs = kLimitMs;
    FtpClient client(settings);

    const Failure dropped = failureOf([&] { client.connect(); });
    ASSERT_TRUE(dropped.failed);
    EXPECT_EQ(dropped.kind, FtpError::Kind::Closed) << dropped.message.toStdString();
    EXPECT_EQ(dropped.message,
              QStringLiteral("The server closed the control connection to %1 during the TLS "
                             "handshake")
                  .arg(server.address()));
    EXPECT_LT(dropped.ms, kLongestFailureMs);
    EXPECT_FALSE(client.connected());

    const Failure silent = failureOf([&] { client.connect(); });
    ASSERT_TRUE(silent.failed);
    EXPECT_EQ(silent.kind, FtpError::Kind::Timeout) << silent.message.toStdString();
    EXPECT_TRUE(silent.message.contains(QStringLiteral("TLS handshake")))
        << silent.message.toStdString();
    EXPECT_GE(silent.ms, kLimitMs - 100);
    EXPECT_LT(silent.ms, kLongestFailureMs);
    EXPECT_FALSE(client.connected());
    for (const QByteArray& line : server.received())
        EXPECT_FALSE(line.startsWith("USER")) << "the login went out before TLS";
    EXPECT_EQ(server.failures(), QString());
}

// vsftpd and proftpd, as configured by default, refuse a data connection that does not resume
// the control connection's TLS session.
class TlsSessionReuse : public ::testing::TestWithParam<FtpServerKind>
{
};

TEST_P(TlsSessionReuse, ADataConnectionWithoutItIsRefusedWithTheServersReason)
{
    if (const QString why = FtpServerFixture::unavailable(GetParam()); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    FtpServerFixture::Options o;
    o.tls = true;
    o.requireSessionReuse = true;
    const auto server = FtpServerFixture::start(GetParam(), o);
    server->write(QStringLiteral("box/anna.ms"), "hello");
    FtpSettings s = settingsFor(*server, std::make_shared<MemoryTlsPins>());
    s.tlsResumeSession = false;
    FtpClient client(s);
    client.connect();
    client.changeFolder(QStringLiteral("box"));
    TempTree local;

    const std::pair<const char*, std::function<void()>> transfers[] = {
        {"listing", [&] { client.listNames(); }},
        {"download",
         [&] { client.download(QStringLiteral("anna.ms"), local.path(QStringLiteral("a.ms"))); }},
        {"upload",
         [&] {
             client.upload(local.write(QStringLiteral("up.ms"), "new"), QStringLiteral("up.ms"));
         }},
    };
    for (const auto& [what, transfer] : transfers) {
        const Failure f = failureOf(transfer);
        ASSERT_TRUE(f.failed) << what << ": the server took a data connection without reuse";
        // The server says why on the control connection.
        EXPECT_EQ(f.kind, FtpError::Kind::Reply) << what << ": " << f.message.toStdString();
        EXPECT_FALSE(f.message.isEmpty());
        EXPECT_LT(f.ms, kLongestFailureMs) << what;
        // proftpd goes on with the session; vsftpd ends it after its 522.
        if (GetParam() == FtpServerKind::Vsftpd) {
            client.disconnect();
            client.connect();
            client.changeFolder(QStringLiteral("box"));
        }
        ASSERT_TRUE(client.connected()) << what;
        client.noop();
    }
    EXPECT_FALSE(QFileInfo::exists(local.path(QStringLiteral("a.ms"))));
    EXPECT_NE(server->read(QStringLiteral("box/up.ms")), QByteArray("new"));

    // Resuming, the same connection's next transfer goes through.
    client.settings().tlsResumeSession = true;
    client.download(QStringLiteral("anna.ms"), local.path(QStringLiteral("a.ms")));
    EXPECT_TRUE(client.lastDataResumed());
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("a.ms"))), QByteArray("hello"));
}

INSTANTIATE_TEST_SUITE_P(Servers, TlsSessionReuse,
                         ::testing::Values(FtpServerKind::Vsftpd, FtpServerKind::Proftpd),
                         [](const ::testing::TestParamInfo<FtpServerKind>& info) {
                             return ftpServerKindName(info.param).toStdString();
                         });

QByteArray randomBytes(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(42);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.bounded(256));
    return bytes;
}

// What a sign-in does on the wire, in short: log in, put up a message, fetch a file, list.
void signInLikeSequence(FtpClient& client, const TempTree& local, const QByteArray& message)
{
    client.connect();
    client.changeFolder(QStringLiteral("netwrk/users/anna"));
    client.upload(local.write(QStringLiteral("boris.ms"), message), QStringLiteral("boris.ms"));
    client.download(QStringLiteral("photo.jpg"), local.path(QStringLiteral("photo.jpg")));
    client.listNames();
    client.disconnect();
}

TEST(TlsOnTheWire, NeitherThePasswordNorAMessageNorAFileCanBeReadOnTheWay)
{
    if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Pyftpdlib); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    RecordingProxy proxy(8);
    const auto server = startPyftpdlib(true, 0, proxy.dataPorts());
    proxy.start(server->port());
    const QByteArray photo = randomBytes(200 * 1024);
    server->write(QStringLiteral("netwrk/users/anna/photo.jpg"), photo);
    const QByteArray message = cp1251::encode(
        QStringLiteral(u"anna     09.12.2026     12:00:00 :\r\nВстреча в четверг, код 7319\r\n"));
    const QByteArray password = server->password().toUtf8();
    // Some stretches of the file: any of them on the wire would give it away.
    QList<QByteArray> pieces;
    for (qsizetype at = 0; at + 32 <= photo.size(); at += photo.size() / 7)
        pieces << photo.mid(at, 32);

    FtpSettings s = settingsFor(*server, std::make_shared<MemoryTlsPins>());
    s.host = proxy.address();
    TempTree local;
    {
        FtpClient client(s);
        signInLikeSequence(client, local, message);
    }
    EXPECT_EQ(server->read(QStringLiteral("netwrk/users/anna/boris.ms")), message);
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("photo.jpg"))), photo);
    const QByteArray wire = proxy.recorded();
    EXPECT_GT(wire.size(), photo.size()) << "the data connections did not pass the proxy";
    EXPECT_TRUE(wire.contains("AUTH TLS"));
    EXPECT_FALSE(wire.contains(password));
    EXPECT_FALSE(wire.contains("USER "));
    EXPECT_FALSE(wire.contains(message.mid(40, 24)));
    EXPECT_FALSE(wire.contains("boris.ms")) << "even the names are hidden";
    for (const QByteArray& piece : pieces)
        EXPECT_FALSE(wire.contains(piece));

    // The same in plain text shows all of it: the proxy sees what passes.
    proxy.clear();
    s.tls = FtpTls::Off;
    {
        FtpClient client(s);
        signInLikeSequence(client, local, message);
    }
    const QByteArray plain = proxy.recorded();
    EXPECT_TRUE(plain.contains("PASS " + password));
    EXPECT_TRUE(plain.contains(message));
    for (const QByteArray& piece : pieces)
        EXPECT_TRUE(plain.contains(piece));
}

} // namespace
