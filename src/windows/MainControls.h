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

// The controls of the main window, in one place so that its views share them: the window
// creates them once, in the order in which they stack, and each view works on its own part.
struct MainControls
{
    // Frame
    FrameImage* background = nullptr;     // bg
    FrameImage* backImage = nullptr;      // Image1
    FrameImage* minimizeImage = nullptr;  // Image2
    FrameImage* closeImage = nullptr;     // bclose
    FrameImage* settingsToggle = nullptr; // more
    FrameImage* settingsPanel = nullptr;  // block1
    // Sign-in view
    QLabel* busyLabel = nullptr;                  // LMDSimpleLabel2
    QLabel* signInTitle = nullptr;                // Label1
    QLineEdit* nameEdit = nullptr;                // username
    QLineEdit* passwordEdit = nullptr;            // pass
    QPushButton* signInButton = nullptr;          // Button2
    QRadioButton* autoSignInOption = nullptr;     // c1
    QRadioButton* forgetPasswordOption = nullptr; // c2
    QRadioButton* sharedComputerOption = nullptr; // c3
    QButtonGroup* signInOptions = nullptr;
    // Signed-in view
    QTreeWidget* userList = nullptr;            // users
    FrameImage* ownAvatar = nullptr;            // ava
    QLabel* ownNameLabel = nullptr;             // User
    QLineEdit* renameEdit = nullptr;            // rnm
    QLabel* renameError = nullptr;              // usererror
    QPushButton* receivedFilesButton = nullptr; // fbut
    QPlainTextEdit* conversationView = nullptr; // chat
    QPushButton* quickSendButton = nullptr;     // sms
    FrameImage* favouriteMark = nullptr;        // favs
    FrameImage* peerAvatar = nullptr;           // user2
    QLabel* peerNameLabel = nullptr;            // user2name
    QPlainTextEdit* messageEdit = nullptr;      // msg
    QPushButton* sendButton = nullptr;          // sendbut
    QPushButton* sendFileButton = nullptr;      // LMDButton2
    QPushButton* commonFilesButton = nullptr;   // commonfiles
    QCheckBox* onlineCheck = nullptr;           // online
    // Settings panel, shown and hidden with block1
    QComboBox* regionBox = nullptr;                    // regionname
    QComboBox* activityBox = nullptr;                  // subjecttype
    QPushButton* saveProfileButton = nullptr;          // savesets
    QRadioButton* panelForgetPasswordOption = nullptr; // m2
    QRadioButton* panelSharedComputerOption = nullptr; // m3
    QButtonGroup* panelOptions = nullptr;
    QPushButton* signOutButton = nullptr;       // dscn
    QPushButton* deleteAccountButton = nullptr; // delbut
    QPushButton* panelCancelButton = nullptr;   // LMDButton1
    // The title of the picture dialog, which is created only when the user picks a picture.
    QString pictureDialogTitle; // OpenPicTitle

    // Creates every control on `window`, placed, coloured and captioned; `filter` sees the
    // mouse events of the frame pictures, the avatars and the list.
    void createControls(QWidget* window, QObject* filter, const AppContext& ctx);

private:
    void createFrame(QWidget* window, QObject* filter, const QString& dataDir);
    void createViews(QWidget* window, QObject* filter);
    void setCaptions(const AppContext& ctx);
};
