// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "session/ClientState.h"
#include "windows/AccountPanel.h"
#include "windows/ContactsView.h"
#include "windows/ConversationView.h"
#include "windows/DroppedFiles.h"
#include "windows/SignInView.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>

void TNetwork::dragEnterEvent(QDragEnterEvent* event)
{
    dropped::takeAsCopy(event);
}

void TNetwork::dragMoveEvent(QDragMoveEvent* event)
{
    dropped::takeAsCopy(event);
}

void TNetwork::dropEvent(QDropEvent* event)
{
    if (dropped::takeAsCopy(event))
        m_conversation->dropFiles(dropped::localPaths(event->mimeData()));
}

const UserDirectory& TNetwork::directory() const
{
    return m_ctx.state().directory();
}

PendingDrop::Conditions TNetwork::sendConditions() const
{
    return m_ctx.state().sendConditions();
}

void TNetwork::dropFiles(const QStringList& paths)
{
    m_conversation->dropFiles(paths);
}

void TNetwork::openPopupSender(const QString& sender, bool focusMessage)
{
    m_contacts->openSender(sender);
    m_ui.conversation.messageEdit->clear();
    if (focusMessage)
        m_ui.conversation.messageEdit->setFocus();
}

void TNetwork::showUsers()
{
    m_contacts->showUsers();
}

void TNetwork::openSelectedUser()
{
    m_contacts->onUserSelected();
}

void TNetwork::showSignedInList()
{
    m_contacts->showSignedIn();
}

const store::AccountRecord& TNetwork::accountRecord() const
{
    return m_signIn->accountRecord();
}

void TNetwork::setAccountRecord(const store::AccountRecord& record)
{
    m_signIn->setAccountRecord(record);
}

void TNetwork::forgetAccount()
{
    m_signIn->forgetAccount();
}

void TNetwork::setTypedName(const QString& name)
{
    m_signIn->setTypedName(name);
}

bool TNetwork::usernameHoldsName() const
{
    return m_signIn->usernameHoldsName();
}

void TNetwork::showSignInScreen()
{
    m_signIn->showSignInView();
}

void TNetwork::flashConversation()
{
    m_conversation->flash();
}

void TNetwork::clearMessageBox()
{
    m_conversation->clearMessageBox();
}

void TNetwork::focusMessageBox()
{
    m_conversation->focusMessageBox();
}

bool TNetwork::selectForDrop(const QString& name)
{
    return m_contacts->selectForDrop(name);
}

void TNetwork::showBusyText(const QString& text)
{
    m_ui.frame.busyLabel->setText(text);
}

QString TNetwork::busyStyle() const
{
    return m_ui.frame.busyLabel->styleSheet();
}

void TNetwork::showProfile(const QString& ownEntry)
{
    m_account->showProfile(ownEntry);
}

const PhraseTable& TNetwork::peerPhrases() const
{
    return m_contacts->peerPhrases();
}

void TNetwork::showFromPopup()
{
    show();
}
