#include "update/Run.h"

#include "core/Folders.h"
#include "update/Installer.h"
#include "update/Payload.h"
#include "update/Signature.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <csignal>
#include <unistd.h>

namespace updater {

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool alive(qint64 pid)
{
    if (::kill(pid_t(pid), 0) != 0)
        return false;
    // A child that ended but was not collected yet still answers the signal test.
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const qsizetype close = stat.lastIndexOf(')');
    return close < 0 || stat.mid(close + 2, 1) != "Z";
}

} // namespace

int runningCopies(const QString& name)
{
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    int count = 0;
    for (const QString& entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || pid == ::getpid())
            continue;
        if (QFileInfo(QStringLiteral("/proc/") + entry).ownerId() != ::getuid())
            continue;
        QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).symLinkTarget();
        if (exe.endsWith(QStringLiteral(" (deleted)")))
            exe.chop(10);
        if (!exe.isEmpty() && QFileInfo(exe).fileName().compare(name, Qt::CaseInsensitive) == 0)
            ++count;
    }
    return count;
}

bool startAndWatch(const QString& program, int confirmMs)
{
    qint64 pid = 0;
    if (!QProcess::startDetached(program, {}, QFileInfo(program).absolutePath(), &pid))
        return false;
    QDeadlineTimer deadline(confirmMs);
    while (!deadline.hasExpired()) {
        if (!alive(pid))
            return false;
        QThread::msleep(50);
    }
    return alive(pid);
}

int run(const RunOptions& options, const std::function<void(const QString&)>& log)
{
    const QString installDir = folderOf(options.selfPath);
    const QString program = installDir + options.programName;
    const QByteArray self = readAll(options.selfPath);
    const QByteArray signature = readAll(options.selfPath + QStringLiteral(".sig"));
    if (!signing::verify(self, signature, options.publicKey)) {
        log(QStringLiteral("refused: %1 is not signed by the release key").arg(options.selfPath));
        startAndWatch(program, 0);
        return 2;
    }

    QDeadlineTimer deadline(options.waitForEndMs);
    while (runningCopies(options.programName) > 0) {
        if (deadline.hasExpired()) {
            log(QStringLiteral("not installed: %1 still runs").arg(options.programName));
            return 3;
        }
        QThread::msleep(100);
    }

    const QByteArray archive = payload::extract(self);
    if (archive.isEmpty()) {
        log(QStringLiteral("refused: the updater carries no program"));
        startAndWatch(program, 0);
        return 2;
    }
    Job job;
    job.installDir = installDir;
    job.archive = archive;
    job.programName = options.programName;
    job.start = [&](const QString& p) { return startAndWatch(p, options.confirmStartMs); };
    switch (install(job, log)) {
    case Result::Installed:
        return 0;
    case Result::RolledBack:
        return 1;
    case Result::Failed:
        break;
    }
    return 2;
}

} // namespace updater
