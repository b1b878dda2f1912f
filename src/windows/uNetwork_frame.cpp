#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/FrameKeys.h"
#include "core/WindowPlacement.h"
#include "session/ClientState.h"
#include "windows/AccountPanel.h"
#include "windows/ContactsView.h"
#include "windows/ConversationView.h"
#include "windows/FrameImage.h"
#include "windows/SignInView.h"
#include "windows/WindowFader.h"
#include "windows/WindowLook.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>
#include <QWindow>

namespace {

constexpr int kWidth = 1200;
constexpr int kHeight = 700;
const QString kCalibri = look::calibri();
using look::pixelFont;

} // namespace

void TNetwork::createWindow()
{
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kWidth, kHeight);
    setFont(pixelFont(kCalibri, 13, true));
    QPalette pal = palette();
    pal.setColor(QPalette::WindowText, QColor(206, 204, 128));
    // Shown only where the m_ui.frame.background picture is missing.
    pal.setColor(QPalette::Window, QColor(47, 47, 53));
    setPalette(pal);
    setAutoFillBackground(true);
    // Nothing of the program is in the taskbar until a window is shown.
    setTaskbarButton(false);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    m_fadeTimer = m_fader->timer();
    connect(m_fader, &WindowFader::fadedOut, this, &TNetwork::close);

    m_ui.createControls(this, this, m_ctx);
    createServerAccess();
    m_signIn = new SignInView(*this, m_ui.signIn, m_ctx);
    m_contacts = new ContactsView(*this, m_ui.contacts, m_ctx);
    m_conversation = new ConversationView(*this, m_ui.conversation, m_ctx);
    m_account = new AccountPanel(*this, m_ui.account, m_ctx);
    // One busy label for every request of the window, shown while any of them runs.
    connect(&m_ctx.state(), &ClientState::busyChanged, m_ui.frame.busyLabel, &QWidget::setVisible);
    connect(m_conversation, &ConversationView::quickSendRequested, this,
            &TNetwork::quickSendRequested);
    connect(m_conversation, &ConversationView::dropZoneRequested, this,
            &TNetwork::dropZoneRequested);
    installComforts();
    setAcceptDrops(true);
    // The key preview: the window decides about each key before its focused control.
    qApp->installEventFilter(this);
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
        const QRect area = look::availableArea();
        move(placement::keepInside(area.center() - rect().center(), size(), area));
    }
    onShown();
    QWidget::showEvent(event);
}

void TNetwork::onShown()
{
    closeAvatarViewer();
    setTaskbarButton(true);
    // The normal pictures are read afresh at every show.
    m_ui.frame.backImage->loadPicture(dataFile(QStringLiteral("back2.png")));
    m_ui.frame.minimizeImage->loadPicture(dataFile(QStringLiteral("minimize2.png")));
    m_ui.frame.closeImage->loadPicture(dataFile(QStringLiteral("close_button.png")));
    m_Image1Hovered = m_Image2Hovered = m_bcloseHovered = false;

    prepareMyImages();

    m_ctx.platform().desktop->forceForeground(this);
    m_account->resetDeletion();
    m_account->loadSuggestions();
    m_fader->fadeIn();

    // The drop-zone window asks for a plain show that leaves the sign-in state alone.
    // The mark holds for one show only.
    if (m_resumeShow) {
        m_resumeShow = false;
        return;
    }
    m_signIn->FormShowSignIn();
    m_contacts->unmarkSelectedOnShow();
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
    emit windowClosed();
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
    if (m_ui.frame.settingsPanel->isVisibleTo(this))
        hideSettingsPanel();
    else
        showSettingsPanel();
}

void TNetwork::showSettingsPanel()
{
    m_ui.account.renameEdit->hide();
    // Over everything of the signed-in view, the "online" box among it, which shares its place.
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui.frame.settingsPanel, m_ui.account.regionBox, m_ui.account.activityBox,
             m_ui.account.saveProfileButton, m_ui.signIn.panelForgetPasswordOption,
             m_ui.signIn.panelSharedComputerOption, m_ui.signIn.signOutButton,
             m_ui.account.deleteAccountButton}) {
        w->show();
        w->raise();
    }
}

void TNetwork::hideSettingsPanel()
{
    for (QWidget* w : std::initializer_list<QWidget*>{
             m_ui.frame.settingsPanel, m_ui.account.regionBox, m_ui.account.activityBox,
             m_ui.account.saveProfileButton, m_ui.signIn.panelForgetPasswordOption,
             m_ui.signIn.panelSharedComputerOption, m_ui.signIn.signOutButton,
             m_ui.account.deleteAccountButton})
        w->hide();
}

void TNetwork::showResumed()
{
    m_resumeShow = true;
    show();
}

void TNetwork::closeAvatarViewer()
{
    if (avatarViewerShown())
        emit avatarViewerCloseRequested();
}

void TNetwork::onOwnAvatarClick()
{
    emit avatarViewRequested(
        m_ctx.folders().tempDataDir +
        store::local::ownAvatarCopy(m_signIn->accountRecord().avatarExtension));
}

void TNetwork::onPeerAvatarClick()
{
    emit avatarViewRequested(m_contacts->peerAvatarFile());
}

// Keys

bool TNetwork::previewKey(int key)
{
    frame::KeyContext k;
    k.escape = key == Qt::Key_Escape;
    k.settingsPanelShown = m_ui.frame.settingsPanel->isVisibleTo(this);
    k.quickSendShown = quickSendShown();
    k.avatarViewerShown = avatarViewerShown();
    k.renameFieldShown = m_ui.account.renameEdit->isVisibleTo(this);
    k.filesWaiting = m_conversation->waitingFiles().waiting();
    switch (frame::keyAction(k)) {
    case frame::KeyAction::HideSettingsPanel:
        hideSettingsPanel();
        return true;
    case frame::KeyAction::DiscardAndFadeQuickSend:
        emit quickSendCloseRequested();
        return true;
    case frame::KeyAction::Discard:
        return true;
    case frame::KeyAction::HideRenameField:
        m_ui.account.renameEdit->hide();
        return true;
    case frame::KeyAction::CancelWaitingFiles:
        m_conversation->cancelWaitingFiles();
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
    if (m_account && m_account->handleEvent(watched, event))
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
        const auto* keyEvent = static_cast<QKeyEvent*>(event);
        const int key = keyEvent->key();
        if (previewKey(key))
            return true;
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        if (w == m_ui.conversation.messageEdit)
            return m_conversation->messageKey(key, keyEvent->modifiers());
        if (w == m_ui.signIn.passwordEdit && enter) {
            m_signIn->onSignIn();
            return true;
        }
        if (w == m_ui.signIn.nameEdit && enter && !m_ui.signIn.nameEdit->text().isEmpty()) {
            m_signIn->markPasswordNext();
            m_ui.signIn.passwordEdit->setFocus();
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::FocusIn &&
        (watched == m_ui.signIn.nameEdit || watched == m_ui.signIn.passwordEdit)) {
        m_signIn->placeholderEnter(static_cast<QLineEdit*>(watched));
        return false;
    }
    if (event->type() == QEvent::FocusOut &&
        (watched == m_ui.signIn.nameEdit || watched == m_ui.signIn.passwordEdit)) {
        m_signIn->placeholderExit(static_cast<QLineEdit*>(watched));
        return false;
    }
    // Drags reach the message box through its viewport.
    if (m_ui.conversation.messageEdit &&
        (watched == m_ui.conversation.messageEdit ||
         watched == m_ui.conversation.messageEdit->viewport()) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop))
        return m_conversation->msgDragEvent(event);
    if (event->type() == QEvent::Enter && watched == m_ui.conversation.messageEdit) {
        m_ui.conversation.messageEdit->setFocus();
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

    if (watched == m_ui.frame.background || watched == m_ui.frame.settingsPanel) {
        if (down)
            bgMouseDown(event);
        else if (moved)
            bgMouseMove(event);
        else if (up)
            bgMouseUp();
        return true;
    }
    if (watched == m_ui.account.ownNameLabel && clicked(m_ui.account.ownNameLabel)) {
        onOwnAvatarClick();
        return true;
    }
    if (watched == m_ui.account.ownNameLabel || watched == m_ui.contacts.userList->viewport()) {
        if (moved)
            bgMouseMove(event);
        // The right button released over a selected row opens the quick-send window for it.
        if (up && event->button() == Qt::RightButton && watched != m_ui.account.ownNameLabel &&
            m_contacts->listHasSelection())
            m_conversation->onQuickSend();
        return false;
    }
    if (watched == m_ui.frame.backImage) {
        if (moved)
            Image1MouseMove(event);
        else if (up)
            bgMouseUp();
        if (clicked(m_ui.frame.backImage))
            onBackClicked();
        return true;
    }
    if (watched == m_ui.frame.minimizeImage) {
        if (moved)
            Image2MouseMove(event);
        if (clicked(m_ui.frame.minimizeImage))
            onMinimizeClicked();
        return true;
    }
    if (watched == m_ui.frame.closeImage) {
        if (moved)
            bcloseMouseMove();
        if (clicked(m_ui.frame.closeImage))
            onCloseClicked();
        return true;
    }
    if (watched == m_ui.account.settingsToggle) {
        if (moved)
            moreMouseMove();
        if (clicked(m_ui.account.settingsToggle))
            onSettingsToggled();
        return true;
    }
    if (watched == m_ui.account.ownAvatar && moved)
        avaMouseMove();
    if (watched == m_ui.account.ownAvatar && clicked(m_ui.account.ownAvatar)) {
        onOwnAvatarClick();
        return true;
    }
    if ((watched == m_ui.contacts.peerAvatar && clicked(m_ui.contacts.peerAvatar)) ||
        (watched == m_ui.contacts.peerNameLabel && clicked(m_ui.contacts.peerNameLabel))) {
        onPeerAvatarClick();
        return true;
    }
    if (watched == m_ui.contacts.favouriteMark && clicked(m_ui.contacts.favouriteMark)) {
        m_contacts->onFavouriteToggled();
        return true;
    }
    return false;
}

void TNetwork::bgMouseDown(QMouseEvent* event)
{
    closeAvatarViewer();
    m_frameDragging = true;
    m_frameDragOrigin = event->globalPosition().toPoint() - pos();
    m_ui.account.renameEdit->hide();
}

void TNetwork::bgMouseMove(QMouseEvent* event)
{
    restoreAllImages();
    if (m_frameDragging)
        dragTo(event);
}

void TNetwork::bgMouseUp()
{
    m_frameDragging = false;
}

void TNetwork::dragTo(QMouseEvent* event)
{
    move(event->globalPosition().toPoint() - m_frameDragOrigin);
}

void TNetwork::Image1MouseMove(QMouseEvent* event)
{
    if (m_frameDragging)
        dragTo(event);
    else
        hover(m_ui.frame.backImage, m_Image1Hovered, QStringLiteral("back2M.png"));
    restore(m_ui.account.settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::Image2MouseMove(QMouseEvent* event)
{
    if (m_frameDragging)
        dragTo(event);
    else
        hover(m_ui.frame.minimizeImage, m_Image2Hovered, QStringLiteral("Minimize2M.png"));
}

void TNetwork::bcloseMouseMove()
{
    hover(m_ui.frame.closeImage, m_bcloseHovered, QStringLiteral("close_buttonM.png"));
    restore(m_ui.account.settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::moreMouseMove()
{
    hover(m_ui.account.settingsToggle, m_moreHovered, QStringLiteral("MoreM.png"));
}

void TNetwork::avaMouseMove()
{
    restore(m_ui.account.settingsToggle, m_moreHovered, QStringLiteral("More.png"));
}

void TNetwork::restoreAllImages()
{
    restore(m_ui.frame.backImage, m_Image1Hovered, QStringLiteral("back2.png"));
    restore(m_ui.frame.minimizeImage, m_Image2Hovered, QStringLiteral("minimize2.png"));
    restore(m_ui.frame.closeImage, m_bcloseHovered, QStringLiteral("close_button.png"));
    restore(m_ui.account.settingsToggle, m_moreHovered, QStringLiteral("More.png"));
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
