// Whole-file replacement and the writers' lock on the four real servers: a reader never sees a
// part, a killed writer's left-overs are tidied, and two clients never hold one lock.
#include "net/FtpClient.h"
#include "net/ServerFile.h"
#include "net/ServerLock.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <atomic>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace {

// Sets a served file's modification time `seconds` into the past.
void age(const QString& path, int seconds)
{
    const time_t then = ::time(nullptr) - seconds;
    const utimbuf times{then, then};
    ::utime(QFile::encodeName(path).constData(), &times);
}

QStringList temporaries(const QStringList& names)
{
    QStringList found;
    for (const QString& n : names)
        if (serverfile::isTemporary(n) || n.contains(QStringLiteral("}lock")))
            found.append(n);
    return found;
}

class ServerFiles : public ::testing::TestWithParam<FtpServerKind>
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::unavailable(GetParam()); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        start({});
    }

    void start(const FtpServerFixture::Options& options)
    {
        server.reset();
        server = FtpServerFixture::start(GetParam(), options);
        server->makeFolder(QStringLiteral("users/anna"));
        a = connect();
        b = connect();
    }

    std::unique_ptr<FtpClient> connect() const
    {
        FtpSettings s = server->clientSettings();
        auto client = std::make_unique<FtpClient>(s);
        client->connect();
        client->changeFolder(QStringLiteral("/users/anna"));
        return client;
    }

    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> a;
    std::unique_ptr<FtpClient> b;
    TempTree local;
};

TEST_P(ServerFiles, ReplacementLeavesTheNewFileAndNothingElse)
{
    server->write(QStringLiteral("users/anna/bob.ms"), "old text");
    const QString file = local.write(QStringLiteral("new"), "new text, longer than the old");
    const serverfile::Replaced r = serverfile::replace(*a, file, QStringLiteral("bob.ms"));
    EXPECT_FALSE(r.renamedAside);
    EXPECT_EQ(server->read(QStringLiteral("users/anna/bob.ms")),
              QByteArray("new text, longer than the old"));
    EXPECT_EQ(temporaries(a->listNames()), QStringList());
    // A file that did not exist yet is made the same way.
    serverfile::replace(*a, file, QStringLiteral("carl.ms"));
    EXPECT_EQ(server->read(QStringLiteral("users/anna/carl.ms")),
              QByteArray("new text, longer than the old"));
}

TEST_P(ServerFiles, ReaderDuringASlowReplacementSeesTheOldOrTheNewFileWhole)
{
    const QByteArray before(300'000, 'o');
    const QByteArray after = QByteArray(500'000, 'n') + "end";
    server->write(QStringLiteral("users/anna/bob.ms"), before);
    const QString file = local.write(QStringLiteral("new"), after);
    a->settings().transferBufferBytes = 4096;

    std::atomic<bool> writing{true};
    std::thread writer([&] {
        // About a millisecond per 4 KiB keeps the upload going while the reader reads.
        serverfile::replace(*a, file, QStringLiteral("bob.ms"), std::nullopt, [](qint64, qint64) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        writing = false;
    });
    int reads = 0;
    int partial = 0;
    const QString copy = local.path(QStringLiteral("copy"));
    while (writing || reads == 0) {
        serverfile::read(*b, QStringLiteral("bob.ms"), copy);
        const QByteArray got = TempTree::read(copy);
        if (got != before && got != after)
            ++partial;
        ++reads;
    }
    writer.join();
    EXPECT_EQ(partial, 0) << "of " << reads << " reads";
    serverfile::read(*b, QStringLiteral("bob.ms"), copy);
    EXPECT_EQ(TempTree::read(copy), after);
}

TEST_P(ServerFiles, TheNextWriterTidiesAKilledWritersLeftovers)
{
    server->write(QStringLiteral("users/anna/bob.ms"), "current");
    // A part upload of a writer killed long ago, one of a writer still at work, and an old file
    // moved aside by a writer killed before it could put the new one in.
    server->write(QStringLiteral("users/anna/bob.ms}new}k1lled"), "cut");
    age(server->path(QStringLiteral("users/anna/bob.ms}new}k1lled")), 3600);
    server->write(QStringLiteral("users/anna/bob.ms}new}busy"), "half");
    server->write(QStringLiteral("users/anna/carl.ms}old}k1lled"), "carl's history");
    age(server->path(QStringLiteral("users/anna/carl.ms}old}k1lled")), 3600);

    const QString file = local.write(QStringLiteral("new"), "newest");
    const serverfile::Replaced r = serverfile::replace(*a, file, QStringLiteral("bob.ms"));
    EXPECT_EQ(r.leftoversRemoved, 2);
    EXPECT_FALSE(QFileInfo::exists(server->path(QStringLiteral("users/anna/bob.ms}new}k1lled"))));
    EXPECT_TRUE(QFileInfo::exists(server->path(QStringLiteral("users/anna/bob.ms}new}busy"))));
    EXPECT_EQ(server->read(QStringLiteral("users/anna/carl.ms")), QByteArray("carl's history"));
    EXPECT_EQ(server->read(QStringLiteral("users/anna/bob.ms")), QByteArray("newest"));
}

TEST_P(ServerFiles, OneLockHolderAtATimeAndTheWaiterGetsItOnRelease)
{
    ServerLock::Limits quick;
    quick.waitMs = 300;
    auto first = std::make_unique<ServerLock>(*a, QStringLiteral("bob.ms"));
    EXPECT_TRUE(first->held());
    EXPECT_NO_THROW(first->confirm());
    try {
        ServerLock second(*b, QStringLiteral("bob.ms"), quick);
        FAIL() << "two clients held one lock";
    } catch (const FtpError& e) {
        EXPECT_EQ(e.kind(), FtpError::Kind::Timeout) << e.message().toStdString();
    }
    // Another file's lock is free meanwhile.
    {
        ServerLock other(*b, QStringLiteral("carl.ms"), quick);
    }

    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        first.reset();
    });
    ServerLock::Limits patient;
    patient.waitMs = 20'000;
    {
        ServerLock second(*b, QStringLiteral("bob.ms"), patient);
        EXPECT_TRUE(second.held());
        EXPECT_EQ(second.brokeStale(), 0);
        releaser.join();
    }
    EXPECT_EQ(temporaries(a->listNames()), QStringList());
}

TEST_P(ServerFiles, AbandonedLocksAreBrokenOnlyAfterTheWaiterWatchedThemUnchanged)
{
    // An earlier version's lock, with a "held" file dated long ago: its date means nothing to
    // the waiter, only that it stays unchanged while watched.
    server->makeFolder(QStringLiteral("users/anna/bob.ms}lock"));
    server->write(QStringLiteral("users/anna/bob.ms}lock/held"), "gone\r\n");
    age(server->path(QStringLiteral("users/anna/bob.ms}lock/held")), 3600);
    ServerLock::Limits limits;
    limits.unchangedMs = 600;
    limits.undatedMs = 400;
    limits.waitMs = 20'000;
    {
        ServerLock lock(*a, QStringLiteral("bob.ms"), limits);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(lock.brokeStale(), 1);
    }
    // A holder killed before it marked its lock.
    server->makeFolder(QStringLiteral("users/anna/carl.ms}lock"));
    {
        ServerLock lock(*b, QStringLiteral("carl.ms"), limits);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(lock.brokeStale(), 1);
    }
    EXPECT_EQ(temporaries(a->listNames()), QStringList());
}

TEST_P(ServerFiles, ALiveHolderThatRenewsKeepsItsLockHoweverLongItWorks)
{
    ServerLock::Limits holder;
    holder.renewMs = 0; // every confirm() renews
    ServerLock held(*a, QStringLiteral("bob.ms"), holder);
    ServerLock::Limits waiter;
    waiter.unchangedMs = 800;
    waiter.waitMs = 3000;
    std::atomic<bool> done = false;
    std::thread work([&] {
        while (!done) {
            held.confirm();
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
    });
    EXPECT_THROW(ServerLock(*b, QStringLiteral("bob.ms"), waiter), FtpError);
    done = true;
    work.join();
    EXPECT_NO_THROW(held.confirm()) << "the holder still holds it";
}

TEST_P(ServerFiles, AHolderWhoseLockWasBrokenWritesNothingMore)
{
    ServerLock::Limits holder;
    holder.renewMs = 0;
    ServerLock held(*a, QStringLiteral("bob.ms"), holder);
    // The holder stops renewing (a stalled link); the waiter takes the lock over.
    ServerLock::Limits waiter;
    waiter.unchangedMs = 300;
    ServerLock taken(*b, QStringLiteral("bob.ms"), waiter);
    EXPECT_EQ(taken.brokeStale(), 1);
    EXPECT_THROW(held.confirm(), FtpError);
    EXPECT_FALSE(held.held());
    held.release();
    EXPECT_NO_THROW(taken.confirm()) << "the old holder's release left the new lock alone";
}

TEST_P(ServerFiles, AClientTakesItsOwnLockBackAfterItsConnectionBroke)
{
    {
        ServerLock lock(*a, QStringLiteral("bob.ms"));
        a->disconnect(); // the lock stays on the server with this client's mark
    }
    a->connect();
    a->changeFolder(QStringLiteral("/users/anna"));
    ServerLock::Limits limits;
    limits.unchangedMs = 600'000;
    limits.undatedMs = 600'000;
    limits.waitMs = 5000;
    ServerLock again(*a, QStringLiteral("bob.ms"), limits);
    EXPECT_TRUE(again.tookBackOwn());
    // Another client never takes it for its own.
    ServerLock::Limits quick;
    quick.waitMs = 500;
    quick.unchangedMs = 600'000;
    EXPECT_THROW(ServerLock(*b, QStringLiteral("bob.ms"), quick), FtpError);
}

TEST_P(ServerFiles, ALockIsTakenAtOnceOnlyWhenItsHolderIsADeadProcessOfThisBoot)
{
    const QString address = server->address();
    const pid_t child = ::fork();
    if (child == 0) {
        // Takes the lock and dies without a word, as a killed program does.
        FtpSettings s;
        s.host = address;
        s.user = server->user();
        s.password = server->password();
        FtpClient c(s);
        c.connect();
        c.changeFolder(QStringLiteral("/users/anna"));
        auto* held = new ServerLock(c, QStringLiteral("bob.ms"));
        (void)held;
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(QFileInfo::exists(server->path(QStringLiteral("users/anna/bob.ms}lock"))));
    ServerLock::Limits limits;
    limits.waitMs = 5000;
    limits.unchangedMs = 600'000;
    {
        ServerLock lock(*a, QStringLiteral("bob.ms"), limits);
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(lock.brokeStale(), 1);
    }

    // Another computer whose process has the same id (its machine id may even be the same):
    // another boot, so its lock is not judged by this computer's processes.
    ServerLock::Mark foreign = ServerLock::ownMark(QStringLiteral("zz"));
    foreign.boot = QStringLiteral("0badb007");
    foreign.pid = 999'999'999;
    server->makeFolder(QStringLiteral("users/anna/bob.ms}lock/") + ServerLock::markName(foreign));
    limits.waitMs = 1000;
    EXPECT_THROW(ServerLock(*a, QStringLiteral("bob.ms"), limits), FtpError);
}

TEST_P(ServerFiles, ALockReleasesWhenItsHolderLeavesByAnException)
{
    try {
        ServerLock lock(*a, QStringLiteral("bob.ms"));
        a->download(QStringLiteral("missing.ms"), local.path(QStringLiteral("x")));
    } catch (const FtpError&) {
    }
    ServerLock::Limits quick;
    quick.waitMs = 300;
    ServerLock again(*b, QStringLiteral("bob.ms"), quick);
    EXPECT_TRUE(again.held());
}

INSTANTIATE_TEST_SUITE_P(Servers, ServerFiles,
                         ::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::Vsftpd,
                                           FtpServerKind::PureFtpd, FtpServerKind::Proftpd),
                         [](const auto& info) {
                             QString name = ftpServerKindName(info.param);
                             return name.remove(u'-').toStdString();
                         });

// Servers that refuse to rename over an existing file (pyftpdlib told to behave like them).
TEST(ServerFilesRefusingRenameOver, TheOldFileIsMovedAsideThenDeleted)
{
    if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Pyftpdlib); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    FtpServerFixture::Options options;
    options.refuseRenameOver = true;
    const auto server = FtpServerFixture::start(FtpServerKind::Pyftpdlib, options);
    server->write(QStringLiteral("bob.ms"), "old text");
    FtpSettings s = server->clientSettings();
    FtpClient client(s);
    client.connect();
    // The server really refuses.
    server->write(QStringLiteral("other"), "x");
    EXPECT_THROW(client.rename(QStringLiteral("other"), QStringLiteral("bob.ms")), FtpError);

    TempTree local;
    const QString file = local.write(QStringLiteral("new"), "new text");
    const serverfile::Replaced r = serverfile::replace(client, file, QStringLiteral("bob.ms"));
    EXPECT_TRUE(r.renamedAside);
    EXPECT_EQ(server->read(QStringLiteral("bob.ms")), QByteArray("new text"));
    EXPECT_EQ(temporaries(client.listNames()), QStringList());
}

} // namespace
