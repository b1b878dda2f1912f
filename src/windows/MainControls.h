#pragma once

#include <QString>

class AppContext;
class FrameImage;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QObject;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QWidget;

// The controls of the main window, created once in the order in which they stack. The window
// keeps them privately and hands each view its own part only, so that no view can reach
// another's controls.
struct MainControls
{
    // The frame: its pictures, the settings panel's picture and the busy label.
    struct Frame
    {
        FrameImage* background = nullptr;    // bg
        FrameImage* backImage = nullptr;     // Image1
        FrameImage* minimizeImage = nullptr; // Image2
        FrameImage* closeImage = nullptr;    // bclose
        FrameImage* settingsPanel = nullptr; // block1
        QLabel* busyLabel = nullptr;         // LMDSimpleLabel2
    };
    // The sign-in screen, its options and their twins in the settings panel, and signing out.
    struct SignIn
    {
        QLabel* signInTitle = nullptr;                // Label1
        QLineEdit* nameEdit = nullptr;                // username
        QLineEdit* passwordEdit = nullptr;            // pass
        QPushButton* signInButton = nullptr;          // Button2
        QRadioButton* autoSignInOption = nullptr;     // c1
        QRadioButton* forgetPasswordOption = nullptr; // c2
        QRadioButton* sharedComputerOption = nullptr; // c3
        QButtonGroup* signInOptions = nullptr;
        QRadioButton* panelForgetPasswordOption = nullptr; // m2
        QRadioButton* panelSharedComputerOption = nullptr; // m3
        QButtonGroup* panelOptions = nullptr;
        QPushButton* signOutButton = nullptr; // dscn
    };
    // The user list and the correspondent's panel.
    struct Contacts
    {
        QTreeWidget* userList = nullptr;            // users
        FrameImage* peerAvatar = nullptr;           // user2
        QLabel* peerNameLabel = nullptr;            // user2name
        FrameImage* favouriteMark = nullptr;        // favs
        QPushButton* commonFilesButton = nullptr;   // commonfiles
        QPushButton* receivedFilesButton = nullptr; // fbut
    };
    // The conversation and the message box.
    struct Conversation
    {
        QPlainTextEdit* conversationView = nullptr; // chat
        QPlainTextEdit* messageEdit = nullptr;      // msg
        QPushButton* sendButton = nullptr;          // sendbut
        QPushButton* sendFileButton = nullptr;      // LMDButton2
        QPushButton* quickSendButton = nullptr;     // sms
    };
    // The signed-in user: name, picture, rename, online mark and the settings panel's profile.
    struct Account
    {
        FrameImage* ownAvatar = nullptr;            // ava
        QLabel* ownNameLabel = nullptr;             // User
        QLineEdit* renameEdit = nullptr;            // rnm
        QLabel* renameError = nullptr;              // usererror
        QCheckBox* onlineCheck = nullptr;           // online
        FrameImage* settingsToggle = nullptr;       // more
        QComboBox* regionBox = nullptr;             // regionname
        QComboBox* activityBox = nullptr;           // subjecttype
        QPushButton* saveProfileButton = nullptr;   // savesets
        QPushButton* deleteAccountButton = nullptr; // delbut
        QPushButton* panelCancelButton = nullptr;   // LMDButton1
        // The title of the picture dialog, which is created only when the user picks a picture.
        QString pictureDialogTitle; // OpenPicTitle
    };

    Frame frame;
    SignIn signIn;
    Contacts contacts;
    Conversation conversation;
    Account account;

    // Creates every control on `window`, placed, coloured and captioned; `filter` sees the
    // mouse events of the frame pictures, the avatars and the list.
    void createControls(QWidget* window, QObject* filter, const AppContext& ctx);

private:
    void createFrame(QWidget* window, QObject* filter, const QString& dataDir);
    void createViews(QWidget* window, QObject* filter);
    void setCaptions(const AppContext& ctx);
};
