// Two writers, one conversation: clients "anna" and "bob", each with its own connection, send
// one message each into their shared conversation, the second starting `gap` ms after the
// first. After each trial both server copies are checked:
//   lost        a message missing from a copy (counted per message and copy)
//   duplicated  a message found more than once in a copy
//   cut         a copy that lost part of the history it had before the trial
//   failed      a send that reported a failure (not lost: its sender was told)
// Trials run at gaps 0, 5, 10, ... ms (100 trials: 0 to 495 ms) against a pyftpdlib server on
// loopback, optionally holding every reply back (--delay-ms). Not a timed test: it reports
// counts.
//
// Writers (--writer): "send" is the program's send as built (messaging::sendMessage);
// "unguarded" is the send as it was before the lock and the atomic writes (read the own copy,
// put the message on top, upload both copies), kept here to measure the difference; "locked"
// calls conversationwrite::write directly.
//
// With --kills N the writer is instead killed N times at a random moment of a run of sends
// into a 1 MB conversation; after each kill both copies are checked (damaged: history cut, or
// no whole entry on top), and the writer, started again, sends once more (its send must
// succeed and leave whole copies).
//
//   racebench [--trials 100] [--delay-ms 0,30] [--size 2048,1048576] [--writer send]
//   racebench --kills 20 [--writer send]
#include "core/Conversation.h"
#include "core/StringList.h"
#include "net/ConversationWrite.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "net/StoreLayout.h"
#include "support/FtpServerFixture.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <QRandomGenerator>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Counts
{
    int trials = 0;
    int failed = 0;
    int lost = 0;
    int duplicated = 0;
    int cut = 0;
};

// A conversation of about `size` bytes, entries newest first, in the stored form.
QByteArray history(qsizetype size)
{
    QStringList lines;
    for (int k = 0; conversation::encode(lines).size() < size; ++k) {
        const QString who = k % 2 ? QStringLiteral("anna") : QStringLiteral("bob");
        conversation::insertMessage(
            lines, who + QStringLiteral("     01.02.2026     10:00:00 :"),
            QStringLiteral("history entry %1, some words to give it a usual length").arg(k));
    }
    return conversation::encode(lines);
}

struct Writer
{
    QString name;
    QString peer;
    QString seenFolder;
    std::unique_ptr<FtpClient> ftp;
};

std::unique_ptr<FtpClient> connectTo(const FtpServerFixture& server)
{
    FtpSettings s;
    s.host = server.address();
    s.user = server.user();
    s.password = server.password();
    auto ftp = std::make_unique<FtpClient>(s);
    ftp->connect();
    ftp->changeFolder(QStringLiteral("/netwrk/users"));
    return ftp;
}

enum class WriterKind
{
    Send,
    Unguarded,
    Locked
};

// The send before the lock: the newest own copy, the message on top, both copies uploaded.
void sendUnguarded(FtpClient& ftp, const Writer& w, const QString& message)
{
    const QString name = store::conversationFile(w.peer);
    const QString seen = w.seenFolder + name;
    ftp.changeFolder(store::userFolder(QStringLiteral("/"), w.name));
    ftp.download(name, seen);
    QStringList chat = stringlist::load(seen).value_or(QStringList());
    conversation::dropFileLine(chat);
    conversation::insertMessage(
        chat, conversation::headerLine(w.name, QDateTime::currentDateTime()), message);
    messaging::saveConversation(seen, chat);
    ftp.upload(seen, name);
    ftp.folderUp();
    ftp.changeFolder(w.peer);
    ftp.upload(seen, store::conversationFile(w.name));
}

// One send; true when it reported success.
bool send(WriterKind kind, Writer& w, const FtpServerFixture& server, const QString& message)
{
    try {
        if (!w.ftp || !w.ftp->connected())
            w.ftp = connectTo(server);
        const messaging::Place place{QStringLiteral("/"), w.name, w.seenFolder};
        switch (kind) {
        case WriterKind::Send: {
            QStringList listing{store::conversationFile(w.peer)};
            QStringList chat;
            QString failure;
            const messaging::Sent sent = messaging::sendMessage(
                *w.ftp, place, listing, chat, w.peer, w.peer, message,
                conversation::headerLine(w.name, QDateTime::currentDateTime()), &failure,
                [](int) {});
            if (!failure.isEmpty())
                std::fprintf(stderr, "  %s: %s\n", qPrintable(w.name), qPrintable(failure));
            return sent == messaging::Sent::Sent;
        }
        case WriterKind::Unguarded:
            sendUnguarded(*w.ftp, w, message);
            return true;
        case WriterKind::Locked: {
            conversationwrite::Request r;
            r.serverRoot = QStringLiteral("/");
            r.sender = w.name;
            r.recipient = w.peer;
            r.seenPath = w.seenFolder + store::conversationFile(w.peer);
            const QString header = conversation::headerLine(w.name, QDateTime::currentDateTime());
            r.putOnTop = [&](QStringList& lines, bool) {
                conversation::insertMessage(lines, header, message);
            };
            conversationwrite::write(*w.ftp, r);
            return true;
        }
        }
        return false;
    } catch (const Error& e) {
        std::fprintf(stderr, "  %s: %s\n", qPrintable(w.name), qPrintable(e.message()));
        if (w.ftp)
            w.ftp->disconnect();
        return false;
    }
}

Counts runConfiguration(WriterKind kind, int trials, int delayMs, qsizetype size)
{
    FtpServerFixture::Options options;
    options.replyDelayMs = delayMs;
    const auto server = FtpServerFixture::start(FtpServerKind::Pyftpdlib, options);
    const QByteArray base = history(size);
    QTemporaryDir local;
    Writer anna{
        QStringLiteral("anna"), QStringLiteral("bob"), local.path() + QStringLiteral("/anna/"), {}};
    Writer bob{
        QStringLiteral("bob"), QStringLiteral("anna"), local.path() + QStringLiteral("/bob/"), {}};
    QDir().mkpath(anna.seenFolder);
    QDir().mkpath(bob.seenFolder);
    const QString annaCopy = QStringLiteral("netwrk/users/anna/bob.ms");
    const QString bobCopy = QStringLiteral("netwrk/users/bob/anna.ms");

    Counts c;
    for (int trial = 0; trial < trials; ++trial) {
        // Every trial starts from the same history and a folder without left-overs.
        for (const QString& user : {QStringLiteral("anna"), QStringLiteral("bob")}) {
            QDir folder(server->makeFolder(QStringLiteral("netwrk/users/") + user));
            for (const QString& n : folder.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
                if (n.contains(u'}'))
                    QFileInfo(folder.filePath(n)).isDir()
                        ? (void)QDir(folder.filePath(n)).removeRecursively()
                        : (void)folder.remove(n);
        }
        server->write(annaCopy, base);
        server->write(bobCopy, base);
        // Both users have seen the history.
        for (const Writer* w : {&anna, &bob}) {
            QFile seen(w->seenFolder + store::conversationFile(w->peer));
            if (seen.open(QIODevice::WriteOnly | QIODevice::Truncate))
                seen.write(base);
        }

        const int gapMs = trials > 1 ? trial * 500 / trials : 0;
        const QString fromAnna = QStringLiteral("anna's message in trial %1").arg(trial);
        const QString fromBob = QStringLiteral("bob's message in trial %1").arg(trial);
        bool annaSent = false;
        bool bobSent = false;
        const auto start = Clock::now() + std::chrono::milliseconds(20);
        std::thread a([&] {
            std::this_thread::sleep_until(start);
            annaSent = send(kind, anna, *server, fromAnna);
        });
        std::thread b([&] {
            std::this_thread::sleep_until(start + std::chrono::milliseconds(gapMs));
            bobSent = send(kind, bob, *server, fromBob);
        });
        a.join();
        b.join();

        ++c.trials;
        c.failed += !annaSent + !bobSent;
        for (const QString& copy : {annaCopy, bobCopy}) {
            const QByteArray text = server->read(copy);
            for (const auto& [message, sent] :
                 {std::pair{fromAnna, annaSent}, {fromBob, bobSent}}) {
                const qsizetype n = text.count(message.toLatin1());
                if (sent && n == 0)
                    ++c.lost;
                if (n > 1)
                    ++c.duplicated;
            }
            if (!text.endsWith(base))
                ++c.cut;
        }
    }
    return c;
}

struct KillCounts
{
    int kills = 0;
    int damaged = 0;        // copies found damaged right after a kill
    int restartsFailed = 0; // sends after a restart that reported a failure
    int restartsDamaged = 0;
    qint64 longestRestartMs = 0;
    int slowRestarts = 0; // sends after a restart that waited for a lock (over 5 s)
};

KillCounts runKills(WriterKind kind, int kills, qsizetype size)
{
    const auto server = FtpServerFixture::start(FtpServerKind::Pyftpdlib);
    const QByteArray base = history(size);
    QTemporaryDir local;
    const QString seenFolder = local.path() + QStringLiteral("/anna/");
    QDir().mkpath(seenFolder);
    server->makeFolder(QStringLiteral("netwrk/users/bob"));
    const QString annaCopy = QStringLiteral("netwrk/users/anna/bob.ms");
    const QString bobCopy = QStringLiteral("netwrk/users/bob/anna.ms");
    server->write(annaCopy, base);
    server->write(bobCopy, base);
    QFile seen(seenFolder + QStringLiteral("bob.ms"));
    if (seen.open(QIODevice::WriteOnly))
        seen.write(base);
    seen.close();

    const auto whole = [&](const QByteArray& text) {
        return text.endsWith(base) && (text == base || text.startsWith("anna     "));
    };
    KillCounts c;
    for (int k = 0; k < kills; ++k) {
        const pid_t child = ::fork();
        if (child == 0) {
            Writer w{QStringLiteral("anna"), QStringLiteral("bob"), seenFolder, {}};
            for (int i = 0; i < 1000; ++i)
                send(kind, w, *server, QStringLiteral("run %1 message %2").arg(k).arg(i));
            ::_exit(0);
        }
        std::this_thread::sleep_for(
            std::chrono::milliseconds(20 + QRandomGenerator::global()->bounded(1500)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ++c.kills;
        for (const QString& copy : {annaCopy, bobCopy})
            c.damaged += !whole(server->read(copy));

        Writer restarted{QStringLiteral("anna"), QStringLiteral("bob"), seenFolder, {}};
        const QString after = QStringLiteral("sent after kill %1").arg(k);
        const auto start = Clock::now();
        const bool sent = send(kind, restarted, *server, after);
        const qint64 took =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        c.longestRestartMs = std::max(c.longestRestartMs, took);
        c.slowRestarts += took > 5000;
        c.restartsFailed += !sent;
        for (const QString& copy : {annaCopy, bobCopy}) {
            const QByteArray text = server->read(copy);
            c.restartsDamaged += !whole(text) || text.count(after.toLatin1()) != 1;
        }
    }
    return c;
}

QList<int> numbers(const QString& text)
{
    QList<int> list;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts))
        list.append(part.toInt());
    return list;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    int trials = 100;
    QList<int> delays{0, 30};
    QList<int> sizes{2048, 1024 * 1024};
    WriterKind kind = WriterKind::Send;
    int kills = 0;
    const QStringList args = app.arguments();
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args[i] == u"--trials")
            trials = args[i + 1].toInt();
        else if (args[i] == u"--delay-ms")
            delays = numbers(args[i + 1]);
        else if (args[i] == u"--size")
            sizes = numbers(args[i + 1]);
        else if (args[i] == u"--kills")
            kills = args[i + 1].toInt();
        else if (args[i] == u"--writer")
            kind = args[i + 1] == u"unguarded" ? WriterKind::Unguarded
                   : args[i + 1] == u"locked"  ? WriterKind::Locked
                                               : WriterKind::Send;
    }
    if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Pyftpdlib);
        !why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return 1;
    }
    if (kills > 0) {
        const KillCounts c = runKills(kind, kills, 1024 * 1024);
        std::printf("kills %d: copies damaged after a kill %d; after a restart: sends failed %d, "
                    "copies damaged %d; over 5 s %d, longest %lld ms\n",
                    c.kills, c.damaged, c.restartsFailed, c.restartsDamaged, c.slowRestarts,
                    static_cast<long long>(c.longestRestartMs));
        return 0;
    }
    std::printf("%-10s %-9s %7s %7s %6s %11s %5s\n", "replies", "history", "trials", "failed",
                "lost", "duplicated", "cut");
    for (const int delay : delays) {
        for (const int size : sizes) {
            const Counts c = runConfiguration(kind, trials, delay, size);
            std::printf("%-10s %-9s %7d %7d %6d %11d %5d\n",
                        qPrintable(delay ? QStringLiteral("+%1 ms").arg(delay)
                                         : QStringLiteral("loopback")),
                        qPrintable(size >= 1024 * 1024
                                       ? QStringLiteral("%1 MB").arg(size / (1024 * 1024))
                                       : QStringLiteral("%1 KB").arg(size / 1024)),
                        c.trials, c.failed, c.lost, c.duplicated, c.cut);
            std::fflush(stdout);
        }
    }
    return 0;
}
