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

void TNetwork::FormCreate()
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
    fx = m_fader->timer();
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
    bg = place(new FrameImage(QStringLiteral("bg"), this, FrameImage::Fit::Stretch),
               QStringLiteral("bg"), 0, 0, kWidth, kHeight, true);
    bg->loadPicture(dataFile(QStringLiteral("network.jpg")));
    Image2 = place(new FrameImage(QStringLiteral("Image2"), this, FrameImage::Fit::Centre),
                   QStringLiteral("Image2"), 514, 0, 176, 38, true);
    Image1 = place(new FrameImage(QStringLiteral("Image1"), this, FrameImage::Fit::Centre),
                   QStringLiteral("Image1"), 1154, 0, 38, 38, true);
    bclose = place(new FrameImage(QStringLiteral("bclose"), this), QStringLiteral("bclose"), 987, 0,
                   113, 17, true);
    more = place(new FrameImage(QStringLiteral("more"), this, FrameImage::Fit::StretchProportional),
                 QStringLiteral("more"), 1147, 78, 40, 136, false);
    more->loadPicture(dataFile(QStringLiteral("more.png")));
    block1 = place(new FrameImage(QStringLiteral("block1"), this), QStringLiteral("block1"), 880,
                   200, 338, 417, false);
    block1->setAutoSize(true);
    block1->loadPicture(dataFile(QStringLiteral("block1.png")));

    for (FrameImage* image : {Image1, Image2, bclose, more})
        image->setCursor(Qt::PointingHandCursor);
    for (QWidget* w : std::initializer_list<QWidget*>{bg, block1, Image1, Image2, bclose, more}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
}

void TNetwork::createControls()
{
    // In the order of their places from the top, so later controls lie above earlier ones.
    LMDSimpleLabel2 =
        place(new QLabel(this), QStringLiteral("LMDSimpleLabel2"), 123, 16, 175, 24, false);
    LMDSimpleLabel2->setFont(pixelFont(kFontatigo, 19, false));
    LMDSimpleLabel2->setAlignment(Qt::AlignCenter);
    colour(LMDSimpleLabel2, "QLabel", "#AD9A4B", "#6B1625");

    users = place(new QTreeWidget(this), QStringLiteral("users"), 52, 56, 800, 177, false);
    users->setFont(pixelFont(kCalibri, 19, false));
    users->setFrameShape(QFrame::NoFrame);
    users->setRootIsDecorated(false);
    users->setHeaderHidden(true);
    users->setUniformRowHeights(true);
    users->setColumnCount(6);
    users->setHeaderLabels({QString(), QStringLiteral("Имя"), QStringLiteral("Регион"),
                            QStringLiteral("Деятельность"), QStringLiteral("Тип аватара"),
                            QStringLiteral("LANG")});
    for (const auto& [column, width] :
         {std::pair{0, 30}, {1, 250}, {2, 240}, {3, 310}, {4, 75}, {5, 50}})
        users->setColumnWidth(column, width);
    users->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    users->setStyleSheet(
        QStringLiteral("QTreeWidget { color: #595959; background: #E0E0E0; border: none; }"
                       "QTreeWidget::item { height: 24px; border-right: 1px dotted #9A9A9A; }"
                       "QTreeWidget::item:selected { color: #DBDDC6; background: #611422; }"));

    ava = place(new FrameImage(QStringLiteral("ava"), this, FrameImage::Fit::StretchProportional),
                QStringLiteral("ava"), 974, 72, 150, 150, false);
    more->raise();
    block1->raise();

    User = place(new QLabel(this), QStringLiteral("User"), 915, 231, 270, 27, false);
    User->setFont(pixelFont(kCalibri, 19, true));
    User->setText(QStringLiteral("-"));
    colour(User, "QLabel", "#F4F4F4");

    rnm = place(new QLineEdit(this), QStringLiteral("rnm"), 927, 238, 245, 22, false);
    rnm->setFont(pixelFont(kCalibri, 13, true));
    colour(rnm, "QLineEdit", "#1E1E1E", "#E0E0E0");

    fbut = place(new QPushButton(this), QStringLiteral("fbut"), 52, 240, 149, 25, false);
    fbut->setFont(pixelFont(kCalibri, 13, true));
    colour(fbut, "QPushButton", "#BFBD60", "#611422");

    chat = place(new QPlainTextEdit(this), QStringLiteral("chat"), 224, 240, 628, 289, false);
    chat->setFont(pixelFont(kCalibri, 16, true));
    chat->setFrameShape(QFrame::NoFrame);
    colour(chat, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");

    sms = place(new QPushButton(this), QStringLiteral("sms"), 224, 240, 628, 177, false);
    sms->setFont(pixelFont(kFontatigo, 21, false));
    colour(sms, "QPushButton", "#BFBD60", "#611422");

    Label1 = place(new QLabel(this), QStringLiteral("Label1"), 376, 256, 441, 23, true);
    Label1->setFont(pixelFont(kCalibri, 16, true));
    colour(Label1, "QLabel", "#DBDDC6");

    favs = place(new FrameImage(QStringLiteral("favs"), this, FrameImage::Fit::Centre),
                 QStringLiteral("favs"), 102, 270, 44, 40, true);

    usererror = place(new QLabel(this), QStringLiteral("usererror"), 984, 279, 130, 15, false);
    usererror->setFont(pixelFont(kCalibri, 13, true));
    colour(usererror, "QLabel", "#E0E0E0");

    username = place(new QLineEdit(this), QStringLiteral("username"), 484, 288, 234, 21, true);
    username->setFont(pixelFont(kCalibri, 13, true));
    username->setAlignment(Qt::AlignCenter);
    colour(username, "QLineEdit", "#1E1E1E", "#F4F4F4");

    regionname = place(new QComboBox(this), QStringLiteral("regionname"), 898, 303, 302, 37, false);
    regionname->setEditable(true);
    regionname->setFont(pixelFont(kCalibri, 24, false));
    colour(regionname, "QComboBox", "#1E1E1E", "#E0E0E0");

    pass = place(new QLineEdit(this), QStringLiteral("pass"), 484, 312, 234, 21, true);
    pass->setFont(pixelFont(kCalibri, 13, false));
    pass->setAlignment(Qt::AlignCenter);
    colour(pass, "QLineEdit", "#1E1E1E", "#F4F4F4");

    user2 =
        place(new FrameImage(QStringLiteral("user2"), this, FrameImage::Fit::StretchProportional),
              QStringLiteral("user2"), 70, 314, 110, 110, false);

    Button2 = place(new QPushButton(this), QStringLiteral("Button2"), 484, 338, 234, 27, true);
    Button2->setFont(pixelFont(kCalibri, 13, true));
    colour(Button2, "QPushButton", "#AD9A4B", "#611422");

    subjecttype =
        place(new QComboBox(this), QStringLiteral("subjecttype"), 898, 354, 302, 37, false);
    subjecttype->setEditable(true);
    subjecttype->setFont(pixelFont(kCalibri, 24, false));
    colour(subjecttype, "QComboBox", "#1E1E1E", "#E0E0E0");

    c1 = place(new QRadioButton(this), QStringLiteral("c1"), 488, 368, 225, 50, true);
    savesets = place(new QPushButton(this), QStringLiteral("savesets"), 898, 406, 302, 41, false);
    savesets->setFont(pixelFont(kFontatigo, 16, false));
    colour(savesets, "QPushButton", "#BFBD60", "#611422");
    c2 = place(new QRadioButton(this), QStringLiteral("c2"), 488, 418, 225, 50, true);

    user2name = place(new QLabel(this), QStringLiteral("user2name"), 24, 426, 201, 27, false);
    user2name->setFont(pixelFont(kCalibri, 17, true));
    user2name->setAlignment(Qt::AlignCenter);
    colour(user2name, "QLabel", "#D8D8D8");

    c3 = place(new QRadioButton(this), QStringLiteral("c3"), 488, 468, 225, 50, true);
    signInOptions = new QButtonGroup(this);
    signInOptions->setObjectName(QStringLiteral("signInOptions"));
    for (QRadioButton* c : {c1, c2, c3}) {
        c->setFont(pixelFont(kCalibri, 16, true));
        colour(c, "QRadioButton", "#DBDDC6");
        signInOptions->addButton(c);
    }

    m2 = place(new QRadioButton(this), QStringLiteral("m2"), 971, 530, 169, 20, false);
    msg = place(new QPlainTextEdit(this), QStringLiteral("msg"), 224, 543, 514, 74, false);
    msg->setFont(pixelFont(kCalibri, 16, true));
    msg->setFrameShape(QFrame::NoFrame);
    colour(msg, "QPlainTextEdit", "#1E1E1E", "#E0E0E0");
    sendbut = place(new QPushButton(this), QStringLiteral("sendbut"), 739, 543, 113, 48, false);
    sendbut->setFont(pixelFont(kCalibri, 13, true));
    colour(sendbut, "QPushButton", "#BFBD60", "#611422");
    m3 = place(new QRadioButton(this), QStringLiteral("m3"), 971, 548, 169, 20, false);
    panelOptions = new QButtonGroup(this);
    panelOptions->setObjectName(QStringLiteral("panelOptions"));
    for (QRadioButton* m : {m2, m3}) {
        m->setFont(pixelFont(kCalibri, 13, true));
        colour(m, "QRadioButton", "#E0E0E0", "black");
        panelOptions->addButton(m);
    }

    dscn = place(new QPushButton(this), QStringLiteral("dscn"), 979, 570, 153, 17, false);
    dscn->setFont(pixelFont(kCalibri, 13, true));
    colour(dscn, "QPushButton", "#BFBD60", "#611422");
    delbut = place(new QPushButton(this), QStringLiteral("delbut"), 979, 587, 153, 17, false);
    delbut->setFont(pixelFont(kCalibri, 11, true));
    colour(delbut, "QPushButton", "#DBDDC6", "#611422");
    LMDButton2 =
        place(new QPushButton(this), QStringLiteral("LMDButton2"), 739, 592, 113, 25, false);
    LMDButton2->setFont(pixelFont(kCalibri, 13, true));
    colour(LMDButton2, "QPushButton", "#DBDDC6", "#611422");

    // Placed by their own views.
    LMDButton1 =
        place(new QPushButton(this), QStringLiteral("LMDButton1"), 898, 454, 302, 25, false);
    colour(LMDButton1, "QPushButton", "#BFBD60", "#611422");
    commonfiles =
        place(new QPushButton(this), QStringLiteral("commonfiles"), 52, 268, 149, 25, false);
    colour(commonfiles, "QPushButton", "#BFBD60", "#611422");

    // "В сети": shown with the list; nothing reads it. Under the user's picture and name, where
    // it covers neither list height.
    online = place(new QCheckBox(QStringLiteral("В сети"), this), QStringLiteral("online"), 974,
                   300, 120, 24, false);
    online->setFont(pixelFont(kCalibri, 13, true));
    online->setChecked(true);
    // Names come from the server; a name such as "<h1>x" must show as typed.
    for (QLabel* l : {User, user2name})
        l->setTextFormat(Qt::PlainText);

    for (QWidget* w :
         std::initializer_list<QWidget*>{ava, user2, user2name, User, favs, LMDSimpleLabel2})
        w->setCursor(Qt::PointingHandCursor);
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setFlat(true);
        b->setCursor(Qt::PointingHandCursor);
        b->setFocusPolicy(Qt::TabFocus);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{User, ava}) {
        w->setMouseTracking(true);
        w->installEventFilter(this);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{user2, user2name})
        w->installEventFilter(this);
    users->viewport()->setMouseTracking(true);
    users->viewport()->installEventFilter(this);
}

void TNetwork::setCaptions()
{
    sms->setText(m_ctx.text(304));
    fbut->setText(m_ctx.text(141));
    sendbut->setText(m_ctx.text(142));
    Button2->setText(m_ctx.text(131));
    LMDButton2->setText(m_ctx.text(143));
    usererror->setText(m_ctx.text(144));
    OpenPicTitle = m_ctx.text(145);
    c1->setText(m_ctx.text(146));
    c2->setText(m_ctx.text(147));
    c3->setText(m_ctx.text(148));
    Label1->setText(m_ctx.text(296));
    // The edits and boxes show their placeholder as their text until the user enters them.
    username->setText(m_ctx.text(129));
    pass->setText(m_ctx.text(132));
    LMDButton1->setText(m_ctx.text(160));
    m2->setText(c2->text());
    m3->setText(c3->text());
    dscn->setText(m_ctx.text(149));
    subjecttype->setEditText(m_ctx.text(320));
    regionname->setEditText(m_ctx.text(110));
    savesets->setText(m_ctx.text(321));
    LMDSimpleLabel2->setText(m_ctx.text(328));
    commonfiles->setText(m_ctx.text(332));
    favs->setToolTip(m_ctx.text(365));
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
    FormShow();
    QWidget::showEvent(event);
}

void TNetwork::FormShow()
{
    closeAvatarViewer();
    setTaskbarButton(true);
    // The normal pictures are read afresh at every show.
    Image1->loadPicture(dataFile(QStringLiteral("back2.png")));
    Image2->loadPicture(dataFile(QStringLiteral("minimize2.png")));
    bclose->loadPicture(dataFile(QStringLiteral("close_button.png")));
    m_Image1Hovered = m_Image2Hovered = m_bcloseHovered = false;

    prepareMyImages();

    m_ctx.platform().desktop->forceForeground(this);
    delbut->setText(m_ctx.text(130));
    deleteClicks = 0;
    loadSuggestions();
    m_fader->fadeIn();

    // The drop-zone window asks for a plain show that leaves the sign-in state alone.
    // The mark holds for one show only.
    if (bg->hint() == kResume) {
        bg->setHint(QString());
        return;
    }
    FormShowSignIn();
    unmarkSelectedOnShow();
}

void TNetwork::closeEvent(QCloseEvent* event)
{
    FormClose();
    // Closing only hides the window; the program goes on in the notification area.
    event->accept();
}

void TNetwork::FormClose()
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

void TNetwork::fxTimer()
{
    m_fader->tick();
}

// Close images and the settings panel

void TNetwork::Image1Click()
{
    StartFadeOut();
}

void TNetwork::Image2Click()
{
    StartFadeOut();
}

void TNetwork::bcloseClick()
{
    StartFadeOut();
}

void TNetwork::moreClick()
{
    closeAvatarViewer();
    if (block1->isVisibleTo(this))
        block1hide();
    else
        block1show();
}

void TNetwork::block1show()
{
    rnm->hide();
    // Over everything of the signed-in view, the "online" box among it, which shares its place.
    for (QWidget* w : std::initializer_list<QWidget*>{block1, regionname, subjecttype, savesets, m2,
                                                      m3, dscn, delbut}) {
        w->show();
        w->raise();
    }
}

void TNetwork::block1hide()
{
    for (QWidget* w : std::initializer_list<QWidget*>{block1, regionname, subjecttype, savesets, m2,
                                                      m3, dscn, delbut})
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
                           store::local::ownAvatarCopy(mem.avatarExtension));
}

void TNetwork::onPeerAvatarClick()
{
    if (TPhoto* photo = m_ctx.Photo())
        photo->showPicture(m_peerAvatarFile);
}

// Keys

bool TNetwork::FormKeyUp(int key)
{
    frame::KeyContext k;
    k.escape = key == Qt::Key_Escape;
    k.settingsPanelShown = block1->isVisibleTo(this);
    k.quickSendShown = m_ctx.NetMenu() && m_ctx.NetMenu()->isVisible();
    k.avatarViewerShown = m_ctx.Photo() && m_ctx.Photo()->isVisible();
    k.renameFieldShown = rnm->isVisibleTo(this);
    switch (frame::keyAction(k)) {
    case frame::KeyAction::HideSettingsPanel:
        block1hide();
        return true;
    case frame::KeyAction::DiscardAndFadeQuickSend:
        if (!QMetaObject::invokeMethod(m_ctx.NetMenu(), "StartFadeOut"))
            m_ctx.NetMenu()->close();
        return true;
    case frame::KeyAction::Discard:
        return true;
    case frame::KeyAction::HideRenameField:
        rnm->hide();
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
        if (FormKeyUp(key))
            return true;
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (w == msg)
            return msgKeyDown(key);
        if (w == pass && enter) {
            Button2Click();
            return true;
        }
        if (w == username && enter && !username->text().isEmpty()) {
            passTag = 1;
            pass->setFocus();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusIn && (watched == username || watched == pass)) {
        placeholderEnter(static_cast<QLineEdit*>(watched));
        return false;
    }
    if (event->type() == QEvent::FocusOut && (watched == username || watched == pass)) {
        placeholderExit(static_cast<QLineEdit*>(watched));
        return false;
    }
    // Drags reach the message box through its viewport.
    if (msg && (watched == msg || watched == msg->viewport()) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop))
        return msgDragEvent(event);
    if (event->type() == QEvent::Enter && watched == msg) {
        msg->setFocus();
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

    if (watched == bg || watched == block1) {
        if (down)
            bgMouseDown(event);
        else if (moved)
            bgMouseMove(event);
        else if (up)
            bgMouseUp();
        return true;
    }
    if (watched == User && clicked(User)) {
        onOwnAvatarClick();
        return true;
    }
    if (watched == User || watched == users->viewport()) {
        if (moved)
            bgMouseMove(event);
        if (up && event->button() == Qt::RightButton && watched != User)
            usersRightButtonUp();
        return false;
    }
    if (watched == Image1) {
        if (moved)
            Image1MouseMove(event);
        else if (up)
            bgMouseUp();
        if (clicked(Image1))
            Image1Click();
        return true;
    }
    if (watched == Image2) {
        if (moved)
            Image2MouseMove(event);
        if (clicked(Image2))
            Image2Click();
        return true;
    }
    if (watched == bclose) {
        if (moved)
            bcloseMouseMove();
        if (clicked(bclose))
            bcloseClick();
        return true;
    }
    if (watched == more) {
        if (moved)
            moreMouseMove();
        if (clicked(more))
            moreClick();
        return true;
    }
    if (watched == ava && moved)
        avaMouseMove();
    if (watched == ava && clicked(ava)) {
        onOwnAvatarClick();
        return true;
    }
    if ((watched == user2 && clicked(user2)) || (watched == user2name && clicked(user2name))) {
        onPeerAvatarClick();
        return true;
    }
    if (watched == favs && clicked(favs)) {
        favsClick();
        return true;
    }
    return false;
}

void TNetwork::bgMouseDown(QMouseEvent* event)
{
    closeAvatarViewer();
    FrameDragging = true;
    FrameDragOrigin = event->globalPosition().toPoint() - pos();
    rnm->hide();
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
        hover(Image1, m_Image1Hovered, QStringLiteral("back2M.png"));
    restore(more, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::Image2MouseMove(QMouseEvent* event)
{
    if (FrameDragging)
        dragTo(event);
    else
        hover(Image2, m_Image2Hovered, QStringLiteral("Minimize2M.png"));
}

void TNetwork::bcloseMouseMove()
{
    hover(bclose, m_bcloseHovered, QStringLiteral("close_buttonM.png"));
    restore(more, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::moreMouseMove()
{
    hover(more, m_moreHovered, QStringLiteral("MoreM.png"));
}

void TNetwork::avaMouseMove()
{
    restore(more, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::restoreAllImages()
{
    restore(Image1, m_Image1Hovered, QStringLiteral("back2.png"));
    restore(Image2, m_Image2Hovered, QStringLiteral("minimize2.png"));
    restore(bclose, m_bcloseHovered, QStringLiteral("close_button.png"));
    restore(more, m_moreHovered, QStringLiteral("More.png"));
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
