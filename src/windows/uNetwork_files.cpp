// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/UserDirectory.h"
#include "session/ClientSession.h"

#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QUrl>

void TNetwork::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TNetwork::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls()) {
        if (url.isLocalFile())
            paths.append(url.toLocalFile());
    }
    event->acceptProposedAction();
    dropFiles(paths);
}

void TNetwork::createFileSending()
{
    connect(&session(), &ClientSession::transferProgress, this,
            [this](const QString& name, int percent) {
                // Only while a send of this window runs; a large file must not look like a hang.
                if (m_filesPending == 0)
                    return;
                LMDSimpleLabel2->setText(
                    QStringLiteral("%1 %2 %3%").arg(m_ctx.text(kTxtLoading), name).arg(percent));
            });
    connect(&session(), &ClientSession::filesSent, this, &TNetwork::onFilesSent);
}

void TNetwork::dropFiles(const QStringList& paths)
{
    if (!m_signedIn || m_directory.selected() < 0)
        return;
    dropfiles.clear();
    for (const QString& p : paths) {
        if (!p.isEmpty())
            dropfiles.append(p);
    }
    if (dropfiles.isEmpty())
        return;
    const QString recipient = selectedName();
    if (!userentry::openable(recipient))
        return;
    m_directory.setSelectedPeer(recipient);
    m_directory.setSendbutHint(recipient);

    // Only files that can be read are sent and named in the notice: a folder or an unreadable
    // item would be announced as sent when nothing of it reached the server.
    QStringList sendable;
    QStringList leftOut;
    for (const QString& p : std::as_const(dropfiles)) {
        const QFileInfo info(p);
        (info.isFile() && info.isReadable() ? sendable : leftOut).append(p);
    }
    if (!leftOut.isEmpty()) {
        QStringList names;
        for (const QString& p : std::as_const(leftOut))
            names.append(QStringLiteral("\u2717 ") + QFileInfo(p).fileName());
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotFilesNotSent) + u'\n' +
                                            names.join(u'\n'));
    }
    if (sendable.isEmpty())
        return;

    FilesRequest request;
    request.recipient = recipient;
    request.paths = sendable;
    // A recipient whose language is unknown reads the sender's.
    PhraseTable phrases = a;
    if (phrases.size() < 7)
        phrases.rebuild(m_ctx.languageCode());
    for (int i = 0; i < phrases.size(); ++i)
        request.phrases.append(phrases.phrase(i));
    request.chat = chatLines();
    ++m_filesPending;
    LMDSimpleLabel2->show();
    session().sendFiles(request);
}

void TNetwork::onFilesSent(const FilesResult& result)
{
    if (--m_filesPending == 0) {
        LMDSimpleLabel2->setText(m_ctx.text(kTxtLoading));
        LMDSimpleLabel2->hide();
    }
    if (!result.reached)
        return;
    if (result.error.failed()) {
        // The application's error report.
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.request.recipient == m_directory.sendbutHint()) {
        setChatLines(result.chat);
        showConversationLayout();
    }
}

void TNetwork::LMDButton2Click()
{
    // The drop-zone window takes over here once it exists.
}

void TNetwork::showFromPopup()
{
    show();
}
