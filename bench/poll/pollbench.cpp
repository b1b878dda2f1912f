// One client's poll cycle against a real server (pyftpdlib or vsftpd) that it starts itself:
// the floor (one login and one listing of the folder), a first cycle (everything new), steady
// cycles with nothing changed, and a steady cycle after a peer rewrote one conversation. Prints
// one table row.
//   pollbench <pyftpdlib|vsftpd> <users> <conversation bytes>
#include "core/UserDirectory.h"
#include "net/FtpClient.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"
#include "poll/ServerTree.h"
#include "support/FtpServerFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

struct NullSink : poll::Sink
{
    void playSound() override {}
    void refreshOpenChat(const QStringList&) override {}
    void announce(const poll::Announcement&) override {}
};

// Files in these folders whose inode or time changed since the last snapshot came down anew.
class Downloads
{
public:
    explicit Downloads(QStringList folders) : m_folders(std::move(folders)) { take(); }
    qint64 take()
    {
        qint64 fresh = 0;
        QHash<QString, QPair<qint64, qint64>> now;
        for (const QString& folder : m_folders) {
            for (const QString& name : QDir(folder).entryList(QDir::Files)) {
                struct stat st
                {
                };
                const QString path = folder + name;
                if (::stat(QFile::encodeName(path).constData(), &st) != 0)
                    continue;
                const QPair<qint64, qint64> id(static_cast<qint64>(st.st_ino),
                                               st.st_mtim.tv_sec * 1000000000LL +
                                                   st.st_mtim.tv_nsec);
                if (m_last.value(path) != id)
                    fresh += st.st_size;
                now.insert(path, id);
            }
        }
        m_last = now;
        return fresh;
    }

private:
    QStringList m_folders;
    QHash<QString, QPair<qint64, qint64>> m_last;
};

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

// The resident peak since the last reset (VmHWM), or since the start where it cannot be reset.
static long peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("VmHWM:"))
                return line.mid(6).trimmed().split(' ').value(0).toLong();
        }
    }
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: pollbench pyftpdlib|vsftpd users bytes\n");
        return 2;
    }
    const QString kindName = QString::fromLocal8Bit(argv[1]);
    const FtpServerKind kind =
        kindName == u"vsftpd" ? FtpServerKind::Vsftpd : FtpServerKind::Pyftpdlib;
    const int users = QString::fromLocal8Bit(argv[2]).toInt();
    const qint64 size = QString::fromLocal8Bit(argv[3]).toLongLong();
    if (const QString why = FtpServerFixture::unavailable(kind); !why.isEmpty()) {
        std::printf("| %-9s | %5d | %8lld | unavailable: %s |\n", qPrintable(kindName), users,
                    static_cast<long long>(size), qPrintable(why));
        return 0;
    }
    const auto server = FtpServerFixture::start(kind);
    server->write(QStringLiteral("fcom.xo"),
                  "0\r\n1\r\n2\r\n3\r\n4\r\n" + server->address().toUtf8() + "\r\n" +
                      server->user().toUtf8() + "\r\n" + server->password().toUtf8() + "\r\n/\r\n");
    using benchtree::peerName;
    QByteArray lineup = benchtree::lineupLine(QStringLiteral("Me"));
    for (int i = 0; i < users; ++i)
        lineup += benchtree::lineupLine(peerName(i));
    server->write(QStringLiteral("netwrk/users/lineup.xo"), lineup);
    // An hour-old history: what a steady cycle meets, and older than any recent-time rule.
    const auto age = [&](const QString& relative) { benchtree::makeOld(server->path(relative)); };
    age(QStringLiteral("netwrk/users/lineup.xo"));
    // A conversation of `size` bytes, below `top` when given.
    const auto writeConversation = [&](int peer, const QByteArray& top) {
        const QString relative = QStringLiteral("netwrk/users/Me/%1.ms").arg(peerName(peer));
        server->write(relative, top);
        QFile file(server->path(relative));
        if (!file.open(QIODevice::Append))
            std::exit(1);
        benchtree::appendConversation(file, peerName(peer), size);
        return relative;
    };
    for (int i = 0; i < users; ++i)
        age(writeConversation(i, {}));

    QTemporaryDir work;
    const QString w = work.path() + u'/';
    QDir().mkpath(w + QStringLiteral("temp"));
    int logins = 0;
    ServerSession::Config config;
    config.settingsServer = server->address();
    config.settingsUser = server->user();
    config.settingsPassword = server->password();
    config.tempDataDir = w + QStringLiteral("temp/");
    config.onConnected = [&logins] { ++logins; };
    ServerSession session(config);
    session.setStatus(QString::fromUtf16(ServerSession::kConnected));
    if (session.bootstrapTick() != ServerSession::Bootstrap::Fetched) {
        std::fprintf(stderr, "no settings from %s\n", qPrintable(server->address()));
        return 1;
    }

    // From here on the peak is the client's: writing the server's tree above is not (its freed
    // memory goes back to the system first, or it would stay counted as resident).
    ::malloc_trim(0);
    if (QFile clear(QStringLiteral("/proc/self/clear_refs")); clear.open(QIODevice::WriteOnly))
        clear.write("5");

    // The floor: what any client pays to learn that nothing changed.
    std::vector<double> floors;
    qint64 listingBytes = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer t;
        t.start();
        FtpClient ftp(session.IdFTP1().settings());
        ftp.settings().onConnected = {};
        ftp.connect();
        ftp.changeFolder(session.usersFolder() + QStringLiteral("Me"));
        const QStringList listing = ftp.listDetails();
        floors.push_back(t.nsecsElapsed() / 1e6);
        ftp.disconnect();
        if (listing.size() < users)
            return 1;
        listingBytes = 0;
        for (const QString& line : listing)
            listingBytes += line.toUtf8().size() + 2;
    }

    poll::Memory memory;
    UserDirectory directory;
    directory.firstFill(QStringList(), QStringLiteral("Me"));
    poll::Context ctx{session,
                      directory,
                      QStringLiteral("Me"),
                      config.tempDataDir,
                      w + QStringLiteral("seen/"),
                      w + QStringLiteral("fetched/"),
                      w + QStringLiteral("Network/"),
                      false,
                      [](int) {},
                      &memory};
    Downloads downloads({ctx.fetchedFolder, config.tempDataDir});
    bool finished = true;
    const auto cycle = [&](double& ms, qint64& bytes, int& cycleLogins, int& changed) {
        NullSink sink;
        logins = 0;
        QElapsedTimer t;
        t.start();
        const poll::Result r = poll::run(ctx, sink);
        ms = t.nsecsElapsed() / 1e6;
        bytes = downloads.take();
        cycleLogins = logins;
        changed = r.changed;
        finished = finished && r.outcome == poll::Outcome::Done;
    };
    double firstMs = 0;
    qint64 firstBytes = 0;
    int firstLogins = 0;
    int firstChanged = 0;
    cycle(firstMs, firstBytes, firstLogins, firstChanged);

    std::vector<double> steady;
    qint64 steadyBytes = 0;
    int steadyLogins = 0;
    int steadyChanged = 0;
    const int steadyCycles = qEnvironmentVariableIntValue("LARKSPIRE_BENCH_STEADY");
    for (int i = 0; i < std::max(3, steadyCycles); ++i) {
        double ms = 0;
        cycle(ms, steadyBytes, steadyLogins, steadyChanged);
        steady.push_back(ms);
    }

    // A peer writes one new entry on top of one conversation (written here without reading the
    // old one into this process, whose peak is the client's).
    writeConversation(users / 2, benchtree::entry(peerName(users / 2), -1));
    double changeMs = 0;
    qint64 changeBytes = 0;
    int changeLogins = 0;
    int changeChanged = 0;
    cycle(changeMs, changeBytes, changeLogins, changeChanged);

    const double peakMiB = peakResidentKiB() / 1024.0;
    std::printf(
        "| %-9s | %5d | %8lld | %7.1f | %7lld | %8.1f | %8.1f | %8.1f | %11lld | %11lld | %11lld "
        "| %d / %d / %d | %d / %d / %d | %6.1f |%s\n",
        qPrintable(kindName), users, static_cast<long long>(size), median(floors),
        static_cast<long long>(listingBytes), firstMs, median(steady), changeMs,
        static_cast<long long>(firstBytes), static_cast<long long>(steadyBytes),
        static_cast<long long>(changeBytes), firstLogins, steadyLogins, changeLogins, firstChanged,
        steadyChanged, changeChanged, peakMiB, finished ? "" : " a cycle did not finish");
    return 0;
}
