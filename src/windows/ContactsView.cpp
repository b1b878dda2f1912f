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
#include "session/ClientState.h"
#include "windows/DraftKeeper.h"
#include "windows/FrameImage.h"
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
constexpr int kListFull = 561;

} // namespace

ContactsView::ContactsView(TNetwork& window, MainControls::Contacts& controls, AppContext& ctx)
    : QObject(&window), m_window(window), m_ui(controls), m_ctx(ctx)
{
    connect(m_ui.userList, &QTreeWidget::itemSelectionChanged, this, [this] {
        const QList<QTreeWidgetItem*> selected = m_ui.userList->selectedItems();
        const int row =
            selected.isEmpty() ? -1 : m_ui.userList->indexOfTopLevelItem(selected.first());
        bool taken = false;
        m_ctx.state().changeDirectory([&](UserDirectory& d) { taken = d.select(row); });
        if (!taken) {
            // The list goes back to the correspondent on screen, who stays the recipient.
            const QSignalBlocker quiet(m_ui.userList);
            m_ui.userList->clearSelection();
            if (directory().selected() >= 0)
                m_ui.userList->setCurrentItem(m_ui.userList->topLevelItem(directory().selected()));
            return;
        }
        onUserSelected();
    });
    connect(m_ui.receivedFilesButton, &QPushButton::clicked, this, &ContactsView::onReceivedFiles);
    connect(&m_window.session(), &ClientSession::correspondentOpened, this,
            &ContactsView::onCorrespondentOpened);

    const QString favFile = m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo");
    if (const auto lines = stringlist::load(favFile))
        m_ctx.state().setFavourites(*lines);
    else
        stringlist::save(favFile, m_ctx.state().favourites());

    // The list and the correspondent's panel show the state, whatever changed it.
    ClientState& state = m_ctx.state();
    connect(&state, &ClientState::correspondentChanged, this, &ContactsView::renderCorrespondent);
    connect(&state, &ClientState::favouritesChanged, this, &ContactsView::renderCorrespondent);
    connect(&state, &ClientState::userChanged, this, &ContactsView::renderCorrespondent);

    m_pollTimer = new QTimer(this);
    m_pollTimer->setObjectName(QStringLiteral("msgrld"));
    m_pollTimer->setInterval(15000);
    connect(m_pollTimer, &QTimer::timeout, this, &ContactsView::onPollTick);
    m_pollTimer->start();
    ClientSession& s = m_window.session();
    connect(&s, &ClientSession::polled, this, &ContactsView::onPolled);
    connect(&s, &ClientSession::newsSound, this,
            [this] { m_ctx.platform().sound->playNewMessage(); });
    connect(&s, &ClientSession::openChatChanged, this,
            [this](const QString& peer, const QStringList& lines) {
                // The user may have opened someone else while the cycle ran: the state shows
                // only the conversation of the correspondent on screen.
                if (m_ctx.state().updateConversation(peer, lines) && m_window.isVisible())
                    m_window.flashConversation();
            });
}

const UserDirectory& ContactsView::directory() const
{
    return m_ctx.state().directory();
}

QString ContactsView::selectedName() const
{
    return m_ctx.state().selectedName();
}

void ContactsView::renderCorrespondent()
{
    const ClientState& state = m_ctx.state();
    const ClientState::Correspondent& c = state.correspondent();
    const bool shown = state.signedIn() && c.shown();
    m_ui.userList->setVisible(state.signedIn());
    m_ui.userList->setFixedHeight(shown ? kListShort : kListFull);
    if (shown && (c.name != m_shownPeer || c.avatarFile != m_peerAvatarFile)) {
        // A missing or broken picture: the stock one rather than an empty frame.
        if (c.avatarFile.isEmpty() || !m_ui.peerAvatar->loadPicture(c.avatarFile))
            m_ui.peerAvatar->loadPicture(m_ctx.folders().programDataDir +
                                         QStringLiteral("avax.png"));
    }
    m_shownPeer = shown ? c.name : QString();
    m_peerAvatarFile = shown ? c.avatarFile : QString();
    m_ui.peerNameLabel->setText(m_shownPeer);
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui.peerAvatar, m_ui.peerNameLabel,
                                                      m_ui.favouriteMark, m_ui.commonFilesButton})
        w->setVisible(shown);
    if (shown)
        m_ui.favouriteMark->loadPicture(m_ctx.folders().programDataDir +
                                        (state.isFavourite(c.name)
                                             ? QStringLiteral("fav_icon.png")
                                             : QStringLiteral("fav_icon_on.png")));
    m_ui.receivedFilesButton->setVisible(shown && c.reached && c.hasConversation &&
                                         c.hasReceivedFiles);
}

void ContactsView::showUsers()
{
    const QSignalBlocker quiet(m_ui.userList);
    const UserDirectory& d = directory();
    // Every poll cycle shows the list again; an unchanged one keeps its items and where it was
    // scrolled to.
    if (m_ui.userList->topLevelItemCount() != d.users().size() || m_shownUsers != d.users()) {
        m_shownUsers = d.users();
        m_ui.userList->clear();
        for (const QString& line : d.users()) {
            QStringList columns;
            for (int k = 0; k < 6; ++k)
                columns.append(userentry::field(line, k));
            m_ui.userList->addTopLevelItem(new QTreeWidgetItem(columns));
        }
    }
    if (d.selected() >= 0) {
        m_ui.userList->setCurrentItem(m_ui.userList->topLevelItem(d.selected()));
    } else {
        m_ui.userList->clearSelection();
        m_ui.userList->setCurrentItem(nullptr);
    }
}

void ContactsView::onUserSelected()
{
    const int row = directory().selected();
    const QString entry = row >= 0 ? directory().users().at(row) : QString();
    const QString name = userentry::name(entry);
    // Such a name would become part of local paths; the entry is listed but not opened, and
    // the correspondent on screen keeps the phrases of its notices.
    if (row >= 0 && !entry.isEmpty() && !userentry::openable(name))
        return;
    if (!directory().selectedPeer().isEmpty() && row >= 0)
        m_peerPhrases.rebuild(QString());
    if (row < 0 || entry.isEmpty())
        return;
    // What the message box holds stays with the correspondent it was typed for.
    m_window.drafts().leave();
    m_ctx.state().changeDirectory([&](UserDirectory& d) {
        d.setSelectedPeer(name);
        d.setSendbutHint(name);
        if (userentry::isMarked(entry))
            d.setUserLine(row, userentry::withoutMark(entry));
    });
    if (userentry::isMarked(entry)) {
        if (QTreeWidgetItem* item = m_ui.userList->topLevelItem(row))
            item->setText(0, QString());
    }
    const QString language = userentry::language(entry);
    if (language == u"rus/" || language == u"eng/")
        m_peerPhrases.rebuild(language);
    // The panel names whom the list selects at once; the conversation follows when it is read.
    // Until then nothing can be sent from a view that does not hold it.
    ClientState::Correspondent loading;
    loading.name = name;
    m_ctx.state().showCorrespondent(loading);
    m_ctx.state().readNews(name);
    m_ctx.state().setWorking(ClientState::Work::Opening, true);
    m_window.session().openCorrespondent(name);
}

void ContactsView::onCorrespondentOpened(const CorrespondentResult& result)
{
    // The user went on to someone else meanwhile: that answer is the one to show.
    if (result.name != directory().selectedPeer())
        return;
    m_ctx.state().setWorking(ClientState::Work::Opening, false);
    ClientState::Correspondent c;
    c.name = result.name;
    c.avatarFile = result.avatarFile;
    // An unread or broken conversation leaves the view empty: sending from it would replace
    // the stored conversation with it.
    c.reached = result.reached && !result.error.failed();
    c.hasConversation = c.reached && result.hasConversation;
    c.lines = c.hasConversation ? result.lines : QStringList();
    c.hasReceivedFiles = received::hasFiles(m_ctx.folders().networkDir, result.name);
    c.seenMark = c.hasConversation ? result.seenMark : std::nullopt;
    if (result.reached && !m_window.quickSendShown())
        m_ctx.state().changeDirectory([&](UserDirectory& d) { d.setSendbutHint(result.name); });
    m_ctx.state().showCorrespondent(c);
    if (result.error.failed()) {
        m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    if (!c.reached)
        return;
    // A conversation that does not exist yet starts from an empty box; a draft fills it.
    if (!c.hasConversation)
        m_window.clearMessageBox();
    m_window.drafts().open(m_window.sessionUser(), result.name);
    m_window.focusMessageBox();
}

void ContactsView::openSender(const QString& popupSender)
{
    // The popup empties msg next; the draft in it stays with its correspondent.
    m_window.drafts().leave();
    const QString sender = popupSender.trimmed();
    const int row = UserDirectory::find(directory().users(), sender);
    // Only a listed correspondent is opened: the send button must never point elsewhere than
    // the conversation on screen.
    if (row < 0 || !userentry::openable(sender))
        return;
    // As a click in the list: the conversation comes down as it now stands on the server, not
    // as this computer last kept it, which may be older than the news the popup shows.
    m_ctx.state().changeDirectory([&](UserDirectory& d) { d.select(row); });
    showUsers();
    onUserSelected();
    m_pollTimer->start();
}

bool ContactsView::listHasSelection() const
{
    return !m_ui.userList->selectedItems().isEmpty();
}

void ContactsView::showSignedIn()
{
    // The same user signed in again (the network came back): the conversation on screen stays,
    // with its row selected. A new sign-in starts with nobody selected.
    if (!m_ctx.state().correspondent().shown())
        m_ui.userList->clearSelection();
    if (m_window.isVisible())
        m_ui.userList->setFocus();
}

bool ContactsView::selectForDrop(const QString& name)
{
    const UserDirectory& d = directory();
    const int row = UserDirectory::find(d.users(), name);
    if (row < 0 || !userentry::openable(name))
        return false;
    if (d.selected() == row && d.sendbutHint() == name)
        return true;
    // The list's selection opens the correspondent as a click would: picture, favourite mark,
    // phrases and the conversation.
    if (QTreeWidgetItem* item = m_ui.userList->topLevelItem(row))
        m_ui.userList->setCurrentItem(item);
    return directory().sendbutHint() == name;
}

void ContactsView::restartPolling()
{
    m_pollTimer->start();
}

void ContactsView::unmarkSelectedOnShow()
{
    const int row = directory().selected();
    if (m_ui.userList->isHidden() || row < 0 || !userentry::isMarked(directory().users().at(row)))
        return;
    m_ctx.state().changeDirectory(
        [&](UserDirectory& d) { d.setUserLine(row, userentry::withoutMark(d.users().at(row))); });
    if (QTreeWidgetItem* item = m_ui.userList->topLevelItem(row))
        item->setText(0, QString());
    m_window.flashConversation();
}

void ContactsView::onFavouriteToggled()
{
    // The star is the one of the correspondent the panel shows, never of another selection.
    const QString name = m_ctx.state().correspondent().name;
    if (name.isEmpty())
        return;
    m_ctx.state().toggleFavourite(name);
    stringlist::save(m_ctx.folders().programDataDir + QStringLiteral("net/fav.xo"),
                     m_ctx.state().favourites());
}

void ContactsView::updateFbut()
{
    const QString& name = m_ctx.state().correspondent().name;
    if (!name.isEmpty())
        m_ctx.state().setReceivedFiles(received::hasFiles(m_ctx.folders().networkDir, name));
}

void ContactsView::onReceivedFiles()
{
    const QString name = m_ctx.state().correspondent().name;
    const QString networkDir = m_ctx.folders().networkDir;
    if (name.isEmpty() || !received::hasFiles(networkDir, name))
        return;
    m_ctx.platform().shell->openPath(received::folderFor(networkDir, name));
}

namespace {

Q_LOGGING_CATEGORY(lcPollWindow, "larkspire.poll")

constexpr int kTraceLines = 500;

} // namespace

void ContactsView::onPollTick()
{
    if (!m_window.connected() || !m_window.signedIn() || m_window.sessionUser().isEmpty())
        return;
    if (m_window.session().poll({directory(), m_window.isVisible()}))
        m_pollSelection = directory().selectionKey();
}

void ContactsView::onPolled(const PollResult& result)
{
    // The cycle worked on the lists as they were when it started; the selection is the
    // user's, as it is now.
    const bool ownSelection = directory().selectionKey() != m_pollSelection;
    m_ctx.state().changeDirectory(
        [&](UserDirectory& d) { d.adopt(result.directory, ownSelection); });
    showUsers();
    updateFbut();
    // The mark of the correspondent who was on screen; the state shows no one else's.
    if (!result.seenPeer.isEmpty())
        m_ctx.state().setSeenMark(result.seenPeer, result.seenMark);
    m_pollTrace.append(result.cycle.trace);
    if (m_pollTrace.size() > kTraceLines)
        m_pollTrace = m_pollTrace.mid(m_pollTrace.size() - kTraceLines);
    if (result.error.failed())
        qCInfo(lcPollWindow) << "cycle failed:" << result.error.text;
    else if (result.cycle.outcome == poll::Outcome::Failed ||
             result.cycle.outcome == poll::Outcome::Abandoned)
        qCInfo(lcPollWindow) << "cycle ended early:"
                             << result.cycle.trace.value(result.cycle.trace.size() - 1);
}
