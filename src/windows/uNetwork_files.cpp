// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/UserDirectory.h"
#include "session/ClientSession.h"
#include "windows/DroppedFiles.h"
#include "windows/udragform.h"

#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>

void TNetwork::dragEnterEvent(QDragEnterEvent* event)
{
    if (!dropped::localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TNetwork::dropEvent(QDropEvent* event)
{
    const QStringList paths = dropped::localPaths(event->mimeData());
    event->acceptProposedAction();
    dropFiles(paths);
}

bool TNetwork::msgDragEvent(QEvent* event)
{
    // The message box would take dropped files as "file:///" text; they are meant to be sent.
    auto* drop = static_cast<QDropEvent*>(event);
    if (dropped::localPaths(drop->mimeData()).isEmpty())
        return false;
    if (event->type() == QEvent::Drop)
        dropEvent(drop);
    else
        drop->acceptProposedAction();
    return true;
}

void TNetwork::createFileSending()
{
    connect(&session(), &ClientSession::transferProgress, this,
            [this](const QString& name, int percent) {
                // Only while a send of this window runs; a large file must not look like a hang.
                if (m_filesPending == 0)
                    return;
                busyLabel->setText(
                    QStringLiteral("%1 %2 %3%").arg(m_ctx.text(kTxtLoading), name).arg(percent));
            });
    connect(&session(), &ClientSession::filesSent, this, &TNetwork::onFilesSent);
    connect(sendFileButton, &QPushButton::clicked, this, &TNetwork::onSendFile);
}

void TNetwork::dropFiles(const QStringList& paths)
{
    if (!m_signedIn || m_directory.selected() < 0)
        return;
    droppedFiles.clear();
    for (const QString& p : paths) {
        if (!p.isEmpty())
            droppedFiles.append(p);
    }
    if (droppedFiles.isEmpty())
        return;
    const QString recipient = selectedName();
    if (!userentry::openable(recipient))
        return;
    m_directory.setSelectedPeer(recipient);
    m_directory.setSendbutHint(recipient);

    const QStringList sendable = sendableDropped(droppedFiles);
    if (sendable.isEmpty())
        return;

    FilesRequest request;
    request.recipient = recipient;
    request.paths = sendable;
    request.phrases = noticePhrases(peerPhrases);
    request.chat = chatLines();
    ++m_filesPending;
    busyLabel->show();
    session().sendFiles(request);
}

QStringList TNetwork::sendableDropped(const QStringList& paths)
{
    const dropped::Split split = dropped::split(paths);
    if (!split.leftOut.isEmpty())
        m_ctx.platform().desktop->showError(
            dropped::leftOutReport(m_ctx.text(kTxtNotFilesNotSent), split.leftOut));
    return split.sendable;
}

QStringList TNetwork::noticePhrases(const PhraseTable& recipientPhrases) const
{
    // A recipient whose language is unknown reads the sender's.
    PhraseTable phrases = recipientPhrases;
    if (phrases.size() < 7)
        phrases.rebuild(m_ctx.languageCode());
    QStringList out;
    for (int i = 0; i < phrases.size(); ++i)
        out.append(phrases.phrase(i));
    return out;
}

void TNetwork::onFilesSent(const FilesResult& result)
{
    // The other windows report their own sends; the conversation on screen is this window's.
    const bool own = result.request.from == FilesRequest::From::MainWindow;
    if (own && --m_filesPending == 0) {
        busyLabel->setText(m_ctx.text(kTxtLoading));
        busyLabel->hide();
    }
    if (!result.reached)
        return;
    if (result.error.failed()) {
        // The application's error report.
        if (own)
            m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.request.recipient == m_directory.sendbutHint()) {
        setChatLines(result.chat);
        showConversationLayout();
    }
}

void TNetwork::onSendFile()
{
    Tdragform* zone = m_ctx.dragform();
    if (!zone || m_directory.sendbutHint().isEmpty())
        return;
    session().closeMain();
    zone->ShowForNetwork();
    if (isVisible())
        StartFadeOut();
}

bool TNetwork::selectForDrop(const QString& name)
{
    const int row = UserDirectory::find(m_directory.users(), name);
    if (row < 0 || !userentry::openable(name))
        return false;
    if (m_directory.selected() == row && m_directory.sendbutHint() == name)
        return true;
    // The list's selection opens the correspondent as a click would: picture, favourite mark,
    // phrases and the conversation.
    if (QTreeWidgetItem* item = userList->topLevelItem(row))
        userList->setCurrentItem(item);
    return m_directory.sendbutHint() == name;
}

void TNetwork::showFromPopup()
{
    show();
}
