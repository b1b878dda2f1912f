#include "core/Folders.h"

#include "core/Helpers.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcessEnvironment>

namespace {

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder.append(u'/');
    return folder;
}

QString orDefault(const QString& value, const QString& home, const QString& fallback)
{
    // XDG says relative values are invalid and must be ignored.
    if (!value.isEmpty() && value.startsWith(u'/'))
        return withSlash(value);
    return withSlash(home) + fallback;
}

} // namespace

UserEnvironment UserEnvironment::fromProcess()
{
    const auto env = QProcessEnvironment::systemEnvironment();
    UserEnvironment u;
    u.exePath = QCoreApplication::applicationFilePath();
    u.home = env.value(QStringLiteral("HOME"), QDir::homePath());
    u.stateHome = env.value(QStringLiteral("XDG_STATE_HOME"));
    u.configHome = env.value(QStringLiteral("XDG_CONFIG_HOME"));
    u.dataHome = env.value(QStringLiteral("XDG_DATA_HOME"));
    return u;
}

QString UserEnvironment::effectiveStateHome() const
{
    return orDefault(stateHome, home, QStringLiteral(".local/state/"));
}

QString UserEnvironment::effectiveConfigHome() const
{
    return orDefault(configHome, home, QStringLiteral(".config/"));
}

QString UserEnvironment::effectiveDataHome() const
{
    return orDefault(dataHome, home, QStringLiteral(".local/share/"));
}

QString folderOf(const QString& path)
{
    const qsizetype at = path.lastIndexOf(u'/');
    return at < 0 ? QString() : path.left(at + 1);
}

QString parentFolder(const QString& folder)
{
    QString f = folder;
    while (f.size() > 1 && f.endsWith(u'/'))
        f.chop(1);
    return folderOf(f);
}

Folders Folders::derive(const QString& exeFolder, const QString& tempFolder,
                        const QString& networkName, const QString& myImagesName)
{
    const QString data = QString::fromUtf16(kDataFolderName) + u'/';
    Folders f;
    f.exeFolder = withSlash(exeFolder);
    f.programDataDir = f.exeFolder + data;
    f.localBaseDir = parentFolder(withSlash(tempFolder));
    f.userDataDir = f.localBaseDir + data;
    f.tempDataDir = withSlash(tempFolder) + data;
    if (!networkName.isEmpty())
        f.networkDir = f.exeFolder + networkName + u'/';
    if (!networkName.isEmpty() && !myImagesName.isEmpty())
        f.myImagesDir = f.networkDir + myImagesName + u'/';
    return f;
}

void Folders::prepare() const
{
    // Account data, settings copies and conversations are the user's alone, also in folders
    // that earlier versions made readable for everyone.
    helpers::makePrivateFolder(userDataDir);
    helpers::makePrivateFolder(userDataDir + QStringLiteral("net/"));
    helpers::makePrivateFolder(programDataDir + QStringLiteral("net/"));
    if (!networkDir.isEmpty())
        QDir().mkdir(networkDir);
}
