#include "core/ReceivedFolder.h"

#include "core/Helpers.h"
#include "core/UserDirectory.h"

#include <QFileInfo>

namespace received {

QString folderFor(const QString& networkDir, const QString& sender)
{
    return networkDir + sender + u'/';
}

QString safeFolderFor(const QString& networkDir, const QString& sender)
{
    return userentry::openable(sender) ? folderFor(networkDir, sender) : QString();
}

QString fileFor(const QString& networkDir, const QString& sender, const QString& fileName)
{
    if (!userentry::openable(fileName))
        return {};
    const QString folder = safeFolderFor(networkDir, sender);
    return folder.isEmpty() ? QString() : folder + fileName;
}

bool hasFiles(const QString& networkDir, const QString& sender)
{
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return false;
    const QString folder = folderFor(networkDir, sender);
    return QFileInfo(folder).isDir() && helpers::folderHasEntries(folder);
}

} // namespace received
