// What a real network does to sends into one conversation: connections cut between the two
// copies, broken and short reads, slow links, a server restarted mid-send, clocks that are off.
// Every client has its own connection to a server whose faults hold up only the session they
// are set on. "Sent" means both server copies hold the entry exactly once.
#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Error.h"
#include "net/ConversationWrite.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "net/ServerLock.h"
#include "support/FaultyFtpServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

QString header(const QString& who, int n)
{
    return QStringLiteral("%1     02.03.2026     %2:%3:%4 :")
        .arg(who)
        .arg(9 + n / 3600)
        .arg(n / 60 % 60, 2, 10, QChar(u'0'))
        .arg(n % 60, 2, 10, QChar(u'0'));
}

// `count` entries of the two users, about `lineChars` characters each.
QStringList history(int count, int lineChars = 40)
{
    QStringList lines;
    for (int k = 0; k < count; ++k)
        conversation::insertMessage(
            lines, header(k % 2 ? "anna" : "bob", k),
            QStringLiteral("history %1 ").arg(k).leftJustified(lineChars, u'.'));
    return lines;
}

// One user's computer: its own connection, SeenCopies and memory of the copies.
struct Computer
{
    QString user;
    QString seenFolder;
    std::unique_ptr<FtpClient> ftp;
    conversationwrite::Memo memo;
    ServerLock::Limits lock;
    QString lastError;

    messaging::Place place()
    {
        messaging::Place p;
        p.serverRoot = QStringLiteral("/");
        p.sessionUser = user;
        p.seenFolder = seenFolder;
        p.memo = &memo;
        p.lock = lock;
        return p;
    }

    void reconnect()
    {
        if (ftp->connected())
            ftp->disconnect();
        try {
            ftp->connect();
        } catch (const FtpError&) {
            // A restarting server: the next command says so.
        }
    }

    // The program's send; true when it was reported sent.
    bool send(const QString& to, const QString& text, const QString& head, bool retry = true)
    {
        try {
            if (!ftp->connected())
                ftp->connect();
            QStringList userslist;
            QStringList chat;
            QString failure;
            messaging::Sent sent = messaging::Sent::Refused;
            // As the program does: once more on a fresh connection when it broke.
            conversationwrite::retryingOnce(
                *ftp,
                [&] {
                    if (retry)
                        reconnect();
                    return retry;
                },
                [&] {
                    sent = messaging::sendMessage(*ftp, place(), userslist, chat, to, to, text,
                                                  head, &failure);
                });
            return sent == messaging::Sent::Sent;
        } catch (const Error& e) {
            lastError = e.message();
            if (ftp->connected())
                ftp->disconnect();
            return false;
        }
    }
};

class WriteFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FaultyFtpServer::start();
        setHistory(history(40));
    }

    void setHistory(const QStringList& lines)
    {
        base = lines;
        const QByteArray bytes = conversation::encode(lines);
        server->write("netwrk/users/anna/bob.ms", bytes);
        server->write("netwrk/users/bob/anna.ms", bytes);
        for (const QString seen : {"anna/bob.ms", "bob/anna.ms"})
            local.write(seen, bytes);
    }

    std::unique_ptr<Computer> computer(const QString& user, const QString& folder = {})
    {
        auto c = std::make_unique<Computer>();
        c->user = user;
        const QString seen = (folder.isEmpty() ? user : folder) + u'/';
        QDir().mkpath(local.path(seen));
        if (!folder.isEmpty())
            QFile::copy(local.path(user + "/" + (user == "anna" ? "bob" : "anna") + ".ms"),
                        local.path(seen + (user == "anna" ? "bob" : "anna") + ".ms"));
        c->seenFolder = local.path(seen);
        c->ftp = std::make_unique<FtpClient>(server->clientSettings());
        c->ftp->connect();
        // Short enough for a test; the order of the limits is the program's.
        c->lock.unchangedMs = 2500;
        c->lock.undatedMs = 1500;
        c->lock.waitMs = 30'000;
        return c;
    }

    QStringList copy(const QString& path) const { return conversation::decode(server->read(path)); }

    // Each entry in both copies exactly once, the history whole below.
    void expectOnceInBoth(const QList<QStringList>& entries) const
    {
        for (const QString path : {"netwrk/users/anna/bob.ms", "netwrk/users/bob/anna.ms"}) {
            const QStringList lines = copy(path);
            const auto all = conversation::splitEntries(lines);
            for (const QStringList& e : entries)
                EXPECT_EQ(all.count(e), 1) << path.toStdString() << ": " << e.first().toStdString();
            EXPECT_TRUE(conversation::holdsAll(lines, base)) << path.toStdString();
            EXPECT_EQ(all.size(), conversation::splitEntries(base).size() + entries.size())
                << path.toStdString();
        }
    }

    std::unique_ptr<FaultyFtpServer> server;
    TempTree local;
    QStringList base;
};

TEST_F(WriteFaults, ASendCutBetweenTheTwoCopiesLosesNobodysMessage)
{
    auto anna = computer("anna");
    auto bob = computer("bob");
    // Anna's connection drops after her own copy is in, before bob's copy takes her entry.
    server->addRule({.command = "RNFR", .name = "anna.ms}new}*", .reply = "421 Bye.", .times = 1});
    EXPECT_FALSE(anna->send("bob", "anna first", header("anna", 5000), false));
    // Bob sends meanwhile (breaking the lock her dropped connection left), then she again.
    EXPECT_TRUE(bob->send("anna", "bob reply", header("bob", 5001)));
    EXPECT_TRUE(anna->send("bob", "anna again", header("anna", 5002)));
    expectOnceInBoth({{header("anna", 5000), "anna first"},
                      {header("bob", 5001), "bob reply"},
                      {header("anna", 5002), "anna again"}});
}

TEST_F(WriteFaults, ABrokenOrShortReadIsAFailureNeverAnEmptyCopy)
{
    setHistory(history(3000, 100)); // about 330 KB
    auto anna = computer("anna");
    auto bob = computer("bob");
    // A download that ends early with 226, then one whose data connection breaks (426).
    for (const FaultyFtpServer::Rule& rule :
         {FaultyFtpServer::Rule{.command = "RETR", .name = "*.ms", .shortAfter = 50'000},
          FaultyFtpServer::Rule{.command = "RETR", .name = "*.ms", .dropAfter = 60'000}}) {
        const int id = server->addRule(rule);
        EXPECT_FALSE(anna->send("bob", "while reads break", header("anna", 6000)));
        EXPECT_GT(server->matched(id), 0);
        server->clearRules();
        EXPECT_EQ(copy("netwrk/users/anna/bob.ms"), base);
        EXPECT_EQ(copy("netwrk/users/bob/anna.ms"), base);
    }
    // The reads work again: the retry of the same entry lands once, over the whole history.
    EXPECT_TRUE(anna->send("bob", "while reads break", header("anna", 6000)));
    EXPECT_TRUE(bob->send("anna", "answer", header("bob", 6001)));
    expectOnceInBoth(
        {{header("anna", 6000), "while reads break"}, {header("bob", 6001), "answer"}});
}

TEST_F(WriteFaults, ALiveWriterOnASlowUplinkKeepsItsLockAndThreeWritersLoseNothing)
{
    setHistory(history(300)); // about 20 KB: seconds a copy at 10 KB/s
    auto anna = computer("anna");
    auto annaElsewhere = computer("anna", "anna2");
    auto bob = computer("bob");
    server->setRates(0, 10'000);
    std::atomic<int> ok = 0;
    std::thread t1([&] { ok += anna->send("bob", "from anna", header("anna", 7000)); });
    std::thread t2([&] { ok += bob->send("anna", "from bob", header("bob", 7001)); });
    std::thread t3(
        [&] { ok += annaElsewhere->send("bob", "anna's laptop", header("anna", 7002)); });
    t1.join();
    t2.join();
    t3.join();
    server->setRates(0, 0);
    EXPECT_EQ(ok, 3);
    expectOnceInBoth({{header("anna", 7000), "from anna"},
                      {header("bob", 7001), "from bob"},
                      {header("anna", 7002), "anna's laptop"}});
}

TEST_F(WriteFaults, AnUnknownOutcomeIsRetriedWithoutADuplicateAndTheOwnLockIsTakenBack)
{
    auto anna = computer("anna");
    // Both copies are in, then the connection drops as the lock's mark is removed: the send is
    // reported failed and the lock stays with anna's mark.
    server->addRule({.command = "RMD", .name = "*-*-*-*.*", .reply = "421 Bye.", .times = 1});
    EXPECT_FALSE(anna->send("bob", "landed", header("anna", 8000), false));
    EXPECT_EQ(QDir(server->path("netwrk/users/anna/bob.ms}lock"))
                  .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                  .size(),
              1);

    // Pressing Send again finds the entry in both copies and writes nothing.
    anna->reconnect();
    conversationwrite::Request r;
    r.serverRoot = "/";
    r.sender = "anna";
    r.recipient = "bob";
    r.seenPath = anna->seenFolder + "bob.ms";
    r.entry = {header("anna", 8000), "landed"};
    EXPECT_TRUE(conversationwrite::write(*anna->ftp, r).alreadyThere);

    // Her next message takes her own lock back at once: no other rule could free it in time.
    r.entry = {header("anna", 8001), "next"};
    r.lock.unchangedMs = 600'000;
    r.lock.undatedMs = 600'000;
    r.lock.waitMs = 5000;
    const auto next = conversationwrite::write(*anna->ftp, r);
    EXPECT_TRUE(next.tookBackOwnLock);
    expectOnceInBoth({{header("anna", 8000), "landed"}, {header("anna", 8001), "next"}});
}

TEST_F(WriteFaults, AServerRestartedMidSendNeitherDuplicatesNorLoses)
{
    auto anna = computer("anna");
    auto bob = computer("bob");
    for (int trial = 0; trial < 4; ++trial) {
        // Each trial stops the server at another step of anna's send.
        const char* steps[] = {"STOR", "MKD", "RNFR", "RMD"};
        server->addRule({.command = steps[trial], .delayMs = 400, .times = 1});
        const QString head = header("anna", 9000 + trial);
        std::thread killer([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
            server->kill();
        });
        const bool first = anna->send("bob", QStringLiteral("trial %1").arg(trial), head);
        killer.join();
        // Started from this thread: the server ends with the thread that started it.
        server->restart();
        server->clearRules();
        // The other side writes before anna tries again.
        EXPECT_TRUE(
            bob->send("anna", QStringLiteral("bob %1").arg(trial), header("bob", 9100 + trial)))
            << bob->lastError.toStdString();
        if (!first) {
            EXPECT_TRUE(anna->send("bob", QStringLiteral("trial %1").arg(trial), head))
                << anna->lastError.toStdString();
        }
    }
    QList<QStringList> entries;
    for (int trial = 0; trial < 4; ++trial) {
        entries.append({header("anna", 9000 + trial), QStringLiteral("trial %1").arg(trial)});
        entries.append({header("bob", 9100 + trial), QStringLiteral("bob %1").arg(trial)});
    }
    expectOnceInBoth(entries);
}

TEST_F(WriteFaults, AWriterIsNotStarvedByAPeerThatKeepsWriting)
{
    setHistory(history(20'000)); // about 1.3 MB: every round reads and uploads it whole
    auto anna = computer("anna");
    auto bob = computer("bob");
    std::atomic<bool> annaDone = false;
    QList<QStringList> bobs;
    std::thread other([&] {
        for (int k = 0; !annaDone && k < 60; ++k) {
            const QString text = QStringLiteral("bob %1").arg(k);
            if (bob->send("anna", text, header("bob", 20'000 + k)))
                bobs.append({header("bob", 20'000 + k), text});
        }
    });
    const bool sent = anna->send("bob", "anna among them", header("anna", 19'999));
    annaDone = true;
    other.join();
    EXPECT_TRUE(sent) << anna->lastError.toStdString();
    bobs.append({header("anna", 19'999), "anna among them"});
    expectOnceInBoth(bobs);
}

TEST_F(WriteFaults, ASlowDownlinkMakesASendSlowerNeverImpossible)
{
    setHistory(history(1500)); // about 100 KB: seconds a copy at 40 KB/s
    auto anna = computer("anna");
    auto bob = computer("bob");
    anna->lock.proofMs = 1000; // a holder that may write only right after its proof
    server->setRates(40'000, 0);
    std::thread other([&] { EXPECT_TRUE(bob->send("anna", "bob too", header("bob", 10'001))); });
    EXPECT_TRUE(anna->send("bob", "over a slow link", header("anna", 10'000)));
    other.join();
    server->setRates(0, 0);
    expectOnceInBoth(
        {{header("anna", 10'000), "over a slow link"}, {header("bob", 10'001), "bob too"}});
}

TEST_F(WriteFaults, AServerClockAnHourOffBreaksNoLiveLock)
{
    server->setMdtmShift(-3600);
    auto anna = computer("anna");
    auto bob = computer("bob");
    // Anna holds the lock and works on; bob's wait is shorter than his abandon limit.
    anna->ftp->changeFolder("/netwrk/users/anna");
    ServerLock held(*anna->ftp, "bob.ms", anna->lock);
    bob->ftp->changeFolder("/netwrk/users/anna");
    ServerLock::Limits waiter = bob->lock;
    waiter.waitMs = 1500;
    EXPECT_THROW(ServerLock(*bob->ftp, "bob.ms", waiter), FtpError);
    held.release();

    // And sends at once from both sides lose nothing.
    std::thread other([&] { EXPECT_TRUE(bob->send("anna", "bob", header("bob", 11'001))); });
    EXPECT_TRUE(anna->send("bob", "anna", header("anna", 11'000)));
    other.join();
    expectOnceInBoth({{header("anna", 11'000), "anna"}, {header("bob", 11'001), "bob"}});
}

TEST_F(WriteFaults, AnEmptyOrJunkCopyIsRepairedNotTakenForTheHistory)
{
    auto anna = computer("anna");
    auto bob = computer("bob");
    // Anna's copy emptied, bob's overwritten with 64 KiB of binary junk.
    server->write("netwrk/users/anna/bob.ms", "");
    server->write("netwrk/users/bob/anna.ms", QByteArray(64 * 1024, '\0'));
    EXPECT_TRUE(anna->send("bob", "after the damage", header("anna", 12'000)));
    expectOnceInBoth({{header("anna", 12'000), "after the damage"}});
    EXPECT_FALSE(server->read("netwrk/users/bob/anna.ms").contains('\0'));
    EXPECT_TRUE(bob->send("anna", "fine", header("bob", 12'001)));
    expectOnceInBoth(
        {{header("anna", 12'000), "after the damage"}, {header("bob", 12'001), "fine"}});
}

} // namespace
