#pragma once

#include "net/AccountService.h"
#include "net/StoreLayout.h"

#include <QString>

class FtpClient;

// The signed-in user's own picture: its copy on this computer, and putting up another.
namespace ownavatar {

// The picture of the type `extension` from the own folder the connection stands in, downloaded
// into tempDataDir. Empty when the connection is closed or the picture did not come down: a
// missing picture is no reason to fail a sign-in.
QString fetch(FtpClient& ftp, const QString& tempDataDir, const QString& extension);

struct Changed
{
    store::AccountRecord record; // as saved on this computer, naming the new picture
    QString avatarFile;          // the own picture's local copy
};

// With the connection in the own folder: the record on this computer is saved naming `picture`
// (whose type is `extension`, with its dot), then the picture and the record go up, and the
// local copy of the own picture becomes `picture`. On a failure the record on this computer
// is `record` again, naming the picture the server still has, and the failure is thrown.
Changed change(FtpClient& ftp, const accounts::Paths& paths, const QString& picture,
               const QString& extension, const store::AccountRecord& record);

} // namespace ownavatar
