#pragma once

#include <QString>

// Files other users sent land in a local folder named after the sender.
namespace received {

// NetworkDir + sender + "/".
QString folderFor(const QString& networkDir, const QString& sender);
// The same, or empty when the sender's name could point outside NetworkDir.
QString safeFolderFor(const QString& networkDir, const QString& sender);
// The received file `fileName` of `sender`, or empty when either name could point outside the
// sender's folder.
QString fileFor(const QString& networkDir, const QString& sender, const QString& fileName);

// Whether the received-files button applies: the sender's folder exists and holds something.
bool hasFiles(const QString& networkDir, const QString& sender);

} // namespace received
