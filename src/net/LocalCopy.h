#pragma once

#include <QFileDevice>
#include <QString>

class FtpClient;

// Local copies of server files.
namespace localcopy {

// Account records, passwords and the server settings: readable by the user only.
inline constexpr QFileDevice::Permissions kPrivate =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner;

// Downloads remoteName from the current folder over localPath, as FtpClient::download does (a
// file with these permissions from its creation, in place only after a complete transfer), and
// holds the lock on the copy it replaces meanwhile, so another copy of the program sees it in
// use. Failures throw FtpError; a file larger than maxBytes (>= 0) is not taken (Kind::TooLarge).
void download(FtpClient& ftp, const QString& remoteName, const QString& localPath,
              QFileDevice::Permissions permissions, qint64 maxBytes = -1);

} // namespace localcopy
