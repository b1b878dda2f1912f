// The main window's contacts: the directory's user list, opening a correspondent from the
// list or the popup, favourites, the received-files button, and the poll cycle's results.
#include "windows/ContactsView.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/ReceivedFolder.h"
#include "core/StringList.h"
#include "session/ClientSession.h"
#include "windows/ConversationView.h"
#include "windows/DraftKeeper.h"
#include "windows/FrameImage.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>
#include <QTreeWidget>

namespace {

constexpr int kListShort = 177;

} // namespace

ContactsView::ContactsView(TNetwork& window, AppContext& ctx)
    : QObject(&window), m_window(window), m_ui(window), m_ctx(ctx)
{
    chatFlashTimer = new QTimer(this);
    chatFlashTimer->setObjectName(QStringLiteral("high"));
    chatFlashTimer->setInterval(100);
    connect(chatFlashTimer, &QTimer::timeout, this, &ContactsView::onChatFlashTick);
    connect(m_ui.userList, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = m_ui.userList->selectedItems();
        if (!m_window.directory().select(
                selected.isEmpty() ? -1 : m_ui.userList->indexOfTopLevelItem(selected.first()))) {
            // The list goes back to the correspondent on screen, who stays the recipient.
            const QSignalBlocker quiet(m_ui.userList);
            m_ui.userList->clearSelection();
            if (m_window.directory().selected() >= 0)
                m_ui.userList->setCurrentItem(
                    m_ui.userList->topLevelItem(m_window.directory().selected()));
            return;
        }
        onUserSelected();
    });
    connect(m_ui.receivedFilesButton, &QPushButton::clicked, this, &ContactsView::onReceivedFiles);
    connect(&m_window.session(), &ClientSession::correspondentOpened, this,
            &ContactsView::onCorrespondentOpened);
    connect(&m_window.session(), &ClientSession::popupCorrespondentOpened, this,
            &ContactsView::onPopupCorrespondentOpened);

    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    if (const auto lines = stringlist::load(favFile))
        favourites = *lines;
    else
        stringlist::save(favFile, favourites);

    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("msgrld"));
    pollTimer->setInterval(15000);
    connect(pollTimer, &QTimer::timeout, this, &ContactsView::onPollTick);
    pollTimer->start();
    ClientSession& s = m_window.session();
    connect(&s, &ClientSession::polled, this, &ContactsView::onPolled);
    connect(&s, &ClientSession::newsSound, this,
            [this] { m_ctx.platform().sound->playNewMessage(); });
    connect(&s, &ClientSession::openChatChanged, this,
            [this](const QString& peer, const QStringList& lines) {
                // The user may have opened someone else while the cycle ran.
                if (peer != selectedName())
                    return;
                startChatFlash();
                m_window.conversation().setChatLines(lines);
                m_window.conversation().showConversationLayout();
            });
}

QString ContactsView::selectedName() const
{
    const int row = m_window.directory().selected();
    return row >= 0 ? userentry::name(m_window.directory().users().at(row)) : QString();
}

void ContactsView::showUsers()
{
    const QSignalBlocker quiet(m_ui.userList);
    // Every poll cycle shows the list again; an unchanged one keeps its items and where it was
    // scrolled to.
    if (m_ui.userList->topLevelItemCount() != m_window.directory().users().size() ||
        m_shownUsers != m_window.directory().users()) {
        m_shownUsers = m_window.directory().users();
        m_ui.userList->clear();
        for (const QString& line : m_window.directory().users()) {
            QStringList columns;
            for (int k = 0; k < 6; ++k)
                columns.append(userentry::field(line, k));
            m_ui.userList->addTopLevelItem(new QTreeWidgetItem(columns));
        }
    }
    if (m_window.directory().selected() >= 0) {
        m_ui.userList->setCurrentItem(m_ui.userList->topLevelItem(m_window.directory().selected()));
    } else {
        m_ui.userList->clearSelection();
        m_ui.userList->setCurrentItem(nullptr);
    }
}

void ContactsView::onUserSelected()
{
    const int row = m_window.directory().selected();
    const QString entry = row >= 0 ? m_window.directory().users().at(row) : QString();
    const QString name = userentry::name(entry);
    // Such a name would become part of local paths; the entry is listed but not opened, and
    // the correspondent on screen keeps the phrases of its notices.
    if (row >= 0 && !entry.isEmpty() && !userentry::openable(name))
        return;
    if (!m_window.directory().selectedPeer().isEmpty() && row >= 0)
        peerPhrases.rebuild(QString());
    if (row < 0 || entry.isEmpty())
        return;
    m_window.drafts
        ->leave(); // what the message box holds stays with the correspondent it was typed for
    m_ui.quickSendButton->hide();
    m_ui.conversationView->clear();
    m_window.directory().setSelectedPeer(name);
    m_window.directory().setSendbutHint(name);
    if (userentry::isMarked(entry)) {
        m_window.directory().setUserLine(row, userentry::withoutMark(entry));
        if (QTreeWidgetItem* item = m_ui.userList->topLevelItem(row))
            item->setText(0, QString());
    }
    const QString language = userentry::language(entry);
    if (language == u"rus/" || language == u"eng/")
        peerPhrases.rebuild(language);
    m_ui.busyLabel->show();
    m_window.session().openCorrespondent(name);
}

void ContactsView::onCorrespondentOpened(const CorrespondentResult& result)
{
    // The user went on to someone else meanwhile: that answer is the one to show.
    if (result.name != m_window.directory().selectedPeer())
        return;
    // The view is empty now: sending from it would replace the stored conversation with it.
    const auto unreachable = [this] {
        for (QWidget* w : std::initializer_list<QWidget*>{m_ui.conversationView, m_ui.messageEdit,
                                                          m_ui.sendButton, m_ui.sendFileButton,
                                                          m_ui.receivedFilesButton})
            w->hide();
        m_ui.busyLabel->hide();
    };
    if (!result.reached) {
        unreachable();
        return;
    }
    const QString& name = result.name;
    if (!m_ctx.NetMenu() || !m_ctx.NetMenu()->isVisible())
        m_window.directory().setSendbutHint(name);
    openCorrespondentView(name, result.avatarFile);
    if (result.error.failed()) {
        unreachable();
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (result.hasConversation) {
        m_window.conversation().setChatLines(result.lines);
        m_window.conversation().showConversationLayout();
    } else {
        m_ui.conversationView->clear();
        m_ui.messageEdit->clear();
        for (QWidget* w : std::initializer_list<QWidget*>{m_ui.conversationView, m_ui.messageEdit,
                                                          m_ui.sendButton, m_ui.receivedFilesButton,
                                                          m_ui.sendFileButton})
            w->hide();
        m_ui.quickSendButton->show();
    }
    m_window.drafts->open(m_window.sessionUser, name);
    m_ui.busyLabel->hide();
    if (!m_ui.messageEdit->isHidden())
        m_ui.messageEdit->setFocus();
}

void ContactsView::openCorrespondentView(const QString& name, const QString& avatarFile)
{
    m_ui.userList->setFixedHeight(kListShort);
    // The viewer shows this picture; none came down: the stock one.
    m_peerAvatarFile = avatarFile;
    // A missing or broken picture: the stock one rather than an empty frame.
    if (avatarFile.isEmpty() || !m_ui.peerAvatar->loadPicture(avatarFile))
        m_ui.peerAvatar->loadPicture(m_ctx.folders().programDataDir + QStringLiteral("avax.png"));
    m_ui.peerNameLabel->setText(name);
    m_ui.peerAvatar->show();
    m_ui.favouriteMark->show();
    showFavouriteMark();
    m_ui.commonFilesButton->show();
    m_ui.peerNameLabel->show();
}

void ContactsView::openPopupSender()
{
    Tnetprog* popup = m_ctx.netprog();
    if (!popup)
        return;
    // The popup empties msg next; the draft in it stays with its correspondent.
    m_window.drafts->leave();
    popup->Hint = popup->Hint.trimmed();
    const QString sender = popup->Hint;
    const int row = UserDirectory::find(m_window.directory().users(), sender);
    // Only a listed correspondent is opened: the send button must never point elsewhere than
    // the conversation on screen.
    if (row < 0 || !userentry::openable(sender))
        return;
    m_window.session().openFromPopup(sender);
}

void ContactsView::onPopupCorrespondentOpened(const CorrespondentResult& result)
{
    if (!result.reached)
        return;
    const QString& sender = result.name;
    // The directory may have changed while the picture came down.
    const int row = UserDirectory::find(m_window.directory().users(), sender);
    if (row < 0)
        return;
    openCorrespondentView(sender, result.avatarFile);
    const Folders f = m_ctx.folders();
    const QString fetched = f.userDataDir + QStringLiteral("net/") + m_window.sessionUser + u'/' +
                            sender + QStringLiteral(".mst");
    if (QFile::exists(fetched)) {
        QStringList lines = stringlist::load(fetched).value_or(QStringList());
        conversation::dropFileLine(lines);
        m_window.conversation().setChatLines(lines);
    }
    m_window.conversation().showConversationLayout();
    m_window.drafts->open(m_window.sessionUser, sender);
    m_window.directory().setUserLine(row,
                                     userentry::withoutMark(m_window.directory().users().at(row)));
    // Notices written from here on speak the sender's language, as after a click in the list.
    const QString language = userentry::language(m_window.directory().users().at(row));
    peerPhrases.rebuild(language == u"rus/" || language == u"eng/" ? language : QString());
    m_window.directory().select(row);
    m_window.directory().setSelectedPeer(sender);
    m_window.directory().setSendbutHint(sender);
    showUsers();
    pollTimer->start();
}

void ContactsView::unmarkSelectedOnShow()
{
    const int row = m_window.directory().selected();
    if (m_ui.userList->isHidden() || row < 0 ||
        !userentry::isMarked(m_window.directory().users().at(row)))
        return;
    m_window.directory().setUserLine(row,
                                     userentry::withoutMark(m_window.directory().users().at(row)));
    if (QTreeWidgetItem* item = m_ui.userList->topLevelItem(row))
        item->setText(0, QString());
    startChatFlash();
}

void ContactsView::startChatFlash()
{
    chatFlashCount = 0;
    chatFlashTimer->start();
}

void ContactsView::onChatFlashTick()
{
    static const QString plain =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #E0E0E0; }");
    static const QString lit =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #F4F4F4; }");
    if (chatFlashCount > 3) {
        m_ui.conversationView->setStyleSheet(plain);
        chatFlashTimer->stop();
        chatFlashCount = 0;
        return;
    }
    if (m_ui.conversationView->styleSheet() != lit) {
        m_ui.conversationView->setStyleSheet(lit);
        ++chatFlashCount;
    } else {
        m_ui.conversationView->setStyleSheet(plain);
    }
}

void ContactsView::showFavouriteMark()
{
    const QString data = m_ctx.folders().programDataDir;
    m_ui.favouriteMark->loadPicture(data + (favourites.contains(m_ui.peerNameLabel->text())
                                                ? QStringLiteral("fav_icon.png")
                                                : QStringLiteral("fav_icon_on.png")));
}

void ContactsView::onFavouriteToggled()
{
    const QString name = m_window.directory().sendbutHint();
    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    const QString data = m_ctx.folders().programDataDir;
    if (const int at = favourites.indexOf(name); at >= 0) {
        favourites.removeAt(at);
        stringlist::save(favFile, favourites);
        m_ui.favouriteMark->loadPicture(data + QStringLiteral("fav_icon_on.png"));
    } else {
        favourites.append(name);
        stringlist::save(favFile, favourites);
        m_ui.favouriteMark->loadPicture(data + QStringLiteral("fav_icon.png"));
    }
}

void ContactsView::updateFbut()
{
    m_ui.receivedFilesButton->setVisible(
        received::hasFiles(m_ctx.folders().networkDir, m_ui.peerNameLabel->text()));
}

void ContactsView::onReceivedFiles()
{
    const QString name = selectedName();
    const QString networkDir = m_ctx.folders().networkDir;
    if (!received::hasFiles(networkDir, name))
        return;
    m_ctx.platform().shell->openPath(received::folderFor(networkDir, name));
}

namespace {

Q_LOGGING_CATEGORY(lcPollWindow, "larkspire.poll")

constexpr int kTraceLines = 500;

} // namespace

void ContactsView::onPollTick()
{
    if (!m_window.connected() || !m_window.signedIn() || m_window.sessionUser.isEmpty())
        return;
    if (m_window.session().poll({m_window.directory(), m_window.isVisible()}))
        m_pollSelection = m_window.directory().selectionKey();
}

void ContactsView::onPolled(const PollResult& result)
{
    // The cycle worked on the lists as they were when it started; the selection is the
    // user's, as it is now.
    m_window.directory().adopt(result.directory,
                               m_window.directory().selectionKey() != m_pollSelection);
    showUsers();
    updateFbut();
    m_window.pollTrace.append(result.cycle.trace);
    if (m_window.pollTrace.size() > kTraceLines)
        m_window.pollTrace = m_window.pollTrace.mid(m_window.pollTrace.size() - kTraceLines);
    if (result.error.failed())
        qCInfo(lcPollWindow) << "cycle failed:" << result.error.text;
    else if (result.cycle.outcome == poll::Outcome::Failed ||
             result.cycle.outcome == poll::Outcome::Abandoned)
        qCInfo(lcPollWindow) << "cycle ended early:"
                             << result.cycle.trace.value(result.cycle.trace.size() - 1);
}
