// Conversations: the chat view and sending a message.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
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
    chat->setPlainText(lines.join(u'\n'));
}

void TNetwork::showConversationLayout()
{
    sms->hide();
    users->setFixedHeight(kListShort);
    for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, LMDButton2})
        w->show();
    updateFbut();
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
    QStringList lines = chatLines();
    const messaging::Sent sent =
        messaging::sendMessage(ftp, place, userslist, lines, selectedName(), recipient,
                               msg->toPlainText(), QDateTime::currentDateTime());
    if (sent != messaging::Sent::Sent)
        return;
    setChatLines(lines);
    msg->clear();
    if (!keepFocus)
        msg->setFocus();
}

void TNetwork::sendbutClick()
{
    if (m_session->busy())
        return;
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
    if (!ftp.connected() || msg->toPlainText().isEmpty())
        return;
    sendMessage(m_directory.sendbutHint(), false);
}

bool TNetwork::msgKeyDown(int key)
{
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return false;
    if (m_session->busy())
        return true;
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
