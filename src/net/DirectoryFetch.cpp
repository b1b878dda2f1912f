#include "net/DirectoryFetch.h"

#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QThread>

namespace directory {

namespace {
constexpr int kInUseWaitMs = 3000;
} // namespace

void sleepWait(int ms)
{
    QThread::msleep(static_cast<unsigned long>(ms));
}

std::optional<QStringList> fetch(FtpClient& ftp, const QString& workingCopy, const Wait& wait,
                                 OnFailure onFailure)
{
    if (helpers::fileInUse(workingCopy))
        wait(kInUseWaitMs);
    if (helpers::fileInUse(workingCopy))
        return std::nullopt;
    const QString part = workingCopy + QStringLiteral(".part");
    try {
        ftp.download(store::kDirectoryFile, part);
        QFile::remove(workingCopy);
        QFile::rename(part, workingCopy);
    } catch (const FtpError& e) {
        QFile::remove(part);
        if (e.kind() == FtpError::Kind::Reply && e.replyCode() == 550) {
            stringlist::save(workingCopy, {});
        } else if (onFailure == OnFailure::Throw) {
            throw;
        }
    }
    if (!QFile::exists(workingCopy))
        return QStringList();
    return stringlist::load(workingCopy).value_or(QStringList());
}

} // namespace directory
