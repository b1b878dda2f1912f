// Every operation of the FTP client against four real servers on loopback: pyftpdlib, vsftpd,
// pure-ftpd and proftpd, each in plain FTP and with TLS (vsftpd and proftpd requiring that data
// connections resume the control connection's session). Where the servers differ (NLST of "."
// and "..", UTF8, the 150 reply's size), the difference is asserted per server.
#include "net/FtpClient.h"
#include "net/TlsPins.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include "core/Cp1251.h"

#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.bounded(256));
    return bytes;
}

// Bytes that ASCII mode would change: every byte value and bare CR, LF and CR LF.
QByteArray binaryBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 256; ++i)
        bytes.append(static_cast<char>(i));
    return bytes + "a\nb\r\nc\rd\n\n";
}

// The reply code a server gives to "HOST <argument>" right after its greeting, spoken over a
// raw socket so that the answer is seen as the server sends it.
int hostReplyCode(quint16 port, const QByteArray& argument)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    QByteArray input;
    // Reads up to the last line of the next reply ("ddd text"), returns its code.
    const auto replyCode = [&]() -> int {
        for (;;) {
            qsizetype end;
            while ((end = input.indexOf("\r\n")) >= 0) {
                const QByteArray line = input.left(end);
                input.remove(0, end + 2);
                if (line.size() >= 4 && line.at(3) == ' ')
                    return line.left(3).toInt();
            }
            char chunk[1024];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return -1;
            input.append(chunk, n);
        }
    };
    int code = replyCode();
    if (code == 220) {
        const QByteArray host = "HOST " + argument + "\r\n";
        ::send(fd, host.constData(), static_cast<size_t>(host.size()), MSG_NOSIGNAL);
        code = replyCode();
    }
    ::close(fd);
    return code;
}

QStringList sorted(QStringList list)
{
    list.sort();
    return list;
}

// A server and whether it offers TLS.
using ServerMode = std::tuple<FtpServerKind, bool>;

class FtpRealServer : public ::testing::TestWithParam<ServerMode>
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::unavailable(kind()); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        FtpServerFixture::Options options;
        options.tls = tls();
        server = FtpServerFixture::start(kind(), options);
        FtpSettings s = server->clientSettings();
        s.tls = tls() ? FtpTls::Require : FtpTls::Try;
        s.tlsPins = pins;
        s.onConnected = [this] { ++connectedEvents; };
        client = std::make_unique<FtpClient>(s);
        client->connect();
    }

    void TearDown() override
    {
        if (client)
            client->disconnect();
    }

    FtpServerKind kind() const { return std::get<0>(GetParam()); }
    bool tls() const { return std::get<1>(GetParam()); }
    // The names NLST gives besides the folder's entries.
    QStringList dotEntries() const
    {
        return kind() == FtpServerKind::PureFtpd
                   ? QStringList{QStringLiteral("."), QStringLiteral("..")}
                   : QStringList{};
    }

    std::shared_ptr<TlsPins> pins = std::make_shared<MemoryTlsPins>();
    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> client;
    TempTree local;
    int connectedEvents = 0;
};

TEST_P(FtpRealServer, ConnectLogsInAndDisconnectCloses)
{
    EXPECT_TRUE(client->connected());
    EXPECT_EQ(connectedEvents, 1);
    EXPECT_TRUE(client->greeting().startsWith(QStringLiteral("220")))
        << client->greeting().toStdString();
    EXPECT_FALSE(client->features().isEmpty());
    EXPECT_FALSE(client->system().isEmpty());
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/"));
    // vsftpd offers UTF8 only with utf8_filesystem; the other three always do.
    EXPECT_EQ(client->usesUtf8(), kind() != FtpServerKind::Vsftpd);
    EXPECT_EQ(client->tlsActive(), tls());
    EXPECT_EQ(client->dataProtected(), tls());
    if (tls()) {
        // The certificate is the server's, pinned on first use though no store vouches for it.
        EXPECT_EQ(client->tlsPeer().fingerprint, server->certificateFingerprint());
        EXPECT_FALSE(client->tlsPeer().trusted);
        EXPECT_EQ(pins->pin(server->address()), server->certificateFingerprint());
        EXPECT_GT(client->tlsPeer().expires, QDateTime::currentDateTimeUtc());
        EXPECT_EQ(client->tlsVersion(), QStringLiteral("TLSv1.3"));
        // Every data connection resumes the control connection's session, the second as well
        // as the first. pure-ftpd gives no session to resume, and does not ask for it.
        for (int i = 0; i < 2; ++i) {
            client->listNames();
            EXPECT_EQ(client->lastDataResumed(), kind() != FtpServerKind::PureFtpd)
                << "listing " << i;
        }
    } else {
        EXPECT_EQ(pins->pin(server->address()), QString());
    }

    client->disconnect();
    EXPECT_FALSE(client->connected());
    client->disconnect(); // a second time does nothing

    client->connect();
    EXPECT_TRUE(client->connected());
    EXPECT_EQ(connectedEvents, 2);
    client->noop();
}

TEST_P(FtpRealServer, HostIsAnsweredDifferentlyAndLoginPassesAnyway)
{
    // The client sends "HOST [127.0.0.1]" and goes on whatever the answer, as the connect in
    // SetUp showed. Only proftpd knows HOST, and it takes an IPv4 literal without brackets.
    const int bracketed = hostReplyCode(server->port(), "[127.0.0.1]");
    const int plain = hostReplyCode(server->port(), "127.0.0.1");
    switch (kind()) {
    case FtpServerKind::Pyftpdlib:
        EXPECT_EQ(bracketed, 500);
        EXPECT_EQ(plain, 500);
        break;
    case FtpServerKind::Vsftpd:
    case FtpServerKind::PureFtpd:
        EXPECT_EQ(bracketed, 530);
        EXPECT_EQ(plain, 530);
        break;
    case FtpServerKind::Proftpd:
        EXPECT_EQ(bracketed, 501);
        EXPECT_EQ(plain, 220);
        break;
    }
}

TEST_P(FtpRealServer, ConnectOnAnOpenConnectionFailsAndKeepsIt)
{
    try {
        client->connect();
        FAIL() << "a second connect succeeded";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.kind(), FtpError::Kind::Usage);
    }
    EXPECT_TRUE(client->connected());
    client->noop();
}

TEST_P(FtpRealServer, WrongPasswordFailsWithTheServersReply)
{
    FtpSettings s = client->settings();
    s.password = QStringLiteral("wrong");
    s.onConnected = {};
    FtpClient other(s);
    try {
        other.connect();
        FAIL() << "logged in with a wrong password";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.kind(), FtpError::Kind::Reply);
        EXPECT_EQ(e.replyCode(), 530) << e.message().toStdString();
        EXPECT_FALSE(e.message().isEmpty());
    }
    EXPECT_FALSE(other.connected());
}

TEST_P(FtpRealServer, DownloadReplacesTheLocalFileWithTheRemoteBytes)
{
    const QByteArray bytes = binaryBytes();
    server->write(QStringLiteral("data.bin"), bytes);
    const QString target = local.write(QStringLiteral("data.bin"), QByteArray(5000, 'x'));

    qint64 lastDone = -1;
    qint64 lastTotal = -2;
    client->download(QStringLiteral("data.bin"), target, [&](qint64 done, qint64 total) {
        EXPECT_GE(done, lastDone);
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(TempTree::read(target), bytes);
    EXPECT_EQ(lastDone, bytes.size());
    // From the 150 reply (vsftpd, proftpd) or from SIZE (pyftpdlib, pure-ftpd).
    EXPECT_EQ(lastTotal, bytes.size());
}

TEST_P(FtpRealServer, DownloadOfAnEmptyFileGivesAnEmptyFile)
{
    server->write(QStringLiteral("empty.txt"), {});
    const QString target = local.write(QStringLiteral("empty.txt"), "old");
    client->download(QStringLiteral("empty.txt"), target);
    EXPECT_TRUE(QFileInfo::exists(target));
    EXPECT_EQ(QFileInfo(target).size(), 0);
}

TEST_P(FtpRealServer, AFailedDownloadLeavesTheLocalFileAsItWas)
{
    const QString target = local.write(QStringLiteral("missing.txt"), "old content");
    try {
        client->download(QStringLiteral("missing.txt"), target);
        FAIL() << "downloaded a missing file";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.kind(), FtpError::Kind::Reply);
        EXPECT_EQ(e.replyCode(), 550) << e.message().toStdString();
    }
    EXPECT_EQ(TempTree::read(target), "old content");
    EXPECT_FALSE(QFileInfo::exists(partialDownloadPath(target)));
    EXPECT_TRUE(client->connected());
    client->noop();

    // A private file is private from its first byte.
    server->write(QStringLiteral("secret.txt"), "pw");
    const QString secret = local.path(QStringLiteral("secret.txt"));
    client->download(QStringLiteral("secret.txt"), secret, {}, 0600);
    EXPECT_EQ(QFile::permissions(secret) & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST_P(FtpRealServer, UploadReplacesTheRemoteFile)
{
    server->write(QStringLiteral("up.bin"), QByteArray(10000, 'o'));
    const QByteArray bytes = binaryBytes();
    const QString source = local.write(QStringLiteral("source.bin"), bytes);

    qint64 lastDone = -1;
    qint64 lastTotal = -1;
    client->upload(source, QStringLiteral("up.bin"), [&](qint64 done, qint64 total) {
        lastDone = done;
        lastTotal = total;
    });
    EXPECT_EQ(server->read(QStringLiteral("up.bin")), bytes);
    EXPECT_EQ(lastDone, bytes.size());
    EXPECT_EQ(lastTotal, bytes.size());
}

TEST_P(FtpRealServer, UploadWithoutARemoteNameUsesTheLocalName)
{
    const QString source = local.write(QStringLiteral("named.txt"), "named");
    client->upload(source);
    EXPECT_EQ(server->read(QStringLiteral("named.txt")), QByteArray("named"));
}

TEST_P(FtpRealServer, UploadOfAnEmptyFileGivesAnEmptyRemoteFile)
{
    server->write(QStringLiteral("zero.txt"), "not yet empty");
    client->upload(local.write(QStringLiteral("zero.txt"), {}));
    EXPECT_TRUE(QFileInfo::exists(server->path(QStringLiteral("zero.txt"))));
    EXPECT_EQ(QFileInfo(server->path(QStringLiteral("zero.txt"))).size(), 0);
}

TEST_P(FtpRealServer, UploadOfAMissingLocalFileFailsBeforeTheServerIsAsked)
{
    try {
        client->upload(local.path(QStringLiteral("nothing.here")), QStringLiteral("x.txt"));
        FAIL() << "uploaded a missing file";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.kind(), FtpError::Kind::Local);
    }
    EXPECT_FALSE(QFileInfo::exists(server->path(QStringLiteral("x.txt"))));
    client->noop();
}

TEST_P(FtpRealServer, SeveralMegabytesGoUpAndComeBackUnchanged)
{
    const QByteArray bytes = randomBytes(5 * 1024 * 1024 + 123, 7);
    client->upload(local.write(QStringLiteral("big.bin"), bytes), QStringLiteral("big.bin"));
    EXPECT_EQ(server->read(QStringLiteral("big.bin")), bytes);
    client->download(QStringLiteral("big.bin"), local.path(QStringLiteral("back.bin")));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("back.bin"))), bytes);
}

TEST_P(FtpRealServer, ListNamesGivesTheNamesOfTheCurrentFolder)
{
    server->write(QStringLiteral("one.ms"), "1");
    server->write(QStringLiteral("two.ms"), "2");
    server->write(QStringLiteral("folder/inner.txt"), "3");
    const QStringList names = client->listNames();
    EXPECT_EQ(sorted(names), sorted(QStringList{QStringLiteral("folder"), QStringLiteral("one.ms"),
                                                QStringLiteral("two.ms")} +
                                    dotEntries()));

    client->changeFolder(QStringLiteral("folder"));
    EXPECT_EQ(sorted(client->listNames()),
              sorted(QStringList{QStringLiteral("inner.txt")} + dotEntries()));
}

TEST_P(FtpRealServer, ListNamesOfAnEmptyFolderIsEmptyAndLeavesBinaryMode)
{
    server->makeFolder(QStringLiteral("empty"));
    client->changeFolder(QStringLiteral("empty"));
    EXPECT_EQ(client->listNames(), dotEntries());

    // Binary again: a download keeps its bare line feeds.
    server->write(QStringLiteral("empty2/lines.txt"), "a\nb\n");
    client->changeFolder(QStringLiteral("/empty2"));
    client->download(QStringLiteral("lines.txt"), local.path(QStringLiteral("lines.txt")));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("lines.txt"))), QByteArray("a\nb\n"));
}

TEST_P(FtpRealServer, FoldersAreMadeEnteredLeftAndRemoved)
{
    client->makeFolder(QStringLiteral("users"));
    EXPECT_TRUE(QFileInfo(server->path(QStringLiteral("users"))).isDir());
    client->changeFolder(QStringLiteral("users"));
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/users"));
    client->makeFolder(QStringLiteral("anna"));
    client->changeFolder(QStringLiteral("anna"));
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/users/anna"));
    client->folderUp();
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/users"));
    client->changeFolder(QStringLiteral("/users/anna"));
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/users/anna"));
    client->folderUp();
    client->removeFolder(QStringLiteral("anna"));
    EXPECT_FALSE(QFileInfo::exists(server->path(QStringLiteral("users/anna"))));
    client->folderUp();
    EXPECT_EQ(client->currentFolder(), QStringLiteral("/"));
}

TEST_P(FtpRealServer, FolderErrorsCarryTheReplyAndKeepTheConnection)
{
    const auto expectRefused = [&](const std::function<void()>& call) {
        try {
            call();
            ADD_FAILURE() << "the server accepted it";
        } catch (const FtpError& e) {
            EXPECT_EQ(e.kind(), FtpError::Kind::Reply) << e.message().toStdString();
            EXPECT_GE(e.replyCode(), 400);
            EXPECT_TRUE(e.message().startsWith(QString::number(e.replyCode())));
        }
        EXPECT_TRUE(client->connected());
    };
    expectRefused([&] { client->changeFolder(QStringLiteral("no-such-folder")); });
    expectRefused([&] { client->removeFolder(QStringLiteral("no-such-folder")); });
    server->makeFolder(QStringLiteral("there"));
    expectRefused([&] { client->makeFolder(QStringLiteral("there")); });
    server->write(QStringLiteral("full/file.txt"), "x");
    expectRefused([&] { client->removeFolder(QStringLiteral("full")); });
    expectRefused([&] { client->deleteFile(QStringLiteral("no-such-file")); });
    expectRefused([&] { client->rename(QStringLiteral("no-such-file"), QStringLiteral("b")); });
    client->noop();
}

TEST_P(FtpRealServer, DeleteFileRemovesIt)
{
    server->write(QStringLiteral("gone.txt"), "x");
    client->deleteFile(QStringLiteral("gone.txt"));
    EXPECT_FALSE(QFileInfo::exists(server->path(QStringLiteral("gone.txt"))));
}

TEST_P(FtpRealServer, RenameMovesAFileAndReplacesAnExistingTarget)
{
    server->write(QStringLiteral("old.txt"), "content");
    client->rename(QStringLiteral("old.txt"), QStringLiteral("new.txt"));
    EXPECT_FALSE(QFileInfo::exists(server->path(QStringLiteral("old.txt"))));
    EXPECT_EQ(server->read(QStringLiteral("new.txt")), QByteArray("content"));

    // proftpd allows this only with AllowOverwrite, which the fixture sets.
    server->write(QStringLiteral("other.txt"), "other");
    client->rename(QStringLiteral("other.txt"), QStringLiteral("new.txt"));
    EXPECT_EQ(server->read(QStringLiteral("new.txt")), QByteArray("other"));

    server->makeFolder(QStringLiteral("dir"));
    client->rename(QStringLiteral("dir"), QStringLiteral("dir2"));
    EXPECT_TRUE(QFileInfo(server->path(QStringLiteral("dir2"))).isDir());
}

TEST_P(FtpRealServer, SizeTellsFilesFromFolders)
{
    server->write(QStringLiteral("seven.txt"), "1234567");
    server->write(QStringLiteral("zero.txt"), {});
    server->makeFolder(QStringLiteral("folder"));
    EXPECT_EQ(client->size(QStringLiteral("seven.txt")), 7);
    EXPECT_EQ(client->size(QStringLiteral("zero.txt")), 0);
    EXPECT_EQ(client->size(QStringLiteral("folder")), -1);
    EXPECT_EQ(client->size(QStringLiteral("missing")), -1);
    EXPECT_TRUE(client->connected());
}

TEST_P(FtpRealServer, CyrillicNamesUseTheServersEncoding)
{
    const QString name = QStringLiteral(u"Привет.txt");
    client->upload(local.write(QStringLiteral("latin.txt"), "hi"), name);
    // A UTF8 server receives UTF-8; the others one windows-1251 byte per character.
    const QByteArray onDisk = client->usesUtf8() ? name.toUtf8() : cp1251::encode(name);
    // Raw bytes: a windows-1251 name is no valid UTF-8, so no QString path can name it.
    const QByteArray diskPath = QFile::encodeName(server->root()) + '/' + onDisk;
    struct stat info
    {
    };
    EXPECT_EQ(::stat(diskPath.constData(), &info), 0) << diskPath.toHex().toStdString();
    EXPECT_TRUE(client->listNames().contains(name));
    EXPECT_EQ(client->size(name), 2);
    client->download(name, local.path(QStringLiteral("back.txt")));
    EXPECT_EQ(TempTree::read(local.path(QStringLiteral("back.txt"))), QByteArray("hi"));
}

TEST_P(FtpRealServer, ManyTransfersOnOneConnection)
{
    for (int i = 0; i < 40; ++i)
        server->write(QStringLiteral("box/f%1.ms").arg(i), QByteArray::number(i));
    client->changeFolder(QStringLiteral("box"));
    const QStringList names = client->listNames();
    int fetched = 0;
    for (const QString& n : names) {
        if (n == u'.' || n == QStringLiteral(".."))
            continue;
        client->download(n, local.path(n));
        EXPECT_EQ(TempTree::read(local.path(n)), server->read(QStringLiteral("box/") + n));
        ++fetched;
    }
    EXPECT_EQ(fetched, 40);
}

INSTANTIATE_TEST_SUITE_P(
    Servers, FtpRealServer,
    ::testing::Combine(::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::Vsftpd,
                                         FtpServerKind::PureFtpd, FtpServerKind::Proftpd),
                       ::testing::Bool()),
    [](const ::testing::TestParamInfo<ServerMode>& info) {
        QString n = ftpServerKindName(std::get<0>(info.param));
        n.remove(u'-');
        if (std::get<1>(info.param))
            n += QStringLiteral("Tls");
        return n.toStdString();
    });

} // namespace
