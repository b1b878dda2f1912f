// Files dropped on the mini bar go to the user picked in the picker, who becomes the main
// window's correspondent.
#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/Outbox.h"
#include "windows/DropSend.h"
#include "windows/DroppedFiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolTip>

namespace {

constexpr int kWaitingMarkHeight = 16;

} // namespace

void TMinimized::createDrops()
{
    setAcceptDrops(true);
    m_waitingMark = new QLabel(this);
    m_waitingMark->setObjectName(QStringLiteral("waitingMark"));
    m_waitingMark->setGeometry(0, minibar::kSize - kWaitingMarkHeight, minibar::kSize,
                               kWaitingMarkHeight);
    m_waitingMark->setAlignment(Qt::AlignCenter);
    m_waitingMark->setCursor(Qt::PointingHandCursor);
    m_waitingMark->setStyleSheet(
        QStringLiteral("QLabel { color: #AD9A4B; background-color: #6B1625; }"));
    m_waitingMark->installEventFilter(this);
    m_waitingMark->hide();

    ClientSession& session = m_ctx.session();
    connect(&session, &ClientSession::filesReached, this, &TMinimized::onFilesReached);
    connect(&session, &ClientSession::transferProgress, this, &TMinimized::onProgress);
    connect(&session, &ClientSession::filesSent, this, &TMinimized::onFilesSent);
    // A poll that reaches the server says it is back even where the detector never said it left.
    connect(&m_ctx.outbox(), &Outbox::changed, this, [this] { showDropState(false); });
}

void TMinimized::dragEnterEvent(QDragEnterEvent* event)
{
    dropped::takeAsCopy(event);
}

void TMinimized::dragMoveEvent(QDragMoveEvent* event)
{
    dropped::takeAsCopy(event);
}

void TMinimized::dropEvent(QDropEvent* event)
{
    if (!dropped::takeAsCopy(event))
        return;
    const QStringList paths = dropped::localPaths(event->mimeData());
    // The picker is shown after the drop has been let go, not inside the file manager's drag.
    QMetaObject::invokeMethod(
        this, [this, paths] { dropFiles(paths); }, Qt::QueuedConnection);
}

void TMinimized::dropFiles(const QStringList& paths)
{
    if (m_picking || paths.isEmpty())
        return;
    m_dropReason.clear();
    // Nobody to send as: the bar says so, and the main window's sign-in screen is where to go.
    if (PendingDrop::decide(m_ctx.state().sendConditions()) == PendingDrop::Verdict::SignInFirst) {
        m_dropFiles.clear();
        m_dropReason = PendingDrop::reason(PendingDrop::Verdict::SignInFirst, 0, m_ctx.strings());
        showDropState(true);
        setMainWindowOpenFlag(1);
        emit showMainWindowRequested();
        return;
    }
    m_dropFiles = paths;
    m_picking = true;
    emit pickRecipientRequested(frameGeometry());
}

void TMinimized::recipientPicked(const QString& name)
{
    // The picker also closes when it was opened for something else.
    if (!m_picking)
        return;
    m_picking = false;
    const QStringList paths = m_dropFiles;
    if (name.isEmpty()) {
        m_dropFiles.clear();
        return;
    }
    // Without the server the files wait for it in the outbox: the sign-in screen would sign the
    // user out. Behind what waits already, they wait too, to keep the order.
    const PendingDrop::Verdict verdict = PendingDrop::decide(m_ctx.state().sendConditions());
    if (verdict == PendingDrop::Verdict::SignInFirst) {
        m_dropFiles.clear();
        m_dropReason = PendingDrop::reason(verdict, 0, m_ctx.strings());
        showDropState(true);
        return;
    }
    if (verdict == PendingDrop::Verdict::Wait || m_ctx.outbox().holdsWaiting()) {
        m_dropFiles.clear();
        const QStringList sendable = dropsend::sendable(m_ctx, paths);
        if (!sendable.isEmpty())
            dropsend::keep(m_ctx, FilesRequest::From::MiniBar, name, sendable,
                           dropsend::noticePhrases(m_ctx, name));
        showDropState(true);
        return;
    }
    send(name, paths);
}

void TMinimized::send(const QString& name, const QStringList& paths)
{
    const int row = UserDirectory::find(m_ctx.state().directory().users(), name);
    // A favourite who is no longer listed has no folder to send to that the directory vouches
    // for, and the conversation on screen is someone else's.
    if (row < 0 || !userentry::openable(name)) {
        m_dropFiles.clear();
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotListed).arg(name));
        return;
    }
    const QStringList sendable = dropsend::sendable(m_ctx, paths);
    if (sendable.isEmpty()) {
        m_dropFiles.clear();
        return;
    }
    // The recipient becomes the main window's correspondent first; the files go only once they
    // are the one every send goes to.
    emit openConversationRequested(name);
    if (recipient() != name) {
        m_dropFiles.clear();
        return;
    }
    FilesRequest request;
    request.from = FilesRequest::From::MiniBar;
    request.recipient = name;
    request.paths = sendable;
    request.phrases = dropsend::noticePhrases(m_ctx, name);
    // The session puts the notice on top of the own server copy; with none the files start the
    // conversation.
    request.chat = QStringList();
    m_ctx.session().sendFiles(request);
}

PendingDrop TMinimized::waitingFiles() const
{
    return dropsend::waiting(m_ctx, FilesRequest::From::MiniBar);
}

void TMinimized::sendWaitingFiles()
{
    m_ctx.outbox().sendNext();
}

void TMinimized::cancelWaitingFiles()
{
    m_ctx.outbox().cancelFiles(static_cast<int>(FilesRequest::From::MiniBar));
}

QString TMinimized::dropStateLine() const
{
    const PendingDrop waiting = waitingFiles();
    if (waiting.waiting())
        return PendingDrop::reason(PendingDrop::Verdict::Wait, waiting.fileCount(),
                                   m_ctx.strings());
    return m_dropReason;
}

void TMinimized::showDropState(bool announce)
{
    const PendingDrop waiting = waitingFiles();
    if (waiting.waiting()) {
        m_waitingMark->setText(QStringLiteral("%1 \u2715").arg(waiting.fileCount()));
        m_waitingMark->setToolTip(waiting.waitingText(m_ctx.strings()));
        m_waitingMark->show();
        m_waitingMark->raise();
    } else {
        m_waitingMark->hide();
    }
    showQuietAndUnread();
    // Said at once where the files were let go, not only when the pointer rests on the bar.
    if (announce && isVisible() && !dropStateLine().isEmpty())
        QToolTip::showText(mapToGlobal(QPoint(0, height())), dropStateLine(), this);
}

void TMinimized::showUploadState(const QString& text)
{
    m_uploadState = text;
    showQuietAndUnread();
}

void TMinimized::onFilesReached(const FilesRequest& request)
{
    if (request.from == FilesRequest::From::MainWindow)
        return;
    ++m_uploadsRunning;
    showUploadState(m_ctx.text(StringTable::kTxtUploading));
}

void TMinimized::onProgress(const QString& name, int percent)
{
    if (m_uploadsRunning > 0)
        showUploadState(QStringLiteral("%1 %2 %3%")
                            .arg(m_ctx.text(StringTable::kTxtUploading), name)
                            .arg(percent));
}

void TMinimized::onFilesSent(const FilesResult& result)
{
    const FilesRequest::From from = result.request.from;
    if (from == FilesRequest::From::MainWindow)
        return;
    if (result.reached && --m_uploadsRunning <= 0) {
        m_uploadsRunning = 0;
        showUploadState(QString());
    }
    if (from != FilesRequest::From::MiniBar)
        return;
    // The server went away although the detector had not said so: the files wait for it, and
    // those that waited already stay in the outbox.
    if (!result.reached) {
        if (result.request.outboxId == 0)
            dropsend::keep(m_ctx, FilesRequest::From::MiniBar, result.request.recipient,
                           result.request.paths, result.request.phrases);
        showDropState(true);
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
    m_closeTimer->start();
}
