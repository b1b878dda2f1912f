#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/FrameKeys.h"
#include "windows/FrameImage.h"
#include "windows/WindowFader.h"
#include "windows/WindowLook.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uPhoto.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 700;
const QString kCalibri = look::calibri();
const QString kFontatigo = look::fontatigo();
const QString kResume = QStringLiteral("resume");
using look::pixelFont;

// Text and background colours; an empty background leaves the control see-through.
void colour(QWidget* w, const char* type, const char* text, const char* background = nullptr)
{
    QString sheet = QStringLiteral("%1 { color: %2;").arg(QLatin1String(type), QLatin1String(text));
    if (background)
        sheet +=
            QStringLiteral(" background-color: %1; border: none;").arg(QLatin1String(background));
    else
        sheet += QStringLiteral(" background: transparent;");
    sheet += u'}';
    // The option buttons draw their own round marks, in the text colour.
    if (qstrcmp(type, "QRadioButton") == 0)
        sheet += QStringLiteral(" QRadioButton::indicator { width: 11px; height: 11px;"
                                " border: 1px solid %1; border-radius: 6px; }"
                                " QRadioButton::indicator:checked { background-color: #AD9A4B; }")
                     .arg(QLatin1String(text));
    w->setStyleSheet(sheet);
}

template <typename W>
W* place(W* w, const QString& name, int left, int top, int width, int height, bool shown)
{
    look::place(w, name, left, top, width, height)->setVisible(shown);
    return w;
}

} // namespace

void TNetwork::createWindow()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setFont(pixelFont(kCalibri, 13, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(206, 204, 128));
    // Shown only where the background picture is missing.
    pal.setColor(QPalette::Window, QColor(47, 47, 53));
    setPalette(pal);
    setAutoFillBackground(true);
    // Nothing of the program is in the taskbar until a window is shown.
    setTaskbarButton(false);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    fadeTimer = m_fader->timer();
    connect(m_fader, &WindowFader::fadedOut, this, &TNetwork::close);

    createFrame();
    createControls();
    setCaptions();
    prepareFolders();
    createServerAccess();
    createSignIn();
    createDirectory();
    createChat();
    createPolling();
    createFileSending();
    createAccountUpkeep();
    installComforts();
    setAcceptDrops(true);
    // The key preview: the window decides about each key before its focused control.
    qApp->installEventFilter(this);
}

void TNetwork::createFrame()
{
    background = place(new FrameImage(QStringLiteral("bg"), this, FrameImage::Fit::Stretch),
                       QStringLiteral("bg"), 0, 0, kWidth, kHeight, true);
    background->loadPicture(dataFile(QStringLiteral("network.jpg")));
    minimizeImage = place(new FrameImage(QStringLiteral("Image2"), this, FrameImage::Fit::Centre),
                          QStringLiteral("Image2"), 514, 0, 176, 38, true);
    backImage = place(new FrameImage(QStringLiteral("Image1"), this, FrameImage::Fit::Centre),
                      QStringLiteral("Image1"), 1154, 0, 38, 38, true);
    closeImage = place(new FrameImage(QStringLiteral("bclose"), this), QStringLiteral("bclose"),
                       987, 0, 113, 17, true);
    settingsToggle =
        place(new FrameImage(QStringLiteral("more"), this, FrameImage::Fit::StretchProportional),
              QStringLiteral("more"), 1147, 78, 40, 136, false);
    settingsToggle->loadPicture(dataFile(QStringLiteral("more.png")));
    settingsPanel = place(new FrameImage(QStringLiteral("block1"), this), QStringLiteral("block1"),
                          880, 200, 338, 417, false);
    settingsPanel->setAutoSize(true);
    settingsPanel->loadPicture(dataFile(QStringLiteral("block1.png")));

    for (FrameImage* image : {backImage, minimizeImage, closeImage, settingsToggle})
        image->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{background, settingsPanel, backImage,
                                                      minimizeImage, closeImage, settingsToggle}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

void TNetwork::createControls()
{
    // In the order of their places from the top, so later controls lie above earlier ones.
    busyLabel = place(new QLabel(this), QStringLiteral("LMDSimpleLabel2"), 123, 16, 175, 24, false);
    busyLabel->setFont(pixelFont(kFontatigo, 19, false));
    busyLabel->setAlignment(Qt::AlignCenter);
    colour(busyLabel, "QLabel", "#AD9A4B", "#6B1625");

    userList = place(new QTreeWidget(this), QStringLiteral("users"), 52, 56, 800, 177, false);
    userList->setFont(pixelFont(kCalibri, 19, false));
    userList->setFrameShape(QFrame::NoFrame);
    userList->setRootIsDecorated(false);
    userList->setHeaderHidden(true);
    userList->setUniformRowHeights(true);
    userList->setColumnCount(6);
    userList->setHeaderLabels({QString(), QStringLiteral("Имя"), QStringLiteral("Регион"),
                               QStringLiteral("Деятельность"), QStringLiteral("Тип аватара"),
                               QStringLiteral("LANG")});
    for (const auto& [column, width] :
         {std::pair{0, 30}, {1, 250}, {2, 240}, {3, 310}, {4, 75}, {5, 50}})
        userList->setColumnWidth(column, width);
    userList->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    userList->setStyleSheet(
        QStringLiteral("QTreeWidget { color: #595959; background: #E0E0E0; border: none; }"
                       "QTreeWidget::item { height: 24px; border-right: 1px dotted #9A9A9A; }"
                       "QTreeWidget::item:selected { color: #DBDDC6; background: #611422; }"));

    ownAvatar =
        place(new FrameImage(QStringLiteral("ava"), this, FrameImage::Fit::StretchProportional),
              QStringLiteral("ava"), 974, 72, 150, 150, false);
    settingsToggle->raise();
    settingsPanel->raise();

    ownNameLabel = place(new QLabel(this), QStringLiteral("User"), 915, 231, 270, 27, false);
    ownNameLabel->setFont(pixelFont(kCalibri, 19, true));
    ownNameLabel->setText(QStringLiteral("-"));
    colour(ownNameLabel, "QLabel", "#F4F4F4");

    renameEdit = place(new QLineEdit(this), QStringLiteral("rnm"), 927, 238, 245, 22, false);
    renameEdit->setFont(pixelFont(kCalibri, 13, true));
    colour(renameEdit, "QLineEdit", "#1E1E1E", "#E0E0E0");

    receivedFilesButton =
        place(new QPushButton(this), QStringLiteral("fbut"), 52, 240, 149, 25, false);
    receivedFilesButton->setFont(pixelFont(kCalibri, 13, true));
    colour(receivedFilesButton, "QPushButton", "#BFBD60", "#611422");

    conversationView =
        place(new QPlainTextEdit(this), QStringLiteral("chat"), 224, 240, 628, 289, false);
    conversationView->setFont(pixelFont(kCalibri, 16, true));
    conversationView->setFrameShape(QFrame::NoFrame);
    colour(conversationView, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");

    quickSendButton =
        place(new QPushButton(this), QStringLiteral("sms"), 224, 240, 628, 177, false);
    quickSendButton->setFont(pixelFont(kFontatigo, 21, false));
    colour(quickSendButton, "QPushButton", "#BFBD60", "#611422");

    signInTitle = place(new QLabel(this), QStringLiteral("Label1"), 376, 256, 441, 23, true);
    signInTitle->setFont(pixelFont(kCalibri, 16, true));
    colour(signInTitle, "QLabel", "#DBDDC6");

    favouriteMark = place(new FrameImage(QStringLiteral("favs"), this, FrameImage::Fit::Centre),
                          QStringLiteral("favs"), 102, 270, 44, 40, true);

    renameError = place(new QLabel(this), QStringLiteral("usererror"), 984, 279, 130, 15, false);
    renameError->setFont(pixelFont(kCalibri, 13, true));
    colour(renameError, "QLabel", "#E0E0E0");

    nameEdit = place(new QLineEdit(this), QStringLiteral("username"), 484, 288, 234, 21, true);
    nameEdit->setFont(pixelFont(kCalibri, 13, true));
    nameEdit->setAlignment(Qt::AlignCenter);
    colour(nameEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    regionBox = place(new QComboBox(this), QStringLiteral("regionname"), 898, 303, 302, 37, false);
    regionBox->setEditable(true);
    regionBox->setFont(pixelFont(kCalibri, 24, false));
    colour(regionBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    passwordEdit = place(new QLineEdit(this), QStringLiteral("pass"), 484, 312, 234, 21, true);
    passwordEdit->setFont(pixelFont(kCalibri, 13, false));
    passwordEdit->setAlignment(Qt::AlignCenter);
    colour(passwordEdit, "QLineEdit", "#1E1E1E", "#F4F4F4");

    peerAvatar =
        place(new FrameImage(QStringLiteral("user2"), this, FrameImage::Fit::StretchProportional),
              QStringLiteral("user2"), 70, 314, 110, 110, false);

    signInButton = place(new QPushButton(this), QStringLiteral("Button2"), 484, 338, 234, 27, true);
    signInButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signInButton, "QPushButton", "#AD9A4B", "#611422");

    activityBox =
        place(new QComboBox(this), QStringLiteral("subjecttype"), 898, 354, 302, 37, false);
    activityBox->setEditable(true);
    activityBox->setFont(pixelFont(kCalibri, 24, false));
    colour(activityBox, "QComboBox", "#1E1E1E", "#E0E0E0");

    autoSignInOption = place(new QRadioButton(this), QStringLiteral("c1"), 488, 368, 225, 50, true);
    saveProfileButton =
        place(new QPushButton(this), QStringLiteral("savesets"), 898, 406, 302, 41, false);
    saveProfileButton->setFont(pixelFont(kFontatigo, 16, false));
    colour(saveProfileButton, "QPushButton", "#BFBD60", "#611422");
    forgetPasswordOption =
        place(new QRadioButton(this), QStringLiteral("c2"), 488, 418, 225, 50, true);

    peerNameLabel = place(new QLabel(this), QStringLiteral("user2name"), 24, 426, 201, 27, false);
    peerNameLabel->setFont(pixelFont(kCalibri, 17, true));
    peerNameLabel->setAlignment(Qt::AlignCenter);
    colour(peerNameLabel, "QLabel", "#D8D8D8");

    sharedComputerOption =
        place(new QRadioButton(this), QStringLiteral("c3"), 488, 468, 225, 50, true);
    signInOptions = new QButtonGroup(this);
    signInOptions->setObjectName(QStringLiteral("signInOptions"));
    for (QRadioButton* c : {autoSignInOption, forgetPasswordOption, sharedComputerOption}) {
        c->setFont(pixelFont(kCalibri, 16, true));
        colour(c, "QRadioButton", "#DBDDC6");
        signInOptions->addButton(c);
    }

    panelForgetPasswordOption =
        place(new QRadioButton(this), QStringLiteral("m2"), 971, 530, 169, 20, false);
    messageEdit = place(new QPlainTextEdit(this), QStringLiteral("msg"), 224, 543, 514, 74, false);
    messageEdit->setFont(pixelFont(kCalibri, 16, true));
    messageEdit->setFrameShape(QFrame::NoFrame);
    colour(messageEdit, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");
    sendButton = place(new QPushButton(this), QStringLiteral("sendbut"), 739, 543, 113, 48, false);
    sendButton->setFont(pixelFont(kCalibri, 13, true));
    colour(sendButton, "QPushButton", "#BFBD60", "#611422");
    panelSharedComputerOption =
        place(new QRadioButton(this), QStringLiteral("m3"), 971, 548, 169, 20, false);
    panelOptions = new QButtonGroup(this);
    panelOptions->setObjectName(QStringLiteral("panelOptions"));
    for (QRadioButton* m : {panelForgetPasswordOption, panelSharedComputerOption}) {
        m->setFont(pixelFont(kCalibri, 13, true));
        colour(m, "QRadioButton", "#E0E0E0", "black");
        panelOptions->addButton(m);
    }

    signOutButton = place(new QPushButton(this), QStringLiteral("dscn"), 979, 570, 153, 17, false);
    signOutButton->setFont(pixelFont(kCalibri, 13, true));
    colour(signOutButton, "QPushButton", "#BFBD60", "#611422");
    deleteAccountButton =
        place(new QPushButton(this), QStringLiteral("delbut"), 979, 587, 153, 17, false);
    deleteAccountButton->setFont(pixelFont(kCalibri, 11, true));
    colour(deleteAccountButton, "QPushButton", "#DBDDC6", "#611422");
    sendFileButton =
        place(new QPushButton(this), QStringLiteral("LMDButton2"), 739, 592, 113, 25, false);
    sendFileButton->setFont(pixelFont(kCalibri, 13, true));
    colour(sendFileButton, "QPushButton", "#DBDDC6", "#611422");

    // Placed by their own views.
    panelCancelButton =
        place(new QPushButton(this), QStringLiteral("LMDButton1"), 898, 454, 302, 25, false);
    colour(panelCancelButton, "QPushButton", "#BFBD60", "#611422");
    commonFilesButton =
        place(new QPushButton(this), QStringLiteral("commonfiles"), 52, 268, 149, 25, false);
    colour(commonFilesButton, "QPushButton", "#BFBD60", "#611422");

    // "В сети": shown with the list; nothing reads it. Under the user's picture and name, where
    // it covers neither list height.
    onlineCheck = place(new QCheckBox(QStringLiteral("В сети"), this), QStringLiteral("online"),
                        974, 300, 120, 24, false);
    onlineCheck->setFont(pixelFont(kCalibri, 13, true));
    onlineCheck->setChecked(true);
    // Names come from the server; a name such as "<h1>x" must show as typed.
    for (QLabel* l : {ownNameLabel, peerNameLabel})
        l->setTextFormat(Qt::PlainText);

    for (QWidget* w : std::initializer_list<QWidget*>{ownAvatar, peerAvatar, peerNameLabel,
                                                      ownNameLabel, favouriteMark, busyLabel})
        w->setCursor(Qt::PointingHandCursor);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::TabFocus);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{ownNameLabel, ownAvatar}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{peerAvatar, peerNameLabel})
        w->installEventFilter(this);
    userList->viewport()->setMouseTracking(true);
    userList->viewport()->installEventFilter(this);
}

void TNetwork::setCaptions()
{
    quickSendButton->setText(m_ctx.text(304));
    receivedFilesButton->setText(m_ctx.text(141));
    sendButton->setText(m_ctx.text(142));
    signInButton->setText(m_ctx.text(131));
    sendFileButton->setText(m_ctx.text(143));
    renameError->setText(m_ctx.text(144));
    pictureDialogTitle = m_ctx.text(145);
    autoSignInOption->setText(m_ctx.text(146));
    forgetPasswordOption->setText(m_ctx.text(147));
    sharedComputerOption->setText(m_ctx.text(148));
    signInTitle->setText(m_ctx.text(296));
    // The edits and boxes show their placeholder as their text until the user enters them.
    nameEdit->setText(m_ctx.text(129));
    passwordEdit->setText(m_ctx.text(132));
    panelCancelButton->setText(m_ctx.text(160));
    panelForgetPasswordOption->setText(forgetPasswordOption->text());
    panelSharedComputerOption->setText(sharedComputerOption->text());
    signOutButton->setText(m_ctx.text(149));
    activityBox->setEditText(m_ctx.text(320));
    regionBox->setEditText(m_ctx.text(110));
    saveProfileButton->setText(m_ctx.text(321));
    busyLabel->setText(m_ctx.text(328));
    commonFilesButton->setText(m_ctx.text(332));
    favouriteMark->setToolTip(m_ctx.text(365));
}

QString TNetwork::dataFile(const QString& name) const
{
    return m_ctx.folders().programDataDir + name;
}

// Showing and closing

void TNetwork::showEvent(QShowEvent* event)
{
    if (!m_shownOnce) {
        m_shownOnce = true;
        if (const QScreen* s = QGuiApplication::primaryScreen())
            move(s->geometry().center() - rect().center());
    }
    onShown();
    QWidget::showEvent(event);
}

void TNetwork::onShown()
{
    closeAvatarViewer();
    setTaskbarButton(true);
    // The normal pictures are read afresh at every show.
    backImage->loadPicture(dataFile(QStringLiteral("back2.png")));
    minimizeImage->loadPicture(dataFile(QStringLiteral("minimize2.png")));
    closeImage->loadPicture(dataFile(QStringLiteral("close_button.png")));
    m_Image1Hovered = m_Image2Hovered = m_bcloseHovered = false;

    prepareMyImages();

    m_ctx.platform().desktop->forceForeground(this);
    deleteAccountButton->setText(m_ctx.text(130));
    deletePresses = 0;
    loadSuggestions();
    m_fader->fadeIn();

    // The drop-zone window asks for a plain show that leaves the sign-in state alone.
    // The mark holds for one show only.
    if (background->hint() == kResume) {
        background->setHint(QString());
        return;
    }
    FormShowSignIn();
    unmarkSelectedOnShow();
}

void TNetwork::closeEvent(QCloseEvent* event)
{
    onClosed();
    // Closing only hides the window; the program goes on in the notification area.
    event->accept();
}

void TNetwork::onClosed()
{
    setTaskbarButton(false);
    if (TMinimized* bar = m_ctx.Minimized())
        bar->setMainWindowOpenFlag(0);
}

void TNetwork::setTaskbarButton(bool shown)
{
    // A tool window stays out of the taskbar.
    const Qt::WindowFlags wanted = (shown ? Qt::Window : Qt::Tool) | Qt::FramelessWindowHint;
    if (windowFlags() == wanted)
        return;
    if (QWindow* handle = windowHandle()) {
        // Changing the flags the usual way would hide a shown window; the native window takes
        // the new type in place.
        overrideWindowFlags(wanted);
        handle->setFlags(wanted);
    } else {
        setWindowFlags(wanted);
    }
}

bool TNetwork::hasTaskbarButton() const
{
    return (windowFlags() & Qt::WindowType_Mask) != Qt::Tool;
}

// Fading

void TNetwork::StartFadeOut()
{
    m_fader->fadeOut();
}

bool TNetwork::fading() const
{
    return m_fader->running();
}

const Fade& TNetwork::fade() const
{
    return m_fader->fade();
}

void TNetwork::onFadeTick()
{
    m_fader->tick();
}

// Close images and the settings panel

void TNetwork::onBackClicked()
{
    StartFadeOut();
}

void TNetwork::onMinimizeClicked()
{
    StartFadeOut();
}

void TNetwork::onCloseClicked()
{
    StartFadeOut();
}

void TNetwork::onSettingsToggled()
{
    closeAvatarViewer();
    if (settingsPanel->isVisibleTo(this))
        hideSettingsPanel();
    else
        showSettingsPanel();
}

void TNetwork::showSettingsPanel()
{
    renameEdit->hide();
    // Over everything of the signed-in view, the "online" box among it, which shares its place.
    for (QWidget* w : std::initializer_list<QWidget*>{
             settingsPanel, regionBox, activityBox, saveProfileButton, panelForgetPasswordOption,
             panelSharedComputerOption, signOutButton, deleteAccountButton}) {
        w->show();
        w->raise();
    }
}

void TNetwork::hideSettingsPanel()
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             settingsPanel, regionBox, activityBox, saveProfileButton, panelForgetPasswordOption,
             panelSharedComputerOption, signOutButton, deleteAccountButton})
        w->hide();
}

void TNetwork::closeAvatarViewer()
{
    if (TPhoto* photo = m_ctx.Photo(); photo && photo->isVisible())
        photo->StartFadeOut();
}

void TNetwork::onOwnAvatarClick()
{
    if (TPhoto* photo = m_ctx.Photo())
        photo->showPicture(m_ctx.folders().tempDataDir +
                           store::local::ownAvatarCopy(accountRecord.avatarExtension));
}

void TNetwork::onPeerAvatarClick()
{
    if (TPhoto* photo = m_ctx.Photo())
        photo->showPicture(m_peerAvatarFile);
}

// Keys

bool TNetwork::previewKey(int key)
{
    frame::KeyContext k;
    k.escape = key == Qt::Key_Escape;
    k.settingsPanelShown = settingsPanel->isVisibleTo(this);
    k.quickSendShown = m_ctx.NetMenu() && m_ctx.NetMenu()->isVisible();
    k.avatarViewerShown = m_ctx.Photo() && m_ctx.Photo()->isVisible();
    k.renameFieldShown = renameEdit->isVisibleTo(this);
    switch (frame::keyAction(k)) {
    case frame::KeyAction::HideSettingsPanel:
        hideSettingsPanel();
        return true;
    case frame::KeyAction::DiscardAndFadeQuickSend:
        if (!QMetaObject::invokeMethod(m_ctx.NetMenu(), "StartFadeOut"))
            m_ctx.NetMenu()->close();
        return true;
    case frame::KeyAction::Discard:
        return true;
    case frame::KeyAction::HideRenameField:
        renameEdit->hide();
        return true;
    case frame::KeyAction::FadeOut:
        StartFadeOut();
        return true;
    case frame::KeyAction::PassOn:
        return false;
    }
    return false;
}

// Mouse

bool TNetwork::eventFilter(QObject* watched, QEvent* event)
{
    if (accountEvent(watched, event))
        return true;
    if (event->type() == QEvent::KeyPress) {
        // Only keys meant for this window, and once: the first receiver is its focused control,
        // the controls above it only see the key again when it was not used.
        auto* w = qobject_cast<QWidget*>(watched);
        QWidget* first = focusWidget() ? focusWidget() : this;
        if (!w || w != first)
            return false;
        // Ctrl+F and typing in the find bar or the filtered list are not the window's keys.
        if (const std::optional<bool> used = comfortKey(w, *static_cast<QKeyEvent*>(event)))
            return *used;
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (previewKey(key))
            return true;
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (w == messageEdit)
            return messageKey(key);
        if (w == passwordEdit && enter) {
            onSignIn();
            return true;
        }
        if (w == nameEdit && enter && !nameEdit->text().isEmpty()) {
            passTag = 1;
            passwordEdit->setFocus();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusIn && (watched == nameEdit || watched == passwordEdit)) {
        placeholderEnter(static_cast<QLineEdit*>(watched));
        return false;
    }
    if (event->type() == QEvent::FocusOut && (watched == nameEdit || watched == passwordEdit)) {
        placeholderExit(static_cast<QLineEdit*>(watched));
        return false;
    }
    // Drags reach the message box through its viewport.
    if (messageEdit && (watched == messageEdit || watched == messageEdit->viewport()) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop))
        return msgDragEvent(event);
    if (event->type() == QEvent::Enter && watched == messageEdit) {
        messageEdit->setFocus();
        return false;
    }
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::MouseButtonRelease:
        return frameMouseEvent(watched, static_cast<QMouseEvent*>(event));
    default:
        return false;
    }
}

bool TNetwork::frameMouseEvent(QObject* watched, QMouseEvent* event)
{
    const QEvent::Type type = event->type();
    const bool down = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick;
    const bool up = type == QEvent::MouseButtonRelease;
    const bool moved = type == QEvent::MouseMove;
    // A click is a left-button release over the control that was pressed.
    const auto clicked = [&](QWidget* w) {
        return up && event->button() == Qt::LeftButton &&
               w->rect().contains(event->position().toPoint());
    };

    if (watched == background || watched == settingsPanel) {
        if (down)
            bgMouseDown(event);
        else if (moved)
            bgMouseMove(event);
        else if (up)
            bgMouseUp();
        return true;
    }
    if (watched == ownNameLabel && clicked(ownNameLabel)) {
        onOwnAvatarClick();
        return true;
    }
    if (watched == ownNameLabel || watched == userList->viewport()) {
        if (moved)
            bgMouseMove(event);
        if (up && event->button() == Qt::RightButton && watched != ownNameLabel)
            usersRightButtonUp();
        return false;
    }
    if (watched == backImage) {
        if (moved)
            Image1MouseMove(event);
        else if (up)
            bgMouseUp();
        if (clicked(backImage))
            onBackClicked();
        return true;
    }
    if (watched == minimizeImage) {
        if (moved)
            Image2MouseMove(event);
        if (clicked(minimizeImage))
            onMinimizeClicked();
        return true;
    }
    if (watched == closeImage) {
        if (moved)
            bcloseMouseMove();
        if (clicked(closeImage))
            onCloseClicked();
        return true;
    }
    if (watched == settingsToggle) {
        if (moved)
            moreMouseMove();
        if (clicked(settingsToggle))
            onSettingsToggled();
        return true;
    }
    if (watched == ownAvatar && moved)
        avaMouseMove();
    if (watched == ownAvatar && clicked(ownAvatar)) {
        onOwnAvatarClick();
        return true;
    }
    if ((watched == peerAvatar && clicked(peerAvatar)) ||
        (watched == peerNameLabel && clicked(peerNameLabel))) {
        onPeerAvatarClick();
        return true;
    }
    if (watched == favouriteMark && clicked(favouriteMark)) {
        onFavouriteToggled();
        return true;
    }
    return false;
}

void TNetwork::bgMouseDown(QMouseEvent* event)
{
    closeAvatarViewer();
    FrameDragging = true;
    FrameDragOrigin = event->globalPosition().toPoint() - pos();
    renameEdit->hide();
}

void TNetwork::bgMouseMove(QMouseEvent* event)
{
    restoreAllImages();
    if (FrameDragging)
        dragTo(event);
}

void TNetwork::bgMouseUp()
{
    FrameDragging = false;
}

void TNetwork::dragTo(QMouseEvent* event)
{
    move(event->globalPosition().toPoint() - FrameDragOrigin);
}

void TNetwork::Image1MouseMove(QMouseEvent* event)
{
    if (FrameDragging)
        dragTo(event);
    else
        hover(backImage, m_Image1Hovered, QStringLiteral("back2M.png"));
    restore(settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::Image2MouseMove(QMouseEvent* event)
{
    if (FrameDragging)
        dragTo(event);
    else
        hover(minimizeImage, m_Image2Hovered, QStringLiteral("Minimize2M.png"));
}

void TNetwork::bcloseMouseMove()
{
    hover(closeImage, m_bcloseHovered, QStringLiteral("close_buttonM.png"));
    restore(settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::moreMouseMove()
{
    hover(settingsToggle, m_moreHovered, QStringLiteral("MoreM.png"));
}

void TNetwork::avaMouseMove()
{
    restore(settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::restoreAllImages()
{
    restore(backImage, m_Image1Hovered, QStringLiteral("back2.png"));
    restore(minimizeImage, m_Image2Hovered, QStringLiteral("minimize2.png"));
    restore(closeImage, m_bcloseHovered, QStringLiteral("close_button.png"));
    restore(settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::hover(FrameImage* image, bool& flag, const QString& file)
{
    if (flag)
        return;
    image->loadPicture(dataFile(file));
    flag = true;
}

void TNetwork::restore(FrameImage* image, bool& flag, const QString& file)
{
    if (!flag)
        return;
    image->loadPicture(dataFile(file));
    flag = false;
}
