// What an idle, signed-in client costs the shared server, and how lightly the program starts.
//
// Idle: one complete client (every timer running, operating-system services doubled) signs in
// and then sits for a while with its main window hidden and for as long with it open, against
// the demo server and against vsftpd. The servers log what each connection asks of them; the
// connectivity probe goes to a listener of its own that counts the connections it gets. Per
// phase and minute: logins, commands, data connections and bytes of the main account, probe
// connections and keep-alives, and the poll ticks against the cycles that ran.
//
// Start-up: the built program and a bare Qt program that shows only a tray icon start in turn
// on a private X server (Xvfb) whose tray this driver keeps: the time from the start of the
// process to the tray icon's dock request, and the resident memory 10 s after the start.
//
//   idlebench <demo|vsftpd|startup>...
// LARKSPIRE_IDLE_SECONDS (default 120) sets the length of each idle phase, LARKSPIRE_IDLE_WARMUP
// (default 130) the wait between the sign-in and the first phase, LARKSPIRE_IDLE_ROUNDS
// (default 5) the rounds of the start-up comparison.
#include "BenchClient.h"
#include "UserActions.h"
#include "support/FtpServerFixture.h"
#include "support/TempTree.h"

#include "app/LarkspireApplication.h"
#include "core/Helpers.h"
#include "session/ClientSession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <xcb/xcb.h>

#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <vector>

using namespace useractions;

namespace {

const QString kUser = QStringLiteral("Idler");
const QString kPassword = QStringLiteral("idler-pw");

int envInt(const char* name, int fallback)
{
    bool ok = false;
    const int v = qEnvironmentVariableIntValue(name, &ok);
    return ok && v > 0 ? v : fallback;
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// ---- what the servers were asked ---------------------------------------------------------------

struct Tally
{
    qint64 connections = 0;
    qint64 logins = 0;
    qint64 commands = 0;
    qint64 dataConnections = 0;
    qint64 bytes = 0;
    qint64 noops = 0;
    QHash<QString, qint64> verbs;
};

qint64 fileSize(const QString& path)
{
    return QFileInfo(path).size();
}

QByteArray readFrom(const QString& path, qint64 from, qint64 to)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || !f.seek(from))
        return {};
    return f.read(to - from);
}

bool isDataCommand(const QString& verb)
{
    return verb == u"PASV" || verb == u"EPSV" || verb == u"PORT" || verb == u"EPRT";
}

void countCommand(Tally& t, const QString& verb)
{
    ++t.commands;
    ++t.verbs[verb];
    if (isDataCommand(verb))
        ++t.dataConnections;
    if (verb == u"NOOP")
        ++t.noops;
}

// The counting server's lines between two offsets, for the connections of `user` (whose login
// may lie before `from`).
Tally tallyCounting(const QString& log, qint64 from, qint64 to, const QString& user)
{
    Tally t;
    QHash<QString, QString> owner;
    const QByteArray all = readFrom(log, 0, to);
    qint64 at = 0;
    // A connection belongs to the user it logged in as; its commands before the login too.
    QHash<QString, Tally> pending;
    for (const QByteArray& raw : all.split('\n')) {
        const qint64 start = at;
        at += raw.size() + 1;
        const QStringList f = QString::fromLatin1(raw).split(u' ');
        if (f.size() < 2)
            continue;
        const QString& id = f[0];
        const QString& what = f[1];
        if (what == u"login")
            owner.insert(id, f.value(2));
        if (start < from)
            continue;
        Tally& into = owner.contains(id)
                          ? (owner.value(id) == user ? t : pending[QStringLiteral("-")])
                          : pending[id];
        if (what == u"open")
            ++into.connections;
        else if (what == u"login")
            ++into.logins;
        else if (what == u"cmd") {
            countCommand(into, f.value(2));
            into.bytes += f.value(3).toLongLong();
        } else if (what == u"out" || what == u"data")
            into.bytes += f.value(2).toLongLong();
        if (what == u"login" && f.value(2) == user) {
            // What the connection did before its login.
            const Tally before = pending.take(id);
            t.connections += before.connections;
            t.commands += before.commands;
            t.dataConnections += before.dataConnections;
            t.bytes += before.bytes;
            for (auto it = before.verbs.cbegin(); it != before.verbs.cend(); ++it)
                t.verbs[it.key()] += it.value();
        }
    }
    return t;
}

// vsftpd's protocol log between two offsets: every line is the main account's. Listings are not
// in its log, so their bytes are missing from the count.
Tally tallyVsftpd(const QString& text)
{
    Tally t;
    static const QRegularExpression command(
        QStringLiteral(R"re(FTP command: Client "[^"]*", "(.*)"$)re"));
    static const QRegularExpression response(
        QStringLiteral(R"re(FTP response: Client "[^"]*", "(.*)"$)re"));
    static const QRegularExpression download(
        QStringLiteral(R"re(OK (?:DOWNLOAD|UPLOAD): Client "[^"]*", "[^"]*", (\d+) bytes)re"));
    for (const QString& raw : text.split(u'\n')) {
        const QString line = raw.trimmed();
        if (line.contains(QStringLiteral("CONNECT: Client")))
            ++t.connections;
        else if (line.contains(QStringLiteral("OK LOGIN:")))
            ++t.logins;
        else if (const auto m = command.match(line); m.hasMatch()) {
            countCommand(t, m.captured(1).section(u' ', 0, 0).toUpper());
            t.bytes += m.captured(1).size() + 2;
        } else if (const auto r = response.match(line); r.hasMatch()) {
            t.bytes += r.captured(1).size() + 2;
        } else if (const auto d = download.match(line); d.hasMatch()) {
            t.bytes += d.captured(1).toLongLong();
        }
    }
    return t;
}

// ---- the servers ------------------------------------------------------------------------------

// tools/demo-server.py's tree and accounts, with a log of what each connection costs.
class CountingServer
{
public:
    CountingServer(const QString& folder, const QString& mainHost = {},
                   const QString& mainUser = {}, const QString& mainPassword = {})
        : m_log(folder + QStringLiteral("/server.log")), m_port(freePort())
    {
        QStringList args{QStringLiteral(LARKSPIRE_BENCH_DIR "/countingserver.py"),
                         QStringLiteral("--port"),
                         QString::number(m_port),
                         QStringLiteral("--data"),
                         folder + QStringLiteral("/demo"),
                         QStringLiteral("--log"),
                         m_log,
                         QStringLiteral("--source"),
                         QStringLiteral(LARKSPIRE_SOURCE_DIR)};
        if (!mainHost.isEmpty())
            args << QStringLiteral("--main-host") << mainHost << QStringLiteral("--main-user")
                 << mainUser << QStringLiteral("--main-password") << mainPassword;
        // Its own log says what it did; the driver needs only the word that it listens.
        m_process.setStandardErrorFile(QProcess::nullDevice());
        m_process.start(QStringLiteral("/usr/bin/python3"), args);
        m_process.waitForReadyRead(20000);
        m_ready = m_process.readAll().contains("listening");
    }
    ~CountingServer()
    {
        m_process.terminate();
        m_process.waitForFinished(5000);
    }
    bool ready() const { return m_ready; }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }
    const QString& log() const { return m_log; }

private:
    QString m_log;
    quint16 m_port;
    QProcess m_process;
    bool m_ready = false;
};

// Accepts the connectivity probe's connections and counts them.
class ProbeListener
{
public:
    ProbeListener()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = m_server.nextPendingConnection()) {
                ++m_count;
                s->disconnectFromHost();
                s->deleteLater();
            }
        });
    }
    QString address() const { return QStringLiteral("127.0.0.1:%1").arg(m_server.serverPort()); }
    qint64 count() const { return m_count; }

private:
    QTcpServer m_server;
    qint64 m_count = 0;
};

// ---- one idle client --------------------------------------------------------------------------

struct Phase
{
    QString name;
    double minutes = 0;
    Tally tally;
    qint64 probes = 0;
    int ticks = 0;
    int cycles = 0;
    int updateChecks = 0;
};

struct ServerRun
{
    QString server;
    int listingCommands = 0; // the commands of one listing of the own folder on this server
    std::vector<Phase> phases;
    QString failure;
};

ServerRun idleAgainst(const QString& kind, int seconds, int warmup)
{
    ServerRun run;
    run.server = kind;
    TempTree tmp;
    std::unique_ptr<FtpServerFixture> vsftpd;
    std::unique_ptr<CountingServer> demo;
    if (kind == u"vsftpd") {
        if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Vsftpd);
            !why.isEmpty()) {
            run.failure = QStringLiteral("skipped: ") + why;
            return run;
        }
        vsftpd = FtpServerFixture::start(FtpServerKind::Vsftpd);
        vsftpd->write(QStringLiteral("netwrk/users/lineup.xo"), QByteArray());
        for (const char* language : {"rus", "eng"})
            vsftpd->write(QStringLiteral("%1/Larkspire/update.xo").arg(QLatin1String(language)),
                          "0\r\n");
        demo = std::make_unique<CountingServer>(tmp.path(QStringLiteral("s")), vsftpd->address(),
                                                vsftpd->user(), vsftpd->password());
        // LIST in TYPE A: TYPE A, PASV, LIST, TYPE I.
        run.listingCommands = 4;
    } else {
        demo = std::make_unique<CountingServer>(tmp.path(QStringLiteral("s")));
        // MLSD (RFC 3659 ignores TYPE for it): PASV, MLSD.
        run.listingCommands = 2;
    }
    if (!demo->ready()) {
        run.failure = QStringLiteral("the counting server did not start");
        return run;
    }
    ProbeListener probe;
    qputenv("LARKSPIRE_SETTINGS_SERVER", demo->address().toUtf8());
    qputenv("LARKSPIRE_PROBE_URL", probe.address().toUtf8());

    BenchClient client(tmp.path(QStringLiteral("c")), QStringLiteral(LARKSPIRE_DATA_DIR));
    QTimer* pollTimer = client.mainTimer("msgrld");
    int ticks = 0;
    int cycles = 0;
    int updates = 0;
    QObject::connect(pollTimer, &QTimer::timeout, [&] { ++ticks; });
    ClientSession& session = client.ctx().session();
    QObject::connect(&session, &ClientSession::polled, [&](const PollResult& r) {
        if (r.cycle.outcome == poll::Outcome::Done)
            ++cycles;
    });
    QObject::connect(&session, &ClientSession::updateChecked, [&] { ++updates; });

    if (!waitUntil([&] { return client.serverSettingsFetched(); }, 60000)) {
        run.failure = QStringLiteral("the server settings never came");
        return run;
    }
    if (!client.openMainWindow()) {
        run.failure = QStringLiteral("the main window did not open");
        return run;
    }
    client.pressSignIn(kUser, kPassword);
    if (!waitUntil([&] { return client.signedInAs(kUser); }, 90000)) {
        run.failure = QStringLiteral("the sign-in did not end");
        return run;
    }
    client.mainWindow()->hide();
    // The sign-in just wrote the directory and the server's files are new: for two minutes a
    // client fetches such recent files again, since a rewrite of the same size within the
    // precision of their times would not show. An idle client sits with older ones.
    idle(warmup * 1000);

    // The fixture keeps vsftpd's log beside the folder it serves.
    const QString log =
        vsftpd ? QFileInfo(vsftpd->root() + QStringLiteral("/../server.log")).absoluteFilePath()
               : demo->log();
    const auto offset = [&] { return fileSize(log); };
    const auto measure = [&](const QString& name) {
        Phase p;
        p.name = name;
        const qint64 from = offset();
        const qint64 probesBefore = probe.count();
        const int ticksBefore = ticks;
        const int cyclesBefore = cycles;
        const int updatesBefore = updates;
        QElapsedTimer clock;
        clock.start();
        idle(seconds * 1000);
        p.minutes = clock.elapsed() / 60000.0;
        const qint64 to = offset();
        p.tally = vsftpd ? tallyVsftpd(QString::fromLatin1(readFrom(log, from, to)))
                         : tallyCounting(log, from, to, QStringLiteral("larkspire"));
        p.probes = probe.count() - probesBefore;
        p.ticks = ticks - ticksBefore;
        p.cycles = cycles - cyclesBefore;
        p.updateChecks = updates - updatesBefore;
        run.phases.push_back(p);
    };
    measure(QStringLiteral("hidden"));
    if (!client.openMainWindow()) {
        run.failure = QStringLiteral("the main window did not open again");
        return run;
    }
    idle(1000);
    measure(QStringLiteral("window open"));
    return run;
}

// ---- start-up and memory ----------------------------------------------------------------------

// A private X server whose system tray this process keeps (the freedesktop tray protocol): it
// owns the tray selection and notes when a program asks to dock its icon.
class TrayDisplay
{
public:
    TrayDisplay()
    {
        for (int n = 90 + ::getpid() % 50; n < 200; ++n) {
            if (!QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n))) {
                m_display = QStringLiteral(":%1").arg(n);
                break;
            }
        }
        m_xvfb.start(QStringLiteral("Xvfb"), {m_display, QStringLiteral("-screen"),
                                              QStringLiteral("0"), QStringLiteral("1920x1080x24"),
                                              QStringLiteral("-nolisten"), QStringLiteral("tcp")});
        if (!m_xvfb.waitForStarted(5000))
            return;
        const QString socket = QStringLiteral("/tmp/.X11-unix/X") + m_display.mid(1);
        for (int i = 0; i < 100 && !QFile::exists(socket); ++i)
            QThread::msleep(50);
        int screenNumber = 0;
        m_c = xcb_connect(m_display.toLatin1().constData(), &screenNumber);
        if (xcb_connection_has_error(m_c)) {
            xcb_disconnect(m_c);
            m_c = nullptr;
            return;
        }
        xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_c)).data;
        m_window = xcb_generate_id(m_c);
        xcb_create_window(m_c, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_OUTPUT, screen->root_visual, 0, nullptr);
        const xcb_atom_t selection = atom("_NET_SYSTEM_TRAY_S0");
        m_opcode = atom("_NET_SYSTEM_TRAY_OPCODE");
        xcb_set_selection_owner(m_c, m_window, selection, XCB_CURRENT_TIME);
        xcb_client_message_event_t manager{};
        manager.response_type = XCB_CLIENT_MESSAGE;
        manager.format = 32;
        manager.window = screen->root;
        manager.type = atom("MANAGER");
        manager.data.data32[0] = XCB_CURRENT_TIME;
        manager.data.data32[1] = selection;
        manager.data.data32[2] = m_window;
        xcb_send_event(m_c, 0, screen->root, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&manager));
        xcb_flush(m_c);
    }
    ~TrayDisplay()
    {
        if (m_c)
            xcb_disconnect(m_c);
        m_xvfb.terminate();
        m_xvfb.waitForFinished(5000);
    }
    bool ready() const { return m_c != nullptr; }
    const QString& display() const { return m_display; }

    // Waits for a dock request; the milliseconds of `clock` when it came, or -1.
    qint64 waitForDock(const QElapsedTimer& clock, int timeoutMs)
    {
        const int fd = xcb_get_file_descriptor(m_c);
        while (clock.elapsed() < timeoutMs) {
            while (xcb_generic_event_t* e = xcb_poll_for_event(m_c)) {
                const bool dock =
                    (e->response_type & 0x7f) == XCB_CLIENT_MESSAGE &&
                    reinterpret_cast<xcb_client_message_event_t*>(e)->type == m_opcode &&
                    reinterpret_cast<xcb_client_message_event_t*>(e)->data.data32[1] == 0;
                if (dock) {
                    const qint64 at = clock.elapsed();
                    const xcb_window_t icon =
                        reinterpret_cast<xcb_client_message_event_t*>(e)->data.data32[2];
                    xcb_reparent_window(m_c, icon, m_window, 0, 0);
                    xcb_map_window(m_c, icon);
                    xcb_flush(m_c);
                    free(e);
                    return at;
                }
                free(e);
            }
            fd_set readable;
            FD_ZERO(&readable);
            FD_SET(fd, &readable);
            timeval wait{0, 1000};
            ::select(fd + 1, &readable, nullptr, nullptr, &wait);
        }
        return -1;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        auto cookie = xcb_intern_atom(m_c, 0, static_cast<uint16_t>(strlen(name)), name);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(m_c, cookie, nullptr);
        const xcb_atom_t a = reply ? reply->atom : XCB_ATOM_NONE;
        free(reply);
        return a;
    }

    QString m_display;
    QProcess m_xvfb;
    xcb_connection_t* m_c = nullptr;
    xcb_window_t m_window = 0;
    xcb_atom_t m_opcode = 0;
};

qint64 residentKiB(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/status").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

struct Start
{
    double ms = -1;
    double mib = -1;
};

// One start of `program`: until its tray icon asks to dock, then until 10 s after the start.
Start startOnce(TrayDisplay& x, const QString& program, const QProcessEnvironment& env)
{
    Start s;
    QProcess p;
    p.setProcessEnvironment(env);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.setStandardErrorFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    p.start(program, {});
    if (!p.waitForStarted(10000))
        return s;
    const qint64 dock = x.waitForDock(clock, 20000);
    if (dock >= 0)
        s.ms = double(dock);
    // LARKSPIRE_IDLE_MEMORY_AT_MS shortens the wait, to sample many start-ups quickly.
    static const int memoryAtMs = envInt("LARKSPIRE_IDLE_MEMORY_AT_MS", 10000);
    while (clock.elapsed() < memoryAtMs && p.state() == QProcess::Running)
        QThread::msleep(20);
    const qint64 kib = residentKiB(p.processId());
    if (kib >= 0)
        s.mib = kib / 1024.0;
    // To see where the memory goes: the last start's map of each program, per mapping.
    const QString keep = qEnvironmentVariable("LARKSPIRE_IDLE_SMAPS");
    if (!keep.isEmpty()) {
        QFile in(QStringLiteral("/proc/%1/smaps").arg(p.processId()));
        QFile out(keep + QLatin1Char('/') + QFileInfo(program).fileName() +
                  QStringLiteral(".smaps"));
        if (in.open(QIODevice::ReadOnly) && out.open(QIODevice::WriteOnly))
            out.write(in.readAll());
    }
    p.terminate();
    if (!p.waitForFinished(5000)) {
        p.kill();
        p.waitForFinished(2000);
    }
    return s;
}

void startupComparison(int rounds)
{
    TrayDisplay x;
    if (!x.ready()) {
        std::printf("\nStart-up: skipped, no Xvfb could be started.\n");
        return;
    }
    TempTree tmp;
    CountingServer server(tmp.path(QStringLiteral("s")));
    // The program as a user has it installed: its folder with the data folder beside it, and
    // the settings that say it is installed, so no first-start dialog waits.
    const QString root = tmp.path(QStringLiteral("u"));
    const QString installed = root + QStringLiteral("/home/apps/Larkspire/");
    QDir().mkpath(installed);
    QFile::copy(QStringLiteral(LARKSPIRE_PROGRAM), installed + QStringLiteral("Larkspire"));
    QFile::setPermissions(installed + QStringLiteral("Larkspire"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    helpers::copyTree(QStringLiteral(LARKSPIRE_DATA_DIR), installed + QStringLiteral("0rg_System"),
                      true, false);
    tmp.write(QStringLiteral("u/config/Larkspire/Larkspire.ini"), "[General]\nASt=1\n");

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // No notifier host on the bus: Qt uses the X tray, as on a desktop without one.
    env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("disabled:"));
    env.remove(QStringLiteral("QT_LOGGING_RULES"));
    env.insert(QStringLiteral("HOME"), root + QStringLiteral("/home"));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), root + QStringLiteral("/config"));
    env.insert(QStringLiteral("XDG_STATE_HOME"), root + QStringLiteral("/state"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), root + QStringLiteral("/data"));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), root + QStringLiteral("/cache"));
    env.insert(QStringLiteral("LARKSPIRE_SETTINGS_SERVER"), server.address());
    env.insert(QStringLiteral("LARKSPIRE_PROBE_URL"), server.address());

    const QString bare = QStringLiteral(LARKSPIRE_BARE_TRAY);
    const QString larkspire = installed + QStringLiteral("Larkspire");
    // A first start of each warms the caches and does the first-start work; not counted.
    startOnce(x, bare, env);
    startOnce(x, larkspire, env);
    std::vector<double> bareMs, bareMib, ownMs, ownMib, msRatio, mibRatio;
    for (int round = 0; round < rounds; ++round) {
        Start b, l;
        // Alternating, so that neither always runs on a machine the other just warmed.
        if (round % 2 == 0) {
            b = startOnce(x, bare, env);
            l = startOnce(x, larkspire, env);
        } else {
            l = startOnce(x, larkspire, env);
            b = startOnce(x, bare, env);
        }
        if (b.ms < 0 || l.ms < 0 || b.mib < 0 || l.mib < 0) {
            std::printf("round %d: a program showed no tray icon (bare %.0f ms, Larkspire %.0f "
                        "ms)\n",
                        round, b.ms, l.ms);
            continue;
        }
        bareMs.push_back(b.ms);
        ownMs.push_back(l.ms);
        bareMib.push_back(b.mib);
        ownMib.push_back(l.mib);
        msRatio.push_back(l.ms / b.ms);
        mibRatio.push_back(l.mib / b.mib);
    }
    std::printf("\nStart-up to the tray icon and resident memory 10 s after the start, median of "
                "%zu alternating rounds:\n\n",
                msRatio.size());
    std::printf("| program | start-up ms | RSS MiB |\n|---|---|---|\n");
    std::printf("| bare Qt tray program | %.0f | %.1f |\n", median(bareMs), median(bareMib));
    std::printf("| Larkspire | %.0f | %.1f |\n", median(ownMs), median(ownMib));
    std::printf("| ratio (per-round median; target 1.3 / 1.5) | %.2f%s | %.2f%s |\n",
                median(msRatio), median(msRatio) <= 1.3 ? "" : " (missed)", median(mibRatio),
                median(mibRatio) <= 1.5 ? "" : " (missed)");
}

// ---- the table --------------------------------------------------------------------------------

void printIdle(const std::vector<ServerRun>& runs, int seconds, int warmup)
{
    std::printf("One signed-in client, %d s after its sign-in, %d s with the main window hidden "
                "and %d s with it open; per minute unless said:\n\n",
                warmup, seconds, seconds);
    std::printf("| server | phase | logins | commands | per 15 s (target) | data conns | bytes | "
                "probes | NOOPs | update checks | ticks | cycles | targets |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    for (const ServerRun& r : runs) {
        if (!r.failure.isEmpty()) {
            std::printf("| %s | %s |\n", qPrintable(r.server), qPrintable(r.failure));
            continue;
        }
        for (const Phase& p : r.phases) {
            const double m = p.minutes > 0 ? p.minutes : 1;
            const double per15 = p.tally.commands / m / 4;
            const int budget = r.listingCommands + 2;
            QStringList missed;
            if (p.tally.logins > 0)
                missed << QStringLiteral("logins");
            if (per15 > budget)
                missed << QStringLiteral("commands");
            if (p.probes > 0)
                missed << QStringLiteral("probes");
            if (p.cycles != p.ticks)
                missed << QStringLiteral("cycles");
            std::printf(
                "| %s | %s | %.1f | %.1f | %.2f (%d) | %.1f | %.0f | %.1f | %.1f | %.1f | "
                "%d | %d | %s |\n",
                qPrintable(r.server), qPrintable(p.name), p.tally.logins / m, p.tally.commands / m,
                per15, budget, p.tally.dataConnections / m, p.tally.bytes / m, p.probes / m,
                p.tally.noops / m, p.updateChecks / m, p.ticks, p.cycles,
                missed.isEmpty()
                    ? "met"
                    : qPrintable(QStringLiteral("missed: ") + missed.join(QStringLiteral(", "))));
        }
    }
    std::printf("\nCommands by verb (whole run):\n\n");
    for (const ServerRun& r : runs) {
        for (const Phase& p : r.phases) {
            QStringList verbs;
            for (auto it = p.tally.verbs.cbegin(); it != p.tally.verbs.cend(); ++it)
                verbs << QStringLiteral("%1 %2").arg(it.key()).arg(it.value());
            verbs.sort();
            std::printf("- %s, %s: %s\n", qPrintable(r.server), qPrintable(p.name),
                        qPrintable(verbs.join(QStringLiteral(", "))));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    LarkspireApplication app(argc, argv);
    LarkspireApplication::setQuitOnLastWindowClosed(false);
    QStringList wanted = app.arguments().mid(1);
    if (wanted.isEmpty())
        wanted = {QStringLiteral("demo"), QStringLiteral("vsftpd"), QStringLiteral("startup")};
    const int seconds = envInt("LARKSPIRE_IDLE_SECONDS", 120);
    const int warmup = envInt("LARKSPIRE_IDLE_WARMUP", 130);
    std::vector<ServerRun> runs;
    for (const QString& kind : wanted) {
        if (kind == u"demo" || kind == u"vsftpd")
            runs.push_back(idleAgainst(kind, seconds, warmup));
    }
    if (!runs.empty())
        printIdle(runs, seconds, warmup);
    if (wanted.contains(QStringLiteral("startup")))
        startupComparison(envInt("LARKSPIRE_IDLE_ROUNDS", 5));
    std::fflush(stdout);
    return 0;
}
