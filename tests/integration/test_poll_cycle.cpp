#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"
#include "support/FaultyFtpServer.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDateTime>
#include <QDir>

#include <fcntl.h>
#include <sys/stat.h>

#include <thread>

#include <gtest/gtest.h>

namespace {

struct RecordingSink : poll::Sink
{
    void playSound() override { ++sounds; }
    void refreshOpenChat(const QStringList& chat) override { openChats.append(chat.join(u'|')); }
    void announce(const poll::Announcement& a) override
    {
        announced.append(a);
        events.append("announce " + a.sender);
    }
    void filesFetched(const poll::Announcement& a) override
    {
        fetched.append(a);
        events.append("fetched " + a.sender);
    }
    void pumpEvents() override
    {
        ++pumped;
        events.append(QStringLiteral("file"));
    }
    int sounds = 0;
    int pumped = 0;
    QStringList openChats;
    QList<poll::Announcement> announced;
    QList<poll::Announcement> fetched;
    QStringList events;
};

class PollCycleTest : public ::testing::Test
{
protected:
    void SetUp() override { start(FtpServerKind::Pyftpdlib); }

    void start(FtpServerKind kind)
    {
        if (const QString why = FtpServerFixture::unavailable(kind); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FtpServerFixture::start(kind);
        server->write("fcom.xo", "0\r\n1\r\n2\r\n3\r\n4\r\n" + server->address().toUtf8() + "\r\n" +
                                     server->user().toUtf8() + "\r\n" +
                                     server->password().toUtf8() + "\r\n/\r\n");
        server->write("netwrk/users/lineup.xo", "}Me}}}.png}eng/\r\n}Zoe}}}.png}eng/\r\n"
                                                "}Ann}}}.png}rus/\r\n");
        server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:05:07 :\r\nHi Me");
        server->write("netwrk/users/Me/Ann.ms",
                      "Ann sent \"a\" (07.03.2026   14:05:07)\r\n...a.txt\r\n");
        server->write("netwrk/users/Me/Ann/a.txt", "A");
        server->write("netwrk/users/Me/Me.ms", "self");
        server->write("netwrk/users/Me/Gone.ms", "gone");

        ServerSession::Config c;
        c.settingsServer = server->address();
        c.settingsUser = server->user();
        c.settingsPassword = server->password();
        c.tempDataDir = local.path("temp/");
        c.onConnected = [this] { ++logins; };
        QDir().mkpath(c.tempDataDir);
        QDir().mkpath(local.path("Network"));
        session = std::make_unique<ServerSession>(c);
        session->setStatus(QString::fromUtf16(ServerSession::kConnected));
        ASSERT_EQ(session->bootstrapTick(), ServerSession::Bootstrap::Fetched);
        dir.firstFill(stringlist::decode(server->read("netwrk/users/lineup.xo")), "Me");
    }

    // Sets a server file's time, as a peer's write at that moment would.
    void touch(const QString& relative, const QDateTime& when) const
    {
        const timespec t[2] = {{when.toSecsSinceEpoch(), 0}, {when.toSecsSinceEpoch(), 0}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(server->path(relative)).constData(), t, 0), 0);
    }
    // Gives the conversations an hour-old history, older than any recent-time rule.
    void ageConversations() const
    {
        const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-3600);
        for (const char* name : {"lineup.xo", "Me/Zoe.ms", "Me/Ann.ms"})
            touch(QStringLiteral("netwrk/users/") + QLatin1String(name), old);
    }

    poll::Context context(bool visible = false)
    {
        return {*session,
                dir,
                "Me",
                local.path("temp/"),
                local.path("seen/"),
                local.path("fetched/"),
                local.path("Network/"),
                visible,
                [this](int) { ++waits; },
                &memory};
    }

    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<ServerSession> session;
    UserDirectory dir;
    TempTree local;
    poll::Memory memory;
    int waits = 0;
    int logins = 0;
};

} // namespace

TEST_F(PollCycleTest, EverythingIsNewOnceThenNothing)
{
    RecordingSink sink;
    auto ctx = context();
    const auto first = poll::run(ctx, sink);
    EXPECT_EQ(first.outcome, poll::Outcome::Done);
    EXPECT_EQ(sink.sounds, 2);
    ASSERT_EQ(sink.announced.size(), 2);
    // Ann's notice is shown first; her files come down after, and the popup can then name the
    // single file.
    const poll::Announcement& ann = sink.announced[0];
    EXPECT_EQ(ann.sender, QStringLiteral("Ann"));
    EXPECT_FALSE(ann.isMessage);
    EXPECT_EQ(ann.fileName, QStringLiteral("a.txt"));
    EXPECT_EQ(sink.events, (QStringList{"announce Ann", "announce Zoe", "file", "fetched Ann"}));
    ASSERT_EQ(sink.fetched.size(), 1);
    EXPECT_TRUE(sink.fetched[0].filesFetched);
    EXPECT_EQ(sink.fetched[0].fileName, QStringLiteral("a.txt"));
    EXPECT_TRUE(first.listed);
    EXPECT_TRUE(first.listing.contains("Zoe.ms"));
    EXPECT_EQ(TempTree::read(local.path("Network/Ann/a.txt")), "A");
    const poll::Announcement& zoe = sink.announced[1];
    EXPECT_TRUE(zoe.isMessage);
    EXPECT_EQ(zoe.sender, QStringLiteral("Zoe"));
    EXPECT_EQ(zoe.secondLine, QStringLiteral("Hi Me"));
    for (const QString& line : dir.users())
        EXPECT_TRUE(userentry::isMarked(line)) << line.toStdString();
    // Neither one's own file nor that of a user no longer listed is fetched.
    EXPECT_EQ(QDir(local.path("fetched")).entryList(QDir::Files),
              (QStringList{"Ann.mst", "Zoe.mst"}));
    // Kept open for the next cycle, where an open connection is expected to be.
    EXPECT_TRUE(session->mainConnection().connected());
    EXPECT_EQ(session->mainConnection().currentFolder() + u'/', session->usersFolder());

    RecordingSink again;
    EXPECT_EQ(poll::run(ctx, again).outcome, poll::Outcome::Done);
    EXPECT_EQ(again.sounds, 0);
    EXPECT_TRUE(again.announced.isEmpty());
}

TEST_F(PollCycleTest, TheOpenConversationIsRefreshedNotAnnounced)
{
    dir.select(UserDirectory::find(dir.users(), "Ann"));
    RecordingSink sink;
    auto ctx = context(true);
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    ASSERT_EQ(sink.openChats.size(), 1);
    EXPECT_EQ(sink.openChats[0], QStringLiteral("Ann sent \"a\" (07.03.2026   14:05:07)"));
    EXPECT_EQ(sink.pumped, 1);
    EXPECT_TRUE(QFile::exists(local.path("Network/Ann/a.txt")));
    EXPECT_FALSE(userentry::isMarked(dir.users().at(dir.selected())));
    ASSERT_EQ(sink.announced.size(), 1); // Zoe only
    EXPECT_EQ(sink.sounds, 2);
}

TEST_F(PollCycleTest, SkippedOfflineOrBusy)
{
    RecordingSink sink;
    auto ctx = context();
    {
        const ServerSession::Busy busy(*session);
        EXPECT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Skipped);
    }
    session->setStatus(QString::fromUtf16(ServerSession::kDisconnected));
    EXPECT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Skipped);
    EXPECT_EQ(sink.sounds, 0);
}

TEST_F(PollCycleTest, ASeenCopyHeldElsewhereEndsTheCycleUntilNextTime)
{
    QDir().mkpath(local.path("seen"));
    const QString seen = local.write("seen/Ann.ms", "old");
    RecordingSink sink;
    auto ctx = context();
    {
        helpers::FileLock held(seen);
        const auto r = poll::run(ctx, sink);
        EXPECT_EQ(r.outcome, poll::Outcome::Abandoned);
        EXPECT_TRUE(r.trace.contains("exit"));
    }
    EXPECT_EQ(sink.sounds, 1);
    EXPECT_TRUE(sink.announced.isEmpty());
    RecordingSink next;
    EXPECT_EQ(poll::run(ctx, next).outcome, poll::Outcome::Done);
    EXPECT_EQ(next.announced.size(), 2);
}

TEST_F(PollCycleTest, WaitingFilesComeDownWhateverTheNewestEntrySays)
{
    RecordingSink sink;
    auto ctx = context();
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);

    // Zoe sends a file and writes a message within one poll period: the newest entry is the
    // message. Ann's notice was answered before this client saw it, so her conversation looks
    // unchanged.
    server->write("netwrk/users/Me/Zoe/z.txt", "Z");
    server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:06:00 :\r\nsee the file"
                                            "\r\n\r\nZoe sent \"z\" (07.03.2026   14:05:59)\r\n\r\n"
                                            "Zoe     07.03.2026     14:05:07 :\r\nHi Me");
    server->write("netwrk/users/Me/Ann/b.txt", "B");
    RecordingSink next;
    const auto r = poll::run(ctx, next);
    ASSERT_EQ(r.outcome, poll::Outcome::Done);
    EXPECT_EQ(r.fetchedFrom, (QStringList{"Ann", "Zoe"}));
    EXPECT_EQ(TempTree::read(local.path("Network/Zoe/z.txt")), "Z");
    EXPECT_EQ(TempTree::read(local.path("Network/Ann/b.txt")), "B");
    EXPECT_FALSE(QDir(server->path("netwrk/users/Me/Zoe")).exists());
    EXPECT_FALSE(QDir(server->path("netwrk/users/Me/Ann")).exists());
    ASSERT_EQ(next.announced.size(), 1);
    EXPECT_TRUE(next.announced[0].isMessage);
}

class PollListingTest : public PollCycleTest, public ::testing::WithParamInterface<FtpServerKind>
{
protected:
    void SetUp() override { start(GetParam()); }
};

// pyftpdlib lists with MLSD (times to the second), vsftpd only with LIST (to the minute).
INSTANTIATE_TEST_SUITE_P(Servers, PollListingTest,
                         ::testing::Values(FtpServerKind::Pyftpdlib, FtpServerKind::Vsftpd),
                         [](const auto& info) {
                             return ftpServerKindName(info.param).remove(u'-').toStdString();
                         });

TEST_P(PollListingTest, OnlyWhatTheListingShowsChangedComesDown)
{
    ageConversations();
    auto ctx = context();
    RecordingSink first;
    const auto r1 = poll::run(ctx, first);
    ASSERT_EQ(r1.outcome, poll::Outcome::Done);
    EXPECT_TRUE(r1.fullCheck);
    EXPECT_EQ(r1.downloaded, 2);
    EXPECT_EQ(first.announced.size(), 2);
    EXPECT_EQ(logins, 1);

    // Nothing changed: no conversation and no directory comes down, and no new login.
    RecordingSink steady;
    const auto r2 = poll::run(ctx, steady);
    ASSERT_EQ(r2.outcome, poll::Outcome::Done);
    EXPECT_FALSE(r2.fullCheck);
    EXPECT_EQ(r2.downloaded, 0);
    EXPECT_FALSE(r2.directoryFetched);
    EXPECT_TRUE(steady.announced.isEmpty());
    EXPECT_EQ(dir.users().size(), 2);
    EXPECT_EQ(logins, 1);

    // A peer's new entry and new waiting files: the one conversation, and the files the same
    // listing shows.
    server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:06:00 :\r\nAgain\r\n\r\n"
                                            "Zoe     07.03.2026     14:05:07 :\r\nHi Me");
    server->write("netwrk/users/Me/Ann/b.txt", "B");
    RecordingSink changed;
    const auto r3 = poll::run(ctx, changed);
    ASSERT_EQ(r3.outcome, poll::Outcome::Done);
    EXPECT_EQ(r3.downloaded, 1);
    ASSERT_EQ(changed.announced.size(), 1);
    EXPECT_EQ(changed.announced[0].secondLine, QStringLiteral("Again"));
    EXPECT_EQ(r3.fetchedFrom, QStringList{"Ann"});
    EXPECT_EQ(TempTree::read(local.path("Network/Ann/b.txt")), "B");
    EXPECT_EQ(logins, 1);

    // A dropped connection is opened again.
    session->closeMain();
    RecordingSink reopened;
    EXPECT_EQ(poll::run(ctx, reopened).outcome, poll::Outcome::Done);
    EXPECT_EQ(logins, 2);
}

TEST_P(PollListingTest, ASameSizeRewriteIsSeenWhileRecentAndByTheFullCheckAfter)
{
    // Within one minute, so LIST shows the same time for both versions.
    const QDateTime recent = QDateTime::currentDateTimeUtc().addSecs(-20);
    ageConversations();
    touch("netwrk/users/Me/Zoe.ms", recent);
    auto ctx = context();
    RecordingSink first;
    ASSERT_EQ(poll::run(ctx, first).outcome, poll::Outcome::Done);

    // A conversation started anew, by chance as long as the old one.
    const QByteArray same = "Zoe     07.03.2026     14:09:09 :\r\nHo Me";
    ASSERT_EQ(same.size(), server->read("netwrk/users/Me/Zoe.ms").size());
    server->write("netwrk/users/Me/Zoe.ms", same);
    touch("netwrk/users/Me/Zoe.ms", recent);
    RecordingSink next;
    ASSERT_EQ(poll::run(ctx, next).outcome, poll::Outcome::Done);
    ASSERT_EQ(next.announced.size(), 1);
    EXPECT_EQ(next.announced[0].secondLine, QStringLiteral("Ho Me"));

    // The same rewrite with an old time looks unchanged until the full check.
    const QDateTime old = QDateTime::currentDateTimeUtc().addSecs(-3600);
    touch("netwrk/users/Me/Zoe.ms", old);
    RecordingSink settle;
    ASSERT_EQ(poll::run(ctx, settle).outcome, poll::Outcome::Done);
    server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:10:10 :\r\nHa Me");
    touch("netwrk/users/Me/Zoe.ms", old);
    int cycles = 0;
    QList<poll::Announcement> seen;
    for (bool full = false; !full; ++cycles) {
        ASSERT_LT(cycles, poll::kFullCheckEvery);
        RecordingSink sink;
        const auto r = poll::run(ctx, sink);
        ASSERT_EQ(r.outcome, poll::Outcome::Done);
        full = r.fullCheck;
        EXPECT_EQ(sink.announced.isEmpty(), !full);
        seen += sink.announced;
    }
    EXPECT_GT(cycles, 1);
    ASSERT_EQ(seen.size(), 1);
    EXPECT_EQ(seen[0].secondLine, QStringLiteral("Ha Me"));
}

TEST_F(PollCycleTest, AChangeWhileTheCycleRunsIsSeenOnceAcrossTwoCycles)
{
    ageConversations();
    auto ctx = context();
    RecordingSink first;
    ASSERT_EQ(poll::run(ctx, first).outcome, poll::Outcome::Done);
    server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:06:00 :\r\nNews\r\n\r\n"
                                            "Zoe     07.03.2026     14:05:07 :\r\nHi Me");
    touch("netwrk/users/Me/Zoe.ms", QDateTime::currentDateTimeUtc().addSecs(-3600));
    memory.cyclesToFullCheck = 0;

    // Zoe's download waits while Ann writes: whether Ann's copy came down before or after, her
    // entry is announced exactly once over this cycle and the next.
    server->stallDownloads({"Zoe.ms"});
    std::thread peer([&] {
        while (!server->downloadWaiting())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        server->write("netwrk/users/Me/Ann.ms", "Ann     07.03.2026     14:07:00 :\r\nLate\r\n\r\n"
                                                "Ann sent \"a\" (07.03.2026   14:05:07)\r\n"
                                                "...a.txt\r\n");
        server->releaseDownloads();
    });
    RecordingSink during;
    const auto r1 = poll::run(ctx, during);
    peer.join();
    server->stallDownloads({});
    ASSERT_EQ(r1.outcome, poll::Outcome::Done);
    RecordingSink after;
    ASSERT_EQ(poll::run(ctx, after).outcome, poll::Outcome::Done);
    QStringList lines;
    for (const auto& a : during.announced + after.announced)
        lines.append(a.secondLine);
    lines.sort();
    EXPECT_EQ(lines, (QStringList{"Late", "News"}));
}

TEST_F(PollCycleTest, OwnEntriesAndBrokenReadsAreNeverNews)
{
    RecordingSink sink;
    auto ctx = context();
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    const QByteArray history = server->read("netwrk/users/Me/Zoe.ms");

    // Me wrote, here or on another computer: the SeenCopy follows, nobody is told.
    const QByteArray mine = "Me     07.03.2026     15:00:00 :\r\nmy answer\r\n\r\n" + history;
    server->write("netwrk/users/Me/Zoe.ms", mine);
    RecordingSink own;
    ASSERT_EQ(poll::run(ctx, own).outcome, poll::Outcome::Done);
    EXPECT_EQ(own.sounds, 0);
    EXPECT_TRUE(own.announced.isEmpty());
    EXPECT_TRUE(conversation::same(TempTree::read(local.path("seen/Zoe.ms")), mine));

    // Emptied by a writer at work, then cut by one that was killed: no news, nothing seen lost.
    for (const QByteArray& broken : {QByteArray(), mine.left(mine.size() - 4)}) {
        server->write("netwrk/users/Me/Zoe.ms", broken);
        RecordingSink none;
        ASSERT_EQ(poll::run(ctx, none).outcome, poll::Outcome::Done);
        EXPECT_EQ(none.sounds, 0);
        EXPECT_TRUE(none.announced.isEmpty());
        EXPECT_TRUE(conversation::same(TempTree::read(local.path("seen/Zoe.ms")), mine));
    }

    // A cut copy with Zoe's new entry on top: her entry is news, once, above the whole history.
    const QByteArray hers = "Zoe     07.03.2026     15:01:00 :\r\nnew\r\n\r\n" + mine;
    server->write("netwrk/users/Me/Zoe.ms", hers.left(hers.size() - 4));
    RecordingSink news;
    ASSERT_EQ(poll::run(ctx, news).outcome, poll::Outcome::Done);
    ASSERT_EQ(news.announced.size(), 1);
    EXPECT_EQ(news.announced[0].secondLine, QStringLiteral("new"));
    EXPECT_TRUE(conversation::same(TempTree::read(local.path("seen/Zoe.ms")), hers));
    RecordingSink again;
    ASSERT_EQ(poll::run(ctx, again).outcome, poll::Outcome::Done);
    EXPECT_TRUE(again.announced.isEmpty());
}

TEST_F(PollCycleTest, AConversationBeyondTheSizeLimitIsNeitherReadNorNews)
{
    QByteArray huge(limits::kMaxConversationBytes - 100, 'x');
    huge.prepend("Zoe     07.03.2026     14:05:07 :\r\n");
    huge.append(QByteArray(101 - 35, 'y'));
    ASSERT_EQ(huge.size(), limits::kMaxConversationBytes + 1);
    server->write("netwrk/users/Me/Zoe.ms", huge);
    RecordingSink sink;
    auto ctx = context();
    const auto r = poll::run(ctx, sink);
    ASSERT_EQ(r.outcome, poll::Outcome::Done);
    EXPECT_EQ(r.downloaded, 1); // Ann's only
    ASSERT_EQ(sink.announced.size(), 1);
    EXPECT_EQ(sink.announced[0].sender, QStringLiteral("Ann"));
    EXPECT_FALSE(QFile::exists(local.path("fetched/Zoe.mst")));
}

// A conversation new to this computer is news when any entry, however far down, is someone
// else's, and is announced from its newest entry; its SeenCopy keeps the server's bytes.
TEST_F(PollCycleTest, AHistoryNewHereIsNewsWhenAnyEntryIsAPeers)
{
    QByteArray mine; // "мой 0", "мой 1", ...: the signed-in user's answers, newest first
    for (int i = 0; i < 3000; ++i)
        mine += "Me     07.03.2026     15:" + QByteArray::number(10 + i % 50) +
                ":00 :\r\n\xEC\xEE\xE9 " + QByteArray::number(i) + "\r\n\r\n";
    const QByteArray zoe = mine + "Zoe     07.03.2026     14:05:07 :\r\nHi Me";
    // Written from another computer only, its oldest line cut short.
    const QByteArray ann = mine + "Me     07.03.2026     14:00:00 :\r\nthe first wo";
    server->write("netwrk/users/Me/Zoe.ms", zoe);
    server->write("netwrk/users/Me/Ann.ms", ann);
    RecordingSink sink;
    auto ctx = context();
    const auto r = poll::run(ctx, sink);
    ASSERT_EQ(r.outcome, poll::Outcome::Done);
    EXPECT_EQ(r.changed, 2);
    EXPECT_EQ(sink.sounds, 1);
    ASSERT_EQ(sink.announced.size(), 1);
    const poll::Announcement& a = sink.announced[0];
    EXPECT_EQ(a.sender, QStringLiteral("Me"));
    EXPECT_TRUE(a.isMessage);
    EXPECT_EQ(a.firstLine, QStringLiteral("Me     07.03.2026     15:10:00 :"));
    EXPECT_EQ(a.secondLine, QStringLiteral("мой 0"));
    EXPECT_TRUE(r.trace.contains("Ann.ms own entries only"));
    EXPECT_TRUE(userentry::isMarked(dir.users().at(UserDirectory::find(dir.users(), "Zoe"))));
    EXPECT_FALSE(userentry::isMarked(dir.users().at(UserDirectory::find(dir.users(), "Ann"))));
    EXPECT_EQ(TempTree::read(local.path("seen/Zoe.ms")), zoe);
    EXPECT_EQ(TempTree::read(local.path("seen/Ann.ms")), ann);
}

TEST_F(PollCycleTest, OnlyTheLinesAboveTheSeenCopyAreNews)
{
    RecordingSink sink;
    auto ctx = context();
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    const QByteArray zoeSeen = server->read("netwrk/users/Me/Zoe.ms");
    const QByteArray annSeen = server->read("netwrk/users/Me/Ann.ms");

    // Zoe's entry on top of what was seen: the SeenCopy takes the server's bytes.
    const QByteArray zoe =
        "Zoe     07.03.2026     14:06:00 :\r\n\xEF\xF0\xE8\xE2\xE5\xF2\r\n\r\n" + zoeSeen;
    server->write("netwrk/users/Me/Zoe.ms", zoe);
    // Ann's writer kept the file line of her notice below her message: the comparison leaves it
    // out, and so does the SeenCopy.
    server->write("netwrk/users/Me/Ann.ms",
                  "Ann     07.03.2026     14:07:00 :\r\nLate\r\n\r\n" + annSeen);
    RecordingSink next;
    ASSERT_EQ(poll::run(ctx, next).outcome, poll::Outcome::Done);
    ASSERT_EQ(next.announced.size(), 2);
    EXPECT_EQ(next.announced[0].sender, QStringLiteral("Ann"));
    EXPECT_EQ(next.announced[0].secondLine, QStringLiteral("Late"));
    EXPECT_EQ(next.announced[1].sender, QStringLiteral("Zoe"));
    EXPECT_EQ(next.announced[1].secondLine, QStringLiteral("привет"));
    EXPECT_EQ(TempTree::read(local.path("seen/Zoe.ms")), zoe);
    EXPECT_EQ(TempTree::read(local.path("seen/Ann.ms")),
              "Ann     07.03.2026     14:07:00 :\r\nLate\r\n\r\nAnn sent \"a\" (07.03.2026   "
              "14:05:07)\r\n");

    // Ann's next entry as a writer stores it, without a line end after the last line: the
    // SeenCopy, saved as lines, is no longer the end of the server's bytes, but still of its
    // lines.
    const QByteArray ann = "Ann     07.03.2026     14:08:00 :\r\nAgain\r\n\r\n"
                           "Ann     07.03.2026     14:07:00 :\r\nLate\r\n\r\n"
                           "Ann sent \"a\" (07.03.2026   14:05:07)";
    server->write("netwrk/users/Me/Ann.ms", ann);
    RecordingSink again;
    ASSERT_EQ(poll::run(ctx, again).outcome, poll::Outcome::Done);
    ASSERT_EQ(again.announced.size(), 1);
    EXPECT_EQ(again.announced[0].secondLine, QStringLiteral("Again"));
    EXPECT_EQ(TempTree::read(local.path("seen/Ann.ms")), ann);

    // A writer that left out the line end between its entry and the old text: as entries the
    // copy lost Zoe's "Hi Me", so it is a damaged copy. The SeenCopy keeps that entry, takes the
    // new one, and the new one is Me's own: no news.
    const QByteArray seen = "Zoe     07.03.2026     14:05:07 :\r\nHi Me\r\n\r\n"
                            "Zoe     07.03.2026     14:00:00 :\r\nfirst";
    local.write("seen/Zoe.ms", seen);
    const QByteArray joined = "Me     07.03.2026     15:01:00 :\r\nmine" + seen;
    server->write("netwrk/users/Me/Zoe.ms", joined);
    RecordingSink last;
    const poll::Result damaged = poll::run(ctx, last);
    ASSERT_EQ(damaged.outcome, poll::Outcome::Done);
    EXPECT_EQ(damaged.damaged, QStringList{"Zoe.ms"});
    EXPECT_EQ(last.sounds, 0);
    EXPECT_TRUE(last.announced.isEmpty());
    const QStringList kept = conversation::decode(TempTree::read(local.path("seen/Zoe.ms")));
    EXPECT_TRUE(conversation::holdsAll(kept, conversation::decode(seen)));
    EXPECT_TRUE(conversation::holdsAll(kept, conversation::decode(joined)));
}

namespace {

// The verbs a server was sent after the first `from` characters of its log.
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

// On the connection kept from the cycle before, a cycle in which nothing changed is one listing
// of the own folder and the directory's size and time: no login, no folder change, no switch of
// the transfer type, one data connection.
TEST(PollCommands, ASteadyCycleOnTheKeptConnectionIsOneListing)
{
    if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto server = FaultyFtpServer::start();
    const QByteArray login = server->address().toUtf8() + "\r\n" + server->user().toUtf8() +
                             "\r\n" + server->password().toUtf8() + "\r\n/\r\n";
    server->write("fcom.xo", "0\r\n1\r\n2\r\n3\r\n4\r\n" + login);
    server->write("netwrk/users/lineup.xo", "}Me}}}.png}eng/\r\n}Zoe}}}.png}eng/\r\n");
    server->write("netwrk/users/Me/Zoe.ms", "Zoe     07.03.2026     14:05:07 :\r\nHi Me");
    const auto age = [&](const char* relative) {
        const qint64 old = QDateTime::currentSecsSinceEpoch() - 3600;
        const timespec t[2] = {{old, 0}, {old, 0}};
        ASSERT_EQ(
            ::utimensat(AT_FDCWD, QFile::encodeName(server->path(relative)).constData(), t, 0), 0);
    };
    age("netwrk/users/lineup.xo");
    age("netwrk/users/Me/Zoe.ms");

    TempTree local;
    ServerSession::Config c;
    c.settingsServer = server->address();
    c.settingsUser = server->user();
    c.settingsPassword = server->password();
    c.tempDataDir = local.path("temp/");
    QDir().mkpath(c.tempDataDir);
    ServerSession session(c);
    session.setStatus(QString::fromUtf16(ServerSession::kConnected));
    ASSERT_EQ(session.bootstrapTick(), ServerSession::Bootstrap::Fetched);
    UserDirectory dir;
    dir.firstFill(stringlist::decode(server->read("netwrk/users/lineup.xo")), "Me");
    poll::Memory memory;
    poll::Context ctx{session,
                      dir,
                      "Me",
                      local.path("temp/"),
                      local.path("seen/"),
                      local.path("fetched/"),
                      local.path("Network/"),
                      false,
                      [](int) {},
                      &memory};
    RecordingSink sink;
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);

    qsizetype mark = server->log().size();
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    EXPECT_EQ(commandsSince(*server, mark), QStringList({"PASV", "MLSD", "MLST"}));

    ctx.mainWindowVisible = true;
    mark = server->log().size();
    const auto shown = poll::run(ctx, sink);
    ASSERT_EQ(shown.outcome, poll::Outcome::Done);
    EXPECT_FALSE(shown.directoryFetched);
    EXPECT_EQ(commandsSince(*server, mark), QStringList({"PASV", "MLSD", "MLST"}));

    // Hidden again: someone who registered since writes.
    ctx.mainWindowVisible = false;
    server->write("netwrk/users/lineup.xo",
                  "}Me}}}.png}eng/\r\n}Zoe}}}.png}eng/\r\n}Ann}}}.png}rus/\r\n");
    server->write("netwrk/users/Me/Ann.ms", "Ann     07.03.2026     14:05:09 :\r\nHello Me");
    RecordingSink news;
    const auto stranger = poll::run(ctx, news);
    ASSERT_EQ(stranger.outcome, poll::Outcome::Done);
    EXPECT_TRUE(stranger.directoryFetched);
    ASSERT_EQ(news.announced.size(), 1);
    EXPECT_EQ(news.announced[0].sender, QStringLiteral("Ann"));
    EXPECT_TRUE(commandsSince(*server, mark).contains("MLST"));

    // Settled: the next cycle is one listing again, on the same connection.
    age("netwrk/users/lineup.xo");
    age("netwrk/users/Me/Ann.ms");
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    mark = server->log().size();
    ASSERT_EQ(poll::run(ctx, sink).outcome, poll::Outcome::Done);
    EXPECT_EQ(commandsSince(*server, mark), QStringList({"PASV", "MLSD", "MLST"}));
}
