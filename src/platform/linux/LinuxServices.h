#pragma once

#include "platform/PlatformServices.h"

#include <QList>
#include <QString>

class XdgAutostart : public Autostart
{
public:
    explicit XdgAutostart(QString configHome) : m_configHome(std::move(configHome)) {}
    QString entryPath() const;
    bool isEnabled() const override;
    bool enable(const QString& command) override;
    bool disable() override;

private:
    QString m_configHome;
};

class XdgShortcuts : public Shortcuts
{
public:
    XdgShortcuts(QString home, QString configHome, QString dataHome)
        : m_home(std::move(home)), m_configHome(std::move(configHome)),
          m_dataHome(std::move(dataHome))
    {
    }
    bool createDesktopLauncher(const QString& command, const QString& iconPath) override;
    bool createMenuLauncher(const QString& command, const QString& iconPath) override;
    QString desktopFolder() const;

private:
    QString m_home;
    QString m_configHome;
    QString m_dataHome;
};

class IniSettingsStore : public SettingsStore
{
public:
    explicit IniSettingsStore(QString path) : m_path(std::move(path)) {}
    QString value(const QString& key, const QString& fallback) const override;
    void setValue(const QString& key, const QString& value) override;
    void remove(const QString& key) override;

private:
    QString m_path;
};

class DesktopShell : public Shell
{
public:
    bool openPath(const QString& path) override;
    bool openLink(const QString& link) override;
    bool showInFileManager(const QString& path) override;
};

class ProcProcesses : public Processes
{
public:
    bool killProcessesNamed(const QString& name) override;
    bool startDetached(const QString& program) override;
};

class SysNetworkAdapter : public NetworkAdapter
{
public:
    QString adapterAddress() const override;
};

class ThemeSound : public Sound
{
public:
    explicit ThemeSound(QString fallbackFile) : m_fallbackFile(std::move(fallbackFile)) {}
    void playNewMessage() override;

private:
    QString m_fallbackFile;
};

class AppFonts : public Fonts
{
public:
    ~AppFonts() override;
    bool add(const QString& fontFile) override;
    void removeAll() override;

private:
    QList<int> m_ids;
};

class QtDesktop : public Desktop
{
public:
    bool trayAvailable() const override;
    bool forceForeground(QWidget* window) override;
    void showError(const QString& text) override;
    bool confirm(const QString& title, const QString& question) override;
    QString chooseFolder(const QString& caption, const QString& startFolder,
                         const QString& note) override;
    QString choosePicture(const QString& title, const QString& startFolder,
                          const QString& filters) override;
};

// Exposed for tests: the address of an interface list, first non-loopback with a real address.
QString formatAdapterAddress(const QByteArray& hardwareAddress);
// The family a shipped font file stands in for ("Calibri" for "calibri.ttf"), or empty.
QString fontAlias(const QString& fontFile);
// Whether a process whose executable is exePath matches name (file name or whole path).
bool processMatches(const QString& exePath, const QString& name);
