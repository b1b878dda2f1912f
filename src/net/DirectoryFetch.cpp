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
        localcopy::download(ftp, store::kDirectoryFile, workingCopy, localcopy::kPrivate);
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
    // A directory far beyond any real one would freeze every list; it is not taken.
    QString error;
    auto lines = stringlist::loadAtMost(workingCopy, limits::kMaxDirectoryBytes, &error);
    if (!lines && onFailure == OnFailure::Throw && QFile::exists(workingCopy))
        throw Error(error);
    return lines;
}

} // namespace directory
