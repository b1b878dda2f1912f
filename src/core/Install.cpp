#include "core/Install.h"

#include "core/Folders.h"

#include <QDir>

namespace install {

Target targetFor(const QString& chosenFolder)
{
    if (!chosenFolder.startsWith(u'/'))
        return {};
    QString parent = QDir::cleanPath(chosenFolder);
    if (!parent.endsWith(u'/'))
        parent.append(u'/');
    // Only the whole last name counts: "/apps/MyLarkspire" is a folder of its own, not a
    // Larkspire folder in "/apps/My".
    const QString last = parent.section(u'/', -2, -2);
    const QString dir =
        last.compare(kFolderName, Qt::CaseInsensitive) == 0 ? parent : parent + kFolderName + u'/';
    return {dir, dir + kExeName};
}

QString iconFor(const QString& installDir)
{
    // Desktop environments read PNG icons, not the ICO of other systems.
    return installDir + QString::fromUtf16(kDataFolderName) + QStringLiteral("/Larkspire.png");
}

QString execValue(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted.append(u'\\');
        quoted.append(c);
    }
    quoted = u'"' + quoted + u'"';
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    // A lone "%" would be read as a field code.
    quoted.replace(u'%', QStringLiteral("%%"));
    return quoted;
}

namespace {

bool writable(const QString& value)
{
    for (const QChar c : value) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    return true;
}

QString stringValue(QString value)
{
    return value.replace(u'\\', QStringLiteral("\\\\"));
}

} // namespace

QByteArray desktopEntry(const QString& program, const QString& iconPath, bool autostart)
{
    if (!program.startsWith(u'/') || !writable(program) || !writable(iconPath))
        return {};
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\nName=Larkspire\n"
                                  "Comment=Messages and files for the users of one FTP server\n");
    text += QStringLiteral("Exec=") + execValue(program) + u'\n';
    if (!iconPath.isEmpty())
        text += QStringLiteral("Icon=") + stringValue(iconPath) + u'\n';
    text += QStringLiteral("Terminal=false\nCategories=Network;InstantMessaging;\n");
    if (autostart)
        text += QStringLiteral("X-GNOME-Autostart-enabled=true\n");
    return text.toUtf8();
}

} // namespace install
