// Conversations: the chat view and sending a message.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/Limits.h"
#include "net/Messaging.h"
#include "net/ServerSession.h"
#include "windows/uNetMenu.h"

#include <QDateTime>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kListShort = 177;
constexpr int kBusyNoticeMs = 3000;
} // namespace

void TNetwork::createChat()
{
    chat->setReadOnly(true);
    msgrld = new QTimer(this);
    msgrld->setObjectName(QStringLiteral("msgrld"));
    msgrld->setInterval(15000);
    connect(msgrld, &QTimer::timeout, this, &TNetwork::msgrldTimer);
    msgrld->start();
    connect(sendbut, &QPushButton::clicked, this, &TNetwork::sendbutClick);
    connect(sms, &QPushButton::clicked, this, &TNetwork::smsClick);
}

void TNetwork::smsClick()
{
    if (TNetMenu* quick = m_ctx.NetMenu())
        quick->ShowModal();
}

void TNetwork::usersRightButtonUp()
{
    if (!users->selectedItems().isEmpty())
        smsClick();
}

QStringList TNetwork::chatLines() const
{
    const QString text = chat->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void TNetwork::setChatLines(const QStringList& lines)
{
    // Laying out one line of megabytes would freeze the window; the file keeps it whole.
    chat->setPlainText(limits::shownLines(lines).join(u'\n'));
}

void TNetwork::showConversationLayout()
{
    sms->hide();
    users->setFixedHeight(kListShort);
    for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, LMDButton2})
        w->show();
    updateFbut();
}

void TNetwork::showBusyNotice()
{
    LMDSimpleLabel2->setText(m_ctx.text(kTxtBusyTryAgain));
    LMDSimpleLabel2->show();
    QTimer::singleShot(kBusyNoticeMs, this, [this] {
        if (LMDSimpleLabel2->text() != m_ctx.text(kTxtBusyTryAgain))
            return;
        LMDSimpleLabel2->setText(m_ctx.text(kTxtLoading));
        LMDSimpleLabel2->hide();
    });
}

void TNetwork::sendMessage(const QString& recipient, bool keepFocus)
{
    FtpClient& ftp = m_session->IdFTP1();
    if (chat->isHidden()) {
        users->setFixedHeight(kListShort);
        chat->show();
    }
    const Folders f = m_ctx.folders();
    const messaging::Place place{m_session->ServerRoot(), User->text(),
                                 f.programDataDir + QStringLiteral("net/") + User->text() + u'/'};
    const QString text = msg->toPlainText();
    // Pressing Send again after the correspondent's copy failed repeats the same entry, which
    // the conversation then holds once.
    const bool retry = m_unsentEntry.recipient == recipient && m_unsentEntry.text == text;
    const QString header =
        retry ? m_unsentEntry.header
              : conversation::headerLine(User->text(), QDateTime::currentDateTime());
    QStringList lines = chatLines();
    QString failure;
    messaging::Sent sent = messaging::Sent::Refused;
    try {
        sent = messaging::sendMessage(ftp, place, userslist, lines, selectedName(), recipient, text,
                                      header, &failure);
    } catch (const Error& e) {
        // Nothing reached the own server copy; the text stays in the box for another try.
        m_session->closeMain();
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotSent) + u'\n' + e.message());
        return;
    }
    switch (sent) {
    case messaging::Sent::Refused:
    case messaging::Sent::NoConversation:
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNoConversation));
        return;
    case messaging::Sent::PeerCopyFailed:
        setChatLines(lines);
        m_unsentEntry = {recipient, text, header};
        m_session->closeMain();
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtPeerCopyFailed) + u'\n' + failure);
        return;
    case messaging::Sent::Sent:
        break;
    }
    m_unsentEntry = {};
    setChatLines(lines);
    msg->clear();
    if (!keepFocus)
        msg->setFocus();
}

void TNetwork::sendbutClick()
{
    if (m_session->busy()) {
        showBusyNotice();
        return;
    }
    const ServerSession::Busy busy(*m_session);
    FtpClient& ftp = m_session->IdFTP1();
    if (!ftp.connected()) {
        if (m_session->openMain()) {
            try {
                ftp.changeFolder(SessionUser);
            } catch (const Error&) {
                // Checked right below.
            }
        }
    }
    if (msg->toPlainText().isEmpty())
        return;
    if (!ftp.connected()) {
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtServerUnreachable));
        return;
    }
    sendMessage(m_directory.sendbutHint(), false);
}

bool TNetwork::msgKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (m_session->busy()) {
        showBusyNotice();
        return true;
    }
    const ServerSession::Busy busy(*m_session);
    FtpClient& ftp = m_session->IdFTP1();
    if (!ftp.connected()) {
        if (!m_session->openMain())
            return false;
        try {
            ftp.changeFolder(User->text());
        } catch (const Error&) {
            return false;
        }
    }
    if (msg->toPlainText().isEmpty()) {
        m_session->closeMain();
        return true;
    }
    sendMessage(selectedName(), true);
    return true;
}
