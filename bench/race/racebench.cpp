// Sends into one conversation under what a real network does, counted in the server copies
// afterwards. Every user is a "computer" of its own: its own connection, SeenCopy and (in the
// kill row) its own process. The server is the tests' threaded pyftpdlib with faults
// (FaultyFtpServer): a fault held in one session never holds up another.
//
// Rows (--rows, all by default):
//   loopback    anna and bob each send one message, the second 0-500 ms after the first
//   delay30     the same with every command held back 30 ms
//   kill        a writer process sending into a 1 MB conversation is SIGKILLed at a random
//               moment while bob's process keeps sending; it is started again and sends once
//   slowlink    downloads at 40 KB/s, uploads at 5 KB/s, 100 KB, both users at once
//   restart     the server killed and started again at a random moment of both sends
//               (100 KB, 30 ms per command)
//   readfaults  one or two downloads of a copy cut short (226) or broken (426) during the
//               sends (100 KB)
// The user as the program sees it: a send reported failed is pressed again once, after a pause
// and a fresh login, with the same header line (--retry-header same, the program now) or a new
// one (--retry-header new, as it was before). Not a timed test: it reports counts, and what it
// found with the seed that reproduces the trial's plan.
//
//   racebench [--rows loopback,delay30,kill,slowlink,restart,readfaults] [--trials N]
//             [--retry-header same|new] [--seed S] [--retry-pause-ms 1000] [--verbose]
//
// It uses only what every version of the write path offers (messaging::sendMessage and the
// conversation text functions), so it also builds against older checkouts.
#include "RaceTally.h"

#include "core/Conversation.h"
#include "core/Error.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "support/FaultyFtpServer.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <random>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// Newer write paths remember what they last read of each copy, as the program does.
#if __has_include("core/ConversationMerge.h")
#define RACEBENCH_MEMO 1
#include "net/ConversationWrite.h"
#else
#define RACEBENCH_MEMO 0
#endif

namespace {

using Clock = std::chrono::steady_clock;
using racetally::Outcome;

qint64 msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

struct Options
{
    QStringList rows;
    int trials = -1; // -1: each row's own default
    bool sameHeader = true;
    quint32 seed = 0;
    int retryPauseMs = 1000;
    bool verbose = false;
};

const QString kAnnaCopy = QStringLiteral("netwrk/users/anna/bob.ms");
const QString kBobCopy = QStringLiteral("netwrk/users/bob/anna.ms");

// About `bytes` of history, both users taking turns, newest first; with the entries' texts.
std::pair<QByteArray, QStringList> history(qsizetype bytes)
{
    QStringList lines;
    QStringList bodies;
    const QDateTime first(QDate(2026, 2, 1), QTime(9, 0));
    qsizetype size = 0;
    for (int k = 0; size < bytes; ++k) {
        const QString who = k % 2 ? QStringLiteral("anna") : QStringLiteral("bob");
        const QString body =
            QStringLiteral("history entry %1, some words to give it a usual length").arg(k);
        const QString header = conversation::headerLine(who, first.addSecs(k));
        conversation::insertMessage(lines, header, body);
        bodies.append(body);
        size += header.size() + body.size() + 6; // and three line ends
    }
    return {conversation::encode(lines), bodies};
}

// One user's computer.
struct Computer
{
    QString user;
    QString peer;
    QString seenFolder;
    FtpSettings settings;
    std::unique_ptr<FtpClient> ftp;
#if RACEBENCH_MEMO
    conversationwrite::Memo memo;
#endif
    QString lastError;
    bool verbose = false;

    // One press of Send; true when it was reported sent.
    bool press(const QString& text, const QString& header, qint64* ms)
    {
        const auto start = Clock::now();
        bool sent = false;
        try {
            if (!ftp)
                ftp = std::make_unique<FtpClient>(settings);
            if (!ftp->connected())
                ftp->connect();
            messaging::Place place{QStringLiteral("/"), user, seenFolder};
#if RACEBENCH_MEMO
            place.memo = &memo;
#endif
            QStringList listing{peer + QStringLiteral(".ms")};
            QStringList chat;
            QString failure;
            const messaging::Sent result = messaging::sendMessage(*ftp, place, listing, chat, peer,
                                                                  peer, text, header, &failure);
            sent = result == messaging::Sent::Sent;
            if (!sent)
                lastError = failure.isEmpty()
                                ? QStringLiteral("not sent (%1)").arg(static_cast<int>(result))
                                : failure;
        } catch (const Error& e) {
            lastError = e.message();
        } catch (const std::exception& e) {
            lastError = QString::fromLocal8Bit(e.what());
        }
        *ms = msSince(start);
        if (!sent && verbose)
            std::fprintf(stderr, "  %s: %s\n", qPrintable(user), qPrintable(lastError));
        return sent;
    }

    void hangUp()
    {
        try {
            if (ftp && ftp->connected())
                ftp->disconnect();
        } catch (const std::exception&) {
        }
    }

    void login()
    {
        try {
            ftp = std::make_unique<FtpClient>(settings);
            ftp->connect();
        } catch (const std::exception&) {
            // The first press says what is wrong.
        }
    }
};

struct SendResult
{
    Outcome outcome = Outcome::Sent;
    bool firstFailed = false;
    qint64 longestMs = 0;
};

// A send as the user makes it: pressed again once after a failure, on a fresh login.
SendResult send(Computer& c, const QString& text, const Options& o)
{
    const QDateTime when = QDateTime::currentDateTime();
    const QString header = conversation::headerLine(c.user, when);
    SendResult r;
    if (c.press(text, header, &r.longestMs))
        return r;
    r.firstFailed = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(o.retryPauseMs));
    c.hangUp();
    // A header written anew at the second press can only name a later second.
    const QString again =
        o.sameHeader ? header
                     : conversation::headerLine(
                           c.user, std::max(QDateTime::currentDateTime(), when.addSecs(1)));
    qint64 ms = 0;
    r.outcome = c.press(text, again, &ms) ? Outcome::Sent : Outcome::GaveUp;
    r.longestMs = std::max(r.longestMs, ms);
    return r;
}

// What the row does to the network.
struct Setup
{
    QString name;
    int trials = 0;
    qsizetype historyBytes = 0;
    int delayMs = 0;
    qint64 rateDown = 0;
    qint64 rateUp = 0;
    int maxGapMs = 0;
    bool restart = false;
    bool readFaults = false;
    bool kill = false;
};

QList<Setup> setups()
{
    QList<Setup> list;
    list.append({QStringLiteral("loopback"), 100, 10'000, 0, 0, 0, 500, false, false, false});
    list.append({QStringLiteral("delay30"), 20, 10'000, 30, 0, 0, 500, false, false, false});
    list.append({QStringLiteral("kill"), 10, 1024 * 1024, 0, 0, 0, 0, false, false, true});
    list.append({QStringLiteral("slowlink"), 2, 100'000, 0, 40'000, 5'000, 0, false, false, false});
    list.append({QStringLiteral("restart"), 12, 100'000, 30, 0, 0, 500, true, false, false});
    list.append({QStringLiteral("readfaults"), 40, 100'000, 0, 0, 0, 500, false, true, false});
    return list;
}

// The state of every trial's start: both copies and both SeenCopies hold the history, and
// nothing an earlier trial left (locks, temporaries) is on the server.
void prepare(FaultyFtpServer& server, const QByteArray& base, const QString& local)
{
    for (const QString& user : {QStringLiteral("anna"), QStringLiteral("bob")}) {
        QDir folder(server.makeFolder(QStringLiteral("netwrk/users/") + user));
        for (const QString& n : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot |
                                                 QDir::Hidden | QDir::System))
            if (n.contains(u'}')) {
                const QString p = folder.filePath(n);
                QFileInfo(p).isDir() ? (void)QDir(p).removeRecursively() : (void)QFile::remove(p);
            }
    }
    server.write(kAnnaCopy, base);
    server.write(kBobCopy, base);
    for (const QString& seen : {QStringLiteral("/anna/bob.ms"), QStringLiteral("/bob/anna.ms")}) {
        QDir().mkpath(QFileInfo(local + seen).path());
        QFile f(local + seen);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(base);
    }
}

Computer computer(const QString& user, const FaultyFtpServer& server, const QString& local,
                  const Options& o)
{
    Computer c;
    c.user = user;
    c.peer = user == u"anna" ? QStringLiteral("bob") : QStringLiteral("anna");
    c.seenFolder = local + u'/' + user + u'/';
    c.settings = server.clientSettings();
    c.verbose = o.verbose;
    return c;
}

racetally::Tally checkCopies(const FaultyFtpServer& server, const QStringList& bodies,
                             const QList<racetally::Message>& messages)
{
    return racetally::check({{QStringLiteral("anna's copy"), server.read(kAnnaCopy)},
                             {QStringLiteral("bob's copy"), server.read(kBobCopy)}},
                            bodies, messages);
}

// One send of anna alone in the row's conditions, the median of up to three.
qint64 soloMs(FaultyFtpServer& server, const QByteArray& base, const QString& local,
              const Options& o)
{
    std::vector<qint64> times;
    const auto start = Clock::now();
    while (times.size() < 3 && (times.empty() || msSince(start) < 15'000)) {
        prepare(server, base, local);
        Computer anna = computer(QStringLiteral("anna"), server, local, o);
        anna.login();
        qint64 ms = 0;
        const QString text = QStringLiteral("solo %1").arg(times.size());
        if (!anna.press(text, conversation::headerLine(anna.user, QDateTime::currentDateTime()),
                        &ms))
            std::fprintf(stderr, "solo send failed: %s\n", qPrintable(anna.lastError));
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void report(const Setup& s, int trial, const QString& plan, const racetally::Tally& t,
            QStringList* findings)
{
    for (const QString& f : t.findings)
        findings->append(
            QStringLiteral("%1 trial %2 (%3): %4").arg(s.name).arg(trial).arg(plan, f));
}

void addSend(racetally::Row& row, const SendResult& r)
{
    ++row.sends;
    row.failed += r.firstFailed;
    row.gaveUp += r.outcome == Outcome::GaveUp;
    row.longestMs = std::max(row.longestMs, r.longestMs);
}

// Rows with one message from each user per trial.
racetally::Row runPairs(const Setup& s, int trials, const Options& o, std::mt19937& random,
                        QStringList* findings)
{
    racetally::Row row;
    row.name = s.name;
    const auto server = FaultyFtpServer::start();
    QTemporaryDir localDir;
    const QString local = localDir.path();
    const auto [base, bodies] = history(s.historyBytes);
    if (s.delayMs > 0)
        server->addRule({.command = QStringLiteral("*"), .delayMs = s.delayMs});
    server->setRates(s.rateDown, s.rateUp);
    row.soloMs = soloMs(*server, base, local, o);

    for (int trial = 0; trial < trials; ++trial) {
        prepare(*server, base, local);
        const int gap = s.maxGapMs > 0 ? static_cast<int>(random() % (s.maxGapMs + 1)) : 0;
        const bool bobFirst = random() % 2;
        QString plan = QStringLiteral("gap %1 ms, %2 first")
                           .arg(gap)
                           .arg(bobFirst ? QStringLiteral("bob") : QStringLiteral("anna"));
        int stopAt = -1;
        if (s.restart) {
            stopAt = static_cast<int>(random() % (gap + row.soloMs + 1));
            plan += QStringLiteral(", server killed at %1 ms").arg(stopAt);
        }
        std::vector<int> faultRules;
        if (s.readFaults) {
            const int n = 1 + static_cast<int>(random() % 2);
            for (int k = 0; k < n; ++k) {
                const qint64 at = random() % base.size();
                FaultyFtpServer::Rule rule{
                    .command = QStringLiteral("RETR"), .name = QStringLiteral("*.ms"), .times = 1};
                const bool drop = random() % 2;
                (drop ? rule.dropAfter : rule.shortAfter) = at;
                faultRules.push_back(server->addRule(rule));
                plan += QStringLiteral(", %1 after %2 B")
                            .arg(drop ? QStringLiteral("drop") : QStringLiteral("short"))
                            .arg(at);
            }
        }

        Computer anna = computer(QStringLiteral("anna"), *server, local, o);
        Computer bob = computer(QStringLiteral("bob"), *server, local, o);
        anna.login();
        bob.login();
        const QString fromAnna = QStringLiteral("%1 trial %2 from anna").arg(s.name).arg(trial);
        const QString fromBob = QStringLiteral("%1 trial %2 from bob").arg(s.name).arg(trial);
        SendResult ra;
        SendResult rb;
        const auto start = Clock::now() + std::chrono::milliseconds(20);
        std::thread a([&] {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(bobFirst ? gap : 0));
            ra = send(anna, fromAnna, o);
        });
        std::thread b([&] {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(bobFirst ? 0 : gap));
            rb = send(bob, fromBob, o);
        });
        if (stopAt >= 0) {
            // From the thread that lives for the whole run: the server's life is tied to it.
            std::this_thread::sleep_until(start + std::chrono::milliseconds(stopAt));
            server->kill();
            server->restart();
        }
        a.join();
        b.join();
        anna.hangUp();
        bob.hangUp();
        if (s.readFaults) {
            int fired = 0;
            for (const int id : faultRules)
                fired += server->matched(id);
            plan += QStringLiteral(" (%1 fired)").arg(fired);
            // Keeps the pace and delay rules; only the read faults go.
            server->clearRules();
            if (s.delayMs > 0)
                server->addRule({.command = QStringLiteral("*"), .delayMs = s.delayMs});
        }

        ++row.trials;
        addSend(row, ra);
        addSend(row, rb);
        const racetally::Tally t =
            checkCopies(*server, bodies, {{fromAnna, ra.outcome}, {fromBob, rb.outcome}});
        row.add(t);
        report(s, trial, plan, t, findings);
        if (o.verbose)
            std::fprintf(stderr, "%s trial %d: %s; anna %lld ms, bob %lld ms\n", qPrintable(s.name),
                         trial, qPrintable(plan), static_cast<long long>(ra.longestMs),
                         static_cast<long long>(rb.longestMs));
    }
    return row;
}

// A writer process's account of its sends, one line each: "S i" when send i starts, and
// "R i <0 sent|1 gave up> <first press failed 0|1> <longest press ms>" when it ends.
void record(int fd, const QByteArray& line)
{
    // Short lines into a pipe are written whole.
    [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), line.size());
}

bool stopRequested(int fd)
{
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, 0) > 0;
}

// A user's program in a process of its own: `count` sends (texts from `text`), or sends until
// `stopFd` closes. Never returns.
[[noreturn]] void writerProcess(Computer c, const std::function<QString(int)>& text, int count,
                                int recordFd, int stopFd, const Options& o)
{
    c.login();
    for (int i = 0; i < count; ++i) {
        if (stopFd >= 0 && stopRequested(stopFd))
            break;
        record(recordFd, QByteArrayLiteral("S ") + QByteArray::number(i) + '\n');
        const SendResult r = send(c, text(i), o);
        record(recordFd, QByteArrayLiteral("R ") + QByteArray::number(i) + ' ' +
                             QByteArray::number(r.outcome == Outcome::GaveUp) + ' ' +
                             QByteArray::number(r.firstFailed) + ' ' +
                             QByteArray::number(r.longestMs) + '\n');
    }
    c.hangUp();
    ::_exit(0);
}

struct Child
{
    pid_t pid = -1;
    int records = -1; // read end
};

Child spawn(const std::function<void(int recordFd)>& body, const std::vector<int>& parentFds)
{
    int p[2];
    if (::pipe(p) != 0)
        throw std::runtime_error("pipe failed");
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(p[0]);
        for (const int fd : parentFds)
            ::close(fd);
        body(p[1]);
        ::_exit(0);
    }
    ::close(p[1]);
    if (pid < 0)
        throw std::runtime_error("fork failed");
    return {pid, p[0]};
}

struct Records
{
    QHash<int, SendResult> ended;
    int started = -1; // the highest send that started
};

Records readRecords(int fd)
{
    QByteArray all;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        all.append(chunk, n);
    ::close(fd);
    Records r;
    for (const QByteArray& line : all.split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 2 && f[0] == "S")
            r.started = std::max(r.started, f[1].toInt());
        else if (f.size() == 5 && f[0] == "R")
            r.ended.insert(f[1].toInt(), {f[2] == "1" ? Outcome::GaveUp : Outcome::Sent,
                                          f[3] == "1", f[4].toLongLong()});
    }
    return r;
}

racetally::Row runKills(const Setup& s, int trials, const Options& o, std::mt19937& random,
                        QStringList* findings)
{
    racetally::Row row;
    row.name = s.name;
    const auto server = FaultyFtpServer::start();
    QTemporaryDir localDir;
    const QString local = localDir.path();
    const auto [base, bodies] = history(s.historyBytes);
    row.soloMs = soloMs(*server, base, local, o);

    for (int trial = 0; trial < trials; ++trial) {
        prepare(*server, base, local);
        const int killAt = 100 + static_cast<int>(random() % (3 * row.soloMs + 1));
        const QString plan = QStringLiteral("anna killed at %1 ms").arg(killAt);
        const auto annaText = [&](int i) {
            return QStringLiteral("kill trial %1 anna %2").arg(trial).arg(i);
        };
        const auto bobText = [&](int i) {
            return QStringLiteral("kill trial %1 bob %2").arg(trial).arg(i);
        };
        const QString afterRestart = QStringLiteral("kill trial %1 anna after restart").arg(trial);

        int stop[2];
        if (::pipe(stop) != 0)
            throw std::runtime_error("pipe failed");
        const Child bob = spawn(
            [&](int fd) {
                ::close(stop[1]);
                writerProcess(computer(QStringLiteral("bob"), *server, local, o), bobText, 100'000,
                              fd, stop[0], o);
            },
            {});
        ::close(stop[0]);
        const auto start = Clock::now();
        const Child anna = spawn(
            [&](int fd) {
                writerProcess(computer(QStringLiteral("anna"), *server, local, o), annaText,
                              100'000, fd, -1, o);
            },
            {stop[1], bob.records});
        std::this_thread::sleep_until(start + std::chrono::milliseconds(killAt));
        ::kill(anna.pid, SIGKILL);
        ::waitpid(anna.pid, nullptr, 0);
        const Child again = spawn(
            [&](int fd) {
                writerProcess(
                    computer(QStringLiteral("anna"), *server, local, o),
                    [&](int) { return afterRestart; }, 1, fd, -1, o);
            },
            {stop[1], bob.records, anna.records});
        ::waitpid(again.pid, nullptr, 0);
        ::close(stop[1]);
        ::waitpid(bob.pid, nullptr, 0);

        QList<racetally::Message> messages;
        const auto collect = [&](const Records& r, const std::function<QString(int)>& text) {
            for (int i = 0; i <= r.started; ++i) {
                if (!r.ended.contains(i)) {
                    messages.append({text(i), Outcome::Unknown});
                    continue;
                }
                const SendResult& e = r.ended[i];
                messages.append({text(i), e.outcome});
                addSend(row, e);
            }
        };
        collect(readRecords(anna.records), annaText);
        const Records restarted = readRecords(again.records);
        collect(restarted, [&](int) { return afterRestart; });
        if (!restarted.ended.contains(0))
            findings->append(QStringLiteral("%1 trial %2: the restarted writer did not finish")
                                 .arg(s.name)
                                 .arg(trial));
        collect(readRecords(bob.records), bobText);

        ++row.trials;
        const racetally::Tally t = checkCopies(*server, bodies, messages);
        row.add(t);
        report(s, trial, plan, t, findings);
        if (o.verbose)
            std::fprintf(
                stderr, "%s trial %d: %s, %lld messages, %lld ms; after the restart %lld ms\n",
                qPrintable(s.name), trial, qPrintable(plan),
                static_cast<long long>(messages.size()), static_cast<long long>(msSince(start)),
                static_cast<long long>(restarted.ended.value(0).longestMs));
    }
    return row;
}

std::optional<Options> parse(const QStringList& args)
{
    Options o;
    o.seed = QRandomGenerator::system()->bounded(1'000'000u);
    for (qsizetype i = 1; i < args.size(); ++i) {
        const QString& a = args[i];
        const QString value = i + 1 < args.size() ? args[i + 1] : QString();
        if (a == u"--verbose") {
            o.verbose = true;
            continue;
        }
        if (value.isEmpty())
            return std::nullopt;
        ++i;
        if (a == u"--rows")
            o.rows = value.split(u',', Qt::SkipEmptyParts);
        else if (a == u"--trials")
            o.trials = value.toInt();
        else if (a == u"--seed")
            o.seed = value.toUInt();
        else if (a == u"--retry-pause-ms")
            o.retryPauseMs = value.toInt();
        else if (a == u"--retry-header" && (value == u"same" || value == u"new"))
            o.sameHeader = value == u"same";
        else
            return std::nullopt;
    }
    return o;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<Options> parsed = parse(app.arguments());
    if (!parsed) {
        std::fprintf(stderr, "usage: racebench [--rows loopback,delay30,kill,slowlink,restart,"
                             "readfaults] [--trials N] [--retry-header same|new] [--seed S] "
                             "[--retry-pause-ms 1000] [--verbose]\n");
        return 2;
    }
    const Options& o = *parsed;
    if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    QList<Setup> chosen;
    for (const Setup& s : setups())
        if (o.rows.isEmpty() || o.rows.contains(s.name))
            chosen.append(s);
    if (chosen.isEmpty()) {
        std::fprintf(stderr, "no such row: %s\n", qPrintable(o.rows.join(u',')));
        return 2;
    }
    std::printf("seed %u, retry header %s, write path %s\n\n", o.seed,
                o.sameHeader ? "same" : "new", RACEBENCH_MEMO ? "with memo" : "without memo");
    std::fflush(stdout);

    QList<racetally::Row> rows;
    QStringList findings;
    const auto started = Clock::now();
    for (qsizetype k = 0; k < chosen.size(); ++k) {
        const Setup& s = chosen[k];
        // Each row's plan follows from the seed and the row alone.
        std::mt19937 random(o.seed * 31u + static_cast<quint32>(qHash(s.name)));
        const int trials = o.trials > 0 ? o.trials : s.trials;
        const auto rowStart = Clock::now();
        try {
            rows.append(s.kill ? runKills(s, trials, o, random, &findings)
                               : runPairs(s, trials, o, random, &findings));
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(s.name), e.what());
            return 1;
        }
        std::fprintf(stderr, "%s: %d trials in %lld s\n", qPrintable(s.name), trials,
                     static_cast<long long>(msSince(rowStart) / 1000));
    }
    std::printf("%s", qPrintable(racetally::table(rows)));
    std::printf("\n%lld s in all\n", static_cast<long long>(msSince(started) / 1000));
    if (!findings.isEmpty()) {
        std::printf("\nFound (seed %u):\n", o.seed);
        for (const QString& f : findings)
            std::printf("- %s\n", qPrintable(f));
    }
    return 0;
}
