// Files dropped on the mini bar go to the user picked in the picker, who becomes the main
// window's correspondent.
#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "session/ClientSession.h"
#include "windows/ConversationView.h"
#include "windows/DroppedFiles.h"
#include "windows/SignInView.h"
#include "windows/uList.h"
#include "windows/uNetwork.h"
#include "windows/udragform.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QSystemTrayIcon>
#include <QTimer>

void TMinimized::createDrops()
{
    setAcceptDrops(true);
    ClientSession& session = m_ctx.session();
    connect(&session, &ClientSession::filesReached, this, &TMinimized::onFilesReached);
    connect(&session, &ClientSession::transferProgress, this, &TMinimized::onProgress);
    connect(&session, &ClientSession::filesSent, this, &TMinimized::onFilesSent);
}

void TMinimized::dragEnterEvent(QDragEnterEvent* event)
{
    if (!dropped::localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TMinimized::dropEvent(QDropEvent* event)
{
    const QStringList paths = dropped::localPaths(event->mimeData());
    event->acceptProposedAction();
    // The picker is shown after the drop has been let go, not inside the file manager's drag.
    QMetaObject::invokeMethod(
        this, [this, paths] { dropFiles(paths); }, Qt::QueuedConnection);
}

void TMinimized::dropFiles(const QStringList& paths)
{
    if (m_picking || paths.isEmpty())
        return;
    TNetwork* network = m_ctx.Network();
    // Nobody to send as: the main window's sign-in screen, as its own drop would need.
    if (!network->signedIn()) {
        dropfiles.clear();
        setMainWindowOpenFlag(1);
        network->show();
        return;
    }
    dropfiles = paths;
    TfList* picker = m_ctx.fList();
    m_picking = true;
    connect(picker, &TfList::finished, this, &TMinimized::onPicked, Qt::SingleShotConnection);
    picker->Pick(frameGeometry());
}

void TMinimized::onPicked(const QString& name)
{
    m_picking = false;
    if (name.isEmpty()) {
        dropfiles.clear();
        return;
    }
    TNetwork* network = m_ctx.Network();
    if (!network->connected() || !network->signedIn()) {
        // A drop zone opened for sending brings the main window back as it goes.
        if (Tdragform* zone = m_ctx.dragform(); zone && zone->isVisible())
            zone->StartFadeOut();
        network->signIn().showSignInView();
        setMainWindowOpenFlag(1);
        network->show();
        return;
    }
    const int row = UserDirectory::find(network->directory().users(), name);
    // A favourite who is no longer listed has no folder to send to that the directory vouches
    // for, and the conversation on screen is someone else's.
    if (row < 0 || !userentry::openable(name)) {
        dropfiles.clear();
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotListed).arg(name));
        return;
    }
    const QStringList sendable = network->conversation().sendableDropped(dropfiles);
    if (sendable.isEmpty()) {
        dropfiles.clear();
        return;
    }
    if (!network->conversation().selectForDrop(name)) {
        dropfiles.clear();
        return;
    }
    PhraseTable phrases;
    const QString language = userentry::language(network->directory().users().at(row));
    if (language == u"rus/" || language == u"eng/")
        phrases.rebuild(language);
    FilesRequest request;
    request.from = FilesRequest::From::MiniBar;
    request.recipient = name;
    request.paths = sendable;
    request.phrases = network->conversation().noticePhrases(phrases);
    // The session puts the notice on top of the own server copy; with none the files start the
    // conversation.
    request.chat = QStringList();
    m_ctx.session().sendFiles(request);
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
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    dropfiles.clear();
    if (result.reached)
        closetimer->start();
}
