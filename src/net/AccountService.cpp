#include "net/AccountService.h"

#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/FtpClient.h"

#include <QFile>

#include <algorithm>

namespace accounts {

namespace {

constexpr auto kPrivate = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
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

// The sorted insert of a list box that keeps its items in order.
void insertSorted(QStringList& list, const QString& line)
{
    const auto at =
        std::lower_bound(list.begin(), list.end(), line, [](const QString& a, const QString& b) {
            return QString::localeAwareCompare(a, b) < 0;
        });
    list.insert(at, line);
}

void uploadRecord(FtpClient& ftp, const Paths& paths, const QString& adapterAddress)
{
    ftp.upload(localRecord(paths), adapterAddress);
    ftp.upload(localRecord(paths), store::kAccountRecordFile);
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

int findUser(const QStringList& directory, const QString& name)
{
    for (int i = 0; i < directory.size(); ++i) {
        if (stringlist::field(directory.at(i), 1, u'}') == name)
            return i;
    }
    return -1;
}

bool saveAccountRecord(const Paths& paths, const store::AccountRecord& mem)
{
    return stringlist::save(localRecord(paths), mem.toLines(), nullptr, kPrivate);
}

bool savePassword(const Paths& paths, const QString& password)
{
    return stringlist::save(localPassword(paths), store::passwordFileLines(password), nullptr,
                            kPrivate);
}

namespace {

Result signIn(FtpClient& ftp, const Paths& paths, const QString& name, const QString& typedPassword,
              store::AccountRecord& mem, const QString& adapterAddress, QStringList directory)
{
    ftp.changeFolder(name);
    ftp.download(store::kAccountRecordFile, localRecord(paths));
    QFile::setPermissions(localRecord(paths), kPrivate);
    ftp.download(store::kPasswordFile, localPassword(paths));
    QFile::setPermissions(localPassword(paths), kPrivate);
    const QStringList acc2 = stringlist::load(localPassword(paths)).value_or(QStringList());
    if (!store::passwordAccepted(acc2, typedPassword)) {
        QFile::remove(localPassword(paths));
        return {Outcome::WrongPassword, directory};
    }
    const auto server = store::AccountRecord::fromLines(
        stringlist::load(localRecord(paths)).value_or(QStringList()));
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
    // The newest directory, so that the upload below loses nobody's line.
    QStringList users;
    for (int pass = 0; pass < 2; ++pass) {
        if (auto fresh = directory::fetch(ftp, copy, wait, directory::OnFailure::Throw))
            users = *fresh;
    }
    // Someone may have taken the name since the lookup.
    if (findUser(users, name) >= 0)
        return signIn(ftp, paths, name, typedPassword, mem, adapterAddress, users);
    insertSorted(users, store::newDirectoryLine(name, languageCode));
    for (int pass = 0; pass < 2 && helpers::fileInUse(copy); ++pass)
        wait(kInUseWaitMs);
    if (helpers::fileInUse(copy))
        return {Outcome::DirectoryBusy, {}};
    if (!stringlist::save(copy, users))
        throw Error(QStringLiteral("Cannot write the user directory copy \"%1\".").arg(copy));
    ftp.upload(copy, store::kDirectoryFile);
    ftp.makeFolder(name);
    ftp.changeFolder(name);
    mem.userName = keepsName(mem.option) ? name : QString();
    saveAccountRecord(paths, mem);
    savePassword(paths, typedPassword);
    ftp.upload(localPassword(paths), store::kPasswordFile);
    uploadRecord(ftp, paths, adapterAddress);
    ftp.upload(paths.defaultAvatar, store::avatarFile(mem.avatarExtension));
    return {Outcome::Registered, users};
}

} // namespace

Result signInOrRegister(FtpClient& ftp, const Paths& paths, const QString& name,
                        const QString& typedPassword, store::AccountRecord& mem,
                        const QString& adapterAddress, const QString& languageCode,
                        const Wait& wait)
{
    mem.adapterAddress = adapterAddress;
    const QStringList users =
        directory::fetch(ftp, workingCopy(paths), wait, directory::OnFailure::Throw)
            .value_or(QStringList());
    if (findUser(users, name) >= 0)
        return signIn(ftp, paths, name, typedPassword, mem, adapterAddress, users);
    return registerUser(ftp, paths, name, typedPassword, mem, adapterAddress, languageCode, wait);
}

} // namespace accounts
