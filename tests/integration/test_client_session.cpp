// The client session runs server work on its own thread: the thread that asks stays free, a
// silent server ends in an error result, failures come back as results, and requests keep
// their order.
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include "core/Conversation.h"
#include "core/StringList.h"
#include "net/XNetDetect.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"

#include <QDateTime>
#include <QFile>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

const QString kAdapter = QStringLiteral("02-00-00-00-00-01");

// Accepts every connection and never says a word.
class SilentServer
{
public:
    SilentServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection())
                m_held.push_back(s);
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }

private:
    QTcpServer m_server;
    std::vector<QTcpSocket*> m_held;
};

class ClientSessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
    }

    // A check by build 37 in English, into the test's folders.
    selfupdate::Request updateRequest() const
    {
        selfupdate::Request request;
        request.languageCode = QStringLiteral("eng/");
        request.ownBuild = QStringLiteral("37");
        request.exeFolder = local.path("");
        request.tempDataDir = local.path("temp/");
        return request;
    }

    std::unique_ptr<ClientSession> makeSession(qint64 updateAskEveryMs = 60'000)
    {
        ClientSession::Config config;
        config.updateAskEveryMs = updateAskEveryMs;
        config.settingsServer = server->address();
        const QString base = local.path("");
        config.folders = [base] {
            Folders f;
            f.programDataDir = base + "data/";
            f.userDataDir = base + "user/";
            f.tempDataDir = base + "temp/";
            f.networkDir = base + "received/";
            return f;
        };
        config.languageCode = [] { return QStringLiteral("eng/"); };
        // A silent server must fail the request soon, not after the real limits.
        config.timeouts.connectMs = 2000;
        config.timeouts.replyMs = 1500;
        config.backoffFirstMs = 0;
        config.backoffLongestMs = 0;
        for (const char* folder : {"data/net", "user/net", "temp", "received"})
            QDir().mkpath(local.path(folder));
        local.write("data/avax.png", "stock picture");
        auto session = std::make_unique<ClientSession>(config);
        session->setOnline(true);
        return session;
    }

    // The main server's address in the settings file the bootstrap reads.
    void pointMainServerAt(const QString& address)
    {
        const QString file = server->tree("../settings/fcom.xo");
        QStringList lines = stringlist::load(file).value_or(QStringList());
        ASSERT_GE(lines.size(), 9);
        lines[5] = address;
        ASSERT_TRUE(stringlist::save(file, lines));
    }

    template <typename Signal> static QList<QVariant> waitFor(ClientSession& s, Signal signal)
    {
        QSignalSpy spy(&s, signal);
        EXPECT_TRUE(spy.wait(60000));
        return spy.isEmpty() ? QList<QVariant>() : spy.takeFirst();
    }

    TempTree local;
    std::unique_ptr<DemoServer> server;
};

} // namespace

TEST_F(ClientSessionTest, ASilentServerLeavesTheCallerFreeAndEndsAsAnError)
{
    SilentServer silent;
    pointMainServerAt(silent.address());
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    auto booted = waitFor(*session, &ClientSession::bootstrapped);
    ASSERT_FALSE(booted.isEmpty());
    ASSERT_TRUE(session->configured());

    QSignalSpy signedIn(session.get(), &ClientSession::signedIn);
    session->signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    // The sign-in waits on the silent server; this thread goes on with its own events, and
    // timer work finds the session busy instead of waiting for it. One poll waits its turn.
    bool ranMeanwhile = false;
    QTimer::singleShot(0, [&] { ranMeanwhile = !session->idle(); });
    QTest::qWait(100);
    EXPECT_TRUE(ranMeanwhile);
    EXPECT_FALSE(session->keepAlive());
    EXPECT_TRUE(session->poll({}));
    EXPECT_FALSE(session->poll({})) << "one waiting cycle is enough";
    EXPECT_FALSE(session->keepAlive()) << "the waiting cycle uses the connection";

    QSignalSpy polled(session.get(), &ClientSession::polled);
    ASSERT_TRUE(signedIn.wait(60000));
    const auto result = signedIn.takeFirst().value(0).value<SignInResult>();
    EXPECT_EQ(result.stage, SignInResult::Stage::NoServer);
    EXPECT_TRUE(polled.count() > 0 || polled.wait(10000)) << "the waiting tick ran";
    EXPECT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_FALSE(session->mainOpen());
}

TEST_F(ClientSessionTest, APollTickIsNeverLostToAKeepAlive)
{
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    waitFor(*session, &ClientSession::bootstrapped);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    QSignalSpy polled(session.get(), &ClientSession::polled);
    // The two timers fire in the same second, the keep-alive first: both run.
    for (int tick = 0; tick < 3; ++tick) {
        EXPECT_TRUE(session->keepAlive());
        EXPECT_TRUE(session->poll({}));
        ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    }
    EXPECT_EQ(polled.count(), 3);
}

TEST_F(ClientSessionTest, RequestsRunInOrderAndAFailureComesBackAsAResult)
{
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    waitFor(*session, &ClientSession::bootstrapped);
    // A registration, then at once a correspondent whose folder is missing on the server and
    // a message to them: all three run, one after the other, and say how they ended.
    std::vector<QString> order;
    QObject::connect(session.get(), &ClientSession::signedIn, [&] { order.push_back("signIn"); });
    QObject::connect(session.get(), &ClientSession::correspondentOpened,
                     [&] { order.push_back("open"); });
    QObject::connect(session.get(), &ClientSession::messageSent, [&] { order.push_back("send"); });
    QSignalSpy sent(session.get(), &ClientSession::messageSent);
    session->signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    session->openCorrespondent(QStringLiteral("Nobody"));
    MessageRequest message;
    message.recipient = QStringLiteral("Nobody");
    message.selectedName = message.recipient;
    message.text = QStringLiteral("hello");
    message.header = QStringLiteral("Anna     09.12.2026     10:00:00 :");
    session->sendMessage(message);
    ASSERT_TRUE(sent.wait(60000));
    EXPECT_EQ(order, (std::vector<QString>{"signIn", "open", "send"}));
    EXPECT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));

    // Nothing was thrown across the thread: the missing conversation is a result.
    const auto result = sent.takeFirst().value(0).value<MessageResult>();
    EXPECT_TRUE(result.reached);
    EXPECT_FALSE(result.error.failed()) << result.error.text.toStdString();
    EXPECT_EQ(result.sent, messaging::Sent::NoConversation);

    // A step that fails on the server comes back with its text: the correspondent's copy has
    // no folder to go into.
    QSignalSpy quick(session.get(), &ClientSession::quickSent);
    session->quickSend(QStringLiteral("Nobody"), QStringLiteral("hi"));
    ASSERT_TRUE(quick.wait(60000));
    const auto q = quick.takeFirst().value(0).value<QuickSendResult>();
    EXPECT_TRUE(q.reached);
    EXPECT_TRUE(q.error.failed());
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_FALSE(session->mainOpen());
}

TEST_F(ClientSessionTest, AnEmptiedServerCopyNeverWipesWhatWasSeenAndIsWrittenBack)
{
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    waitFor(*session, &ClientSession::bootstrapped);
    session->signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    waitFor(*session, &ClientSession::signedIn);
    QStringList history;
    for (int k = 0; k < 30; ++k)
        conversation::insertMessage(
            history, QStringLiteral("Bob     09.12.2026     10:00:%1 :").arg(k, 2, 10, QChar(u'0')),
            QStringLiteral("entry %1").arg(k));
    QDir().mkpath(server->tree("netwrk/users/Bob"));
    for (const char* copy : {"netwrk/users/Anna/Bob.ms", "netwrk/users/Bob/Anna.ms"})
        ASSERT_TRUE(stringlist::save(server->tree(copy), history));

    session->openCorrespondent(QStringLiteral("Bob"));
    auto opened = waitFor(*session, &ClientSession::correspondentOpened)
                      .value(0)
                      .value<CorrespondentResult>();
    EXPECT_EQ(opened.lines, history);
    EXPECT_FALSE(opened.damaged);

    // Emptied on the server (a broken upload of another client): opening again keeps what was
    // seen, says so, and puts it back into the server copy.
    ASSERT_TRUE(stringlist::save(server->tree("netwrk/users/Anna/Bob.ms"), {}));
    session->openCorrespondent(QStringLiteral("Bob"));
    opened = waitFor(*session, &ClientSession::correspondentOpened)
                 .value(0)
                 .value<CorrespondentResult>();
    EXPECT_EQ(opened.lines, history);
    EXPECT_TRUE(opened.damaged);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 20000));
    EXPECT_EQ(conversation::decode(TempTree::read(server->tree("netwrk/users/Anna/Bob.ms"))),
              history);
}

TEST_F(ClientSessionTest, AnAvatarTheServerRefusesLeavesBothRecordsNamingTheOldOne)
{
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    waitFor(*session, &ClientSession::bootstrapped);
    session->signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    const auto signedIn =
        waitFor(*session, &ClientSession::signedIn).value(0).value<SignInResult>();
    ASSERT_EQ(signedIn.outcome, accounts::Outcome::Registered);
    ASSERT_EQ(signedIn.record.avatarExtension, QStringLiteral(".png"));
    ASSERT_TRUE(QFile::exists(local.path("temp/ava.png")));
    const auto extensionIn = [](const QString& record) {
        return stringlist::load(record).value_or(QStringList()).value(3);
    };
    const QString serverRecord = server->tree("netwrk/users/Anna/myacc.xo");
    const QByteArray recordBefore = TempTree::read(serverRecord);

    // A folder stands where the picture would go: the server cannot put it there.
    ASSERT_TRUE(QDir().mkpath(server->tree("netwrk/users/Anna/ava.JPG")));
    const QString picked = local.write("picked.JPG", "JPEG bytes");
    session->changeAvatar({picked, QStringLiteral(".JPG"), signedIn.record});
    auto changed = waitFor(*session, &ClientSession::avatarChanged).value(0).value<AvatarResult>();
    EXPECT_TRUE(changed.reached);
    EXPECT_TRUE(changed.error.failed());
    EXPECT_EQ(changed.record.avatarExtension, QStringLiteral(".png"));
    EXPECT_EQ(extensionIn(local.path("user/acc.xo")), QStringLiteral(".png"));
    EXPECT_EQ(TempTree::read(serverRecord), recordBefore);
    EXPECT_TRUE(QFile::exists(local.path("temp/ava.png")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_FALSE(session->mainOpen());

    // Once it can go up, both records name it and the local copy is the picture.
    ASSERT_TRUE(QDir(server->tree("netwrk/users/Anna/ava.JPG")).removeRecursively());
    session->changeAvatar({picked, QStringLiteral(".JPG"), signedIn.record});
    changed = waitFor(*session, &ClientSession::avatarChanged).value(0).value<AvatarResult>();
    EXPECT_TRUE(changed.reached);
    EXPECT_FALSE(changed.error.failed()) << changed.error.text.toStdString();
    EXPECT_EQ(changed.record.avatarExtension, QStringLiteral(".JPG"));
    EXPECT_EQ(extensionIn(local.path("user/acc.xo")), QStringLiteral(".JPG"));
    EXPECT_EQ(extensionIn(serverRecord), QStringLiteral(".JPG"));
    EXPECT_EQ(TempTree::read(server->tree("netwrk/users/Anna/ava.JPG")), "JPEG bytes");
    EXPECT_EQ(changed.avatarFile, local.path("temp/ava.JPG"));
    EXPECT_EQ(TempTree::read(changed.avatarFile), "JPEG bytes");
    EXPECT_FALSE(QFile::exists(local.path("temp/ava.png")));
}

namespace {

// Gives a file of the demo server's tree an hour-old time, older than any recent-time rule.
void age(const QString& path)
{
    const QDateTime old = QDateTime::currentDateTime().addSecs(-3600);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));
    ASSERT_TRUE(f.setFileTime(old, QFileDevice::FileModificationTime));
}

// Accepts the connectivity probe's connections and counts them.
class ProbeCounter
{
public:
    ProbeCounter()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++m_count;
                s->deleteLater();
            }
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    int count() const { return m_count; }

private:
    QTcpServer m_server;
    int m_count = 0;
};

// The signal came already, or comes within the time.
bool arrived(QSignalSpy& spy)
{
    return !spy.isEmpty() || spy.wait(30000);
}

// Anna signs in and a poll cycle runs, which keeps the main connection open; its outcome.
poll::Outcome signInAndPoll(ClientSession& session)
{
    QSignalSpy booted(&session, &ClientSession::bootstrapped);
    if (!session.bootstrap() || !arrived(booted))
        return poll::Outcome::NoServer;
    QSignalSpy signedIn(&session, &ClientSession::signedIn);
    session.signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    QSignalSpy polled(&session, &ClientSession::polled);
    if (!arrived(signedIn) || !session.poll({}) || !arrived(polled))
        return poll::Outcome::NoServer;
    if (!QTest::qWaitFor([&] { return session.idle(); }, 10000))
        return poll::Outcome::NoServer;
    return polled.first().value(0).value<PollResult>().cycle.outcome;
}

} // namespace

// Signed in, the connection the poll keeps open carries the update check, the reconnection tick
// and the keep-alive: no login of their own while it holds, and one opening when it was lost.
// A release is rare: on the kept connection, an answer of no update stands for a while, and a
// changed descriptor is only seen once it has run out.
TEST_F(ClientSessionTest, TheKeptConnectionAsksForTheDescriptorOnceInAWhile)
{
    const QString descriptor = server->tree("eng/Larkspire/update.xo");
    const auto put = [&](const QByteArray& bytes) {
        QFile f(descriptor);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        age(descriptor);
    };
    age(descriptor);
    for (const qint64 askEveryMs : {qint64(60'000), qint64(0)}) {
        auto session = makeSession(askEveryMs);
        ASSERT_EQ(signInAndPoll(*session), poll::Outcome::Done);
        ASSERT_TRUE(session->mainOpen());
        const selfupdate::Request request = updateRequest();
        const QString copy = local.path("temp/") + selfupdate::kDescriptorCopy;
        QSignalSpy checked(session.get(), &ClientSession::updateChecked);
        ASSERT_TRUE(session->checkForUpdate(request));
        ASSERT_TRUE(arrived(checked));
        checked.clear();
        ASSERT_TRUE(QFile::exists(copy));
        ASSERT_TRUE(QFile::remove(copy));
        // Another descriptor of the same build, longer: asked again, it comes down again.
        put("0\r\nnext week");
        ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
        ASSERT_TRUE(session->checkForUpdate(request));
        ASSERT_TRUE(arrived(checked));
        EXPECT_EQ(checked.first().value(0).value<selfupdate::Result>().outcome,
                  selfupdate::Outcome::Current);
        EXPECT_EQ(QFile::exists(copy), askEveryMs == 0) << askEveryMs;
        put("0\r\n");
        QFile::remove(copy);
    }
}

TEST_F(ClientSessionTest, TheSignedInConnectionCarriesTheUpkeepWithoutNewLogins)
{
    age(server->tree("eng/Larkspire/update.xo"));
    auto session = makeSession();
    std::atomic<int> openings{0};
    QObject::connect(session.get(), &ClientSession::mainConnectionOpened, [&] { ++openings; });
    ASSERT_EQ(signInAndPoll(*session), poll::Outcome::Done);
    ASSERT_TRUE(session->mainOpen());
    EXPECT_TRUE(session->mainAnsweredWithin(10000));
    const int afterPoll = openings;

    const selfupdate::Request request = updateRequest();
    const QString copy = local.path("temp/") + selfupdate::kDescriptorCopy;
    QSignalSpy checked(session.get(), &ClientSession::updateChecked);
    const auto settled = [&] { return QTest::qWaitFor([&] { return session->idle(); }, 10000); };
    for (int pass = 0; pass < 2; ++pass) {
        ASSERT_TRUE(settled());
        ASSERT_TRUE(session->checkForUpdate(request));
        ASSERT_TRUE(arrived(checked));
        const auto r = checked.takeFirst().value(0).value<selfupdate::Result>();
        EXPECT_EQ(r.outcome, selfupdate::Outcome::Current) << r.detail.toStdString();
        EXPECT_EQ(r.serverBuild, QStringLiteral("0"));
        // The first pass fetched the descriptor; the second finds it unchanged.
        if (pass == 0)
            ASSERT_TRUE(QFile::remove(copy));
        else
            EXPECT_FALSE(QFile::exists(copy)) << "an unchanged descriptor came down again";
    }
    QSignalSpy connected(session.get(), &ClientSession::connected);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(session->reconnect());
    ASSERT_TRUE(arrived(connected));
    EXPECT_EQ(connected.first().value(0).value<ConnectResult>().opening,
              ServerSession::Opening::AlreadyOpen);
    ASSERT_TRUE(settled());
    ASSERT_TRUE(session->keepAlive(30000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_TRUE(session->mainOpen());
    EXPECT_EQ(openings, afterPoll) << "a login although the connection held";

    // Lost: the check opens it again, once, and it stays open for the poll.
    session->closeMain();
    ASSERT_TRUE(settled());
    ASSERT_TRUE(session->checkForUpdate(request));
    ASSERT_TRUE(arrived(checked));
    EXPECT_EQ(checked.takeFirst().value(0).value<selfupdate::Result>().outcome,
              selfupdate::Outcome::Current);
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_EQ(openings, afterPoll + 1);
    EXPECT_TRUE(session->mainOpen());
}

// The probe is not sent while the main connection answers, starts again once it is closed, and
// waits longer after each unreachable answer.
TEST_F(ClientSessionTest, TheProbeRestsWhileTheMainConnectionAnswersAndBacksOffWithoutNetwork)
{
    auto session = makeSession();
    ASSERT_TRUE(session->bootstrap());
    waitFor(*session, &ClientSession::bootstrapped);
    ClientState state;
    ProbeCounter probe;
    ConnectionUpkeep upkeep(*session, state, probe.address());
    QSignalSpy reported(&upkeep, &ConnectionUpkeep::connectivityReported);
    ASSERT_TRUE(arrived(reported));
    ASSERT_TRUE(reported.first().value(0).toBool());
    QSignalSpy signedIn(session.get(), &ClientSession::signedIn);
    session->signIn({QStringLiteral("Anna"), QStringLiteral("pw"), {}, kAdapter});
    ASSERT_TRUE(arrived(signedIn));
    QSignalSpy polled(session.get(), &ClientSession::polled);
    ASSERT_TRUE(session->poll({}));
    ASSERT_TRUE(arrived(polled));
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    ASSERT_TRUE(session->mainOpen());

    const int before = probe.count();
    QTest::qWait(4500);
    EXPECT_EQ(probe.count(), before) << "probed while the main connection answered";

    session->closeMain();
    ASSERT_TRUE(QTest::qWaitFor([&] { return session->idle(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return probe.count() > before; }, 5000))
        << "no probe once the main connection was closed";

    // Nothing answers: asked again after 2 s, then 4 s, then 8 s, not every second.
    auto* detector = upkeep.findChild<TXNetDetect*>(QStringLiteral("XNetDetect1"));
    ASSERT_TRUE(detector);
    detector->setUrl(QStringLiteral("127.0.0.1:9"));
    reported.clear();
    upkeep.requestCheck();
    QTest::qWait(7500);
    EXPECT_GE(reported.count(), 2);
    EXPECT_LE(reported.count(), 4);
    for (const auto& answer : reported)
        EXPECT_FALSE(answer.value(0).toBool());
    EXPECT_FALSE(state.online());
}
