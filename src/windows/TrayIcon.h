#pragma once

#include "core/DoNotDisturb.h"

#include <QIcon>
#include <QObject>
#include <QString>

#include <optional>

class AppContext;
class QAction;
class QActionGroup;
class QMenu;
class QSystemTrayIcon;
class QTimer;
class QWidget;

// The program's icon in the notification area, with its menu: the way into a client where the
// desktop has a tray. The icon and its hint show what the client's state holds unread, how it
// stands with the server and whether do not disturb is on, which its menu turns on for a span;
// its menu also chooses the desktop's notifications over the popup. Every other item of the
// menu is an intent that the icon's owner carries out.
class TrayIcon : public QObject
{
    Q_OBJECT

public:
    // The menu is a child of `owner`, the widget the icon belongs to.
    TrayIcon(AppContext& ctx, QWidget& owner);
    ~TrayIcon() override;

    // Shows the icon, then builds its menu where that was not done yet.
    void show();
    // Builds the menu; the icon goes on screen without waiting for it. Until then the items'
    // states are kept and put on the items when they are made.
    void completeMenu();
    // The program's own picture, which the marks are drawn over.
    void setPicture(const QIcon& picture);
    // The first item offers to open the main window, or to minimise it while it is open.
    void setMainWindowOpen(bool open);
    void setOpenItemShown(bool shown);
    void setSettingsShown(bool shown);
    // The autostart entry is there: the settings offer to remove it, else to add it.
    void setAutostart(bool on);
    // What the owner has under way, ahead of the news in the hint: the upload's progress, which
    // stands in the program's name, and the files that wait or why a drop went nowhere.
    void setActivity(const QString& upload, const QString& drop);

    // What the icon shows now.
    bool muted() const { return m_muted; }
    int unreadShown() const { return m_unreadShown; }

signals:
    // A single click on the icon.
    void clicked(); // Tray1Click
    // The first item, or a double click on the icon, which runs the default item.
    void openItemTriggered();        // pop1Click
    void shutdownTriggered();        // pop3Click
    void openFolderTriggered();      // NFClick
    void removeAutostartTriggered(); // s1Click
    void addAutostartTriggered();    // s2Click
    // The periodic look at do not disturb found it still on: the words for its end may have
    // moved on, wherever they are shown.
    void quietRechecked();
    // The item chose the desktop's notifications, or the popup again; the choice is kept.
    void desktopNoticesChosen(bool on);

private:
    void createMenu();
    void applyMenuState();
    void createQuietMenu();
    void onQuietTimer(); // quietTimerTimer
    // The news goes to the desktop's notifications from now on, or to the popup again.
    void onDesktopNotices(bool on);
    // The icon, its hint and the do-not-disturb items, after anything they show changed.
    void render();

    AppContext& m_ctx;
    QWidget& m_owner;
    // What the owner said of the items, for a menu made later.
    struct MenuState
    {
        bool mainWindowOpen = false;
        bool openItemShown = true;
        bool settingsShown = true;
        std::optional<bool> autostart;
    };
    MenuState m_menuState;
    QSystemTrayIcon* m_icon = nullptr;    // Tray1
    QMenu* m_menu = nullptr;              // PopupMenu1
    QAction* m_openItem = nullptr;        // pop1
    QAction* m_shutdownItem = nullptr;    // pop3
    QAction* m_hiddenSeparator = nullptr; // N2, which stays hidden
    QAction* m_settingsItem = nullptr;    // sets, opening setsMenu
    QAction* m_removeAutostart = nullptr; // s1
    QAction* m_addAutostart = nullptr;    // s2
    QAction* m_openFolderItem = nullptr;  // NF
    // Do not disturb: the check item that opens quietMenu is checked while it is on.
    QAction* m_quietItem = nullptr; // quietItem
    QActionGroup* m_quietSpans = nullptr;
    QAction* m_quietForAnHour = nullptr;      // quietForAnHour
    QAction* m_quietUntilMorning = nullptr;   // quietUntilMorning
    QAction* m_quietUntilTurnedOff = nullptr; // quietUntilTurnedOff
    QAction* m_quietTurnOff = nullptr;        // quietTurnOff
    QTimer* m_quietTimer = nullptr;           // quietTimer
    // Checked while the news goes to the desktop's notifications rather than the popup.
    QAction* m_desktopNotices = nullptr; // desktopNotices

    QIcon m_picture;
    bool m_muted = false;
    int m_unreadShown = 0;
    QString m_upload;
    QString m_drop;
};
