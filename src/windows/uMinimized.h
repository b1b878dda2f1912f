#pragma once

#include "core/MiniBarPlacement.h"
#include "core/PendingDrop.h"
#include "windows/WindowFader.h"

#include <QImage>
#include <QPoint>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <future>
#include <memory>

class AppContext;
class FrameImage;
class Installation;
class TrayIcon;
struct CorrespondentResult;
struct FilesRequest;
struct FilesResult;
namespace poll {
struct Announcement;
}
class QLabel;
class QMouseEvent;
class QTimer;

// The mini bar: a small always-on-top square the user drags anywhere. It owns the tray icon
// (TrayIcon) and acts on its menu, and runs the start's installation step (Installation). It is
// the application's main window: closing it ends the program. It reads the client's state and
// asks for the main window and the picker through its signals, which ClientWindows connects.
class TMinimized : public QWidget
{
    Q_OBJECT

public:
    // How the main window stands on screen, which decides what the first menu item does.
    struct MainWindowPresence
    {
        bool visible = false;
        bool active = false;
        bool fading = false;
    };

    // `picture`, when valid, delivers the tray icon's picture that another thread reads while
    // the rest of the start-up runs; without it the bar reads the picture itself.
    explicit TMinimized(AppContext& ctx, std::future<QImage> picture = {});
    // The tray icon's picture, "Larkspire.png" in the data folder; null when it cannot be read.
    // Safe on any thread.
    static QImage readTrayPicture(const QString& programDataDir);
    ~TMinimized() override;

    // Where the bar learns how the main window stands; until it is given, the main window counts
    // as closed.
    void setMainWindowPresence(std::function<MainWindowPresence()> presence);

    void showTrayIcon();
    // The rest of the tray icon, its menu, once the icon is on screen or is not to be shown.
    void completeTray();
    // The program's own fonts, once: before the bar or any other window first writes in them.
    // The tray icon does not.
    void loadFonts();

    // Fades the bar away; "network" opens the main window once the bar is gone.
    void StartFadeOut(const QString& action);
    // Closes the main window with its fade and sets the menu back to "open".
    void CloseOpenedWindow();
    // 0: the main window is closed and pop1 offers to open it; 1: it is open or the bar hidden,
    // and pop1 offers to minimise.
    int MainWindowOpenFlag() const { return m_mainWindowOpenFlag; }
    void setMainWindowOpenFlag(int flag);
    const QString& BarFadeAction() const { return m_barFadeAction; }
    const Fade& fade() const { return m_fader->fade(); }
    minibar::PositionRecord memory() const { return m_memory; }
    QString positionFile() const;

    // Handlers, public so the other windows and the tests can run them as the events would.
    void fxTimer();
    // The tray icon's click and its menu's items.
    void Tray1Click();
    void pop1Click();
    void pop3Click();
    void NFClick();
    void closetimerTimer();

    // The build number of this executable, one line.
    const QStringList& buildRecord() const { return m_buildRecord; } // vinfo
    // The files last dropped on the bar.
    const QStringList& dropfiles() const { return m_dropFiles; }
    // Files dropped while the server was away, which go up when it is back.
    PendingDrop waitingFiles() const;
    // The connection state changed: waiting files go up once the server is there.
    void sendWaitingFiles();
    // The picker closed on a drop; an empty name gives the drop up.
    void recipientPicked(const QString& name);

signals:
    // The user wants the main window on screen (a click on the bar, the menu, a drop while
    // nobody is signed in).
    void showMainWindowRequested();
    // The main window is open behind another window and the menu asks for it.
    void raiseMainWindowRequested();
    // The menu puts the open main window away, with its fade.
    void closeMainWindowRequested();
    // The bar came or went: the program's one taskbar button, which the main window holds,
    // goes from the taskbar.
    void taskbarButtonUnwanted();
    // Files were dropped on the bar: the user picks their recipient beside it.
    void pickRecipientRequested(const QRect& bar);
    // The recipient of the dropped files becomes the main window's correspondent, as a click
    // in the user list would make them.
    void openConversationRequested(const QString& name);
    // The tray menu chose the desktop's notifications for the news, or the popup again.
    void desktopNoticesChosen(bool on);

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void FormCreate();
    void recordBuildNumber();
    void createTrayIcon();
    // The autostart entry: s1 removes it after asking, s2 adds it.
    void s1Click();
    void s2Click();
    // The installation and autostart step of the creation (uMinimized_install.cpp): a first
    // start for this user offers to install, every later one re-arms the autostart entry.
    void InstallOrRegister();
    void loadPicture();
    void reportMissingPicture();
    void loadPosition();
    void savePosition();
    void FormShow();
    void FormHide();
    void Image1MouseDown(QMouseEvent* event);
    void Image1MouseMove(QMouseEvent* event);
    void Image1MouseUp(QMouseEvent* event);
    QRect screenRect() const;
    void hideTaskbarButton();
    void fadedOut();
    // Files dropped on the bar (uMinimized_drops.cpp): the picker names the recipient.
    void createDrops();
    void dropFiles(const QStringList& paths);
    void send(const QString& name, const QStringList& paths);
    // The hints' line for the waiting files, else the reason the last drop did not go up.
    QString dropStateLine() const;
    // The mark and the hints after either changed; `announce` also shows the line at once.
    void showDropState(bool announce);
    void cancelWaitingFiles();
    void onFilesReached(const FilesRequest& request);
    void onProgress(const QString& name, int percent);
    void onFilesSent(const FilesResult& result);
    void showUploadState(const QString& text);
    // The unread news and do not disturb (uMinimized_quiet.cpp).
    void createQuiet();
    void onAnnounced(const poll::Announcement& announcement);
    void onConversationOpened(const CorrespondentResult& result);
    // The bar's marks and hint, and what the tray icon's hint shows of the bar's work, after
    // anything they show changed.
    void showQuietAndUnread();

    // The recipient of every send: the main window's correspondent.
    QString recipient() const;

    AppContext& m_ctx;
    FrameImage* m_picture = nullptr; // Image1
    // The count and the muted mark drawn over the picture, for a desktop without a tray.
    QLabel* m_barMarks = nullptr;                         // barMarks
    QTimer* m_closeTimer = nullptr;                       // closetimer
    QStringList m_buildRecord{QStringLiteral("Version")}; // vinfo
    QStringList m_dropFiles;                              // dropfiles
    // How many dropped files wait for the server, over the bottom of the picture; a click on it
    // gives them up.
    QLabel* m_waitingMark = nullptr; // waitingMark
    std::function<MainWindowPresence()> m_mainWindowPresence;
    WindowFader* m_fader = nullptr;
    minibar::PositionRecord m_memory;
    int m_mainWindowOpenFlag = 0;
    QString m_barFadeAction;
    bool m_barDragging = false;
    bool m_barClickPending = false;
    QPoint m_downPoint;
    QString m_missingPicture;
    bool m_pictureLoaded = false;
    std::unique_ptr<Installation> m_installation;
    std::future<QImage> m_trayPicture; // taken once, when the tray icon is made

    // Sends of the small windows on their way, whose progress the hints show.
    int m_uploadsRunning = 0;
    bool m_picking = false; // the picker is open for a drop
    QString m_uploadState;  // the hints' first line while the small windows' files go up
    QString m_dropReason;   // nobody was signed in for the last drop

    TrayIcon* m_tray = nullptr;
    // What the marks over the picture show now.
    bool m_marksMuted = false;
    int m_marksUnread = 0;

    static constexpr int kTxtNotListed = 377;
};
