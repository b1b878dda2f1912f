#include "windows/udragform.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "core/WindowPlacement.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/Outbox.h"
#include "windows/DropSend.h"
#include "windows/DroppedFiles.h"
#include "windows/FrameImage.h"
#include "windows/WindowLook.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>

namespace {

constexpr int kWidth = 220;
constexpr int kHeight = 180;
constexpr int kRightGap = 240;  // from the screen's right edge to the window's left edge
constexpr int kBottomGap = 200; // from the screen's bottom edge to the window's top edge

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
    m_picture->loadPictureWhenShown(m_ctx.folders().programDataDir +
                                    QStringLiteral("dragform.jpg"));

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

    m_dropStateLabel =
        look::place(new QLabel(this), QStringLiteral("dropState"), 0, 96, kWidth, 60);
    m_dropStateLabel->setFont(look::pixelFont(look::fontatigo(), 15, false));
    m_dropStateLabel->setTextFormat(Qt::PlainText);
    m_dropStateLabel->setWordWrap(true);
    m_dropStateLabel->setAlignment(Qt::AlignCenter);
    m_dropStateLabel->setCursor(Qt::PointingHandCursor);
    m_dropStateLabel->setStyleSheet(m_busyLabel->styleSheet());
    m_dropStateLabel->hide();

    for (QWidget* w : std::initializer_list<QWidget*>{m_picture, m_closeStrip, m_dropStateLabel})
        w->installEventFilter(this);

    m_fader = new WindowFader(this, QStringLiteral("fx"));
    connect(m_fader, &WindowFader::fadedOut, this, &Tdragform::close);

    ClientSession& session = m_ctx.session();
    connect(&session, &ClientSession::filesReached, this, &Tdragform::onFilesReached);
    connect(&session, &ClientSession::transferProgress, this, &Tdragform::onProgress);
    connect(&session, &ClientSession::filesSent, this, &Tdragform::onFilesSent);
    // The outbox sends what waits when the server is back; the label follows it.
    connect(&m_ctx.outbox(), &Outbox::changed, this, [this] {
        if (m_dropStateLabel->isVisible() || waitingFiles().waiting())
            showWaitingFiles();
    });
}

QPoint Tdragform::placement(const QRect& area)
{
    return {area.x() + area.width() - kRightGap, area.y() + area.height() - kBottomGap};
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
    const QRect area = look::availableArea();
    move(placement::keepInside(placement(area), size(), area));
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
    // Closing the window gives up what waits in it.
    cancelWaitingFiles();
    if (!m_sendsToNetwork || m_ctx.ending())
        return;
    emit returnToMainWindowRequested();
}

QString Tdragform::recipient() const
{
    return m_ctx.state().directory().sendbutHint();
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
        if (watched == m_dropStateLabel) {
            if (mouse->button() == Qt::LeftButton &&
                m_dropStateLabel->rect().contains(mouse->position().toPoint()))
                cancelWaitingFiles();
            return true;
        }
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
    dropped::takeAsCopy(event);
}

void Tdragform::dragMoveEvent(QDragMoveEvent* event)
{
    dropped::takeAsCopy(event);
}

void Tdragform::dropEvent(QDropEvent* event)
{
    if (dropped::takeAsCopy(event))
        dropFiles(dropped::localPaths(event->mimeData()));
}

void Tdragform::dropFiles(const QStringList& paths)
{
    m_dropFiles = paths;
    if (!m_sendsToNetwork || m_dropFiles.isEmpty())
        return;
    const QString to = recipient();
    if (!userentry::openable(to))
        return;
    // Without the server the files wait in the outbox; the sign-in screen would sign the user
    // out. Behind what waits already, they wait too, to keep the order.
    const PendingDrop::Conditions now = m_ctx.state().sendConditions();
    const PendingDrop::Verdict verdict = PendingDrop::decide(now);
    if (verdict == PendingDrop::Verdict::SignInFirst) {
        showDropState(PendingDrop::reason(verdict, 0, m_ctx.strings()));
        return;
    }
    if (verdict == PendingDrop::Verdict::Wait || m_ctx.outbox().holdsWaiting()) {
        const QStringList sendable = dropsend::sendable(m_ctx, paths);
        if (!sendable.isEmpty())
            dropsend::keep(m_ctx, FilesRequest::From::DropZone, to, sendable,
                           dropsend::noticePhrases(m_ctx, to));
        showWaitingFiles();
        return;
    }
    showDropState(QString());
    send({now.user, to, paths});
}

void Tdragform::send(const PendingDrop::Files& files)
{
    const QStringList sendable = dropsend::sendable(m_ctx, files.paths);
    if (sendable.isEmpty())
        return;
    FilesRequest request;
    request.from = FilesRequest::From::DropZone;
    request.recipient = files.recipient;
    request.paths = sendable;
    request.phrases = dropsend::noticePhrases(m_ctx, files.recipient);
    // The notice goes on top of the conversation on screen; files that waited for someone who
    // is no longer there have none here.
    const ClientState::Correspondent& onScreen = m_ctx.state().correspondent();
    if (onScreen.name == files.recipient)
        request.chat = onScreen.lines;
    ++m_sendsPending;
    m_busyLabel->setText(m_ctx.text(StringTable::kTxtUploading));
    m_busyLabel->show();
    m_ctx.session().sendFiles(request);
}

PendingDrop Tdragform::waitingFiles() const
{
    return dropsend::waiting(m_ctx, FilesRequest::From::DropZone);
}

void Tdragform::sendWaitingFiles()
{
    m_ctx.outbox().sendNext();
}

void Tdragform::cancelWaitingFiles()
{
    m_ctx.outbox().cancelFiles(static_cast<int>(FilesRequest::From::DropZone));
    showDropState(QString());
}

void Tdragform::showWaitingFiles()
{
    showDropState(waitingFiles().waitingText(m_ctx.strings()));
}

void Tdragform::showDropState(const QString& text)
{
    m_dropStateLabel->setText(text);
    m_dropStateLabel->setVisible(!text.isEmpty());
    if (!text.isEmpty())
        m_dropStateLabel->raise();
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
    // The outbox's sends of what waited were not counted here, and stay in the outbox when
    // they do not reach the server.
    const bool waited = result.request.outboxId != 0;
    if (!waited && --m_sendsPending == 0)
        hideBusyLabel();
    // The server went away although the detector had not said so: the files wait for it, as
    // long as the window that holds them is open.
    if (!result.reached) {
        if (isVisible() && !waited)
            dropsend::keep(m_ctx, FilesRequest::From::DropZone, result.request.recipient,
                           result.request.paths, result.request.phrases);
        if (isVisible())
            showWaitingFiles();
        return;
    }
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    // The others went up and are announced; these were not and are not.
    if (!result.notSent.isEmpty())
        m_ctx.platform().desktop->showError(
            PendingDrop::notSentText(result.notSent, m_ctx.strings()));
    m_dropFiles.clear();
    if (isVisible())
        StartFadeOut();
}
