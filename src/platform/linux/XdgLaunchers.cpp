#include "platform/linux/LinuxServices.h"

#include "core/Install.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>

namespace {

bool writeLauncher(const QString& path, const QString& command, const QString& iconPath,
                   bool autostart)
{
    const QByteArray text = install::desktopEntry(command, iconPath, autostart);
    if (text.isEmpty())
        return false;
    // The autostart entry is renewed at every start: an entry that already says the same is left
    // alone rather than written and synced again.
    if (QFile current(path); (QFile::permissions(path) & QFile::ExeOwner) &&
                             current.open(QIODevice::ReadOnly) && current.readAll() == text)
        return true;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    if (!file.commit())
        return false;
    // Desktop environments only trust launchers that are executable by their owner.
    return QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

} // namespace

QString XdgAutostart::entryPath() const
{
    return m_configHome + QStringLiteral("autostart/Larkspire.desktop");
}

bool XdgAutostart::isEnabled() const
{
    return QFileInfo::exists(entryPath());
}

bool XdgAutostart::enable(const QString& command)
{
    return writeLauncher(entryPath(), command, QString(), true);
}

bool XdgAutostart::disable()
{
    return !QFileInfo::exists(entryPath()) || QFile::remove(entryPath());
}

QString XdgShortcuts::desktopFolder() const
{
    // The user's own name for the desktop folder, as xdg-user-dir reads it from user-dirs.dirs.
    QProcess query;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_configHome);
    query.setProcessEnvironment(env);
    query.start(QStringLiteral("xdg-user-dir"), {QStringLiteral("DESKTOP")});
    QString folder;
    if (query.waitForFinished(5000) && query.exitStatus() == QProcess::NormalExit &&
        query.exitCode() == 0)
        folder = QString::fromLocal8Bit(query.readAllStandardOutput()).trimmed();
    if (!folder.startsWith(u'/'))
        folder = m_home + QStringLiteral("/Desktop");
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

bool XdgShortcuts::createDesktopLauncher(const QString& command, const QString& iconPath)
{
    return writeLauncher(desktopFolder() + QStringLiteral("Larkspire.desktop"), command, iconPath,
                         false);
}

bool XdgShortcuts::createMenuLauncher(const QString& command, const QString& iconPath)
{
    return writeLauncher(m_dataHome + QStringLiteral("applications/Larkspire.desktop"), command,
                         iconPath, false);
}
