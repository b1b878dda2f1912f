#include "net/ReceivedFiles.h"

#include "core/Helpers.h"
#include "core/UserDirectory.h"
#include "net/FtpClient.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace received {

FetchResult fetch(FtpClient& ftp, const QString& sender, const QString& networkDir,
                  const AfterFile& afterFile, const Progress& progress)
{
    FetchResult result;
    // A sender's name becomes a local folder name; a hostile one is left alone entirely.
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return result;
    if (!ftp.listNames().contains(sender))
        return result;
    return fetchListed(ftp, sender, networkDir, afterFile, progress);
}

FetchResult fetchListed(FtpClient& ftp, const QString& sender, const QString& networkDir,
                        const AfterFile& afterFile, const Progress& progress)
{
    FetchResult result;
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return result;
    result.found = true;
    ftp.changeFolder(sender);
    const QString local = folderFor(networkDir, sender);
    QDir().mkdir(local);
    const QStringList names = ftp.listNames();
    for (const QString& name : names) {
        if (name == u"." || name == u"..")
            continue;
        if (!userentry::openable(name)) {
            result.leftThere.append(name);
            continue;
        }
        const QString path = local + name;
        try {
            ftp.download(name, path, [&](qint64 done, qint64 total) {
                if (progress)
                    progress(name, done, total);
            });
        } catch (const FtpError& e) {
            // A subfolder, or a file the server will not serve: the rest still comes down.
            if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
                throw;
            result.leftThere.append(name);
            continue;
        }
        // Received files are data, never programs.
        QFile::setPermissions(path,
                              QFile::permissions(path) & ~(QFile::ExeOwner | QFile::ExeUser |
                                                           QFile::ExeGroup | QFile::ExeOther));
        ftp.deleteFile(name);
        result.fetched.append(name);
        if (afterFile)
            afterFile(name);
    }
    ftp.folderUp();
    if (result.leftThere.isEmpty())
        ftp.removeFolder(sender);
    return result;
}

} // namespace received
