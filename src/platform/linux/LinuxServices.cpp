#include "platform/linux/LinuxServices.h"

#include "core/Folders.h"
#include "core/Helpers.h"
#include "platform/linux/DbusNotifications.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusInterface>
#include <QDBusReply>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QUrl>
#include <QWidget>

#include <algorithm>
#include <csignal>
#include <sys/types.h>
#include <unistd.h>
#include <vector>

QString IniSettingsStore::value(const QString& key, const QString& fallback) const
{
    return QSettings(m_path, QSettings::IniFormat).value(key, fallback).toString();
}

namespace {

// The store holds unsent messages: the file is the user's alone, from its first byte on. The
// settings writer replaces the file but keeps the mode of the one it replaces.
void makeStorePrivate(const QString& path)
{
    if (helpers::makePrivateFile(path))
        return;
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    // Where it cannot be made here, the writer makes it and the caller tightens it after.
    const bool made = file.open(QIODevice::WriteOnly | QIODevice::NewOnly,
                                QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    Q_UNUSED(made);
}

} // namespace

void IniSettingsStore::setValue(const QString& key, const QString& value)
{
    makeStorePrivate(m_path);
    QSettings(m_path, QSettings::IniFormat).setValue(key, value);
    helpers::makePrivateFile(m_path);
}

void IniSettingsStore::remove(const QString& key)
{
    makeStorePrivate(m_path);
    QSettings(m_path, QSettings::IniFormat).remove(key);
    helpers::makePrivateFile(m_path);
}

bool DesktopShell::openPath(const QString& path)
{
    return QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool DesktopShell::openLink(const QString& link)
{
    QUrl url = QUrl::fromUserInput(link);
    // Only web links: a text from a message must never start a local program.
    if (url.scheme() != u"http" && url.scheme() != u"https")
        return false;
    return QDesktopServices::openUrl(url);
}

bool DesktopShell::showInFileManager(const QString& path)
{
    QDBusInterface fileManager(QStringLiteral("org.freedesktop.FileManager1"),
                               QStringLiteral("/org/freedesktop/FileManager1"),
                               QStringLiteral("org.freedesktop.FileManager1"),
                               QDBusConnection::sessionBus());
    if (fileManager.isValid()) {
        const QDBusMessage reply =
            fileManager.call(QStringLiteral("ShowItems"),
                             QStringList{QUrl::fromLocalFile(path).toString()}, QString());
        if (reply.type() != QDBusMessage::ErrorMessage)
            return true;
    }
    return openPath(QFileInfo(path).absolutePath());
}

bool processMatches(const QString& exePath, const QString& name)
{
    QString path = exePath;
    // The kernel marks an executable replaced on disk, as after an update.
    if (path.endsWith(QStringLiteral(" (deleted)")))
        path.chop(10);
    const QString fileName = QFileInfo(path).fileName();
    return fileName.compare(name, Qt::CaseInsensitive) == 0 ||
           path.compare(name, Qt::CaseInsensitive) == 0;
}

bool ProcProcesses::killProcessesNamed(const QString& name)
{
    const auto entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    const pid_t self = ::getpid();
    bool matched = false;
    bool result = false;
    bool killSelf = false;
    for (const QString& entry : entries) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid)
            continue;
        // Another user's copies are theirs to end, also when this one runs as root.
        if (QFileInfo(QStringLiteral("/proc/") + entry).ownerId() != ::getuid())
            continue;
        const QString exe = QFileInfo(QStringLiteral("/proc/%1/exe").arg(entry)).symLinkTarget();
        if (exe.isEmpty() || !processMatches(exe, name))
            continue;
        matched = true;
        if (pid == self) {
            killSelf = true; // last, or the others would be left running
            continue;
        }
        result = ::kill(pid, SIGTERM) == 0;
    }
    if (killSelf)
        result = ::kill(self, SIGTERM) == 0;
    return matched && result;
}

bool ProcProcesses::startDetached(const QString& program)
{
    return QProcess::startDetached(program, {}, QFileInfo(program).absolutePath());
}

QString formatAdapterAddress(const QByteArray& hardwareAddress)
{
    const QString text = QString::fromLatin1(hardwareAddress).toUpper();
    const QStringList parts = text.split(u':');
    if (parts.size() != 6)
        return QStringLiteral("mac not found");
    for (const QString& p : parts) {
        if (p.size() != 2)
            return QStringLiteral("mac not found");
    }
    if (parts.join(QString()) == u"000000000000")
        return QStringLiteral("mac not found");
    return parts.join(u'-');
}

QString SysNetworkAdapter::adapterAddress() const
{
    // The first adapter by index, as the kernel lists them, that is not the loopback.
    struct Adapter
    {
        int index = 0;
        QByteArray address;
    };
    std::vector<Adapter> adapters;
    const QString root = QStringLiteral("/sys/class/net/");
    for (const QString& name : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const auto read = [&](const char* file) {
            QFile f(root + name + u'/' + QLatin1StringView(file));
            return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed() : QByteArray();
        };
        constexpr int kLoopback = 0x8; // IFF_LOOPBACK
        bool ok = false;
        const int flags = read("flags").toInt(&ok, 16);
        if (!ok || (flags & kLoopback))
            continue;
        adapters.push_back({read("ifindex").toInt(), read("address")});
    }
    std::sort(adapters.begin(), adapters.end(),
              [](const Adapter& a, const Adapter& b) { return a.index < b.index; });
    for (const Adapter& adapter : adapters) {
        const QString address = formatAdapterAddress(adapter.address);
        if (address != u"mac not found")
            return address;
    }
    return QStringLiteral("mac not found");
}

void ThemeSound::playNewMessage()
{
    const QString canberra = QStandardPaths::findExecutable(QStringLiteral("canberra-gtk-play"));
    if (!canberra.isEmpty()) {
        QProcess::startDetached(canberra,
                                {QStringLiteral("-i"), QStringLiteral("message-new-instant")});
        return;
    }
    if (m_fallbackFile.isEmpty() || !QFileInfo::exists(m_fallbackFile))
        return;
    for (const char* player : {"paplay", "pw-play", "aplay"}) {
        const QString exe = QStandardPaths::findExecutable(QString::fromLatin1(player));
        if (!exe.isEmpty()) {
            QProcess::startDetached(exe, {m_fallbackFile});
            return;
        }
    }
}

AppFonts::~AppFonts()
{
    removeAll();
}

QString fontAlias(const QString& fontFile)
{
    // The windows ask for the families these files stand in for; the free fonts shipped under
    // those file names carry their own family names.
    const QString name = QFileInfo(fontFile).fileName();
    if (name.compare(QStringLiteral("calibri.ttf"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Calibri");
    if (name.compare(QStringLiteral("HATTEN.TTF"), Qt::CaseInsensitive) == 0)
        return QStringLiteral("Haettenschweiler");
    if (name.startsWith(QStringLiteral("Fontatigo 4F"), Qt::CaseInsensitive))
        return QStringLiteral("Fontatigo 4F");
    return {};
}

bool AppFonts::add(const QString& fontFile)
{
    const int id = QFontDatabase::addApplicationFont(fontFile);
    if (id < 0)
        return false;
    m_ids.append(id);
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    const QString alias = fontAlias(fontFile);
    if (!alias.isEmpty() && !families.isEmpty() && !families.contains(alias))
        QFont::insertSubstitution(alias, families.first());
    return true;
}

void AppFonts::removeAll()
{
    for (const int id : std::as_const(m_ids))
        QFontDatabase::removeApplicationFont(id);
    m_ids.clear();
}

bool QtDesktop::trayAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

bool QtDesktop::forceForeground(QWidget* window)
{
    if (!window)
        return false;
    if (window->isMinimized())
        window->showNormal();
    if (window->isActiveWindow())
        return true;
    window->raise();
    window->activateWindow();
    return window->isActiveWindow();
}

void QtDesktop::showError(const QString& text)
{
    QMessageBox::critical(nullptr, QApplication::applicationName(), text);
}

bool QtDesktop::confirm(const QString& title, const QString& question)
{
    return QMessageBox::question(nullptr, title, question, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

QString QtDesktop::chooseFolder(const QString& caption, const QString& startFolder,
                                const QString& note)
{
    if (note.isEmpty())
        return QFileDialog::getExistingDirectory(nullptr, caption, startFolder,
                                                 QFileDialog::ShowDirsOnly);
    // Qt's own dialog, whose grid takes a line under its fields; a native one has no room.
    QFileDialog dialog(nullptr, caption, startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    if (auto* grid = qobject_cast<QGridLayout*>(dialog.layout())) {
        auto* line = new QLabel(note, &dialog);
        line->setObjectName(QStringLiteral("folderNote"));
        line->setTextFormat(Qt::PlainText);
        line->setWordWrap(true);
        grid->addWidget(line, grid->rowCount(), 0, 1, grid->columnCount());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

QString QtDesktop::choosePicture(const QString& title, const QString& startFolder,
                                 const QString& filters)
{
    return QFileDialog::getOpenFileName(nullptr, title, startFolder, filters);
}

PlatformServices PlatformServices::forLinux(const UserEnvironment& env, const QString& soundFile)
{
    PlatformServices p;
    p.autostart = std::make_unique<XdgAutostart>(env.effectiveConfigHome());
    p.shortcuts = std::make_unique<XdgShortcuts>(env.home, env.effectiveConfigHome(),
                                                 env.effectiveDataHome());
    p.settings = std::make_unique<IniSettingsStore>(env.effectiveConfigHome() +
                                                    QStringLiteral("Larkspire/Larkspire.ini"));
    p.shell = std::make_unique<DesktopShell>();
    p.processes = std::make_unique<ProcProcesses>();
    p.adapter = std::make_unique<SysNetworkAdapter>();
    p.sound = std::make_unique<ThemeSound>(soundFile);
    p.fonts = std::make_unique<AppFonts>();
    p.desktop = std::make_unique<QtDesktop>();
    p.notifications = std::make_unique<DbusNotifications>();
    return p;
}
