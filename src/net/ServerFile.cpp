#include "net/ServerFile.h"

#include "net/FtpClient.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <algorithm>

namespace serverfile {

namespace {

const QString kNew = QStringLiteral("}new}");
const QString kOld = QStringLiteral("}old}");

// Failures of a step that only tidies up: the write itself has succeeded or failed already.
template <typename F> bool tryQuietly(F&& step)
{
    try {
        step();
        return true;
    } catch (const FtpError&) {
        return false;
    }
}

} // namespace

QString newToken()
{
    return QString::number(QRandomGenerator::global()->generate64(), 36);
}

QString temporaryName(const QString& target, const QString& token, bool aside)
{
    return target + (aside ? kOld : kNew) + token;
}

bool isTemporary(const QString& name, QString* target, bool* aside)
{
    static const QRegularExpression pattern(QStringLiteral("^(.+)\\}(new|old)\\}[0-9a-z]{1,16}$"));
    const QRegularExpressionMatch m = pattern.match(name);
    if (!m.hasMatch())
        return false;
    if (target)
        *target = m.captured(1);
    if (aside)
        *aside = m.captured(2) == u"old";
    return true;
}

QString uploadTemporary(FtpClient& ftp, const QString& localPath, const QString& remoteName,
                        const std::function<void(qint64 done, qint64 total)>& progress)
{
    const QString fresh = temporaryName(remoteName, newToken());
    try {
        ftp.upload(localPath, fresh, progress);
        // A server that stored less than was sent (a full disk that still answers 226) must not
        // get the part renamed over the target.
        const qint64 local = QFileInfo(localPath).size();
        if (ftp.offers(QStringLiteral("SIZE"))) {
            const qint64 stored = ftp.size(fresh);
            if (stored != local)
                throw FtpError(FtpError::Kind::Incomplete,
                               QStringLiteral("The server kept %1 of the %2 bytes of %3")
                                   .arg(stored)
                                   .arg(local)
                                   .arg(remoteName));
        }
    } catch (const FtpError&) {
        dropTemporary(ftp, fresh);
        throw;
    }
    return fresh;
}

void dropTemporary(FtpClient& ftp, const QString& temporary)
{
    if (ftp.connected())
        tryQuietly([&] { ftp.deleteFile(temporary); });
}

bool commit(FtpClient& ftp, const QString& temporary, const QString& remoteName)
{
    try {
        ftp.rename(temporary, remoteName);
        return false;
    } catch (const FtpError& e) {
        // Servers that refuse to rename over an existing file: move the old one aside, put the
        // new one in, then delete the old one, putting it back when the second step fails.
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected() || ftp.size(remoteName) < 0) {
            dropTemporary(ftp, temporary);
            throw;
        }
    }
    const QString old = temporaryName(remoteName, temporary.section(u'}', -1), true);
    try {
        ftp.rename(remoteName, old);
    } catch (const FtpError&) {
        dropTemporary(ftp, temporary);
        throw;
    }
    try {
        ftp.rename(temporary, remoteName);
    } catch (const FtpError&) {
        if (ftp.connected())
            tryQuietly([&] { ftp.rename(old, remoteName); });
        dropTemporary(ftp, temporary);
        throw;
    }
    tryQuietly([&] { ftp.deleteFile(old); });
    return true;
}

Replaced replace(FtpClient& ftp, const QString& localPath, const QString& remoteName,
                 const std::optional<QStringList>& listing,
                 const std::function<void(qint64 done, qint64 total)>& progress)
{
    Replaced result;
    const QString fresh = uploadTemporary(ftp, localPath, remoteName, progress);
    result.renamedAside = commit(ftp, fresh, remoteName);

    // Tidying up after others: failures here do not undo the write.
    tryQuietly([&] {
        const QStringList names = listing ? *listing : ftp.listNames();
        if (std::none_of(names.cbegin(), names.cend(),
                         [](const QString& n) { return isTemporary(n); }))
            return;
        const QDateTime now = ftp.modificationTime(remoteName);
        if (now.isValid())
            result.leftoversRemoved = removeLeftovers(ftp, names, now);
    });
    return result;
}

int removeLeftovers(FtpClient& ftp, const QStringList& listing, const QDateTime& serverNow,
                    int maxAgeSeconds)
{
    int count = 0;
    for (const QString& name : listing) {
        QString target;
        bool aside = false;
        if (!isTemporary(name, &target, &aside))
            continue;
        // A writer killed between moving the old file aside and putting the new one in.
        if (aside && !listing.contains(target)) {
            if (tryQuietly([&] { ftp.rename(name, target); }))
                ++count;
            continue;
        }
        const QDateTime written = ftp.modificationTime(name);
        if (!written.isValid() || written.secsTo(serverNow) <= maxAgeSeconds)
            continue;
        if (tryQuietly([&] { ftp.deleteFile(name); }))
            ++count;
    }
    return count;
}

void read(FtpClient& ftp, const QString& remoteName, const QString& localPath, int attempts)
{
    for (int attempt = 1;; ++attempt) {
        try {
            ftp.download(remoteName, localPath);
            return;
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::Incomplete || attempt >= attempts)
                throw;
        }
    }
}

} // namespace serverfile
