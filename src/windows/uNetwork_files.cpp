// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/FtpError.h"
#include "net/Messaging.h"
#include "net/ServerSession.h"

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

void TNetwork::dropFiles(const QStringList& paths)
{
    if (m_session->busy()) {
        // Kept for the user to see what did not go; nothing is sent behind their back.
        dropfiles = paths;
        showBusyNotice();
        return;
    }
    FtpClient& ftp = m_session->IdFTP1();
    m_session->closeMain();
    if (User->text() == u"-" || m_directory.selected() < 0)
        return;
    dropfiles.clear();
    for (const QString& p : paths) {
        if (!p.isEmpty())
            dropfiles.append(p);
    }
    if (dropfiles.isEmpty())
        return;
    QCoreApplication::processEvents();
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
    const auto reportLeftOut = [&] {
        if (leftOut.isEmpty())
            return;
        QStringList names;
        for (const QString& p : std::as_const(leftOut))
            names.append(QStringLiteral("\u2717 ") + QFileInfo(p).fileName());
        m_ctx.platform().desktop->showError(m_ctx.text(137) + u'\n' + names.join(u'\n'));
    };
    if (sendable.isEmpty()) {
        reportLeftOut();
        return;
    }

    const ServerSession::Busy busy(*m_session);
    if (!m_session->openMain())
        return;
    try {
        ftp.changeFolder(recipient);
    } catch (const Error&) {
        return;
    }
    LMDSimpleLabel2->show();
    LMDSimpleLabel2->repaint();
    const Folders f = m_ctx.folders();
    const messaging::Place place{m_session->ServerRoot(), SessionUser,
                                 f.programDataDir + QStringLiteral("net/") + SessionUser + u'/'};
    messaging::FileSend send;
    send.recipient = recipient;
    send.paths = sendable;
    // A recipient whose language is unknown reads the sender's.
    PhraseTable phrases = a;
    if (phrases.size() < 7)
        phrases.rebuild(m_ctx.languageCode());
    for (int i = 0; i < phrases.size(); ++i)
        send.phrases.append(phrases.phrase(i));
    send.now = QDateTime::currentDateTime();
    const QString caption = m_ctx.text(328);
    QStringList lines = chatLines();
    try {
        // The notice goes on top of the newest own copy: what the correspondent wrote since
        // the view was last shown must not be lost.
        const QString seen = place.seenFolder + store::conversationFile(recipient);
        try {
            ftp.download(store::userFolder(place.serverRoot, SessionUser) +
                             store::conversationFile(recipient),
                         seen);
            lines = stringlist::load(seen).value_or(lines);
            conversation::dropFileLine(lines);
        } catch (const FtpError& e) {
            // No conversation yet: the view is all there is.
            if (e.kind() != FtpError::Kind::Reply || e.replyCode() != 550)
                throw;
        }
        messaging::sendFiles(
            ftp, place, lines, send, [&](const QString& name, qint64 done, qint64 total) {
                // A large file must not look like a hang: repaint only.
                const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
                LMDSimpleLabel2->setText(
                    QStringLiteral("%1 %2 %3%").arg(caption, name).arg(percent));
                LMDSimpleLabel2->repaint();
            });
        setChatLines(lines);
        showConversationLayout();
    } catch (const Error&) {
        LMDSimpleLabel2->setText(caption);
        LMDSimpleLabel2->hide();
        m_session->closeMain();
        throw;
    }
    LMDSimpleLabel2->setText(caption);
    m_session->closeMain();
    LMDSimpleLabel2->hide();
    reportLeftOut();
}

void TNetwork::LMDButton2Click()
{
    // The drop-zone window takes over here once it exists.
}

void TNetwork::showFromPopup()
{
    show();
}
