#pragma once

#include <QString>

// Files other users sent land in a local folder named after the sender.
namespace received {

// NetworkDir + sender + "/".
QString folderFor(const QString& networkDir, const QString& sender);

// Whether the received-files button applies: the sender's folder exists and holds something.
bool hasFiles(const QString& networkDir, const QString& sender);

} // namespace received
