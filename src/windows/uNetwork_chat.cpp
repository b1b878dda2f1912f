// Conversations: the chat view and sending a message.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/Limits.h"
#include "session/ClientSession.h"
#include "windows/DraftKeeper.h"
#include "windows/uNetMenu.h"

#include <QDateTime>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kListShort = 177;
} // namespace

void TNetwork::createChat()
{
    conversationView->setReadOnly(true);
    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("msgrld"));
    pollTimer->setInterval(15000);
    connect(pollTimer, &QTimer::timeout, this, &TNetwork::onPollTick);
    pollTimer->start();
    connect(sendButton, &QPushButton::clicked, this, &TNetwork::onSend);
    connect(quickSendButton, &QPushButton::clicked, this, &TNetwork::onQuickSend);
    connect(&session(), &ClientSession::messageSent, this, &TNetwork::onMessageSent);
    connect(&session(), &ClientSession::quickSent, this, &TNetwork::onQuickSent);
}

void TNetwork::onQuickSend()
{
    if (TNetMenu* quick = m_ctx.NetMenu())
        quick->ShowModal();
}

void TNetwork::usersRightButtonUp()
{
    if (!userList->selectedItems().isEmpty())
        onQuickSend();
}

QStringList TNetwork::chatLines() const
{
    const QString text = conversationView->toPlainText();
    return text.isEmpty() ? QStringList() : text.split(u'\n');
}

void TNetwork::setChatLines(const QStringList& lines)
{
    // Laying out one line of megabytes would freeze the window; the file keeps it whole.
    conversationView->setPlainText(limits::shownLines(lines).join(u'\n'));
}

void TNetwork::showConversationLayout()
{
    quickSendButton->hide();
    userList->setFixedHeight(kListShort);
    for (QWidget* w :
         std::initializer_list<QWidget*>{conversationView, messageEdit, sendButton, sendFileButton})
        w->show();
    updateFbut();
}

void TNetwork::sendMessage(const QString& recipient, bool viaEnter)
{
    const QString text = messageEdit->toPlainText();
    if (text.isEmpty())
        return;
    // A second press while the same text is on its way would write it twice.
    if (m_pendingSend && m_pendingSend->recipient == recipient && m_pendingSend->text == text)
        return;
    if (conversationView->isHidden()) {
        userList->setFixedHeight(kListShort);
        conversationView->show();
    }
    // Pressing Send again after the correspondent's copy failed repeats the same entry, which
    // the conversation then holds once.
    const bool retry = m_unsentEntry.recipient == recipient && m_unsentEntry.text == text;
    MessageRequest request;
    request.recipient = recipient;
    request.selectedName = selectedName();
    request.chat = chatLines();
    request.text = text;
    request.header =
        retry ? m_unsentEntry.header
              : conversation::headerLine(ownNameLabel->text(), QDateTime::currentDateTime());
    request.viaEnter = viaEnter;
    m_pendingSend = request;
    busyLabel->show();
    session().sendMessage(request);
}

void TNetwork::onMessageSent(const MessageResult& result)
{
    const MessageRequest& request = result.request;
    if (m_pendingSend && m_pendingSend->recipient == request.recipient &&
        m_pendingSend->text == request.text)
        m_pendingSend.reset();
    busyLabel->hide();
    // The view shows this conversation only while its correspondent is the one on screen.
    const bool onScreen = request.recipient == m_directory.sendbutHint();
    if (!result.reached) {
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtServerUnreachable));
        return;
    }
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotSent) + u'\n' + result.error.text);
        return;
    }
    switch (result.sent) {
    case messaging::Sent::Refused:
    case messaging::Sent::NoConversation:
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNoConversation));
        return;
    case messaging::Sent::PeerCopyFailed:
        if (onScreen)
            setChatLines(result.chat);
        m_unsentEntry = {request.recipient, request.text, request.header};
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtPeerCopyFailed) + u'\n' +
                                            result.failure);
        return;
    case messaging::Sent::Sent:
        break;
    }
    m_unsentEntry = {};
    if (onScreen)
        setChatLines(result.chat);
    // What the user typed after pressing Send stays for the next message.
    if (messageEdit->toPlainText() == request.text)
        messageEdit->clear();
    drafts->sent(request.recipient, request.text);
    if (!request.viaEnter)
        messageEdit->setFocus();
}

void TNetwork::onQuickSent(const QuickSendResult& result)
{
    if (result.error.failed() || result.sent.result != messaging::Sent::Sent)
        return;
    if (result.recipient == m_directory.sendbutHint()) {
        setChatLines(result.sent.chat);
        showConversationLayout();
    }
}

void TNetwork::onSend()
{
    sendMessage(m_directory.sendbutHint(), false);
}

bool TNetwork::messageKey(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    sendMessage(selectedName(), true);
    return true;
}
