#include "net/OwnAvatar.h"

#include "core/Error.h"
#include "net/AccountUpkeep.h"
#include "net/FtpClient.h"
#include "net/FtpError.h"

#include <QFile>

namespace ownavatar {

QString fetch(FtpClient& ftp, const QString& tempDataDir, const QString& extension)
{
    if (!ftp.connected())
        return {};
    const QString copy = tempDataDir + store::local::ownAvatarCopy(extension);
    try {
        ftp.download(store::avatarFile(extension), copy);
        return copy;
    } catch (const FtpError&) {
        return {};
    }
}

Changed change(FtpClient& ftp, const accounts::Paths& paths, const QString& picture,
               const QString& extension, const store::AccountRecord& record)
{
    Changed changed;
    changed.record = record;
    changed.record.avatarExtension = extension;
    try {
        if (!accounts::saveAccountRecord(paths, changed.record))
            throw Error(QStringLiteral("Cannot write the account record in \"%1\".")
                            .arg(paths.userDataDir));
        upkeep::changeAvatar(ftp, picture, extension,
                             paths.userDataDir + store::local::kAccountRecord,
                             changed.record.adapterAddress);
    } catch (const Error&) {
        // The server still has the old picture: the record here names it again.
        accounts::saveAccountRecord(paths, record);
        throw;
    }
    QFile::remove(paths.tempDataDir + store::local::ownAvatarCopy(record.avatarExtension));
    changed.avatarFile = paths.tempDataDir + store::local::ownAvatarCopy(extension);
    QFile::remove(changed.avatarFile);
    QFile::copy(picture, changed.avatarFile);
    return changed;
}

} // namespace ownavatar
