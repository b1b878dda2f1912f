#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "session/ClientState.h"
#include "windows/FrameImage.h"
#include "windows/Installation.h"
#include "windows/TrayIcon.h"
#include "windows/WindowLook.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QFile>
#include <QIcon>
#include <QImageReader>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

namespace {

const QColor kBarColour(47, 47, 53);
const QString kOpenNetwork = QStringLiteral("network");

} // namespace

TMinimized::TMinimized(AppContext& ctx, std::future<QImage> picture)
    : m_ctx(ctx), m_installation(std::make_unique<Installation>(ctx)),
      m_trayPicture(std::move(picture))
{
    setObjectName(QStringLiteral("Minimized"));
    setWindowTitle(QStringLiteral("Larkspire"));
    // A tool window has no taskbar button of its own.
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, kBarColour);
    setPalette(pal);
    setAutoFillBackground(true);
    resize(minibar::kSize, minibar::kSize);

    m_picture = new FrameImage(QStringLiteral("Image1"), this, FrameImage::Fit::Stretch);
    m_picture->setGeometry(0, 0, minibar::kSize, minibar::kSize);
    m_picture->setCursor(Qt::PointingHandCursor);
    m_picture->setMouseTracking(true);
    m_picture->installEventFilter(this);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &TMinimized::fadedOut);
    m_closeTimer = new QTimer(this);
    m_closeTimer->setObjectName(QStringLiteral("closetimer"));
    m_closeTimer->setInterval(5000);
    connect(m_closeTimer, &QTimer::timeout, this, &TMinimized::closetimerTimer);

    FormCreate();
    createDrops();
}

TMinimized::~TMinimized() = default;

void TMinimized::FormCreate()
{
    recordBuildNumber();
    createTrayIcon();
    m_tray->setOpenItemShown(false);

    const Folders f = m_ctx.folders();
    // A missing folder is simply not marked.
    if (!f.myImagesDir.isEmpty())
        helpers::setHidden(f.myImagesDir);
    helpers::setHidden(f.exeFolder + QStringLiteral("LarkspireUpdate"));

    InstallOrRegister();

    const QImage picture =
        m_trayPicture.valid() ? m_trayPicture.get() : readTrayPicture(f.programDataDir);
    QIcon icon = picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
    if (icon.isNull()) {
        QPixmap plain(32, 32);
        plain.fill(kBarColour);
        icon = QIcon(plain);
    }
    m_tray->setPicture(icon);
    setWindowIcon(icon);

    loadPosition();
    createQuiet();
}

QImage TMinimized::readTrayPicture(const QString& programDataDir)
{
    // As PNG only: a reader left to guess asks every image plugin first, loading each one
    // and the JPEG library with it, which the tray icon does not need.
    QImageReader reader(programDataDir + QStringLiteral("Larkspire.png"), "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

void TMinimized::recordBuildNumber()
{
    m_buildRecord = m_installation->recordBuild();
}

void TMinimized::createTrayIcon()
{
    m_tray = new TrayIcon(m_ctx, *this);
    connect(m_tray, &TrayIcon::clicked, this, &TMinimized::Tray1Click);
    connect(m_tray, &TrayIcon::openItemTriggered, this, &TMinimized::pop1Click);
    connect(m_tray, &TrayIcon::shutdownTriggered, this, &TMinimized::pop3Click);
    connect(m_tray, &TrayIcon::openFolderTriggered, this, &TMinimized::NFClick);
    connect(m_tray, &TrayIcon::removeAutostartTriggered, this, &TMinimized::s1Click);
    connect(m_tray, &TrayIcon::addAutostartTriggered, this, &TMinimized::s2Click);
    connect(m_tray, &TrayIcon::quietRechecked, this, &TMinimized::showQuietAndUnread);
    connect(m_tray, &TrayIcon::desktopNoticesChosen, this, &TMinimized::desktopNoticesChosen);
}

void TMinimized::loadPicture()
{
    // Once, when the bar first shows: a client that lives in the tray never loads the JPEG
    // decoder for it.
    if (m_pictureLoaded)
        return;
    m_pictureLoaded = true;
    // Without its picture the bar still works and shows its plain background colour; the
    // user hears about it once, when the bar first appears.
    const QString file = m_ctx.folders().programDataDir + QStringLiteral("Larkspire.jpg");
    if (!m_picture->loadPicture(file))
        m_missingPicture = file;
}

void TMinimized::reportMissingPicture()
{
    if (m_missingPicture.isEmpty())
        return;
    const QString text =
        QStringLiteral("The picture of the mini bar could not be read: %1").arg(m_missingPicture);
    m_missingPicture.clear();
    // After the show, so that the message box does not hold the bar half shown.
    QMetaObject::invokeMethod(
        this, [this, text] { m_ctx.platform().desktop->showError(text); }, Qt::QueuedConnection);
}

QString TMinimized::positionFile() const
{
    return m_ctx.folders().tempDataDir + QStringLiteral("mps.xo");
}

void TMinimized::loadPosition()
{
    const QString file = positionFile();
    if (!QFile::exists(file)) {
        m_memory = {};
        savePosition();
        return;
    }
    const minibar::ParsedRecord parsed = minibar::loadRecord(file);
    m_memory = parsed.record;
    // A damaged record would misplace the bar at every show; it is written again in good form.
    if (!parsed.wellFormed)
        savePosition();
}

void TMinimized::savePosition()
{
    // Another copy of the program may hold the file; this run then keeps its position in memory.
    minibar::saveRecord(positionFile(), m_memory);
}

QRect TMinimized::screenRect() const
{
    return look::availableArea();
}

void TMinimized::hideTaskbarButton()
{
    emit taskbarButtonUnwanted();
}

void TMinimized::setMainWindowPresence(std::function<MainWindowPresence()> presence)
{
    m_mainWindowPresence = std::move(presence);
}

QString TMinimized::recipient() const
{
    return m_ctx.state().directory().sendbutHint();
}

void TMinimized::setMainWindowOpenFlag(int flag)
{
    m_mainWindowOpenFlag = flag;
    m_tray->setMainWindowOpen(flag != 0);
}

void TMinimized::showTrayIcon()
{
    m_tray->show();
}

void TMinimized::completeTray()
{
    m_tray->completeMenu();
}

void TMinimized::loadFonts()
{
    m_installation->loadFonts();
}

void TMinimized::showEvent(QShowEvent* event)
{
    FormShow();
    QWidget::showEvent(event);
}

void TMinimized::FormShow()
{
    loadFonts();
    resize(minibar::kSize, minibar::kSize);
    setMainWindowOpenFlag(0);
    m_fader->fadeIn();
    hideTaskbarButton();
    m_ctx.platform().desktop->forceForeground(this);

    const QRect screen = screenRect();
    const minibar::PositionRecord clamped = minibar::clampToScreen(m_memory, screen);
    move(minibar::showTarget(clamped, screen, QCursor::pos()));
    m_memory = minibar::remeasure(clamped, screen, pos());
    savePosition();
    loadPicture();
    reportMissingPicture();
}

void TMinimized::hideEvent(QHideEvent* event)
{
    FormHide();
    QWidget::hideEvent(event);
}

void TMinimized::FormHide()
{
    setMainWindowOpenFlag(1);
    hideTaskbarButton();
    // The reason belonged to that drop; files that wait stay in the hints.
    if (!m_dropReason.isEmpty()) {
        m_dropReason.clear();
        showQuietAndUnread();
    }
}

void TMinimized::StartFadeOut(const QString& action)
{
    m_barFadeAction = action;
    m_fader->fadeOut();
}

void TMinimized::fxTimer()
{
    m_fader->tick();
}

void TMinimized::fadedOut()
{
    hide();
    if (m_barFadeAction == kOpenNetwork)
        emit showMainWindowRequested();
}

bool TMinimized::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_waitingMark && event->type() == QEvent::MouseButtonRelease) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton &&
            m_waitingMark->rect().contains(mouse->position().toPoint()))
            cancelWaitingFiles();
        return true;
    }
    if (watched != m_picture)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        Image1MouseDown(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseMove:
        Image1MouseMove(static_cast<QMouseEvent*>(event));
        return true;
    case QEvent::MouseButtonRelease:
        Image1MouseUp(static_cast<QMouseEvent*>(event));
        return true;
    default:
        return QWidget::eventFilter(watched, event);
    }
}

void TMinimized::Image1MouseDown(QMouseEvent* event)
{
    m_barDragging = true;
    m_barClickPending = true;
    m_downPoint = event->globalPosition().toPoint() - pos();
}

void TMinimized::Image1MouseMove(QMouseEvent* event)
{
    if (!m_barDragging)
        return;
    const QPoint delta = event->globalPosition().toPoint() - pos() - m_downPoint;
    // A move report without movement is not a drag; it must not swallow the click.
    if (delta.isNull())
        return;
    const QRect screen = screenRect();
    const QPoint target = minibar::dragTarget(pos(), delta, screen);
    if (target != pos())
        move(target);
    m_memory = minibar::recordAfterDrag(screen, pos());
    savePosition();
    m_barClickPending = false;
}

void TMinimized::Image1MouseUp(QMouseEvent* event)
{
    m_barDragging = false;
    if (m_barClickPending)
        StartFadeOut(kOpenNetwork);
    m_barClickPending = false;
    // The right button only puts the bar away.
    if (event->button() == Qt::RightButton)
        StartFadeOut(QString());
}

void TMinimized::Tray1Click()
{
    // The installed copy is taking over.
    if (m_installation->handingOver())
        return;
    if (!m_ctx.state().signedIn())
        pop1Click();
    else
        show();
}

void TMinimized::pop1Click()
{
    if (m_mainWindowOpenFlag == 1) {
        const MainWindowPresence main =
            m_mainWindowPresence ? m_mainWindowPresence() : MainWindowPresence{};
        if (!main.visible || main.active)
            CloseOpenedWindow();
        else
            emit raiseMainWindowRequested();
        return;
    }
    setMainWindowOpenFlag(1);
    emit showMainWindowRequested();
    hide();
}

void TMinimized::CloseOpenedWindow()
{
    const MainWindowPresence main =
        m_mainWindowPresence ? m_mainWindowPresence() : MainWindowPresence{};
    if (main.visible) {
        if (main.fading)
            return;
        emit closeMainWindowRequested();
    }
    setMainWindowOpenFlag(0);
}

void TMinimized::pop3Click()
{
    if (!m_ctx.platform().desktop->confirm(QStringLiteral("Larkspire"), m_ctx.text(357)))
        return;
    m_ctx.platform().fonts->removeAll();
    m_ctx.requestQuit();
    // This installation's copies only: another folder's or another user's stay.
    m_ctx.platform().processes->killProcessesNamed(QCoreApplication::applicationFilePath());
}

void TMinimized::NFClick()
{
    m_ctx.platform().shell->openPath(m_ctx.exeFolder() + m_ctx.text(336));
}

void TMinimized::closetimerTimer()
{
    m_barFadeAction.clear();
    StartFadeOut(QString());
    m_closeTimer->stop();
}

void TMinimized::closeEvent(QCloseEvent* event)
{
    // Closing the main window of the application ends the program.
    event->accept();
    m_ctx.requestQuit();
}
