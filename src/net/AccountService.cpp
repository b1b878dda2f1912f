#include "net/AccountService.h"

#include "core/Limits.h"

#include "core/Cp1251.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/FtpClient.h"
#include "net/LocalCopy.h"
#include "net/ServerFile.h"
#include "net/ServerLock.h"

#include <QFile>

namespace accounts {

namespace {

constexpr int kInUseWaitMs = 3000;

QString workingCopy(const Paths& paths)
{
    return paths.tempDataDir + store::local::kDirectoryCopy;
}

QString localRecord(const Paths& paths)
{
    return paths.userDataDir + store::local::kAccountRecord;
}

QString localPassword(const Paths& paths)
{
    return paths.userDataDir + store::local::kPassword;
}

bool keepsName(const QString& option)
{
    return option == u"autologin" || option == u"nopass";
}

// Replaced whole by rename, so that no reader and no kill ever leaves a cut record.
void uploadRecord(FtpClient& ftp, const Paths& paths, const QString& adapterAddress)
{
    serverfile::replace(ftp, localRecord(paths), adapterAddress);
    serverfile::replace(ftp, localRecord(paths), store::kAccountRecordFile, QStringList());
}

// What the users folder holds for a name. A registration writes the user's folder first, its
// password file last of the folder's files, and the directory line after that: a folder with
// its password file is a whole account; an unlisted folder without it is a registration that
// was cut off.
enum class Account
{
    Missing,    // no folder
    Incomplete, // a folder without its password file
    Whole
};

Account accountOf(FtpClient& ftp, const QString& name)
{
    try {
        ftp.changeFolder(name);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply)
            throw;
        return Account::Missing;
    }
    const bool whole = ftp.size(store::kPasswordFile) >= 0;
    ftp.folderUp();
    return whole ? Account::Whole : Account::Incomplete;
}

} // namespace

QString normalisedName(const QString& typed)
{
    return helpers::transliterate(typed.trimmed());
}

bool registrableName(const QString& name)
{
    return !name.isEmpty() && name != u"." && name != u".." && !name.contains(u'/') &&
           helpers::nameIsClean(name);
}

QString refusedCharacters(const QString& name, const QString& password)
{
    QString refused = cp1251::unencodable(name);
    for (const QChar c : cp1251::unencodable(password)) {
        if (!refused.contains(c))
            refused.append(c);
    }
    return refused;
}

int findUser(const QStringList& directory, const QString& name)
{
    return UserDirectory::find(directory, cp1251::decode(cp1251::encode(name)));
}

bool saveAccountRecord(const Paths& paths, const store::AccountRecord& mem)
{
    return stringlist::savePrivate(localRecord(paths), mem.toLines());
}

bool savePassword(const Paths& paths, const QString& password)
{
    return stringlist::savePrivate(localPassword(paths), store::passwordFileLines(password));
}

namespace {

Result signIn(FtpClient& ftp, const Paths& paths, const QString& name, const QString& typedPassword,
              store::AccountRecord& mem, const QString& adapterAddress, QStringList directory)
{
    ftp.changeFolder(name);
    // An oversized record is read as missing and replaced below; it is not downloaded.
    std::optional<QStringList> record;
    try {
        localcopy::download(ftp, store::kAccountRecordFile, localRecord(paths), localcopy::kPrivate,
                            limits::kMaxRecordBytes);
        record = stringlist::loadAtMost(localRecord(paths), limits::kMaxRecordBytes);
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::TooLarge)
            throw;
    }
    // An oversized password file cannot be checked: the sign-in is refused with the reason.
    localcopy::download(ftp, store::kPasswordFile, localPassword(paths), localcopy::kPrivate,
                        limits::kMaxRecordBytes);
    const QStringList acc2 = stringlist::load(localPassword(paths)).value_or(QStringList());
    if (!store::passwordAccepted(acc2, typedPassword)) {
        QFile::remove(localPassword(paths));
        return {Outcome::WrongPassword, directory};
    }
    const auto server = store::AccountRecord::fromLines(record.value_or(QStringList()));
    mem.avatarExtension = server.avatarExtension;
    mem.userName = keepsName(mem.option) ? name : QString();
    saveAccountRecord(paths, mem);
    uploadRecord(ftp, paths, adapterAddress);
    return {Outcome::SignedIn, directory};
}

Result registerUser(FtpClient& ftp, const Paths& paths, const QString& name,
                    const QString& typedPassword, store::AccountRecord& mem,
                    const QString& adapterAddress, const QString& languageCode, const Wait& wait)
{
    if (!registrableName(name))
        return {Outcome::RefusedName, {}};
    mem.avatarExtension = QStringLiteral(".png");
    const QString copy = workingCopy(paths);
    // Every writer of the directory holds its lock from the read to the replacement.
    ServerLock lock(ftp, store::kDirectoryFile);
    // The newest directory, read whole in this pass, so that the upload below loses nobody's
    // line; without one nothing is uploaded.
    std::optional<QStringList> fresh;
    for (int pass = 0; pass < 2; ++pass) {
        if (auto read = directory::fetch(ftp, copy, wait, directory::OnFailure::Throw))
            fresh = std::move(read);
    }
    if (!fresh)
        return {Outcome::DirectoryBusy, {}};
    QStringList users = *fresh;
    const bool listed = findUser(users, name) >= 0;
    const Account account = accountOf(ftp, name);
    // A listed user whose password file is gone is not open to a new registration.
    if (account == Account::Whole || (listed && account == Account::Incomplete)) {
        // Taken since the lookup, or a whole account whose line was lost: the password decides,
        // and the account's owner gets the line back.
        Result result = signIn(ftp, paths, name, typedPassword, mem, adapterAddress, users);
        if (result.outcome == Outcome::SignedIn && !listed) {
            ftp.folderUp();
            UserDirectory::sort(users);
            UserDirectory::insertSorted(users, store::newDirectoryLine(name, languageCode));
            if (stringlist::save(copy, users)) {
                lock.confirm();
                serverfile::replace(ftp, copy, store::kDirectoryFile);
            }
            ftp.changeFolder(name);
            result.directory = users;
        }
        return result;
    }

    // The folder and its files first, the password file last, the directory line after them: a
    // kill at any step leaves a cut-off registration that the next attempt completes.
    if (account == Account::Missing)
        ftp.makeFolder(name);
    ftp.changeFolder(name);
    mem.userName = keepsName(mem.option) ? name : QString();
    saveAccountRecord(paths, mem);
    savePassword(paths, typedPassword);
    uploadRecord(ftp, paths, adapterAddress);
    // Each step renews the lock, so a slow link does not make it look abandoned.
    lock.confirm();
    serverfile::replace(ftp, paths.defaultAvatar, store::avatarFile(mem.avatarExtension),
                        QStringList());
    lock.confirm();
    serverfile::replace(ftp, localPassword(paths), store::kPasswordFile, QStringList());
    if (!listed) {
        UserDirectory::sort(users);
        UserDirectory::insertSorted(users, store::newDirectoryLine(name, languageCode));
        for (int pass = 0; pass < 2 && helpers::fileInUse(copy); ++pass)
            wait(kInUseWaitMs);
        if (helpers::fileInUse(copy))
            return {Outcome::DirectoryBusy, {}};
        if (!stringlist::save(copy, users))
            throw Error(QStringLiteral("Cannot write the user directory copy \"%1\".").arg(copy));
        ftp.folderUp();
        lock.confirm();
        serverfile::replace(ftp, copy, store::kDirectoryFile);
        ftp.changeFolder(name);
    }
    return {Outcome::Registered, users};
}

} // namespace

Result signInOrRegister(FtpClient& ftp, const Paths& paths, const QString& name,
                        const QString& typedPassword, store::AccountRecord& mem,
                        const QString& adapterAddress, const QString& languageCode,
                        const Wait& wait)
{
    if (!refusedCharacters(name, typedPassword).isEmpty())
        return {Outcome::RefusedCharacters, {}};
    mem.adapterAddress = adapterAddress;
    const QStringList users =
        directory::fetch(ftp, workingCopy(paths), wait, directory::OnFailure::Throw)
            .value_or(QStringList());
    // A listed name without a folder is a registration cut off in the earlier order of its
    // steps, which is registered again.
    if (findUser(users, name) >= 0 && accountOf(ftp, name) != Account::Missing)
        return signIn(ftp, paths, name, typedPassword, mem, adapterAddress, users);
    return registerUser(ftp, paths, name, typedPassword, mem, adapterAddress, languageCode, wait);
}

} // namespace accounts
