#pragma once

#include "platform/PlatformServices.h"

#include <QMap>
#include <QStringList>

// Doubles of the operating-system services that record what the program asked for, so that
// tests stay headless and never touch the real desktop.
class FakeAutostart : public Autostart
{
public:
    bool isEnabled() const override { return !command.isEmpty(); }
    bool enable(const QString& c) override
    {
        command = c;
        return true;
    }
    bool disable() override
    {
        command.clear();
        return true;
    }
    QString command;
};

class FakeShortcuts : public Shortcuts
{
public:
    bool createDesktopLauncher(const QString& c, const QString&) override
    {
        desktop.append(c);
        return true;
    }
    bool createMenuLauncher(const QString& c, const QString&) override
    {
        menu.append(c);
        return true;
    }
    QStringList desktop, menu;
};

class FakeSettingsStore : public SettingsStore
{
public:
    QString value(const QString& key, const QString& fallback) const override
    {
        return values.value(key, fallback);
    }
    void setValue(const QString& key, const QString& value) override { values[key] = value; }
    void remove(const QString& key) override { values.remove(key); }
    QMap<QString, QString> values;
};

class FakeShell : public Shell
{
public:
    bool openPath(const QString& p) override { return record(QStringLiteral("open ") + p); }
    bool openLink(const QString& l) override { return record(QStringLiteral("link ") + l); }
    bool showInFileManager(const QString& p) override
    {
        return record(QStringLiteral("show ") + p);
    }
    QStringList calls;

private:
    bool record(const QString& call)
    {
        calls.append(call);
        return true;
    }
};

class FakeProcesses : public Processes
{
public:
    bool killProcessesNamed(const QString& name) override
    {
        killed.append(name);
        return true;
    }
    bool startDetached(const QString& program) override
    {
        started.append(program);
        return true;
    }
    QStringList killed;
    QStringList started;
};

class FakeNetworkAdapter : public NetworkAdapter
{
public:
    QString adapterAddress() const override { return address; }
    QString address = QStringLiteral("02-00-00-00-00-01");
};

class FakeSound : public Sound
{
public:
    void playNewMessage() override { ++played; }
    int played = 0;
};

class FakeFonts : public Fonts
{
public:
    bool add(const QString& f) override
    {
        added.append(f);
        return true;
    }
    void removeAll() override { added.clear(); }
    QStringList added;
};

class FakeDesktop : public Desktop
{
public:
    bool trayAvailable() const override { return tray; }
    bool forceForeground(QWidget*) override { return true; }
    void showError(const QString& text) override { errors.append(text); }
    bool confirm(const QString& title, const QString& question) override
    {
        questions.append(title + u'|' + question);
        return nextAnswer;
    }
    QString chooseFolder(const QString& caption, const QString& startFolder,
                         const QString& note) override
    {
        folderDialogs.append(caption + u'|' + startFolder);
        folderNotes.append(note);
        return nextFolder;
    }
    QString choosePicture(const QString& title, const QString& startFolder,
                          const QString& filters) override
    {
        pictureDialogs.append(title + u'|' + startFolder + u'|' + filters);
        return nextPicture;
    }
    bool tray = true;
    bool nextAnswer = true;
    QStringList errors;
    QStringList questions;
    QString nextFolder; // empty: the user cancels the folder dialog
    QStringList folderDialogs;
    QStringList folderNotes; // the line each folder dialog showed
    QString nextPicture;     // empty: the user cancels the picture dialog
    QStringList pictureDialogs;
};

// A notification server that shows what it is given; tests play the user's part with invoke().
class FakeNotifications : public Notifications
{
public:
    bool serverAnswers() override { return answers; }
    void askServer() override { ++asked; }
    void show(const QString& key, const Notice& notice) override
    {
        onScreen[key] = notice;
        shows.append(key);
    }
    void close(const QString& key) override
    {
        if (onScreen.remove(key))
            closes.append(key);
    }
    void setHandlers(Handlers h) override { handlers = std::move(h); }
    // The user chose `action` of the key's notification.
    void invoke(const QString& key, const QString& action)
    {
        if (handlers.invoked)
            handlers.invoked(key, action);
    }

    bool answers = true;
    int asked = 0;
    QMap<QString, Notice> onScreen;
    QStringList shows;  // the key of every notice shown, replacements too
    QStringList closes; // the key of every notification taken off the screen
    Handlers handlers;
};

// All doubles at once; the raw pointers stay valid while the services live.
struct FakePlatform
{
    FakeAutostart* autostart;
    FakeShortcuts* shortcuts;
    FakeSettingsStore* settings;
    FakeShell* shell;
    FakeProcesses* processes;
    FakeNetworkAdapter* adapter;
    FakeSound* sound;
    FakeFonts* fonts;
    FakeDesktop* desktop;
    FakeNotifications* notifications;

    static PlatformServices make(FakePlatform* handles = nullptr);
};

inline PlatformServices FakePlatform::make(FakePlatform* handles)
{
    PlatformServices p;
    auto autostart = std::make_unique<FakeAutostart>();
    auto shortcuts = std::make_unique<FakeShortcuts>();
    auto settings = std::make_unique<FakeSettingsStore>();
    auto shell = std::make_unique<FakeShell>();
    auto processes = std::make_unique<FakeProcesses>();
    auto adapter = std::make_unique<FakeNetworkAdapter>();
    auto sound = std::make_unique<FakeSound>();
    auto fonts = std::make_unique<FakeFonts>();
    auto desktop = std::make_unique<FakeDesktop>();
    auto notifications = std::make_unique<FakeNotifications>();
    if (handles)
        *handles = {autostart.get(), shortcuts.get(),    settings.get(), shell.get(),
                    processes.get(), adapter.get(),      sound.get(),    fonts.get(),
                    desktop.get(),   notifications.get()};
    p.autostart = std::move(autostart);
    p.shortcuts = std::move(shortcuts);
    p.settings = std::move(settings);
    p.shell = std::move(shell);
    p.processes = std::move(processes);
    p.adapter = std::move(adapter);
    p.sound = std::move(sound);
    p.fonts = std::move(fonts);
    p.desktop = std::move(desktop);
    p.notifications = std::move(notifications);
    return p;
}
