// The fault-injecting FTP server against the real client: every fault it offers does to
// FtpClient what the tests built on it rely on.
#include "net/FtpClient.h"
#include "support/FaultyFtpServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QFileInfo>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Rule = FaultyFtpServer::Rule;

QByteArray randomBytes(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator generator(seed);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>(generator.bounded(256));
    return bytes;
}

template <typename F> double secondsOf(F&& f)
{
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The error `f` throws; none if it returns.
template <typename F> std::optional<FtpError> errorOf(F&& f)
{
    try {
        f();
    } catch (const FtpError& e) {
        return e;
    }
    return std::nullopt;
}

class FaultyServer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FaultyFtpServer::start();
    }

    std::unique_ptr<FtpClient> connected() const
    {
        auto client = std::make_unique<FtpClient>(server->clientSettings());
        client->connect();
        return client;
    }

    std::unique_ptr<FaultyFtpServer> server;
    TempTree local;
};

TEST_F(FaultyServer, DelayedSessionHoldsUpNoOther)
{
    const QByteArray bytes = randomBytes(10'000, 1);
    server->write("slow.bin", bytes);
    const int delay = server->addRule({.command = "RETR", .name = "slow.bin", .delayMs = 2000});
    const auto slow = connected();
    const auto quick = connected();

    std::atomic<bool> slowDone = false;
    Clock::time_point slowEnd;
    std::optional<FtpError> slowError;
    std::thread download([&] {
        slowError = errorOf([&] { slow->download("slow.bin", local.path("slow.bin")); });
        slowEnd = Clock::now();
        slowDone = true;
    });
    // The rule counts before it sleeps: from here on the slow session is held.
    while (server->matched(delay) == 0 && !slowDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const QStringList names = quick->listNames();
    const auto quickEnd = Clock::now();
    const bool slowDoneFirst = slowDone;
    download.join();

    EXPECT_TRUE(names.contains("slow.bin")) << names.join(u' ').toStdString();
    EXPECT_FALSE(slowDoneFirst) << "the list waited for the delayed session";
    EXPECT_LT(quickEnd, slowEnd);
    ASSERT_FALSE(slowError) << slowError->message().toStdString();
    EXPECT_EQ(TempTree::read(local.path("slow.bin")), bytes);
    EXPECT_EQ(server->matched(delay), 1);
}

TEST_F(FaultyServer, DownloadsCutShort)
{
    const QByteArray bytes = randomBytes(300'000, 2);
    server->write("data.bin", bytes);
    server->write("data.txt", "plain");
    const QString target = local.write("data.bin", "old");
    const auto client = connected();

    // Dropped: 426 after the first bytes, the local file as it was, the connection still usable.
    const int drop =
        server->addRule({.command = "RETR", .name = "*.bin", .dropAfter = 100'000, .times = 1});
    const auto dropped = errorOf([&] { client->download("data.bin", target); });
    ASSERT_TRUE(dropped);
    EXPECT_EQ(dropped->replyCode(), 426) << dropped->message().toStdString();
    EXPECT_EQ(TempTree::read(target), "old");
    EXPECT_EQ(server->matched(drop), 1);
    // A name outside the pattern is not cut, and the rule expires after its one match.
    client->download("data.txt", local.path("data.txt"));
    EXPECT_EQ(TempTree::read(local.path("data.txt")), "plain");
    client->download("data.bin", target);
    EXPECT_EQ(TempTree::read(target), bytes);
    EXPECT_EQ(server->matched(drop), 1);

    // Short: 226 after too few bytes, which only the size tells.
    local.write("data.bin", "old");
    const int cut = server->addRule({.command = "RETR", .name = "data.bin", .shortAfter = 1000});
    const auto incomplete = errorOf([&] { client->download("data.bin", target); });
    ASSERT_TRUE(incomplete);
    EXPECT_EQ(incomplete->kind(), FtpError::Kind::Incomplete)
        << incomplete->message().toStdString();
    EXPECT_EQ(TempTree::read(target), "old");
    EXPECT_EQ(server->matched(cut), 1);
}

TEST_F(FaultyServer, AFileReplacedBetweenItsSizeAndItsReadArrivesAsItNowIs)
{
    // A peer rewrites the file while this session's RETR is held, after its SIZE was answered.
    for (const QByteArray& replacement : {QByteArray(161, 'b'), QByteArray(159, 'c')}) {
        server->write("lineup.xo", QByteArray(160, 'a'));
        const int held =
            server->addRule({.command = "RETR", .name = "lineup.xo", .delayMs = 700, .times = 1});
        const auto client = connected();
        std::optional<FtpError> error;
        std::atomic<bool> finished = false;
        std::thread reader([&] {
            error = errorOf([&] { client->download("lineup.xo", local.path("lineup.xo")); });
            finished = true;
        });
        while (server->matched(held) == 0 && !finished)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        server->write("lineup.xo", replacement);
        reader.join();
        ASSERT_FALSE(error) << error->message().toStdString();
        EXPECT_EQ(TempTree::read(local.path("lineup.xo")), replacement);
    }
}

TEST_F(FaultyServer, UploadDroppedKeepsWhatArrived)
{
    const QByteArray bytes = randomBytes(1'000'000, 3);
    const QString source = local.write("up.bin", bytes);
    const int drop = server->addRule({.command = "STOR", .name = "up.bin", .dropAfter = 100'000});
    const auto client = connected();

    EXPECT_THROW(client->upload(source), FtpError);
    EXPECT_EQ(server->read("up.bin"), bytes.left(100'000));
    EXPECT_EQ(server->matched(drop), 1);
}

TEST_F(FaultyServer, RepliesReplaceCommands)
{
    server->write("keep.txt", "k");
    const auto client = connected();

    const int refuse = server->addRule(
        {.command = "DELE", .name = "keep.txt", .reply = "550 The file is in use."});
    const auto refused = errorOf([&] { client->deleteFile("keep.txt"); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->replyCode(), 550);
    EXPECT_TRUE(QFileInfo::exists(server->path("keep.txt")));
    client->noop();

    // 421 hangs up: the client learns it with its next command.
    const int hangUp =
        server->addRule({.command = "MKD",
                         .reply = "421 Service not available, closing control connection.",
                         .times = 1});
    const auto closing = errorOf([&] { client->makeFolder("new"); });
    ASSERT_TRUE(closing);
    EXPECT_EQ(closing->replyCode(), 421);
    EXPECT_THROW(client->noop(), FtpError);
    EXPECT_FALSE(client->connected());
    EXPECT_FALSE(QFileInfo::exists(server->path("new")));

    connected()->makeFolder("new");
    EXPECT_TRUE(QFileInfo(server->path("new")).isDir());
    EXPECT_EQ(server->matched(refuse), 1);
    EXPECT_EQ(server->matched(hangUp), 1);
}

TEST_F(FaultyServer, RatesPaceTransfers)
{
    constexpr qint64 size = 200'000;
    constexpr qint64 rate = 100'000;
    const QByteArray bytes = randomBytes(size, 4);
    server->write("big.bin", bytes);
    const QString source = local.write("up.bin", bytes);
    const auto client = connected();

    const double freeDown = secondsOf([&] { client->download("big.bin", local.path("a")); });
    const double freeUp = secondsOf([&] { client->upload(source, "free.bin"); });
    server->setRates(rate, rate);
    const double slowDown = secondsOf([&] { client->download("big.bin", local.path("b")); });
    const double slowUp = secondsOf([&] { client->upload(source, "slow.bin"); });

    const double expected = double(size) / rate;
    EXPECT_GE(slowDown, 0.8 * expected);
    EXPECT_GE(slowUp, 0.8 * expected);
    EXPECT_GT(slowDown, 4 * freeDown);
    EXPECT_GT(slowUp, 4 * freeUp);
    EXPECT_EQ(TempTree::read(local.path("b")), bytes);
    EXPECT_EQ(server->read("slow.bin"), bytes);
}

TEST_F(FaultyServer, ClockShiftMovesReportedTimes)
{
    server->write("stamp.txt", "s");
    const auto client = connected();
    const QDateTime before = client->modificationTime("stamp.txt");
    ASSERT_TRUE(before.isValid());

    server->setMdtmShift(-7200);
    const QDateTime after = client->modificationTime("stamp.txt");
    EXPECT_EQ(before.secsTo(after), -7200);
    ASSERT_TRUE(client->listsMachineReadable());
    const QStringList lines = client->listDetails();
    const QString modify = "modify=" + after.toString("yyyyMMddHHmmss");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
        return line.endsWith(" stamp.txt") && line.contains(modify);
    })) << lines.join(u'\n').toStdString();
}

TEST_F(FaultyServer, KillEndsSessionsAndRestartServesTheSameFiles)
{
    server->write("kept.txt", "still here");
    const int refuse = server->addRule({.command = "DELE", .reply = "550 No."});
    const auto client = connected();
    EXPECT_TRUE(client->listNames().contains("kept.txt"));
    EXPECT_THROW(client->deleteFile("kept.txt"), FtpError);

    server->kill();
    EXPECT_THROW(client->noop(), FtpError);
    EXPECT_FALSE(client->connected());
    EXPECT_THROW(connected(), FtpError);

    const quint16 port = server->port();
    server->restart();
    EXPECT_EQ(server->port(), port);
    const auto again = connected();
    EXPECT_TRUE(again->listNames().contains("kept.txt"));
    // Rules and their counts survive the restart.
    EXPECT_THROW(again->deleteFile("kept.txt"), FtpError);
    EXPECT_EQ(server->matched(refuse), 2);
    EXPECT_EQ(server->read("kept.txt"), "still here");
}

} // namespace
