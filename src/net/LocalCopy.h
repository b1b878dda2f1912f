#pragma once

#include <QFileDevice>
#include <QString>

class FtpClient;

// Local copies of server files.
namespace localcopy {

// Account records, passwords and the server settings: readable by the user only.
inline constexpr QFileDevice::Permissions kPrivate =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Downloads remoteName from the current folder over localPath. The bytes go to a file beside it
// that has the given permissions from its creation and replaces localPath only when the whole
// transfer arrived, so a failed transfer keeps the earlier copy. While the copy is replaced it
// is locked, so another copy of the program sees it in use. Failures throw FtpError.
void download(FtpClient& ftp, const QString& remoteName, const QString& localPath,
              QFileDevice::Permissions permissions);

} // namespace localcopy
