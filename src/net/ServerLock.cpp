#include "net/ServerLock.h"

#include "net/FtpClient.h"
#include "net/ServerFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QRandomGenerator>
#include <QSysInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <csignal>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

const QString kStamp = QStringLiteral("/held");

// This computer, as a digest that says nothing about it to other users of the server.
QByteArray machineDigest()
{
    QByteArray id = QSysInfo::machineUniqueId();
    if (id.isEmpty())
        id = QSysInfo::machineHostName().toUtf8();
    return QCryptographicHash::hash(id, QCryptographicHash::Sha1).toHex().left(16);
}

// The stamp's text: the holder's computer and process.
QByteArray holderText()
{
    return machineDigest() + ' ' + QByteArray::number(::getpid()) + "\r\n";
}

// True for a stamp written on this computer by a process that no longer runs (a holder killed
// or crashed; its restarted program may go on at once).
bool holderIsGone(const QByteArray& stamp)
{
    const QList<QByteArray> parts = stamp.trimmed().split(' ');
    if (parts.size() != 2 || parts[0] != machineDigest())
        return false;
    bool ok = false;
    const qint64 pid = parts[1].toLongLong(&ok);
    if (!ok || pid <= 0 || pid == ::getpid())
        return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

} // namespace

QString ServerLock::folderName(const QString& target)
{
    return target + QStringLiteral("}lock");
}

ServerLock::ServerLock(FtpClient& ftp, const QString& target, const Limits& limits)
    : m_ftp(ftp), m_limits(limits)
{
    // Absolute, so that the holder may change folders before it releases.
    m_folder = joined(m_ftp.currentFolder(), folderName(target));
    acquire();
}

ServerLock::ServerLock(FtpClient& ftp, const QString& target) : ServerLock(ftp, target, Limits{}) {}

ServerLock::~ServerLock()
{
    release();
}

bool ServerLock::fresh() const
{
    return m_held && Clock::now() - m_since < std::chrono::milliseconds(m_limits.holdMs);
}

void ServerLock::acquire()
{
    const QString stamp = m_folder + kStamp;
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_limits.waitMs);
    QDateTime seenStamp;
    bool seenOnce = false;
    Clock::time_point unchangedSince = Clock::now();
    for (;;) {
        try {
            m_ftp.makeFolder(m_folder);
            m_held = true;
            m_since = Clock::now();
            break;
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::Reply)
                throw;
        }
        const QDateTime written = m_ftp.modificationTime(stamp);
        const auto now = Clock::now();
        bool gone = false;
        if (!seenOnce || written != seenStamp) {
            seenOnce = true;
            seenStamp = written;
            unchangedSince = now;
            gone = written.isValid() && holderIsGone(readStamp(stamp));
        }
        const bool old = written.isValid() &&
                         written.secsTo(QDateTime::currentDateTimeUtc()) > m_limits.oldStampSeconds;
        const auto watched = now - unchangedSince;
        // A holder dates its lock within a few replies of taking it.
        const bool unchanged =
            watched >= std::chrono::milliseconds(written.isValid() ? m_limits.unchangedMs
                                                                   : m_limits.undatedMs);
        if ((gone || old || unchanged) && tryBreak(m_folder)) {
            ++m_brokeStale;
            seenOnce = false;
            continue;
        }
        if (now >= deadline)
            throw FtpError(FtpError::Kind::Timeout,
                           QStringLiteral("Another client kept %1 locked").arg(m_folder));
        const int pause =
            m_limits.retryMs + static_cast<int>(QRandomGenerator::global()->bounded(
                                   static_cast<quint32>(std::max(1, m_limits.retryMs))));
        std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    }

    // Waiters take a lock that stays undated for long as abandoned, so a holder that cannot
    // date its lock gives it up.
    QTemporaryFile local;
    try {
        if (!local.open() || local.write(holderText()) <= 0 || !local.flush())
            throw FtpError(
                FtpError::Kind::Local,
                QStringLiteral("Cannot write a temporary file: %1").arg(local.errorString()));
        m_ftp.upload(local.fileName(), stamp);
    } catch (const FtpError&) {
        release();
        throw;
    }
}

QByteArray ServerLock::readStamp(const QString& stamp)
{
    QTemporaryFile local;
    if (!local.open())
        return {};
    local.close();
    try {
        m_ftp.download(stamp, local.fileName());
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply && e.kind() != FtpError::Kind::Incomplete)
            throw;
        return {}; // released meanwhile
    }
    QFile file(local.fileName());
    return file.open(QIODevice::ReadOnly) ? file.read(256) : QByteArray();
}

bool ServerLock::tryBreak(const QString& folder)
{
    // Renaming is atomic: of several waiters that judged the lock stale, one moves it away and
    // the others find it gone.
    const QString aside = folder + u'}' + serverfile::newToken();
    try {
        m_ftp.rename(folder, aside);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
        return false;
    }
    try {
        m_ftp.deleteFile(aside + kStamp);
    } catch (const FtpError&) {
        // A lock without a stamp has none to delete.
    }
    try {
        m_ftp.removeFolder(aside);
    } catch (const FtpError&) {
        // Left behind under a name no client takes for a lock.
    }
    return true;
}

void ServerLock::release()
{
    if (!m_held)
        return;
    m_held = false;
    if (!m_ftp.connected())
        return; // the lock goes stale and the next writer breaks it
    try {
        m_ftp.deleteFile(m_folder + kStamp);
    } catch (const FtpError&) {
        // The stamp may never have been written.
    }
    try {
        m_ftp.removeFolder(m_folder);
    } catch (const FtpError&) {
        // Nothing more to do here: the lock goes stale and the next writer breaks it.
    }
}
