#pragma once

#include "core/Fade.h"

#include <QPoint>
#include <QString>
#include <QWidget>

class AppContext;
class FrameImage;
class QButtonGroup;
class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QMouseEvent;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTimer;

// The main window: one borderless picture of 1200 x 700 pixels that fades in and out, moves
// when its background is dragged, and holds the sign-in view, the user list, the conversation
// and the settings panel. Its implementation is split by feature area; uNetwork_frame.cpp holds
// the frame: creation of the controls, fading, moving, the close images and the keys.
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
    const Fade& fade() const { return m_fade; }

    void block1show();
    void block1hide();

    // Whether the desktop's taskbar lists the window. Several windows of the program switch it,
    // as the one taskbar button of the program.
    void setTaskbarButton(bool shown);
    bool hasTaskbarButton() const;

    // Handlers, public so that other windows and the tests can run them as the events would.
    void fxTimer();
    void Image1Click();
    void Image2Click();
    void bcloseClick();
    void moreClick();
    // The window sees every key before its focused control; true when the key was used up.
    bool FormKeyUp(int key);

    // Moving the window by its background; the quick-send window moves itself the same way.
    bool FrameDragging = false;
    QPoint FrameDragOrigin; // the pointer within the window at mouse-down

    // Frame
    FrameImage* bg = nullptr;
    FrameImage* Image1 = nullptr;
    FrameImage* Image2 = nullptr;
    FrameImage* bclose = nullptr;
    FrameImage* more = nullptr;
    FrameImage* block1 = nullptr;
    // Sign-in view
    QLabel* LMDSimpleLabel2 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* username = nullptr;
    QLineEdit* pass = nullptr;
    QPushButton* Button2 = nullptr;
    QRadioButton* c1 = nullptr;
    QRadioButton* c2 = nullptr;
    QRadioButton* c3 = nullptr;
    QButtonGroup* signInOptions = nullptr;
    // Signed-in view
    QListWidget* users = nullptr;
    FrameImage* ava = nullptr;
    QLabel* User = nullptr;
    QLineEdit* rnm = nullptr;
    QLabel* usererror = nullptr;
    QPushButton* fbut = nullptr;
    QPlainTextEdit* chat = nullptr;
    QPushButton* sms = nullptr;
    FrameImage* favs = nullptr;
    FrameImage* user2 = nullptr;
    QLabel* user2name = nullptr;
    QPlainTextEdit* msg = nullptr;
    QPushButton* sendbut = nullptr;
    QPushButton* LMDButton2 = nullptr;
    QPushButton* commonfiles = nullptr;
    // Settings panel, shown and hidden with block1
    QComboBox* regionname = nullptr;
    QComboBox* subjecttype = nullptr;
    QPushButton* savesets = nullptr;
    QRadioButton* m2 = nullptr;
    QRadioButton* m3 = nullptr;
    QButtonGroup* panelOptions = nullptr;
    QPushButton* dscn = nullptr;
    QPushButton* delbut = nullptr;
    QPushButton* LMDButton1 = nullptr;
    // The title of the picture dialog, which is created only when the user picks a picture.
    QString OpenPicTitle;

    QTimer* fx = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();
    void createFrame();
    void createControls();
    void setCaptions();
    void prepareFolders();
    void prepareMyImages();
    void FormShow();
    // The rest of the show step: focus and automatic sign-in.
    void FormShowSignIn();
    void FormClose();

    bool frameMouseEvent(QObject* watched, QMouseEvent* event);
    void bgMouseDown(QMouseEvent* event);
    void bgMouseMove(QMouseEvent* event);
    void bgMouseUp();
    void Image1MouseMove(QMouseEvent* event);
    void Image2MouseMove(QMouseEvent* event);
    void bcloseMouseMove();
    void moreMouseMove();
    void avaMouseMove();
    void dragTo(QMouseEvent* event);
    void restoreAllImages();
    void hover(FrameImage* image, bool& flag, const QString& file);
    void restore(FrameImage* image, bool& flag, const QString& file);
    void closeAvatarViewer();
    QString dataFile(const QString& name) const;

    AppContext& m_ctx;
    Fade m_fade;
    bool m_shownOnce = false;
    bool m_Image1Hovered = false;
    bool m_Image2Hovered = false;
    bool m_bcloseHovered = false;
    bool m_moreHovered = false;
};
