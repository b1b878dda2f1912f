#include "net/ServerLock.h"

#include "net/FtpClient.h"
#include "net/ServerFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <thread>
#include <unistd.h>

namespace {

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

// Random per boot, so two computers (cloned ones with one machine id included) never share it.
QString bootDigest()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    QByteArray id;
    if (file.open(QIODevice::ReadOnly))
        id = file.readAll().trimmed();
    if (id.isEmpty())
        return QStringLiteral("0");
    return QString::fromLatin1(
        QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex().left(8));
}

// The start time of a process in clock ticks since boot, or 0 when it does not run: a pid taken
// again by a later process has another start time.
qint64 startTimeOf(qint64 pid)
{
    QFile file(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray stat = file.readAll();
    // The command name in parentheses may hold blanks; the fields after it do not.
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    // Field 22 of the whole line is the 20th after the name.
    return fields.size() > 19 ? fields.at(19).toLongLong() : 0;
}

void pause(int ms)
{
    const int jitter = static_cast<int>(
        QRandomGenerator::global()->bounded(static_cast<quint32>(std::max(1, ms))));
    std::this_thread::sleep_for(std::chrono::milliseconds(ms + jitter));
}

} // namespace

QString ServerLock::folderName(const QString& target)
{
    return target + QStringLiteral("}lock");
}

bool ServerLock::parseMark(const QString& name, Mark* mark)
{
    static const QRegularExpression pattern(
        QStringLiteral("^([0-9a-z]{1,32})-([0-9a-f]{1,16})-(\\d{1,10})-(\\d{1,20})\\.(\\d{1,9})$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
        return false;
    if (mark) {
        mark->owner = m.captured(1);
        mark->boot = m.captured(2);
        mark->pid = m.captured(3).toLongLong();
        mark->start = m.captured(4).toLongLong();
        mark->count = m.captured(5).toInt();
    }
    return true;
}

QString ServerLock::markName(const Mark& mark)
{
    return QStringLiteral("%1-%2-%3-%4.%5")
        .arg(mark.owner, mark.boot)
        .arg(mark.pid)
        .arg(mark.start)
        .arg(mark.count);
}

ServerLock::Mark ServerLock::ownMark(const QString& owner)
{
    Mark mark;
    mark.owner = owner;
    mark.boot = bootDigest();
    mark.pid = ::getpid();
    mark.start = startTimeOf(mark.pid);
    return mark;
}

bool ServerLock::holderIsGone(const Mark& mark)
{
    if (mark.boot != bootDigest() || mark.pid <= 0 || mark.start <= 0)
        return false;
    return startTimeOf(mark.pid) != mark.start;
}

ServerLock::ServerLock(FtpClient& ftp, const QString& target, const Limits& limits)
    : m_ftp(ftp), m_limits(limits), m_mark(ownMark(ftp.ownerToken()))
{
    // Absolute, so that the holder may change folders before it releases.
    m_parent = m_ftp.currentFolder();
    m_folder = joined(m_parent, folderName(target));
    acquire();
}

ServerLock::ServerLock(FtpClient& ftp, const QString& target) : ServerLock(ftp, target, Limits{}) {}

ServerLock::~ServerLock()
{
    release();
}

void ServerLock::acquire()
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_limits.waitMs);
    QStringList watched;
    bool watching = false;
    Clock::time_point unchangedSince = Clock::now();
    for (;;) {
        const Clock::time_point sent = Clock::now();
        try {
            m_ftp.makeFolder(m_folder);
            m_held = true;
            m_proof = sent;
            break;
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::Reply)
                throw;
        }
        bool missing = false;
        const QStringList marks = marksOf(m_folder, &missing);
        if (missing) {
            watching = false;
            continue; // released in between
        }
        const auto now = Clock::now();
        bool own = false;
        bool gone = false;
        for (const QString& name : marks) {
            Mark mark;
            if (!parseMark(name, &mark))
                continue;
            own = own || mark.owner == m_mark.owner;
            gone = gone || holderIsGone(mark);
        }
        if (!watching || marks != watched) {
            watching = true;
            watched = marks;
            unchangedSince = now;
        }
        const int limit = marks.isEmpty() ? m_limits.undatedMs : m_limits.unchangedMs;
        const bool unchanged = now - unchangedSince >= std::chrono::milliseconds(limit);
        if ((own || gone || unchanged) && tryBreak()) {
            ++m_brokeStale;
            m_tookBackOwn = m_tookBackOwn || own;
            watching = false;
            continue;
        }
        if (now >= deadline)
            throw FtpError(FtpError::Kind::Timeout,
                           QStringLiteral("Another client kept %1 locked").arg(m_folder));
        pause(m_limits.retryMs);
    }

    // Waiters take a lock without a mark for abandoned after a while, so a holder that cannot
    // mark its lock gives it up.
    try {
        m_ftp.makeFolder(joined(m_folder, markName(m_mark)));
    } catch (const FtpError&) {
        release();
        throw;
    }
}

QStringList ServerLock::marksOf(const QString& folder, bool* missing)
{
    *missing = false;
    QStringList names;
    try {
        m_ftp.changeFolder(folder);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
        *missing = true;
        return names;
    }
    try {
        for (const QString& n : m_ftp.listNames()) {
            const QString name = n.section(u'/', -1);
            if (name != u"." && name != u"..")
                names.append(name);
        }
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
    }
    m_ftp.changeFolder(m_parent);
    names.sort();
    return names;
}

bool ServerLock::tryBreak()
{
    // Renaming is atomic: of several waiters that judged the lock abandoned, one moves it away
    // and the others find it gone.
    const QString aside = m_folder + u'}' + serverfile::newToken();
    try {
        m_ftp.rename(m_folder, aside);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
        return false;
    }
    bool missing = false;
    for (const QString& name : marksOf(aside, &missing)) {
        const QString path = joined(aside, name);
        try {
            m_ftp.removeFolder(path);
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::Reply)
                throw;
            try {
                m_ftp.deleteFile(path); // an earlier version's "held"
            } catch (const FtpError& f) {
                if (f.kind() != FtpError::Kind::Reply)
                    throw;
            }
        }
    }
    try {
        m_ftp.removeFolder(aside);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
        // Left behind under a name no client takes for a lock.
    }
    return true;
}

void ServerLock::confirm()
{
    if (!m_held)
        throw FtpError(FtpError::Kind::Usage,
                       QStringLiteral("The lock %1 is no longer held").arg(m_folder));
    if (Clock::now() - m_proof >= std::chrono::milliseconds(m_limits.renewMs)) {
        Mark next = m_mark;
        ++next.count;
        const Clock::time_point sent = Clock::now();
        try {
            m_ftp.rename(joined(m_folder, markName(m_mark)), joined(m_folder, markName(next)));
        } catch (const FtpError& e) {
            // Broken by a waiter: it is someone else's now, and must not be released by us.
            if (e.kind() == FtpError::Kind::Reply)
                m_held = false;
            throw;
        }
        m_mark = next;
        m_proof = sent;
    }
    if (Clock::now() - m_proof >= std::chrono::milliseconds(m_limits.proofMs))
        throw FtpError(
            FtpError::Kind::Timeout,
            QStringLiteral("The server answered too slowly to write %1 safely").arg(m_folder));
}

void ServerLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (!m_ftp.connected())
        return; // our own mark: this client takes it back at its next write
    try {
        m_ftp.removeFolder(joined(m_folder, markName(m_mark)));
    } catch (const FtpError&) {
        // Never marked, or taken over: the lock folder may be another holder's now.
        return;
    }
    try {
        m_ftp.removeFolder(m_folder);
    } catch (const FtpError&) {
        // Waiters break it once it stays unchanged.
    }
}
