// How long the window thread is kept from its events while the program works with the server.
// A latency probe (LatencyProbe.h) runs on the window thread of a complete client while a user
// drives it with input events, in three situations:
//   poll    steady poll cycles over 100 conversations of 1 MiB on the demo server, after a
//           first cycle that saw them all (that first cycle gets a row of its own);
//   silent  a sign-in against a main server that accepts the connection and never answers,
//           until the program reports it or for 90 s, whichever comes first;
//   drop    a 200 MiB file dropped on the main window with a correspondent open, until the
//           file is in the sender folder on the server and the busy label has gone.
// Prints one table row per measurement.
//   responsivenessbench [poll] [silent] [drop]        (all three when none is named)
#include "BenchClient.h"
#include "LatencyProbe.h"
#include "SilentServer.h"
#include "UserActions.h"
#include "poll/ServerTree.h"
#include "support/DemoServer.h"
#include "support/TempTree.h"

#include "app/LarkspireApplication.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <optional>

using namespace useractions;

namespace {

constexpr int kPeers = 100;
constexpr qint64 kConversationBytes = 1 << 20;
constexpr int kSteadyCycles = 4; // LARKSPIRE_BENCH_STEADY asks for more
constexpr int kSilentWindowMs = 90'000;
constexpr qint64 kDropBytes = qint64(200) << 20;
// The bootstrap asks every 5 s; a shorter tick only saves waiting before each measurement.
constexpr int kBootstrapTickMs = 250;
// Button2's caption after repeated server failures at sign-in.
constexpr int kTxtServerNotResponding = 136;

const QString kUser = QStringLiteral("Alice");
const QString kPassword = QStringLiteral("alice-pw");

struct Row
{
    QString scenario;
    std::optional<StallSummary> stalls; // none: the scenario could not run
    QString outcome;
};

void printHeader()
{
    std::printf("| scenario | measured s | samples | longest stall ms | p99 ms | stalls >= 50 ms "
                "| frozen s | outcome |\n|---|---|---|---|---|---|---|---|\n");
}

void printRow(const Row& r)
{
    if (!r.stalls) {
        std::printf("| %s | | | | | | | %s |\n", qPrintable(r.scenario), qPrintable(r.outcome));
    } else {
        const StallSummary& s = *r.stalls;
        std::printf("| %s | %.1f | %d | %.1f | %.1f | %d | %.1f | %s |\n", qPrintable(r.scenario),
                    s.spanMs / 1000, s.samples, s.longestMs, s.p99Ms, s.noticeable,
                    s.noticeableMs / 1000, qPrintable(r.outcome));
    }
    std::fflush(stdout);
}

QString seconds(qint64 ms)
{
    return QString::number(ms / 1000.0, 'f', 1) + QStringLiteral(" s");
}

struct Bench
{
    QString dataFolder;             // the built 0rg_System copied beside each client
    BenchClient* current = nullptr; // where an error that escaped a handler is reported
};

// Declared after the client, so that nothing is reported to it once it starts going.
struct CurrentClient
{
    explicit CurrentClient(Bench& b) : bench(b) {}
    ~CurrentClient() { bench.current = nullptr; }
    CurrentClient(const CurrentClient&) = delete;
    CurrentClient& operator=(const CurrentClient&) = delete;
    Bench& bench;
};

// A fresh demo server and one client on the sign-in screen with the main server's settings
// fetched; the reason it could not be set up, or an empty text.
QString startClient(Bench& bench, std::unique_ptr<DemoServer>& server, const TempTree& home,
                    std::unique_ptr<BenchClient>& client,
                    const std::function<void()>& beforeClientStarts = {})
{
    if (const QString why = DemoServer::startFor(server); !why.isEmpty())
        return why;
    if (beforeClientStarts)
        beforeClientStarts();
    client = std::make_unique<BenchClient>(home.path(QStringLiteral("client")), bench.dataFolder);
    bench.current = client.get();
    client->mainTimer("FTPCSpermit")->setInterval(kBootstrapTickMs);
    if (!client->openMainWindow())
        return QStringLiteral("the mini bar did not open the main window");
    BenchClient* c = client.get();
    if (!waitUntil([c] { return c->serverSettingsFetched(); }, 30'000))
        return QStringLiteral("the main server's settings never came from the settings server");
    return {};
}

QString signIn(BenchClient& client)
{
    client.pressSignIn(kUser, kPassword);
    if (!waitUntil([&client] { return client.signedInAs(kUser); }, 60'000))
        return QStringLiteral("the sign-in did not finish");
    return {};
}

// How often the demo server logged a change into the user's own folder: a poll cycle goes
// there once to list it. Only a count for the report; nothing waits for it.
int ownFolderVisits(const DemoServer& server)
{
    QFile log(QDir::cleanPath(server.tree(QStringLiteral("../server.log"))));
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return static_cast<int>(log.readAll().count("/netwrk/users/" + kUser.toLatin1() + " 250"));
}

void pollScenario(Bench& bench)
{
    TempTree home;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<BenchClient> client;
    const CurrentClient current(bench);
    QString why = startClient(bench, server, home, client);
    if (why.isEmpty())
        why = signIn(*client);
    if (!why.isEmpty()) {
        printRow({QStringLiteral("poll"), {}, why});
        return;
    }
    QWidget* w = client->mainWindow();

    // The history appears on the server while nobody looks, as another client would write it.
    const QString users = server->tree(QStringLiteral("netwrk/users/"));
    QByteArray lineup = TempTree::read(users + QStringLiteral("lineup.xo"));
    QStringList peers;
    for (int i = 0; i < kPeers; ++i) {
        peers.append(benchtree::peerName(i));
        lineup += benchtree::lineupLine(peers.last());
    }
    for (const QString& peer : peers) {
        const QString path = users + kUser + u'/' + peer + QStringLiteral(".ms");
        if (QFile f(path); f.open(QIODevice::WriteOnly))
            f.write(benchtree::conversation(peer, kConversationBytes));
        benchtree::makeOld(path);
    }
    if (QFile f(users + QStringLiteral("lineup.xo")); f.open(QIODevice::WriteOnly))
        f.write(lineup);
    benchtree::makeOld(users + QStringLiteral("lineup.xo"));

    // Seen everything: every conversation has come down whole and every peer is listed.
    const QString fetched =
        client->ctx().folders().userDataDir + QStringLiteral("net/") + kUser + u'/';
    const auto* list = find<QTreeWidget>(w, "users");
    const auto seenAll = [&] {
        if (list->topLevelItemCount() < kPeers)
            return false;
        for (const QString& peer : std::as_const(peers)) {
            const QString name = peer + QStringLiteral(".ms");
            if (QFileInfo(fetched + name + u't').size() !=
                QFileInfo(users + kUser + u'/' + name).size())
                return false;
        }
        return true;
    };
    QTimer* poll = client->mainTimer("msgrld");
    LatencyProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    const bool seen = waitUntil(seenAll, 300'000);
    probe.stop();
    printRow({QStringLiteral("poll, first cycle"), probe.summary(),
              seen ? QStringLiteral("all %1 conversations fetched %2 after they were written "
                                    "(poll every %3)")
                         .arg(kPeers)
                         .arg(seconds(clock.elapsed()), seconds(poll->interval()))
                   : QStringLiteral("the conversations did not all come down in 300 s")});
    if (!seen)
        return;

    // Whatever the first cycle left to show is shown before the steady state counts.
    idle(1000);
    const int visitsBefore = ownFolderVisits(*server);
    const int played = client->fakes.sound->played;
    probe.start();
    const int cycles =
        std::max(kSteadyCycles, qEnvironmentVariableIntValue("LARKSPIRE_BENCH_STEADY"));
    idle(cycles * poll->interval());
    probe.stop();
    printRow({QStringLiteral("poll, steady"), probe.summary(),
              QStringLiteral("%1 cycles (by the server's log), %2 sounds")
                  .arg(ownFolderVisits(*server) - visitsBefore)
                  .arg(client->fakes.sound->played - played)});
}

void silentScenario(Bench& bench)
{
    TempTree home;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<BenchClient> client;
    const CurrentClient current(bench);
    SilentServer silent;
    if (silent.port() == 0) {
        printRow({QStringLiteral("silent"), {}, QStringLiteral("no port for the silent server")});
        return;
    }
    // The settings server sends the program to the silent server as its main server.
    const auto pointAtSilent = [&] {
        const QString settings =
            QDir::cleanPath(server->tree(QStringLiteral("../settings/fcom.xo")));
        if (QFile f(settings); f.open(QIODevice::WriteOnly))
            f.write("Larkspire benchmark settings\r\n\r\n\r\n\r\n\r\n" +
                    silent.address().toLatin1() + "\r\nlarkspire\r\nlarkspire\r\n/\r\n");
    };
    if (const QString why = startClient(bench, server, home, client, pointAtSilent);
        !why.isEmpty()) {
        printRow({QStringLiteral("silent"), {}, why});
        return;
    }
    QWidget* w = client->mainWindow();
    auto* button = find<QPushButton>(w, "Button2");
    const QString notResponding = client->ctx().text(kTxtServerNotResponding);
    QStringList& errors = client->fakes.desktop->errors;
    const qsizetype errorsBefore = errors.size();
    const auto shown = [&] {
        return (button->isVisible() && button->text() == notResponding) ||
               errors.size() > errorsBefore;
    };

    LatencyProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    client->pressSignIn(kUser, kPassword);
    const bool reported = waitUntil(shown, kSilentWindowMs);
    const qint64 took = clock.elapsed();
    probe.stop();
    const QString what = errors.size() > errorsBefore
                             ? QStringLiteral("message \"%1\"").arg(errors.last().simplified())
                             : QStringLiteral("Button2 reads \"%1\"").arg(button->text());
    printRow({QStringLiteral("silent"), probe.summary(),
              (reported ? QStringLiteral("error after %1: %2").arg(seconds(took), what)
                        : QStringLiteral("no error within %1 (Button2 reads \"%2\")")
                              .arg(seconds(kSilentWindowMs), button->text())) +
                  QStringLiteral("; connections to the silent server: %1").arg(silent.accepted())});
    // Closing the program must not wait for answers that never come.
    silent.hangUpAll();
    idle(200);
}

void dropScenario(Bench& bench)
{
    TempTree home;
    TempTree desk; // the user's own files
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<BenchClient> client;
    const CurrentClient current(bench);
    const QString peer = QStringLiteral("Bob");
    const auto addPeer = [&] {
        const QString users = server->tree(QStringLiteral("netwrk/users/"));
        QDir().mkpath(users + peer);
        if (QFile f(users + QStringLiteral("lineup.xo")); f.open(QIODevice::Append))
            f.write(benchtree::lineupLine(peer));
    };
    QString why = startClient(bench, server, home, client, addPeer);
    if (why.isEmpty())
        why = signIn(*client);
    QWidget* w = client ? client->mainWindow() : nullptr;
    if (why.isEmpty()) {
        // They have written to each other before.
        const QByteArray history = benchtree::conversation(peer, 4096);
        for (const QString& copy : {peer + u'/' + kUser, kUser + u'/' + peer}) {
            if (QFile f(server->tree(QStringLiteral("netwrk/users/%1.ms").arg(copy)));
                f.open(QIODevice::WriteOnly))
                f.write(history);
        }
        // The user opens the correspondent: the conversation view comes up with the name.
        auto* chat = find<QPlainTextEdit>(w, "chat");
        auto* name = find<QLabel>(w, "user2name");
        if (!clickRow(find<QTreeWidget>(w, "users"), peer, 1))
            why = QStringLiteral("%1 is not in the user list").arg(peer);
        else if (!waitUntil([&] { return chat->isVisible() && name->text() == peer; }, 30'000))
            why = QStringLiteral("the conversation with %1 did not open").arg(peer);
    }
    if (!why.isEmpty()) {
        printRow({QStringLiteral("drop"), {}, why});
        return;
    }
    const QString file = desk.path(QStringLiteral("payload.bin"));
    {
        QFile f(file);
        if (!f.open(QIODevice::WriteOnly)) {
            printRow({QStringLiteral("drop"), {}, QStringLiteral("cannot write ") + file});
            return;
        }
        QByteArray chunk(1 << 20, '\0');
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = static_cast<char>(i * 7919 >> 3);
        for (qint64 done = 0; done < kDropBytes; done += chunk.size())
            f.write(chunk);
    }
    idle(500);

    const QString arrived =
        server->tree(QStringLiteral("netwrk/users/%1/%2/payload.bin").arg(peer, kUser));
    auto* busy = find<QLabel>(w, "LMDSimpleLabel2");
    const QPoint at = windowDropPoint(w);
    bool accepted = false;
    LatencyProbe probe;
    probe.start();
    QElapsedTimer clock;
    clock.start();
    // Delivered from the event loop, as the desktop's drop is.
    QTimer::singleShot(0, w, [&] { accepted = dropFiles(w, at, {file}); });
    const bool onServer =
        waitUntil([&] { return QFileInfo(arrived).size() == kDropBytes; }, 300'000);
    const qint64 serverMs = clock.elapsed();
    const bool finished = onServer && waitUntil([&] { return busy->isHidden(); }, 60'000);
    const qint64 doneMs = clock.elapsed();
    probe.stop();
    QString outcome;
    if (!accepted)
        outcome = QStringLiteral("the main window did not take the drag at (%1, %2)")
                      .arg(at.x())
                      .arg(at.y());
    else if (!onServer)
        outcome = QStringLiteral("the file was not on the server after 300 s");
    else
        outcome = QStringLiteral("on the server after %1, busy label gone after %2")
                      .arg(seconds(serverMs), finished ? seconds(doneMs) : QStringLiteral("never"));
    printRow({QStringLiteral("drop, 200 MiB"), probe.summary(), outcome});
}

} // namespace

// The offscreen platform has no window opacity or stacking, and says so at every fade step.
void quietOffscreen(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message.startsWith(QStringLiteral("This plugin does not support")))
        return;
    std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, context, message)));
}

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The demo server is started from the source tree.
    if (qEnvironmentVariableIsEmpty("LARKSPIRE_SOURCE_DIR"))
        qputenv("LARKSPIRE_SOURCE_DIR", LARKSPIRE_SOURCE_DIR);
    qInstallMessageHandler(quietOffscreen);
    LarkspireApplication app(argc, argv);
    LarkspireApplication::setQuitOnLastWindowClosed(false);

    Bench bench;
    bench.dataFolder = qEnvironmentVariableIsEmpty("LARKSPIRE_BENCH_DATA")
                           ? QStringLiteral(LARKSPIRE_DATA_DIR)
                           : qEnvironmentVariable("LARKSPIRE_BENCH_DATA");
    // As the program does: a failure that escapes a handler is shown to the user.
    app.setErrorReport([&bench](const QString& text) {
        if (bench.current)
            bench.current->fakes.desktop->showError(text);
    });

    QStringList chosen = app.arguments().mid(1);
    if (chosen.isEmpty())
        chosen = {QStringLiteral("poll"), QStringLiteral("silent"), QStringLiteral("drop")};
    const QHash<QString, std::function<void(Bench&)>> scenarios{
        {QStringLiteral("poll"), pollScenario},
        {QStringLiteral("silent"), silentScenario},
        {QStringLiteral("drop"), dropScenario}};
    for (const QString& name : std::as_const(chosen)) {
        if (!scenarios.contains(name)) {
            std::fprintf(stderr, "usage: responsivenessbench [poll] [silent] [drop]\n");
            return 2;
        }
    }
    printHeader();
    try {
        for (const QString& name : std::as_const(chosen))
            scenarios.value(name)(bench);
    } catch (const MissingControl& e) {
        std::fprintf(stderr, "responsivenessbench: %s\n", e.what());
        return 1;
    }
    return 0;
}
