// Contacts: the directory lists, the visible user list, opening a correspondent, favourites.
#include "windows/ConversationView.h"
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/ReceivedFolder.h"
#include "core/StringList.h"
#include "session/ClientSession.h"
#include "windows/DraftKeeper.h"
#include "windows/FrameImage.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int kListShort = 177;

} // namespace

void TNetwork::createDirectory()
{
    chatFlashTimer = new QTimer(this);
    chatFlashTimer->setObjectName(QStringLiteral("high"));
    chatFlashTimer->setInterval(100);
    connect(chatFlashTimer, &QTimer::timeout, this, &TNetwork::onChatFlashTick);
    connect(userList, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = userList->selectedItems();
        if (!m_directory.select(
                selected.isEmpty() ? -1 : userList->indexOfTopLevelItem(selected.first()))) {
            // The list goes back to the correspondent on screen, who stays the recipient.
            const QSignalBlocker quiet(userList);
            userList->clearSelection();
            if (m_directory.selected() >= 0)
                userList->setCurrentItem(userList->topLevelItem(m_directory.selected()));
            return;
        }
        onUserSelected();
    });
    connect(receivedFilesButton, &QPushButton::clicked, this, &TNetwork::onReceivedFiles);
    connect(&session(), &ClientSession::correspondentOpened, this,
            &TNetwork::onCorrespondentOpened);
    connect(&session(), &ClientSession::popupCorrespondentOpened, this,
            &TNetwork::onPopupCorrespondentOpened);

    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    if (const auto lines = stringlist::load(favFile))
        favourites = *lines;
    else
        stringlist::save(favFile, favourites);
}

QString TNetwork::selectedName() const
{
    const int row = m_directory.selected();
    return row >= 0 ? userentry::name(m_directory.users().at(row)) : QString();
}

void TNetwork::showUsers()
{
    const QSignalBlocker quiet(userList);
    // Every poll cycle shows the list again; an unchanged one keeps its items and where it was
    // scrolled to.
    if (userList->topLevelItemCount() != m_directory.users().size() ||
        m_shownUsers != m_directory.users()) {
        m_shownUsers = m_directory.users();
        userList->clear();
        for (const QString& line : m_directory.users()) {
            QStringList columns;
            for (int k = 0; k < 6; ++k)
                columns.append(userentry::field(line, k));
            userList->addTopLevelItem(new QTreeWidgetItem(columns));
        }
    }
    if (m_directory.selected() >= 0) {
        userList->setCurrentItem(userList->topLevelItem(m_directory.selected()));
    } else {
        userList->clearSelection();
        userList->setCurrentItem(nullptr);
    }
}

void TNetwork::onUserSelected()
{
    const int row = m_directory.selected();
    const QString entry = row >= 0 ? m_directory.users().at(row) : QString();
    const QString name = userentry::name(entry);
    // Such a name would become part of local paths; the entry is listed but not opened, and
    // the correspondent on screen keeps the phrases of its notices.
    if (row >= 0 && !entry.isEmpty() && !userentry::openable(name))
        return;
    if (!m_directory.selectedPeer().isEmpty() && row >= 0)
        peerPhrases.rebuild(QString());
    if (row < 0 || entry.isEmpty())
        return;
    drafts->leave(); // what the message box holds stays with the correspondent it was typed for
    quickSendButton->hide();
    conversationView->clear();
    m_directory.setSelectedPeer(name);
    m_directory.setSendbutHint(name);
    if (userentry::isMarked(entry)) {
        m_directory.setUserLine(row, userentry::withoutMark(entry));
        if (QTreeWidgetItem* item = userList->topLevelItem(row))
            item->setText(0, QString());
    }
    const QString language = userentry::language(entry);
    if (language == u"rus/" || language == u"eng/")
        peerPhrases.rebuild(language);
    busyLabel->show();
    session().openCorrespondent(name);
}

void TNetwork::onCorrespondentOpened(const CorrespondentResult& result)
{
    // The user went on to someone else meanwhile: that answer is the one to show.
    if (result.name != m_directory.selectedPeer())
        return;
    // The view is empty now: sending from it would replace the stored conversation with it.
    const auto unreachable = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{conversationView, messageEdit, sendButton,
                                                          sendFileButton, receivedFilesButton})
            w->hide();
        busyLabel->hide();
    };
    if (!result.reached) {
        unreachable();
        return;
    }
    const QString& name = result.name;
    if (!m_ctx.NetMenu() || !m_ctx.NetMenu()->isVisible())
        m_directory.setSendbutHint(name);
    openCorrespondentView(name, result.avatarFile);
    if (result.error.failed()) {
        unreachable();
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.hasConversation) {
        m_conversation->setChatLines(result.lines);
        m_conversation->showConversationLayout();
    } else {
        conversationView->clear();
        messageEdit->clear();
        for (QWidget* w : std::initializer_list<QWidget*>{conversationView, messageEdit, sendButton,
                                                          receivedFilesButton, sendFileButton})
            w->hide();
        quickSendButton->show();
    }
    drafts->open(sessionUser, name);
    busyLabel->hide();
    if (!messageEdit->isHidden())
        messageEdit->setFocus();
}

void TNetwork::openCorrespondentView(const QString& name, const QString& avatarFile)
{
    userList->setFixedHeight(kListShort);
    // The viewer shows this picture; none came down: the stock one.
    m_peerAvatarFile = avatarFile;
    // A missing or broken picture: the stock one rather than an empty frame.
    if (avatarFile.isEmpty() || !peerAvatar->loadPicture(avatarFile))
        peerAvatar->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
    peerNameLabel->setText(name);
    peerAvatar->show();
    favouriteMark->show();
    showFavouriteMark();
    commonFilesButton->show();
    peerNameLabel->show();
}

void TNetwork::openPopupSender()
{
    Tnetprog* popup = m_ctx.netprog();
    if (!popup)
        return;
    // The popup empties msg next; the draft in it stays with its correspondent.
    drafts->leave();
    popup->Hint = popup->Hint.trimmed();
    const QString sender = popup->Hint;
    const int row = UserDirectory::find(m_directory.users(), sender);
    // Only a listed correspondent is opened: the send button must never point elsewhere than
    // the conversation on screen.
    if (row < 0 || !userentry::openable(sender))
        return;
    session().openFromPopup(sender);
}

void TNetwork::onPopupCorrespondentOpened(const CorrespondentResult& result)
{
    if (!result.reached)
        return;
    const QString& sender = result.name;
    // The directory may have changed while the picture came down.
    const int row = UserDirectory::find(m_directory.users(), sender);
    if (row < 0)
        return;
    openCorrespondentView(sender, result.avatarFile);
    const Folders f = m_ctx.folders();
    const QString fetched = f.userDataDir + QStringLiteral("net/") + sessionUser + u'/' + sender +
                            QStringLiteral(".mst");
    if (QFile::exists(fetched)) {
        QStringList lines = stringlist::load(fetched).value_or(QStringList());
        conversation::dropFileLine(lines);
        m_conversation->setChatLines(lines);
    }
    m_conversation->showConversationLayout();
    drafts->open(sessionUser, sender);
    m_directory.setUserLine(row, userentry::withoutMark(m_directory.users().at(row)));
    // Notices written from here on speak the sender's language, as after a click in the list.
    const QString language = userentry::language(m_directory.users().at(row));
    peerPhrases.rebuild(language == u"rus/" || language == u"eng/" ? language : QString());
    m_directory.select(row);
    m_directory.setSelectedPeer(sender);
    m_directory.setSendbutHint(sender);
    showUsers();
    pollTimer->start();
}

void TNetwork::unmarkSelectedOnShow()
{
    const int row = m_directory.selected();
    if (userList->isHidden() || row < 0 || !userentry::isMarked(m_directory.users().at(row)))
        return;
    m_directory.setUserLine(row, userentry::withoutMark(m_directory.users().at(row)));
    if (QTreeWidgetItem* item = userList->topLevelItem(row))
        item->setText(0, QString());
    startChatFlash();
}

void TNetwork::startChatFlash()
{
    chatFlashCount = 0;
    chatFlashTimer->start();
}

void TNetwork::onChatFlashTick()
{
    static const QString plain =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #E0E0E0; }");
    static const QString lit =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #F4F4F4; }");
    if (chatFlashCount > 3) {
        conversationView->setStyleSheet(plain);
        chatFlashTimer->stop();
        chatFlashCount = 0;
        return;
    }
    if (conversationView->styleSheet() != lit) {
        conversationView->setStyleSheet(lit);
        ++chatFlashCount;
    } else {
        conversationView->setStyleSheet(plain);
    }
}

void TNetwork::showFavouriteMark()
{
    const QString data = m_ctx.folders().programDataDir;
    favouriteMark->loadPicture(data + (favourites.contains(peerNameLabel->text())
                                           ? QStringLiteral("fav_icon.png")
                                           : QStringLiteral("fav_icon_on.png")));
}

void TNetwork::onFavouriteToggled()
{
    const QString name = m_directory.sendbutHint();
    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    const QString data = m_ctx.folders().programDataDir;
    if (const int at = favourites.indexOf(name); at >= 0) {
        favourites.removeAt(at);
        stringlist::save(favFile, favourites);
        favouriteMark->loadPicture(data + QStringLiteral("fav_icon_on.png"));
    } else {
        favourites.append(name);
        stringlist::save(favFile, favourites);
        favouriteMark->loadPicture(data + QStringLiteral("fav_icon.png"));
    }
}

void TNetwork::updateFbut()
{
    receivedFilesButton->setVisible(
        received::hasFiles(m_ctx.folders().networkDir, peerNameLabel->text()));
}

void TNetwork::onReceivedFiles()
{
    const QString name = selectedName();
    const QString networkDir = m_ctx.folders().networkDir;
    if (!received::hasFiles(networkDir, name))
        return;
    m_ctx.platform().shell->openPath(received::folderFor(networkDir, name));
}
