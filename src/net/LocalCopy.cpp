#include "net/LocalCopy.h"

#include "core/Helpers.h"
#include "net/FtpClient.h"

namespace localcopy {

void download(FtpClient& ftp, const QString& remoteName, const QString& localPath,
              QFileDevice::Permissions permissions, qint64 maxBytes)
{
    // Another copy of the program sees the copy in use while the new one arrives.
    const helpers::FileLock replacing(localPath);
    ftp.download(remoteName, localPath, {}, helpers::unixMode(permissions), maxBytes);
}

} // namespace localcopy
