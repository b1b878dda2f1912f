// One client's poll cycle against the demo server: wall time per cycle and bytes moved, for a
// tree prepared by run.sh. Prints one line per cycle kind.
//   pollbench <server host:port> <users> <conversation bytes> <work folder>
#include "core/UserDirectory.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>

namespace {

struct NullSink : poll::Sink
{
    void playSound() override { ++sounds; }
    void refreshOpenChat(const QStringList&) override {}
    void announce(const poll::Announcement&) override {}
    int sounds = 0;
};

qint64 folderBytes(const QString& folder)
{
    qint64 total = 0;
    for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files))
        total += f.size();
    return total;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: pollbench host:port users bytes workdir\n");
        return 2;
    }
    const QString server = QString::fromLocal8Bit(argv[1]);
    const int users = QString::fromLocal8Bit(argv[2]).toInt();
    const qint64 size = QString::fromLocal8Bit(argv[3]).toLongLong();
    const QString work = QString::fromLocal8Bit(argv[4]) + u'/';
    QDir().mkpath(work + QStringLiteral("temp"));

    ServerSession::Config config;
    config.settingsServer = server;
    config.tempDataDir = work + QStringLiteral("temp/");
    ServerSession session(config);
    session.setStatus(QString::fromUtf16(ServerSession::kConnected));
    if (session.bootstrapTick() != ServerSession::Bootstrap::Fetched) {
        std::fprintf(stderr, "no settings from %s\n", qPrintable(server));
        return 1;
    }
    UserDirectory directory;
    directory.firstFill(QStringList(), QStringLiteral("Me"));
    poll::Context ctx{session,
                      directory,
                      QStringLiteral("Me"),
                      config.tempDataDir,
                      work + QStringLiteral("seen/"),
                      work + QStringLiteral("fetched/"),
                      work + QStringLiteral("Network/"),
                      false,
                      [](int) {}};
    for (const char* kind : {"first (all new)", "steady (no change)"}) {
        NullSink sink;
        QElapsedTimer timer;
        timer.start();
        const poll::Result r = poll::run(ctx, sink);
        const double seconds = timer.nsecsElapsed() / 1e9;
        const qint64 bytes = folderBytes(ctx.fetchedFolder) +
                             QFileInfo(config.tempDataDir + QStringLiteral("lnplk.xo")).size();
        std::printf("poll %5d correspondents x %8lld B, %-19s %7.3f s/cycle, %11lld B moved, "
                    "%d changed%s\n",
                    users, static_cast<long long>(size), kind, seconds,
                    static_cast<long long>(bytes), r.changed,
                    r.outcome == poll::Outcome::Done ? "" : " (cycle did not finish)");
    }
    return 0;
}
