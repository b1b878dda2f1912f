// Contacts: the directory lists, the visible user list, opening a correspondent, favourites.
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
    high = new QTimer(this);
    high->setObjectName(QStringLiteral("high"));
    high->setInterval(100);
    connect(high, &QTimer::timeout, this, &TNetwork::highTimer);
    connect(users, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = users->selectedItems();
        if (!m_directory.select(
                selected.isEmpty() ? -1 : users->indexOfTopLevelItem(selected.first()))) {
            // The list goes back to the correspondent on screen, who stays the recipient.
            const QSignalBlocker quiet(users);
            users->clearSelection();
            if (m_directory.selected() >= 0)
                users->setCurrentItem(users->topLevelItem(m_directory.selected()));
            return;
        }
        usersSelect();
    });
    connect(fbut, &QPushButton::clicked, this, &TNetwork::fbutClick);
    connect(&session(), &ClientSession::correspondentOpened, this,
            &TNetwork::onCorrespondentOpened);
    connect(&session(), &ClientSession::popupCorrespondentOpened, this,
            &TNetwork::onPopupCorrespondentOpened);

    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    if (const auto lines = stringlist::load(favFile))
        favlist = *lines;
    else
        stringlist::save(favFile, favlist);
}

QString TNetwork::selectedName() const
{
    const int row = m_directory.selected();
    return row >= 0 ? userentry::name(m_directory.users().at(row)) : QString();
}

void TNetwork::showUsers()
{
    const QSignalBlocker quiet(users);
    // Every poll cycle shows the list again; an unchanged one keeps its items and where it was
    // scrolled to.
    if (users->topLevelItemCount() != m_directory.users().size() ||
        m_shownUsers != m_directory.users()) {
        m_shownUsers = m_directory.users();
        users->clear();
        for (const QString& line : m_directory.users()) {
            QStringList columns;
            for (int k = 0; k < 6; ++k)
                columns.append(userentry::field(line, k));
            users->addTopLevelItem(new QTreeWidgetItem(columns));
        }
    }
    if (m_directory.selected() >= 0) {
        users->setCurrentItem(users->topLevelItem(m_directory.selected()));
    } else {
        users->clearSelection();
        users->setCurrentItem(nullptr);
    }
}

void TNetwork::usersSelect()
{
    const int row = m_directory.selected();
    const QString entry = row >= 0 ? m_directory.users().at(row) : QString();
    const QString name = userentry::name(entry);
    // Such a name would become part of local paths; the entry is listed but not opened, and
    // the correspondent on screen keeps the phrases of its notices.
    if (row >= 0 && !entry.isEmpty() && !userentry::openable(name))
        return;
    if (!m_directory.selectedPeer().isEmpty() && row >= 0)
        a.rebuild(QString());
    if (row < 0 || entry.isEmpty())
        return;
    drafts->leave(); // what msg holds stays with the correspondent it was typed for
    sms->hide();
    chat->clear();
    m_directory.setSelectedPeer(name);
    m_directory.setSendbutHint(name);
    if (userentry::isMarked(entry)) {
        m_directory.setUserLine(row, userentry::withoutMark(entry));
        if (QTreeWidgetItem* item = users->topLevelItem(row))
            item->setText(0, QString());
    }
    const QString language = userentry::language(entry);
    if (language == u"rus/" || language == u"eng/")
        a.rebuild(language);
    LMDSimpleLabel2->show();
    session().openCorrespondent(name);
}

void TNetwork::onCorrespondentOpened(const CorrespondentResult& result)
{
    // The user went on to someone else meanwhile: that answer is the one to show.
    if (result.name != m_directory.selectedPeer())
        return;
    // The view is empty now: sending from it would replace the stored conversation with it.
    const auto unreachable = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, LMDButton2, fbut})
            w->hide();
        LMDSimpleLabel2->hide();
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
        setChatLines(result.lines);
        showConversationLayout();
    } else {
        chat->clear();
        msg->clear();
        for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, fbut, LMDButton2})
            w->hide();
        sms->show();
    }
    drafts->open(SessionUser, name);
    LMDSimpleLabel2->hide();
    if (!msg->isHidden())
        msg->setFocus();
}

void TNetwork::openCorrespondentView(const QString& name, const QString& avatarFile)
{
    users->setFixedHeight(kListShort);
    // The viewer shows this picture; none came down: the stock one.
    m_peerAvatarFile = avatarFile;
    // A missing or broken picture: the stock one rather than an empty frame.
    if (avatarFile.isEmpty() || !user2->loadPicture(avatarFile))
        user2->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
    user2name->setText(name);
    user2->show();
    favs->show();
    favcheck();
    commonfiles->show();
    user2name->show();
}

void TNetwork::select()
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
    const QString fetched = f.userDataDir + QStringLiteral("net/") + SessionUser + u'/' + sender +
                            QStringLiteral(".mst");
    if (QFile::exists(fetched)) {
        QStringList lines = stringlist::load(fetched).value_or(QStringList());
        conversation::dropFileLine(lines);
        setChatLines(lines);
    }
    showConversationLayout();
    drafts->open(SessionUser, sender);
    m_directory.setUserLine(row, userentry::withoutMark(m_directory.users().at(row)));
    // Notices written from here on speak the sender's language, as after a click in the list.
    const QString language = userentry::language(m_directory.users().at(row));
    a.rebuild(language == u"rus/" || language == u"eng/" ? language : QString());
    m_directory.select(row);
    m_directory.setSelectedPeer(sender);
    m_directory.setSendbutHint(sender);
    showUsers();
    msgrld->start();
}

void TNetwork::unmarkSelectedOnShow()
{
    const int row = m_directory.selected();
    if (users->isHidden() || row < 0 || !userentry::isMarked(m_directory.users().at(row)))
        return;
    m_directory.setUserLine(row, userentry::withoutMark(m_directory.users().at(row)));
    if (QTreeWidgetItem* item = users->topLevelItem(row))
        item->setText(0, QString());
    startChatFlash();
}

void TNetwork::startChatFlash()
{
    highCount = 0;
    high->start();
}

void TNetwork::highTimer()
{
    static const QString plain =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #E0E0E0; }");
    static const QString lit =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #F4F4F4; }");
    if (highCount > 3) {
        chat->setStyleSheet(plain);
        high->stop();
        highCount = 0;
        return;
    }
    if (chat->styleSheet() != lit) {
        chat->setStyleSheet(lit);
        ++highCount;
    } else {
        chat->setStyleSheet(plain);
    }
}

void TNetwork::favcheck()
{
    const QString data = m_ctx.folders().programDataDir;
    favs->loadPicture(data + (favlist.contains(user2name->text())
                                  ? QStringLiteral("fav_icon.png")
                                  : QStringLiteral("fav_icon_on.png")));
}

void TNetwork::favsClick()
{
    const QString name = m_directory.sendbutHint();
    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    const QString data = m_ctx.folders().programDataDir;
    if (const int at = favlist.indexOf(name); at >= 0) {
        favlist.removeAt(at);
        stringlist::save(favFile, favlist);
        favs->loadPicture(data + QStringLiteral("fav_icon_on.png"));
    } else {
        favlist.append(name);
        stringlist::save(favFile, favlist);
        favs->loadPicture(data + QStringLiteral("fav_icon.png"));
    }
}

void TNetwork::updateFbut()
{
    fbut->setVisible(received::hasFiles(m_ctx.folders().networkDir, user2name->text()));
}

void TNetwork::fbutClick()
{
    const QString name = selectedName();
    const QString networkDir = m_ctx.folders().networkDir;
    if (!received::hasFiles(networkDir, name))
        return;
    m_ctx.platform().shell->openPath(received::folderFor(networkDir, name));
}
