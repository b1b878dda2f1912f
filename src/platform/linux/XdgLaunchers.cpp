#include "platform/linux/LinuxServices.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace {

// Quoting of the Exec key: the path is one argument in double quotes with the reserved
// characters escaped, then escaped again as a string value of the file format.
QString execValue(const QString& command)
{
    QString quoted;
    for (const QChar c : command) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted.append(u'\\');
        quoted.append(c);
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

bool writeLauncher(const QString& path, const QString& command, const QString& iconPath,
                   bool autostart)
{
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QByteArray text = "[Desktop Entry]\nType=Application\nName=Larkspire\n";
    text += "Exec=" + execValue(command).toUtf8() + "\n";
    if (!iconPath.isEmpty())
        text += "Icon=" + iconPath.toUtf8() + "\n";
    text += "Terminal=false\nCategories=Network;InstantMessaging;\n";
    if (autostart)
        text += "X-GNOME-Autostart-enabled=true\n";
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
    // The XDG user folder of the desktop, as the user's user-dirs.dirs names it.
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    if (folder.isEmpty())
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
