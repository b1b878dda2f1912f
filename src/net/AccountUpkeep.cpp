#include "net/AccountUpkeep.h"

#include "core/Cp1251.h"
#include "core/Error.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/AccountService.h"
#include "net/FtpClient.h"
#include "net/FtpError.h"
#include "net/FtpListing.h"
#include "net/ServerFile.h"
#include "net/ServerLock.h"
#include "net/StoreLayout.h"

#include <QDateTime>

#include <optional>

namespace upkeep {

namespace {

// The name as it reads back from the directory file.
QString stored(const QString& name)
{
    return cp1251::decode(cp1251::encode(name));
}

// The directory as it is now, read whole under the lock the caller holds.
QStringList freshDirectory(FtpClient& ftp, const QString& workingCopy, const Wait& wait)
{
    std::optional<QStringList> read =
        directory::fetch(ftp, workingCopy, wait, directory::OnFailure::Throw);
    if (!read)
        throw Error(QStringLiteral("The local copy of the user directory \"%1\" is in use by "
                                   "another program; nothing was changed.")
                        .arg(workingCopy));
    return *read;
}

// Replaces the directory, only while `lock` is still this writer's: a lock taken over while
// the holder was slow must not let it overwrite what the new holder writes.
void upload(FtpClient& ftp, ServerLock& lock, const QString& workingCopy, const QStringList& users)
{
    QString why;
    if (!stringlist::save(workingCopy, users, &why))
        throw Error(why);
    lock.confirm();
    serverfile::replace(ftp, workingCopy, store::kDirectoryFile);
}

QString withFields(const QString& line, const QString& name, const QString& region,
                   const QString& activity)
{
    return userentry::field(line, 0) + u'}' + name + u'}' + region + u'}' + activity + u'}' +
           userentry::field(line, 4) + u'}' + userentry::field(line, 5);
}

bool replyOnly(const FtpError& e)
{
    return e.kind() == FtpError::Kind::Reply;
}

// Empties and removes `folder` below the current folder; what the server refuses is added to
// `remaining` and the rest goes on. Folders are told from files by the listing, not by SIZE,
// which some servers answer for folders too and others refuse for files.
bool removeTree(FtpClient& ftp, const QString& folder, const QString& shown, QStringList& remaining)
{
    try {
        ftp.changeFolder(folder);
    } catch (const FtpError& e) {
        if (!replyOnly(e))
            throw;
        remaining.append(shown);
        return false;
    }
    const QList<ftplisting::Entry> entries = ftplisting::parse(
        ftp.listDetails(), ftp.listsMachineReadable(), QDateTime::currentDateTimeUtc());
    bool emptied = true;
    for (const ftplisting::Entry& e : entries) {
        const QString path = shown + u'/' + e.name;
        if (e.folder) {
            emptied = removeTree(ftp, e.name, path, remaining) && emptied;
            continue;
        }
        try {
            ftp.deleteFile(e.name);
        } catch (const FtpError& err) {
            if (!replyOnly(err))
                throw;
            remaining.append(path);
            emptied = false;
        }
    }
    ftp.folderUp();
    if (!emptied)
        return false;
    try {
        ftp.removeFolder(folder);
    } catch (const FtpError& e) {
        if (!replyOnly(e))
            throw;
        // Entries the listing did not show (hidden files on some servers) keep it.
        remaining.append(shown);
        return false;
    }
    return true;
}

} // namespace

ProfileSaved saveProfile(FtpClient& ftp, const QString& workingCopy, const QString& name,
                         const QString& region, const QString& activity, const Wait& wait)
{
    ServerLock lock(ftp, store::kDirectoryFile);
    ProfileSaved result;
    result.directory = freshDirectory(ftp, workingCopy, wait);
    const QString key = stored(name);
    for (QString& line : result.directory) {
        if (userentry::name(line) != key)
            continue;
        line = withFields(line, userentry::name(line), region, activity);
        result.listed = true;
    }
    if (result.listed)
        upload(ftp, lock, workingCopy, result.directory);
    return result;
}

Deletion deleteAccount(FtpClient& ftp, const QString& workingCopy, const QString& name,
                       const Wait& wait)
{
    Deletion result;
    result.folderRemoved = removeTree(ftp, name, name, result.remaining);
    if (!result.folderRemoved)
        return result;
    ServerLock lock(ftp, store::kDirectoryFile);
    QStringList users = freshDirectory(ftp, workingCopy, wait);
    const QString key = stored(name);
    // Only lines that name this user exactly; a second line of the same name is a copy of it.
    const qsizetype before = users.size();
    users.removeIf([&key](const QString& line) { return userentry::name(line) == key; });
    if (users.size() != before) {
        upload(ftp, lock, workingCopy, users);
        result.lineRemoved = true;
    }
    result.directory = users;
    return result;
}

Rename renameAccount(FtpClient& ftp, const QString& workingCopy, const QString& oldName,
                     const QString& newName, const Wait& wait)
{
    Rename result;
    if (!accounts::registrableName(newName) ||
        !accounts::refusedCharacters(newName, QString()).isEmpty() || newName == oldName)
        return result;
    const QString usersFolder = ftp.currentFolder();
    // The lock keeps a registration from taking the new name between the check and the rename.
    ServerLock lock(ftp, store::kDirectoryFile);
    QStringList users = freshDirectory(ftp, workingCopy, wait);
    bool folderExists = true;
    try {
        ftp.changeFolder(newName);
        ftp.folderUp();
    } catch (const FtpError& e) {
        if (!replyOnly(e))
            throw;
        folderExists = false;
    }
    if (folderExists || accounts::findUser(users, newName) >= 0) {
        result.outcome = Renamed::Taken;
        return result;
    }
    ftp.rename(oldName, newName);
    try {
        const QString key = stored(oldName);
        for (QString& line : users) {
            if (userentry::name(line) == key)
                line =
                    withFields(line, newName, userentry::field(line, 2), userentry::field(line, 3));
        }
        UserDirectory::sort(users);
        upload(ftp, lock, workingCopy, users);
    } catch (const Error& e) {
        // A folder that its directory line does not name is an account nobody can reach.
        try {
            if (!ftp.connected())
                ftp.connect();
            ftp.changeFolder(usersFolder);
            ftp.rename(newName, oldName);
        } catch (const Error& back) {
            throw Error(QStringLiteral("The account folder was renamed to \"%1\", but the user "
                                       "directory could not be changed (%2) and the folder could "
                                       "not be renamed back (%3).")
                            .arg(newName, e.message(), back.message()));
        }
        result.outcome = Renamed::RolledBack;
        result.failure = e.message();
        return result;
    }
    result.outcome = Renamed::Renamed;
    result.directory = users;
    return result;
}

void changeAvatar(FtpClient& ftp, const QString& picture, const QString& extension,
                  const QString& recordFile, const QString& adapterAddress)
{
    // The picture first: a peer that reads the new record finds the picture it names.
    serverfile::replace(ftp, picture, store::avatarFile(extension));
    if (!adapterAddress.isEmpty())
        serverfile::replace(ftp, recordFile, adapterAddress);
    serverfile::replace(ftp, recordFile, store::kAccountRecordFile);
}

} // namespace upkeep
