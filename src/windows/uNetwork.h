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

#include <functional>
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
class TNetwork : public QWidget
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

    // Shows the window for the drop zone's return: a plain show that leaves the sign-in state
    // alone.
    void showResumed();
    // A popup came up: the next show is a full one again, whatever the drop zone asked.
    void forgetResumedShow() { m_resumeShow = false; }

    // Server access (uNetwork_server.cpp). Every server step runs in the session.
    ClientSession& session();
    // The Tag of lblStatus: 1 after a sign-in, until the network returns.
    int signedInMark() const { return m_signedInMark; }
    void setSignedInMark(int mark) { m_signedInMark = mark; }
    bool signedIn() const { return m_signedIn; }
    // Asks the detector for the connectivity now, and keeps it asking.
    void requestConnectivityCheck();
    // Shows "Sign in" on the button again after a pause without network.
    void startNoNetworkPause();

    // What the detector said, as the screen shows it.
    void onConnectionStatus(bool reachable); // XNetDetect1ConnectionStatus
    // The status label and the sign-in button as the detector's answer has them.
    void showConnectivity(bool reachable);
    // The sign-in part of the periodic reconnection, while the window is hidden.
    void onReconnectTick(); // longtimerTimer
    // Opens the main connection in the users folder and refreshes the directory.
    void connectMain(); // FTPConnect
    void onConnected(const ConnectResult& result);
    bool connected() const;

    // The sign-in screen, the saved credentials and the sign-in options.
    SignInView& signIn() { return *m_signIn; }
    // The signed-in user's name, while signed in; after a sign-out, the one who signed out.
    const QString& sessionUser() const { return m_sessionUser; } // SessionUser
    void setSessionUser(const QString& name) { m_sessionUser = name; }
    // Marks the signed-in screen as set up or gone.
    void setSignedIn(bool on) { m_signedIn = on; }
    // Takes the directory a request brought back.
    void applyDirectory(const ConnectResult& result);

    // Read-only views of the state, for the callers that have not moved to it yet.
    const UserDirectory& directory() const;
    PendingDrop::Conditions sendConditions() const;
    // The user list, opening correspondents, favourites and the poll's results.
    ContactsView& contacts() { return *m_contacts; }

    // The conversation on screen, the message box and dropped files.
    ConversationView& conversation() { return *m_conversation; }

    // Shows the main window from the popup, as the mini bar's click does.
    void showFromPopup();
    // Opens the conversation of the sender the popup names.
    // The message box is emptied, and focused when asked.
    void openPopupSender(const QString& sender, bool focusMessage);
    // Files for the correspondent on screen, as a drop on the window.
    void dropFiles(const QStringList& paths);
    // The contacts' parts that the sign-in and the account ask for.
    void showUsers();
    void openSelectedUser();
    void showSignedInList();
    // The sign-in's parts that the account's upkeep asks for.
    const store::AccountRecord& accountRecord() const;
    void setAccountRecord(const store::AccountRecord& record);
    void forgetAccount();
    void setTypedName(const QString& name);
    bool usernameHoldsName() const;
    void showSignInScreen();
    // The conversation view's parts that the contacts ask for.
    void flashConversation();
    void clearMessageBox();
    void focusMessageBox();
    // The list's pick of a correspondent for files dropped elsewhere.
    bool selectForDrop(const QString& name);
    // The busy label's text while a request runs, and its look for labels like it.
    void showBusyText(const QString& text);
    QString busyStyle() const;
    // The notice phrases in the correspondent's language.
    const PhraseTable& peerPhrases() const;

    // Comforts (uNetwork_comforts.cpp): the draft of the correspondent in msg, the find bar
    // over chat (Ctrl+F), and the filter line that typing in users opens.
    DraftKeeper& drafts() { return *m_drafts; }

    // What the window needs to know of the other windows, answered by the wiring that made
    // them: whether the quick-send window or the picture viewer is on screen.
    struct OtherWindows
    {
        std::function<bool()> quickSendShown;
        std::function<bool()> avatarViewerShown;
    };
    void setOtherWindows(OtherWindows others) { m_others = std::move(others); }
    bool quickSendShown() const { return m_others.quickSendShown && m_others.quickSendShown(); }
    bool avatarViewerShown() const
    {
        return m_others.avatarViewerShown && m_others.avatarViewerShown();
    }

    // The region and activity of the user's own directory line, in the settings panel.
    void showProfile(const QString& ownEntry);
    // The account's upkeep: the settings panel's profile, deletion, rename and own picture.
    AccountPanel& account() { return *m_account; }
    // Closes the picture viewer when it is open.
    void closeAvatarViewer();

signals:
    // The detector's word changed, or was said again; the small windows' waiting files go then.
    void connectionStateChanged(bool online);
    // Intents for the other windows, which the wiring connects.
    void windowClosed();                              // the mini bar's open mark goes
    void avatarViewRequested(const QString& picture); // the picture viewer shows it
    void avatarViewerCloseRequested();                // the picture viewer fades away
    void quickSendRequested();                        // the quick-send window opens
    void quickSendCloseRequested();                   // the quick-send window fades away
    void dropZoneRequested(const QString& recipient); // the drop zone opens for them
    void otherWindowsCloseRequested();                // the sign-in screen shows

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Handlers of the frame.
    void onFadeTick();        // fxTimer
    void onBackClicked();     // Image1Click
    void onMinimizeClicked(); // Image2Click
    void onCloseClicked();    // bcloseClick
    void onSettingsToggled(); // moreClick
    // The window sees every key before its focused control; true when the key was used up.
    bool previewKey(int key); // FormKeyUp

    void createWindow(); // FormCreate
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
    int m_signedInMark = 0;
    QString m_sessionUser;
    bool m_resumeShow = false; // the next show is the drop zone's return
    OtherWindows m_others;

    AppContext& m_ctx;
    MainControls m_ui;
    // Moving the window by its background.
    bool m_frameDragging = false;
    QPoint m_frameDragOrigin;      // the pointer within the window at mouse-down
    QTimer* m_fadeTimer = nullptr; // fx
    // The connectivity state, "Connected!" or "disConnected!", as the detector last said.
    QLabel* m_connectionStatus = nullptr; // lblStatus
    DraftKeeper* m_drafts = nullptr;
    FindBar* m_findBar = nullptr;
    UserFilter* m_userFilter = nullptr;
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
