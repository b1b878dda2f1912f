#include "net/Operator.h"

#include "core/Error.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/SelfUpdate.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QTemporaryDir>

namespace ops {

namespace {

constexpr int kSettingsLines = 9;

void closeQuietly(FtpClient& ftp)
{
    try {
        ftp.disconnect();
    } catch (const std::exception&) {
        // Closed either way.
    }
}

// Connects when needed; the tree's root as a full path.
QString openTree(FtpClient& ftp, const QString& root)
{
    if (!ftp.connected())
        ftp.connect();
    return store::isFullPath(root) ? store::treeRoot(root, QString())
                                   : store::treeRoot(root, ftp.currentFolder());
}

bool folderExists(FtpClient& ftp, const QString& folder)
{
    try {
        ftp.changeFolder(folder);
        return true;
    } catch (const FtpError&) {
        return false;
    }
}

QByteArray download(FtpClient& ftp, const QString& name, const QTemporaryDir& tmp)
{
    const QString local = tmp.filePath(QStringLiteral("download"));
    ftp.download(name, local);
    QFile f(local);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void upload(FtpClient& ftp, const QByteArray& bytes, const QString& name, const QTemporaryDir& tmp)
{
    const QString local = tmp.filePath(QStringLiteral("upload"));
    QFile f(local);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        throw Error(QStringLiteral("cannot write the temporary file %1").arg(local));
    f.close();
    serverfile::replace(ftp, local, name);
}

// Makes every missing level of `folder` (a full path ending in "/").
void makeFolders(FtpClient& ftp, const QString& folder)
{
    QString path = QStringLiteral("/");
    for (const QString& part : folder.split(u'/', Qt::SkipEmptyParts)) {
        path += part + u'/';
        if (!folderExists(ftp, path))
            ftp.makeFolder(path);
    }
}

} // namespace

std::optional<MainAccount> readSettings(FtpClient& settingsServer, QString* error)
{
    QTemporaryDir tmp;
    try {
        settingsServer.connect();
        const QString local = tmp.filePath(QStringLiteral("fcom.xo"));
        settingsServer.download(QStringLiteral("fcom.xo"), local);
        closeQuietly(settingsServer);
        const QStringList lines = stringlist::load(local).value_or(QStringList());
        if (lines.size() < kSettingsLines) {
            if (error)
                *error = QStringLiteral("the settings file fcom.xo has %1 lines; %2 are needed")
                             .arg(lines.size())
                             .arg(kSettingsLines);
            return std::nullopt;
        }
        return MainAccount{lines.at(5), lines.at(6), lines.at(7), lines.at(8)};
    } catch (const std::exception& e) {
        closeQuietly(settingsServer);
        if (error)
            *error = QStringLiteral("the settings account: %1").arg(QString::fromUtf8(e.what()));
        return std::nullopt;
    }
}

QStringList checkTree(FtpClient& ftp, const QString& rootText)
{
    QStringList problems;
    QTemporaryDir tmp;
    QString root;
    try {
        root = openTree(ftp, rootText);
    } catch (const std::exception& e) {
        closeQuietly(ftp);
        return {QStringLiteral("cannot log in to the main account: %1")
                    .arg(QString::fromUtf8(e.what()))};
    }
    const QString users = store::usersFolder(root);
    try {
        if (!folderExists(ftp, users)) {
            problems << QStringLiteral("the users folder %1 is missing").arg(users);
        } else {
            if (ftp.size(store::kDirectoryFile) < 0)
                problems << QStringLiteral("the directory %1%2 is missing")
                                .arg(users, store::kDirectoryFile);
            // Every client writes here: a file that cannot be written and removed again
            // would stop registration and every message.
            const QString probe =
                serverfile::temporaryName(QStringLiteral("check"), serverfile::newToken());
            try {
                upload(ftp, QByteArrayLiteral("check\r\n"), probe, tmp);
                ftp.deleteFile(probe);
            } catch (const std::exception& e) {
                problems << QStringLiteral("the users folder %1 is not writable: %2")
                                .arg(users, QString::fromUtf8(e.what()));
            }
        }
        for (const QString& language : kLanguages) {
            const QString folder = store::updateFolder(root, language);
            if (!folderExists(ftp, folder)) {
                problems << QStringLiteral("the update folder %1 is missing").arg(folder);
                continue;
            }
            if (ftp.size(selfupdate::kDescriptorFile) < 0) {
                problems
                    << QStringLiteral("%1%2 is missing").arg(folder, selfupdate::kDescriptorFile);
                continue;
            }
            const QString line =
                QString::fromLatin1(download(ftp, selfupdate::kDescriptorFile, tmp))
                    .section(u'\n', 0, 0);
            const auto build = selfupdate::parseBuild(line);
            if (!build) {
                problems << QStringLiteral("%1%2 does not start with a build number")
                                .arg(folder, selfupdate::kDescriptorFile);
            } else if (*build > 0 && (ftp.size(selfupdate::kUpdaterFile) <= 0 ||
                                      ftp.size(selfupdate::kSignatureFile) <= 0)) {
                problems << QStringLiteral(
                                "%1 offers build %2 without the updater and its signature")
                                .arg(folder)
                                .arg(*build);
            }
        }
    } catch (const std::exception& e) {
        problems << QStringLiteral("the main account: %1").arg(QString::fromUtf8(e.what()));
    }
    closeQuietly(ftp);
    return problems;
}

bool initTree(FtpClient& ftp, const QString& rootText, QString* error)
{
    QTemporaryDir tmp;
    try {
        const QString root = openTree(ftp, rootText);
        const QString users = store::usersFolder(root);
        makeFolders(ftp, users);
        ftp.changeFolder(users);
        if (ftp.size(store::kDirectoryFile) < 0)
            upload(ftp, QByteArray(), store::kDirectoryFile, tmp);
        for (const QString& language : kLanguages) {
            const QString folder = store::updateFolder(root, language);
            makeFolders(ftp, folder);
            ftp.changeFolder(folder);
            // Build 0 is older than every build: nothing is offered until a release.
            if (ftp.size(selfupdate::kDescriptorFile) < 0)
                upload(ftp, QByteArrayLiteral("0\r\n"), selfupdate::kDescriptorFile, tmp);
        }
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        closeQuietly(ftp);
        return false;
    }
    closeQuietly(ftp);
    return true;
}

std::optional<QStringList> listUsers(FtpClient& ftp, const QString& rootText, QString* error)
{
    QTemporaryDir tmp;
    try {
        const QString root = openTree(ftp, rootText);
        ftp.changeFolder(store::usersFolder(root));
        const QString local = tmp.filePath(store::kDirectoryFile);
        ftp.download(store::kDirectoryFile, local);
        closeQuietly(ftp);
        QStringList names;
        for (const QString& line : stringlist::load(local).value_or(QStringList())) {
            const QString name = line.section(u'}', 1, 1);
            if (!name.isEmpty())
                names << name;
        }
        return names;
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        closeQuietly(ftp);
        return std::nullopt;
    }
}

bool publish(FtpClient& ftp, const QString& rootText, int build, const QByteArray& updater,
             const QByteArray& signature, QString* error)
{
    QTemporaryDir tmp;
    try {
        const QString root = openTree(ftp, rootText);
        // The files first, in every folder, and the numbers last: a client that reads the
        // new number finds the new files. One that fetched the files in between finds their
        // signature checks and tries again.
        for (const QString& language : kLanguages) {
            const QString folder = store::updateFolder(root, language);
            makeFolders(ftp, folder);
            ftp.changeFolder(folder);
            upload(ftp, updater, selfupdate::kUpdaterFile, tmp);
            upload(ftp, signature, selfupdate::kSignatureFile, tmp);
        }
        for (const QString& language : kLanguages) {
            ftp.changeFolder(store::updateFolder(root, language));
            upload(ftp, QByteArray::number(build) + "\r\n", selfupdate::kDescriptorFile, tmp);
        }
    } catch (const std::exception& e) {
        if (error)
            *error = QString::fromUtf8(e.what());
        closeQuietly(ftp);
        return false;
    }
    closeQuietly(ftp);
    return true;
}

} // namespace ops
