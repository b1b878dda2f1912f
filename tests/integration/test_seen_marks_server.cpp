// Seen marks on real servers: the reader's file goes up whole and once per change, and the
// writer reads it only when its size or time changed, at most once per look.
#include "core/Conversation.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/SeenMarks.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"
#include "support/FaultyFtpServer.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <utime.h>

namespace {

const QString kRoot = QStringLiteral("/");

seenmark::Mark markOf(int second)
{
    const QDateTime entry(QDate(2026, 3, 5), QTime(14, 5, second));
    const QString header = conversation::headerLine(QStringLiteral("Alice"), entry);
    return {header, seenmark::digestOf({header, QStringLiteral("hi")}),
            QDateTime(QDate(2026, 3, 5), QTime(14, 7, 9))};
}

// Sets a served file's modification time an hour into the past.
void age(const QString& path)
{
    const time_t then = ::time(nullptr) - 3600;
    const utimbuf times{then, then};
    ::utime(QFile::encodeName(path).constData(), &times);
}

// The names in a served folder.
QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
}

class SeenMarksOnServers : public ::testing::TestWithParam<FtpServerKind>
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::unavailable(GetParam()); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FtpServerFixture::start(GetParam());
        server->makeFolder("netwrk/users/Alice");
        server->makeFolder("netwrk/users/Bob");
        bob = std::make_unique<FtpClient>(server->clientSettings());
        bob->connect();
        alice = std::make_unique<FtpClient>(server->clientSettings());
        alice->connect();
    }

    QString bobsFile() const { return server->path("netwrk/users/Bob/Alice}seen"); }

    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> bob;
    std::unique_ptr<FtpClient> alice;
    TempTree local;
};

} // namespace

TEST_P(SeenMarksOnServers, TheReadersFileGoesUpWholeAndTheWriterReadsIt)
{
    seenmarks::Written written;
    ASSERT_TRUE(
        seenmarks::record(*bob, kRoot, "Bob", "Alice", markOf(7), local.path("b"), written));
    EXPECT_EQ(server->read("netwrk/users/Bob/Alice}seen"),
              stringlist::encode(seenmark::toLines(markOf(7))));
    // Nothing left beside it, and nothing in the writer's folder.
    EXPECT_EQ(namesIn(server->path("netwrk/users/Bob")), QStringList{"Alice}seen"});
    EXPECT_TRUE(namesIn(server->path("netwrk/users/Alice")).isEmpty());
    // The connection stays where it was.
    EXPECT_EQ(bob->currentFolder(), "/");

    seenmarks::Watch watch;
    watch.owner = "Alice";
    watch.peer = "Bob";
    EXPECT_TRUE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    EXPECT_EQ(watch.mark, markOf(7));
    EXPECT_FALSE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));

    // A newer entry seen: the same size, a new time.
    QThread::sleep(1);
    ASSERT_TRUE(
        seenmarks::record(*bob, kRoot, "Bob", "Alice", markOf(8), local.path("b"), written));
    EXPECT_TRUE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    EXPECT_EQ(watch.mark, markOf(8));

    // Gone with the reader's folder: no mark.
    QFile::remove(bobsFile());
    EXPECT_TRUE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    EXPECT_EQ(watch.mark, std::nullopt);
}

TEST_P(SeenMarksOnServers, AnUnchangedMarkIsNotWrittenAgainNotEvenByANewSession)
{
    seenmarks::Written written;
    ASSERT_TRUE(
        seenmarks::record(*bob, kRoot, "Bob", "Alice", markOf(7), local.path("b"), written));
    const QByteArray first = server->read("netwrk/users/Bob/Alice}seen");
    seenmark::Mark later = markOf(7);
    later.at = later.at.addSecs(3600);
    EXPECT_FALSE(seenmarks::record(*bob, kRoot, "Bob", "Alice", later, local.path("b"), written));
    // The program started again: the server's file already names the entry, and keeps the
    // time it was first seen.
    seenmarks::Written afresh;
    EXPECT_FALSE(seenmarks::record(*bob, kRoot, "Bob", "Alice", later, local.path("b"), afresh));
    EXPECT_EQ(server->read("netwrk/users/Bob/Alice}seen"), first);
    EXPECT_TRUE(seenmarks::record(*bob, kRoot, "Bob", "Alice", markOf(9), local.path("b"), afresh));
    EXPECT_EQ(seenmark::fromLines(stringlist::decode(server->read("netwrk/users/Bob/Alice}seen"))),
              markOf(9));
}

TEST_P(SeenMarksOnServers, NoFileAndAFileThatIsNoMarkAreNoMark)
{
    seenmarks::Watch watch;
    watch.owner = "Alice";
    watch.peer = "Bob";
    EXPECT_FALSE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    EXPECT_EQ(watch.mark, std::nullopt);
    server->write("netwrk/users/Bob/Alice}seen", "not a mark\r\n");
    EXPECT_FALSE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    EXPECT_EQ(watch.mark, std::nullopt);
    // Far too large for a mark: never read.
    server->write("netwrk/users/Bob/Alice}seen", QByteArray(seenmarks::kMaxBytes + 1, 'x'));
    EXPECT_FALSE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
    // A name that is no user's is never looked for.
    watch.peer = "../Bob";
    EXPECT_FALSE(seenmarks::look(*alice, kRoot, "Alice", local.path("a"), watch));
}

INSTANTIATE_TEST_SUITE_P(Servers, SeenMarksOnServers,
                         ::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::Vsftpd,
                                           FtpServerKind::PureFtpd, FtpServerKind::Proftpd),
                         [](const auto& info) {
                             QString name = ftpServerKindName(info.param);
                             return name.remove(u'-').toStdString();
                         });

namespace {

// The verbs the server was sent after the first `from` characters of its log.
QStringList commandsSince(const FaultyFtpServer& server, qsizetype from)
{
    QStringList verbs;
    for (const QString& line : server.log().mid(from).split(u'\n')) {
        const qsizetype at = line.indexOf(QStringLiteral(" <- "));
        if (at >= 0)
            verbs.append(line.mid(at + 4).section(u' ', 0, 0));
    }
    return verbs;
}

} // namespace

// A look at an unchanged mark costs one command on the control connection; a changed one, or
// one written so lately that a rewrite in the same second would not show, adds one download.
TEST(SeenMarkCommands, ALookReadsTheFileOnlyWhenItMayHaveChanged)
{
    if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto server = FaultyFtpServer::start();
    server->makeFolder("netwrk/users/Alice");
    const auto put = [&](int second) {
        return server->write("netwrk/users/Bob/Alice}seen",
                             stringlist::encode(seenmark::toLines(markOf(second))));
    };
    const QString file = put(7);
    age(file);
    TempTree local;
    FtpClient alice(server->clientSettings());
    alice.connect();
    seenmarks::Watch watch;
    watch.owner = "Alice";
    watch.peer = "Bob";
    const auto look = [&] {
        return seenmarks::look(alice, kRoot, "Alice", local.path("a"), watch);
    };

    qsizetype from = server->log().size();
    EXPECT_TRUE(look());
    EXPECT_EQ(commandsSince(*server, from).count("RETR"), 1);
    EXPECT_EQ(watch.mark, markOf(7));
    for (int cycle = 0; cycle < 3; ++cycle) {
        from = server->log().size();
        EXPECT_FALSE(look());
        EXPECT_EQ(commandsSince(*server, from), QStringList{"MLST"});
    }

    // Rewritten just now, twice within a second and at one size: each look reads it once.
    for (const int second : {8, 9}) {
        put(second);
        from = server->log().size();
        EXPECT_TRUE(look());
        EXPECT_EQ(commandsSince(*server, from).count("RETR"), 1);
        EXPECT_EQ(watch.mark, markOf(second));
    }
    // Once it is old, unchanged is unchanged again.
    age(file);
    EXPECT_FALSE(look());
    from = server->log().size();
    EXPECT_FALSE(look());
    EXPECT_EQ(commandsSince(*server, from), QStringList{"MLST"});
}
