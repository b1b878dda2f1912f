#include "net/DirectoryFetch.h"

#include "core/Limits.h"

#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/LocalCopy.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QThread>

namespace directory {

namespace {

constexpr int kInUseWaitMs = 3000;

// Whether the current folder lists the directory file; some servers send paths with the names.
bool listed(FtpClient& ftp)
{
    for (const QString& entry : ftp.listNames()) {
        if (entry.section(u'/', -1) == store::kDirectoryFile)
            return true;
    }
    return false;
}

// A refusal that names the file as users know it; `size` -1 when the server did not tell it.
FtpError tooLarge(qint64 size)
{
    const QString text =
        size >= 0 ? QStringLiteral("The user directory on the server (%1) is %2 bytes, more than "
                                   "the %3 this program reads.")
                        .arg(store::kDirectoryFile)
                        .arg(size)
                        .arg(limits::kMaxDirectoryBytes)
                  : QStringLiteral("The user directory on the server (%1) is more than the %2 "
                                   "bytes this program reads.")
                        .arg(store::kDirectoryFile)
                        .arg(limits::kMaxDirectoryBytes);
    return FtpError(FtpError::Kind::TooLarge, text);
}

} // namespace

void sleepWait(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

std::optional<QStringList> fetch(FtpClient& ftp, const QString& workingCopy, const Wait& wait,
                                 OnFailure onFailure)
{
    if (onFailure == OnFailure::Throw && helpers::fileInUse(workingCopy))
        wait(kInUseWaitMs);
    if (helpers::fileInUse(workingCopy))
        return std::nullopt;
    try {
        // A directory that will not be read is not downloaded either: its size is asked first
        // where the server tells it, and a transfer that outgrows the limit is stopped.
        const qint64 size =
            ftp.offers(QStringLiteral("SIZE")) ? ftp.size(store::kDirectoryFile) : -1;
        if (size > limits::kMaxDirectoryBytes)
            throw tooLarge(size);
        try {
            localcopy::download(ftp, store::kDirectoryFile, workingCopy, localcopy::kPrivate,
                                limits::kMaxDirectoryBytes);
        } catch (const FtpError& e) {
            if (e.kind() != FtpError::Kind::TooLarge)
                throw;
            throw tooLarge(-1);
        }
    } catch (const FtpError& e) {
        bool missing = false;
        if (e.kind() == FtpError::Kind::Reply && e.replyCode() == 550 && ftp.connected()) {
            try {
                missing = !listed(ftp);
            } catch (const FtpError&) {
                if (onFailure == OnFailure::Throw)
                    throw;
            }
        }
        if (missing)
            return stringlist::save(workingCopy, {}) ? std::optional(QStringList()) : std::nullopt;
        if (onFailure == OnFailure::Throw)
            throw;
    }
    // The copy on disk may be one an earlier version took whole.
    QString error;
    auto lines = stringlist::loadAtMost(workingCopy, limits::kMaxDirectoryBytes, &error);
    if (!lines && onFailure == OnFailure::Throw && QFile::exists(workingCopy))
        throw Error(error);
    return lines;
}

} // namespace directory
