#pragma once

#include "core/Fade.h"
#include "core/PendingDrop.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "session/ClientSession.h"
#include "windows/MainControls.h"

#include <QPoint>
#include <QStringList>

#include <QString>
#include <QWidget>

#include <optional>

class AccountPanel;
class AppContext;
class ContactsView;
class ConversationView;
class SignInView;
class DraftKeeper;
class FindBar;
class FrameImage;
class TXNetDetect;
class WindowFader;
class UpdateWatch;
class UserFilter;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDragEnterEvent;
class QDragMoveEvent;
class QDropEvent;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QTreeWidget;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// The main window: one borderless picture of 1200 x 700 pixels that fades in and out, moves
// when its background is dragged, and holds the sign-in screen (SignInView), the user list
// (ContactsView), the conversation (ConversationView) and the settings panel (AccountPanel).
// The window itself keeps the frame (uNetwork_frame.cpp: fading, moving, the frame pictures
// and the keys) and the connection's timers (uNetwork_server.cpp); its controls are created
// once in MainControls and shared by the views.
class TNetwork : public QWidget, public MainControls
{
    Q_OBJECT

public:
    explicit TNetwork(AppContext& ctx);
    ~TNetwork() override;

    // Fades the window out from full opacity; it closes at the end of the fade.
    void StartFadeOut();
    // True while a fade in either direction is running.
    bool fading() const;
    const Fade& fade() const;

    void showSettingsPanel(); // block1show
    void hideSettingsPanel(); // block1hide

    // Whether the desktop's taskbar lists the window. Several windows of the program switch it,
    // as the one taskbar button of the program.
    void setTaskbarButton(bool shown);
    bool hasTaskbarButton() const;

    // Handlers, public so that other windows and the tests can run them as the events would.
    void onFadeTick();        // fxTimer
    void onBackClicked();     // Image1Click
    void onMinimizeClicked(); // Image2Click
    void onCloseClicked();    // bcloseClick
    void onSettingsToggled(); // moreClick
    // The window sees every key before its focused control; true when the key was used up.
    bool previewKey(int key); // FormKeyUp

    // Moving the window by its background; the quick-send window moves itself the same way.
    bool FrameDragging = false;
    QPoint FrameDragOrigin; // the pointer within the window at mouse-down

    QTimer* fadeTimer = nullptr; // fx

    // Server access (uNetwork_server.cpp). Every server step runs in the session.
    ClientSession& session();
    // The connectivity state, "Connected!" or "disConnected!", as the detector last said.
    QLabel* connectionStatus = nullptr; // lblStatus
    int signedInMark = 0; // the Tag of lblStatus: 1 after a sign-in, until the network returns
    bool signedIn() const { return m_signedIn; }
    TXNetDetect* netDetector = nullptr; // XNetDetect1
    QTimer* bootstrapTimer = nullptr;   // FTPCSpermit
    QTimer* keepAliveTimer = nullptr;   // nooper
    QTimer* reconnectTimer = nullptr;   // longtimer
    QTimer* noNetworkTimer = nullptr;   // nonet
    UpdateWatch* updateWatch = nullptr; // owns updatetimer
    // Keeps only the last lines of the poll cycles' trace.
    QStringList pollTrace; // checkedusers

    void onConnectionStatus(bool reachable); // XNetDetect1ConnectionStatus
    void onBootstrapTick();                  // FTPCSpermitTimer
    void onKeepAliveTick();                  // idftperTimer
    void onReconnectTick();                  // longtimerTimer
    void onNoNetworkTick();                  // nonetTimer
    // Opens the main connection in the users folder and refreshes the directory.
    void connectMain(); // FTPConnect
    void onBootstrapped(const BootstrapResult& result);
    void onConnected(const ConnectResult& result);
    bool connected() const;

    // The sign-in screen, the saved credentials and the sign-in options.
    SignInView& signIn() { return *m_signIn; }
    // The signed-in user's name, while signed in.
    QString sessionUser; // SessionUser
    // Marks the signed-in screen as set up or gone.
    void setSignedIn(bool on) { m_signedIn = on; }
    // Takes the directory a request brought back.
    void applyDirectory(const ConnectResult& result);

    // The directory this window shows; the session works on copies of it.
    UserDirectory& directory() { return m_directory; }
    // The user list, opening correspondents, favourites and the poll's results.
    ContactsView& contacts() { return *m_contacts; }

    // The conversation on screen, the message box and dropped files.
    ConversationView& conversation() { return *m_conversation; }

    // Shows the main window from the popup, as the mini bar's click does.
    void showFromPopup();
    // Who would send a drop now, and whether the server is there for it.
    PendingDrop::Conditions sendConditions() const;

    // Comforts (uNetwork_comforts.cpp): the draft of the correspondent in msg, the find bar
    // over chat (Ctrl+F), and the filter line that typing in users opens.
    DraftKeeper* drafts = nullptr;
    FindBar* findBar = nullptr;
    UserFilter* userFilter = nullptr;

    // The account's upkeep: the settings panel's profile, deletion, rename and own picture.
    AccountPanel& account() { return *m_account; }
    // Closes the picture viewer when it is open.
    void closeAvatarViewer();

signals:
    // The detector's word changed, or was said again; the small windows' waiting files go then.
    void connectionStateChanged(bool online);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createWindow(); // FormCreate
    void prepareFolders();
    void prepareMyImages();
    void onShown();  // FormShow
    void onClosed(); // FormClose

    bool frameMouseEvent(QObject* watched, QMouseEvent* event);
    void bgMouseDown(QMouseEvent* event);
    void bgMouseMove(QMouseEvent* event);
    void bgMouseUp();
    void Image1MouseMove(QMouseEvent* event);
    void Image2MouseMove(QMouseEvent* event);
    void bcloseMouseMove();
    void moreMouseMove();
    void avaMouseMove();
    // The viewer with the own picture (avaClick) or the correspondent's (user2Click).
    void onOwnAvatarClick();
    void onPeerAvatarClick();
    void dragTo(QMouseEvent* event);
    void restoreAllImages();
    void hover(FrameImage* image, bool& flag, const QString& file);
    void restore(FrameImage* image, bool& flag, const QString& file);
    QString dataFile(const QString& name) const;

    void createServerAccess();
    void installComforts();
    // A key for the comforts, before the window's own handling: as keyPress of each comfort.
    std::optional<bool> comfortKey(QWidget* receiver, const QKeyEvent& key);
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

    bool m_signedIn = false; // the signed-in screen is set up

    AppContext& m_ctx;
    UserDirectory m_directory;
    WindowFader* m_fader = nullptr;
    AccountPanel* m_account = nullptr;
    SignInView* m_signIn = nullptr;
    ConversationView* m_conversation = nullptr;
    ContactsView* m_contacts = nullptr;
    bool m_shownOnce = false;
    bool m_Image1Hovered = false;
    bool m_Image2Hovered = false;
    bool m_bcloseHovered = false;
    bool m_moreHovered = false;
};
