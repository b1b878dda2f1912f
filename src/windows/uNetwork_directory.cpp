// Contacts: the directory lists, the visible user list, opening a correspondent, favourites.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "net/DirectoryFetch.h"
#include "net/LocalCopy.h"
#include "net/ReceivedFiles.h"
#include "net/ServerSession.h"
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

constexpr int kListTall = 561;
constexpr int kListShort = 177;
constexpr int kSeenCopyWaitMs = 3000;

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
    users->clear();
    for (const QString& line : m_directory.users()) {
        QStringList columns;
        for (int k = 0; k < 6; ++k)
            columns.append(userentry::field(line, k));
        users->addTopLevelItem(new QTreeWidgetItem(columns));
    }
    if (m_directory.selected() >= 0)
        users->setCurrentItem(users->topLevelItem(m_directory.selected()));
}

void TNetwork::firstFill()
{
    const QString copy = m_ctx.folders().tempDataDir + store::local::kDirectoryCopy;
    m_directory.firstFill(directory::fetch(m_session->IdFTP1(), copy, directory::sleepWait,
                                           directory::OnFailure::Keep),
                          User->text());
    showUsers();
}

void TNetwork::USERSRELOAD()
{
    const QString copy = m_ctx.folders().tempDataDir + store::local::kDirectoryCopy;
    m_directory.reload(directory::fetch(m_session->IdFTP1(), copy, directory::sleepWait,
                                        directory::OnFailure::Keep),
                       SessionUser);
    showUsers();
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
    const Folders f = m_ctx.folders();
    const QString seenFolder = f.programDataDir + QStringLiteral("net/") + SessionUser + u'/';
    helpers::makePrivateFolder(seenFolder);

    LMDSimpleLabel2->show();
    QCoreApplication::processEvents();
    if (m_session->busy()) {
        LMDSimpleLabel2->hide();
        return;
    }
    const ServerSession::Busy busy(*m_session);
    FtpClient& ftp = m_session->IdFTP1();
    // The view is empty now: sending from it would replace the stored conversation with it.
    const auto unreachable = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, LMDButton2, fbut})
            w->hide();
        LMDSimpleLabel2->hide();
        m_session->closeMain();
    };
    m_session->closeMain();
    if (!m_session->openMain()) {
        unreachable();
        return;
    }
    try {
        ftp.changeFolder(name);
    } catch (const Error&) {
        unreachable();
        return;
    }
    if (!m_ctx.NetMenu() || !m_ctx.NetMenu()->isVisible())
        m_directory.setSendbutHint(name);
    openCorrespondentView(name, QString());

    ftp.folderUp();
    userslist = ftp.listNames();
    ftp.changeFolder(SessionUser);
    userslist = ftp.listNames();
    const QString conversationName = store::conversationFile(name);
    if (userslist.contains(conversationName)) {
        const QString seen = seenFolder + conversationName;
        if (helpers::fileInUse(seen))
            directory::sleepWait(kSeenCopyWaitMs);
        localcopy::download(ftp, conversationName, seen, localcopy::kPrivate);
        QStringList lines = stringlist::load(seen).value_or(QStringList());
        conversation::dropFileLine(lines);
        setChatLines(lines);
        showConversationLayout();
    } else {
        chat->clear();
        msg->clear();
        for (QWidget* w : std::initializer_list<QWidget*>{chat, msg, sendbut, fbut, LMDButton2})
            w->hide();
        sms->show();
    }
    LMDSimpleLabel2->hide();
    if (!msg->isHidden())
        msg->setFocus();
}

void TNetwork::openCorrespondentView(const QString& name, const QString&)
{
    const Folders f = m_ctx.folders();
    FtpClient& ftp = m_session->IdFTP1();
    const QString record = f.tempDataDir + store::local::kPeerRecordCopy;
    QString avatarType = QStringLiteral(".png");
    try {
        localcopy::download(ftp, store::kAccountRecordFile, record, localcopy::kPrivate);
        const auto lines =
            stringlist::loadAtMost(record, limits::kMaxRecordBytes).value_or(QStringList());
        avatarType = store::AccountRecord::fromLines(lines).avatarExtension;
        QFile::remove(record);
        ftp.download(store::avatarFile(avatarType),
                     f.tempDataDir + store::local::peerAvatarCopy(avatarType));
    } catch (const FtpError&) {
        // A peer without a record or picture is still a peer; the picture stays empty.
        QFile::remove(record);
    }
    users->setFixedHeight(kListShort);
    m_peerAvatarFile = f.tempDataDir + store::local::peerAvatarCopy(avatarType);
    // A missing or broken picture: the stock one rather than an empty frame.
    if (!user2->loadPicture(m_peerAvatarFile))
        user2->loadPicture(f.programDataDir + QStringLiteral("avax.png"));
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
    popup->Hint = popup->Hint.trimmed();
    const QString sender = popup->Hint;
    const int row = UserDirectory::find(m_directory.users(), sender);
    // Only a listed correspondent is opened: the send button must never point elsewhere than
    // the conversation on screen.
    if (row < 0 || !userentry::openable(sender) || m_session->busy())
        return;
    FtpClient& ftp = m_session->IdFTP1();
    {
        const ServerSession::Busy busy(*m_session);
        if (!ftp.connected()) {
            QCoreApplication::processEvents();
            if (!m_session->openMain())
                return;
        }
        // An open connection may stand in any folder; the record and avatar must be the
        // sender's.
        try {
            ftp.changeFolder(store::userFolder(m_session->ServerRoot(), sender));
        } catch (const Error&) {
            m_session->closeMain();
            return;
        }
        openCorrespondentView(sender, QString());
    }
    const Folders f = m_ctx.folders();
    const QString fetched = f.userDataDir + QStringLiteral("net/") + SessionUser + u'/' + sender +
                            QStringLiteral(".mst");
    if (QFile::exists(fetched)) {
        QStringList lines = stringlist::load(fetched).value_or(QStringList());
        conversation::dropFileLine(lines);
        setChatLines(lines);
    }
    showConversationLayout();
    m_directory.setUserLine(row, userentry::withoutMark(m_directory.users().at(row)));
    // Notices written from here on speak the sender's language, as after a click in the list.
    const QString language = userentry::language(m_directory.users().at(row));
    a.rebuild(language == u"rus/" || language == u"eng/" ? language : QString());
    m_directory.select(row);
    m_directory.setSelectedPeer(sender);
    m_directory.setSendbutHint(sender);
    showUsers();
    msgrld->start();
    m_session->closeMain();
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
