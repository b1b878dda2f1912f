#include "core/ReceivedFolder.h"

#include "core/Helpers.h"
#include "core/UserDirectory.h"

#include <QFileInfo>

namespace received {

QString folderFor(const QString& networkDir, const QString& sender)
{
    return networkDir + sender + u'/';
}

bool hasFiles(const QString& networkDir, const QString& sender)
{
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return false;
    const QString folder = folderFor(networkDir, sender);
    return QFileInfo(folder).isDir() && helpers::folderHasEntries(folder);
}

} // namespace received
