#include "windows/udragform.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "session/ClientSession.h"
#include "windows/ContactsView.h"
#include "windows/ConversationView.h"
#include "windows/DroppedFiles.h"
#include "windows/FrameImage.h"
#include "windows/SignInView.h"
#include "windows/WindowLook.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>

namespace {

constexpr int kWidth = 220;
constexpr int kHeight = 180;
constexpr int kRightGap = 240;  // from the screen's right edge to the window's left edge
constexpr int kBottomGap = 200; // from the screen's bottom edge to the window's top edge
const QString kResume = QStringLiteral("resume");

} // namespace

Tdragform::Tdragform(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("dragform"));
    setWindowTitle(QStringLiteral("Larkspire"));
    FormCreate();
}

void Tdragform::FormCreate()
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kWidth, kHeight);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);

    m_picture = new FrameImage(QStringLiteral("Image1"), this, FrameImage::Fit::Stretch);
    m_picture->setGeometry(0, 0, kWidth, kHeight);
    m_picture->setCursor(Qt::ArrowCursor);
    m_picture->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("dragform.jpg"));

    m_closeStrip = new FrameImage(QStringLiteral("Image2"), this);
    m_closeStrip->setGeometry(0, 0, 131, 18);
    m_closeStrip->setCursor(Qt::PointingHandCursor);

    m_busyLabel = look::place(new QLabel(this), QStringLiteral("LMDSimpleLabel2"), 0, 156, 175, 24);
    m_busyLabel->setFont(look::pixelFont(look::fontatigo(), 19, false));
    m_busyLabel->setTextFormat(Qt::PlainText); // file names come from the user's disk
    m_busyLabel->setStyleSheet(
        QStringLiteral("QLabel { color: #AD9A4B; background-color: #6B1625; }"));
    m_busyLabel->setText(m_ctx.text(StringTable::kTxtUploading));
    m_busyLabel->hide();

    for (QWidget* w : std::initializer_list<QWidget*>{m_picture, m_closeStrip})
        w->installEventFilter(this);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &Tdragform::close);

    ClientSession& session = m_ctx.session();
    connect(&session, &ClientSession::filesReached, this, &Tdragform::onFilesReached);
    connect(&session, &ClientSession::transferProgress, this, &Tdragform::onProgress);
    connect(&session, &ClientSession::filesSent, this, &Tdragform::onFilesSent);
}

QPoint Tdragform::placement(QSize screen)
{
    return {screen.width() - kRightGap, screen.height() - kBottomGap};
}

void Tdragform::ShowForNetwork()
{
    m_sendsToNetwork = true;
    show();
}

void Tdragform::showEvent(QShowEvent* event)
{
    FormShow();
    QWidget::showEvent(event);
}

void Tdragform::FormShow()
{
    m_fader->fadeIn();
    m_ctx.platform().desktop->forceForeground(this);
    setFocus();
    const QScreen* s = QGuiApplication::primaryScreen();
    move(placement(s ? s->geometry().size() : QSize(1920, 1080)));
}

void Tdragform::StartFadeOut()
{
    // A second trigger during the fade-out must not start it again from full opacity.
    if (m_fader->running() && m_fader->fade().direction() == Fade::Direction::Out)
        return;
    m_fader->fadeOut();
}

void Tdragform::closeEvent(QCloseEvent* event)
{
    m_dragging = false;
    event->accept();
    if (!m_sendsToNetwork || m_ctx.ending())
        return;
    TNetwork* network = m_ctx.Network();
    network->background->setHint(kResume);
    network->show();
    m_ctx.platform().desktop->forceForeground(network);
}

// Close triggers and moving

void Tdragform::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && !event->isAutoRepeat()) {
        StartFadeOut();
        return;
    }
    QWidget::keyReleaseEvent(event);
}

bool Tdragform::eventFilter(QObject* watched, QEvent* event)
{
    auto* mouse = dynamic_cast<QMouseEvent*>(event);
    if (!mouse)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonDblClick:
        if (watched == m_picture) {
            m_dragging = false;
            StartFadeOut();
            return true;
        }
        return false;
    case QEvent::MouseButtonPress:
        if (watched == m_picture) {
            m_dragging = true;
            m_dragOrigin = mouse->globalPosition().toPoint() - pos();
            return true;
        }
        return false;
    case QEvent::MouseMove:
        if (m_dragging)
            move(mouse->globalPosition().toPoint() - m_dragOrigin);
        return m_dragging;
    case QEvent::MouseButtonRelease:
        if (watched == m_picture) {
            m_dragging = false;
            return true;
        }
        // A click on the strip: released over it with the left button.
        if (watched == m_closeStrip && mouse->button() == Qt::LeftButton &&
            m_closeStrip->rect().contains(mouse->position().toPoint())) {
            StartFadeOut();
            return true;
        }
        return false;
    default:
        return false;
    }
}

// Drops

void Tdragform::dragEnterEvent(QDragEnterEvent* event)
{
    if (!dropped::localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void Tdragform::dropEvent(QDropEvent* event)
{
    const QStringList paths = dropped::localPaths(event->mimeData());
    event->acceptProposedAction();
    dropFiles(paths);
}

void Tdragform::dropFiles(const QStringList& paths)
{
    m_dropFiles = paths;
    if (!m_sendsToNetwork || m_dropFiles.isEmpty())
        return;
    TNetwork* network = m_ctx.Network();
    network->conversation().droppedFiles = m_dropFiles;
    // Without the network, or with nobody signed in, the sign-in screen is where to go on.
    if (!network->connected() || !network->signedIn()) {
        StartFadeOut();
        network->signIn().showSignInView();
        return;
    }
    const QString recipient = network->directory().sendbutHint();
    if (!userentry::openable(recipient))
        return;
    const QStringList sendable = network->conversation().sendableDropped(m_dropFiles);
    if (sendable.isEmpty())
        return;
    FilesRequest request;
    request.from = FilesRequest::From::DropZone;
    request.recipient = recipient;
    request.paths = sendable;
    request.phrases = network->conversation().noticePhrases(network->contacts().peerPhrases);
    request.chat = network->conversation().chatLines();
    ++m_sendsPending;
    m_busyLabel->setText(m_ctx.text(StringTable::kTxtUploading));
    m_busyLabel->show();
    m_ctx.session().sendFiles(request);
}

void Tdragform::onFilesReached(const FilesRequest& request)
{
    // The window goes while the files go up; the mini bar's hint shows how far they got.
    if (request.from == FilesRequest::From::DropZone && isVisible())
        StartFadeOut();
}

void Tdragform::onProgress(const QString& name, int percent)
{
    if (m_sendsPending > 0)
        m_busyLabel->setText(QStringLiteral("%1 %2%").arg(name).arg(percent));
}

void Tdragform::hideBusyLabel()
{
    m_busyLabel->setText(m_ctx.text(StringTable::kTxtUploading));
    m_busyLabel->hide();
}

void Tdragform::onFilesSent(const FilesResult& result)
{
    if (result.request.from != FilesRequest::From::DropZone)
        return;
    if (--m_sendsPending == 0)
        hideBusyLabel();
    // The server could not be reached: the window stays, so the user can drop again.
    if (!result.reached)
        return;
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    m_dropFiles.clear();
    if (isVisible())
        StartFadeOut();
}
