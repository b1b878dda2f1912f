#pragma once

#include "net/DirectoryFetch.h"

#include <QString>
#include <QStringList>

class FtpClient;

// The server work of keeping an account: its profile in the directory, its picture, its name and
// its removal. Each function works on a main connection open in the users folder (the picture:
// in the user's own folder) and throws what the connection fails with; every rewrite of the
// directory holds its lock and builds on a directory read whole in the same call, so that no
// other client's line is lost.
namespace upkeep {

using directory::sleepWait;
using directory::Wait;

struct ProfileSaved
{
    bool listed = false;   // the user has a line; false: nothing was uploaded
    QStringList directory; // as uploaded
};

// Region and activity of every line of `name`, as typed.
ProfileSaved saveProfile(FtpClient& ftp, const QString& workingCopy, const QString& name,
                         const QString& region, const QString& activity,
                         const Wait& wait = sleepWait);

struct Deletion
{
    bool folderRemoved = false;
    bool lineRemoved = false;
    QStringList remaining; // what is still on the server, as paths below the users folder
    QStringList directory; // as uploaded, when the line went
};

// Removes the user's folder with everything in it, then the user's line. A folder that could not
// be emptied keeps the line, so that the account can still be signed in to and deleted again.
Deletion deleteAccount(FtpClient& ftp, const QString& workingCopy, const QString& name,
                       const Wait& wait = sleepWait);

enum class Renamed
{
    Renamed,
    RefusedName, // not a name a registration would take; nothing was done
    Taken,       // a line or a folder has it already; nothing was done
    RolledBack   // the folder was renamed but the directory was not: the folder has its old name
};

struct Rename
{
    Renamed outcome = Renamed::RefusedName;
    QStringList directory; // as uploaded
    QString failure;       // why it was rolled back
};

// Renames the user's folder and every line of `oldName`, with the checks of a registration
// against the directory read here and the folders that exist.
Rename renameAccount(FtpClient& ftp, const QString& workingCopy, const QString& oldName,
                     const QString& newName, const Wait& wait = sleepWait);

// Puts the picture up as "ava" + extension, then the record that names it (as "myacc.xo" and
// under the adapter address), in the current folder, which is the user's own.
void changeAvatar(FtpClient& ftp, const QString& picture, const QString& extension,
                  const QString& recordFile, const QString& adapterAddress);

} // namespace upkeep
