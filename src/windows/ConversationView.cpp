// The conversation on screen: the chat view, sending a message from the message box, the
// quick-send window's results, and files dropped on the main window for the correspondent.
#include "windows/ConversationView.h"

#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/FrameKeys.h"
#include "core/Limits.h"
#include "core/OutboxQueue.h"
#include "core/SeenMark.h"
#include "core/UserDirectory.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/Outbox.h"
#include "windows/DraftKeeper.h"
#include "windows/DropSend.h"
#include "windows/DroppedFiles.h"
#include "windows/WindowLook.h"
#include "windows/uNetwork.h"

#include <QApplication>
#include <QDateTime>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {
constexpr int kDropStateHeight = 40; // two lines: how many files wait, and how to give them up
constexpr int kSeenMarkHeight = 14;  // the gap between the conversation and the message box
} // namespace

ConversationView::ConversationView(TNetwork& window, MainControls::Conversation& controls,
                                   AppContext& ctx)
    : QObject(&window), m_window(window), m_ui(controls), m_ctx(ctx)
{
    m_chatFlashTimer = new QTimer(this);
    m_chatFlashTimer->setObjectName(QStringLiteral("high"));
    m_chatFlashTimer->setInterval(100);
    connect(m_chatFlashTimer, &QTimer::timeout, this, &ConversationView::onChatFlashTick);
    ClientState& state = m_ctx.state();
    connect(&state, &ClientState::correspondentChanged, this, &ConversationView::renderLayout);
    connect(&state, &ClientState::userChanged, this, &ConversationView::renderLayout);
    connect(&state, &ClientState::conversationChanged, this, &ConversationView::renderLines);
    for (auto changed : {&ClientState::correspondentChanged, &ClientState::conversationChanged,
                         &ClientState::seenMarkChanged}) {
        connect(&state, changed, this, &ConversationView::renderSeenMark);
        connect(&state, changed, this, &ConversationView::recordSeen);
    }
    connect(&state, &ClientState::userChanged, this, &ConversationView::renderSeenMark);
    // A mark that could not go up is asked for again with the next cycle.
    connect(&m_window.session(), &ClientSession::seenRecorded, this, [this](const SeenResult& r) {
        if (!r.reached || r.error.failed())
            m_seenAsked.clear();
    });
    connect(&m_window.session(), &ClientSession::polled, this, &ConversationView::recordSeen);
    connect(&m_window.session(), &ClientSession::transferProgress, this,
            [this](const QString& name, int percent) {
                // Only while a send of this window runs; a large file must not look like a hang.
                if (m_filesPending == 0)
                    return;
                m_window.showBusyText(
                    QStringLiteral("%1 %2 %3%").arg(m_ctx.text(kTxtLoading), name).arg(percent));
            });
    connect(&m_window.session(), &ClientSession::filesSent, this, &ConversationView::onFilesSent);
    connect(m_ui.sendFileButton, &QPushButton::clicked, this, &ConversationView::onSendFile);
    m_ui.conversationView->setReadOnly(true);
    connect(m_ui.sendButton, &QPushButton::clicked, this, &ConversationView::onSend);
    connect(m_ui.quickSendButton, &QPushButton::clicked, this, &ConversationView::onQuickSend);
    connect(&m_window.session(), &ClientSession::messageSent, this,
            &ConversationView::onMessageSent);
    connect(&m_window.session(), &ClientSession::quickSent, this, &ConversationView::onQuickSent);

    const QRect chat = m_ui.conversationView->geometry();
    m_dropStateLabel =
        look::place(new QLabel(&m_window), QStringLiteral("dropState"), chat.left(),
                    chat.bottom() + 1 - kDropStateHeight, chat.width(), kDropStateHeight);
    m_dropStateLabel->setFont(look::pixelFont(look::fontatigo(), 15, false));
    m_dropStateLabel->setTextFormat(Qt::PlainText);
    m_dropStateLabel->setAlignment(Qt::AlignCenter);
    m_dropStateLabel->setCursor(Qt::PointingHandCursor);
    m_dropStateLabel->setStyleSheet(m_window.busyStyle());
    m_dropStateLabel->installEventFilter(this);
    m_dropStateLabel->hide();
    m_seenLabel = look::place(new QLabel(&m_window), QStringLiteral("seenMark"), chat.left(),
                              chat.bottom() + 1, chat.width(), kSeenMarkHeight);
    m_seenLabel->setFont(look::pixelFont(look::calibri(), 12, false));
    m_seenLabel->setTextFormat(Qt::PlainText);
    m_seenLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_seenLabel->hide();
    // At the foot, as the waiting files' label: the newest entries are on top of the chat.
    m_waitingLabel =
        look::place(new QLabel(&m_window), QStringLiteral("waitingMessages"), chat.left(),
                    chat.bottom() + 1 - kDropStateHeight, chat.width(), kDropStateHeight);
    m_waitingLabel->setFont(look::pixelFont(look::fontatigo(), 15, false));
    m_waitingLabel->setTextFormat(Qt::PlainText);
    m_waitingLabel->setAlignment(Qt::AlignCenter);
    m_waitingLabel->setCursor(Qt::PointingHandCursor);
    m_waitingLabel->setStyleSheet(m_window.busyStyle());
    m_waitingLabel->installEventFilter(this);
    m_waitingLabel->hide();
    Outbox& outbox = m_ctx.outbox();
    connect(&outbox, &Outbox::changed, this, &ConversationView::renderLines);
    connect(&outbox, &Outbox::changed, this, &ConversationView::renderWaiting);
    connect(&state, &ClientState::correspondentChanged, this, &ConversationView::renderWaiting);
    connect(&outbox, &Outbox::givenUp, this, [this](const outbox::Entry& entry) {
        m_ctx.platform().desktop->showError(m_ctx.text(outbox::kTxtGivenUp).arg(entry.recipient) +
                                            u'\n' + m_ctx.text(kTxtConversationGone));
    });
    // A conversation on screen before the window was is shown to its reader only now.
    m_window.installEventFilter(this);
    // The outbox sends the waiting files when the server is back; the label follows it.
    connect(&m_ctx.outbox(), &Outbox::changed, this, &ConversationView::showWaitingFiles);
}

bool ConversationView::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_window && event->type() == QEvent::Show)
        recordSeen();
    if (watched != m_dropStateLabel && watched != m_waitingLabel)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return true; // the label's, not the window's to drag
    case QEvent::MouseButtonRelease: {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QLabel*>(watched);
        if (mouse->button() != Qt::LeftButton ||
            !label->rect().contains(mouse->position().toPoint()))
            return true;
        if (label == m_dropStateLabel)
            cancelWaitingFiles();
        else
            cancelNewestWaitingMessage();
        return true;
    }
    default:
        return false;
    }
}

void ConversationView::onQuickSend()
{
    emit quickSendRequested();
}

QStringList ConversationView::chatLines() const
{
    return m_ctx.state().correspondent().lines;
}

void ConversationView::flash()
{
    m_chatFlashCount = 0;
    m_chatFlashTimer->start();
}

void ConversationView::onChatFlashTick()
{
    static const QString plain =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #E0E0E0; }");
    static const QString lit =
        QStringLiteral("QPlainTextEdit { color: #1E1E1E; background: #F4F4F4; }");
    if (m_chatFlashCount > 3) {
        m_ui.conversationView->setStyleSheet(plain);
        m_chatFlashTimer->stop();
        m_chatFlashCount = 0;
        return;
    }
    if (m_ui.conversationView->styleSheet() != lit) {
        m_ui.conversationView->setStyleSheet(lit);
        ++m_chatFlashCount;
    } else {
        m_ui.conversationView->setStyleSheet(plain);
    }
}

void ConversationView::clearMessageBox()
{
    m_ui.messageEdit->clear();
}

void ConversationView::focusMessageBox()
{
    if (!m_ui.messageEdit->isHidden())
        m_ui.messageEdit->setFocus();
}

void ConversationView::renderLines()
{
    // Laying out one line of megabytes would freeze the window; the file keeps it whole.
    const ClientState::Correspondent& c = m_ctx.state().correspondent();
    const QStringList lines =
        outbox::shownWithWaiting(c.lines, m_ctx.outbox().messagesTo(c.name), m_ctx.strings());
    const QString text = limits::shownLines(lines).join(u'\n');
    if (m_ui.conversationView->toPlainText() != text)
        m_ui.conversationView->setPlainText(text);
}

void ConversationView::renderLayout()
{
    const ClientState& state = m_ctx.state();
    const ClientState::Correspondent& c = state.correspondent();
    const bool shown = state.signedIn() && c.shown() && c.reached;
    const bool talking = shown && c.hasConversation;
    for (QWidget* w : std::initializer_list<QWidget*>{m_ui.conversationView, m_ui.messageEdit,
                                                      m_ui.sendButton, m_ui.sendFileButton})
        w->setVisible(talking);
    m_ui.quickSendButton->setVisible(shown && !c.hasConversation);
    renderLines();
}

void ConversationView::renderSeenMark()
{
    const ClientState& state = m_ctx.state();
    const ClientState::Correspondent& c = state.correspondent();
    QString text;
    if (state.signedIn() && c.shown() && c.reached && c.hasConversation) {
        const seenmark::Shown shown = seenmark::judge(c.lines, state.user(), c.seenMark);
        // A message whose correspondent's copy failed is in one copy only.
        const bool unsent = m_unsentEntry.recipient == c.name && !m_unsentEntry.header.isEmpty() &&
                            c.lines.value(0) == m_unsentEntry.header;
        if (!unsent)
            text = seenmark::label(shown, m_ctx.strings(), QDateTime::currentDateTime());
    }
    m_seenLabel->setText(text);
    m_seenLabel->setVisible(!text.isEmpty());
}

void ConversationView::recordSeen()
{
    const ClientState& state = m_ctx.state();
    const ClientState::Correspondent& c = state.correspondent();
    if (!m_window.isVisible() || !state.signedIn() || !c.shown() || !c.reached ||
        !c.hasConversation)
        return;
    const std::optional<seenmark::Mark> newest = seenmark::newestFrom(c.lines, state.user());
    if (!newest)
        return;
    const QString asked = state.user() + u'\n' + c.name + u'\n' + newest->digest;
    if (asked == m_seenAsked)
        return;
    m_seenAsked = asked;
    m_window.session().recordSeen(c.name, *newest);
}

void ConversationView::sendMessage(const QString& recipient, bool viaEnter)
{
    const QString text = m_ui.messageEdit->toPlainText();
    if (text.isEmpty())
        return;
    // A second press while the same text is on its way would write it twice.
    if (m_pendingSend && m_pendingSend->recipient == recipient && m_pendingSend->text == text)
        return;
    // Pressing Send again after a failure repeats the same entry: a send whose outcome was
    // unknown may have landed, and the conversation then holds it once.
    const bool retry = m_unsentEntry.recipient == recipient && m_unsentEntry.text == text;
    const QString header =
        retry ? m_unsentEntry.header
              : conversation::headerLine(m_ctx.state().user(), QDateTime::currentDateTime());
    // Behind what already waits, so that messages go up in the order they were written; and
    // with the server known to be away, a try would only keep the user waiting.
    if (m_ctx.outbox().holdsWaiting() ||
        m_ctx.state().connection().link() == ConnectionStatus::Link::Unreachable) {
        keepForLater(recipient, header, text, viaEnter);
        return;
    }
    MessageRequest request;
    request.recipient = recipient;
    request.selectedName = m_ctx.state().selectedName();
    request.chat = chatLines();
    request.text = text;
    request.header = header;
    request.viaEnter = viaEnter;
    m_pendingSend = request;
    m_ctx.state().setWorking(ClientState::Work::Message, true);
    m_window.session().sendMessage(request);
}

void ConversationView::onMessageSent(const MessageResult& result)
{
    const MessageRequest& request = result.request;
    // The outbox's own sends; what they change reaches the view through the state.
    if (request.outboxId != 0)
        return;
    if (m_pendingSend && m_pendingSend->recipient == request.recipient &&
        m_pendingSend->text == request.text)
        m_pendingSend.reset();
    m_ctx.state().setWorking(ClientState::Work::Message, false);
    // The view shows this conversation only while its correspondent is the one on screen.
    // Nothing was written, or the server went away during the write: the message waits for it
    // instead of being lost, and its header keeps a repeat from writing it twice.
    if (!result.reached || result.connectionLost) {
        if (!keepForLater(request.recipient, request.header, request.text, request.viaEnter))
            m_ctx.platform().desktop->showError(m_ctx.text(kTxtServerUnreachable));
        return;
    }
    if (result.error.failed()) {
        m_unsentEntry = {request.recipient, request.text, request.header};
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtNotSent) + u'\n' + result.error.text);
        return;
    }
    switch (result.sent) {
    case messaging::Sent::Refused:
    case messaging::Sent::NoConversation:
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtConversationGone));
        return;
    case messaging::Sent::PeerCopyFailed:
        m_ctx.state().updateConversation(request.recipient, result.chat);
        m_unsentEntry = {request.recipient, request.text, request.header};
        renderSeenMark();
        m_ctx.platform().desktop->showError(m_ctx.text(kTxtPeerCopyFailed) + u'\n' +
                                            result.failure);
        return;
    case messaging::Sent::Sent:
        break;
    }
    m_unsentEntry = {};
    // The view shows this conversation only while its correspondent is the one on screen.
    m_ctx.state().updateConversation(request.recipient, result.chat);
    // What the user typed after pressing Send stays for the next message.
    if (m_ui.messageEdit->toPlainText() == request.text)
        m_ui.messageEdit->clear();
    m_window.drafts().sent(request.recipient, request.text);
    if (!request.viaEnter)
        m_ui.messageEdit->setFocus();
}

bool ConversationView::keepForLater(const QString& recipient, const QString& header,
                                    const QString& text, bool viaEnter)
{
    if (m_ctx.outbox().addMessage(recipient, header, text) == 0)
        return false;
    if (m_unsentEntry.recipient == recipient && m_unsentEntry.text == text)
        m_unsentEntry = {};
    // What the user typed after pressing Send stays for the next message.
    if (m_ui.messageEdit->toPlainText() == text)
        m_ui.messageEdit->clear();
    m_window.drafts().sent(recipient, text);
    if (!viaEnter)
        m_ui.messageEdit->setFocus();
    // Now that it is the outbox's, the server's next sign of life sends it.
    m_ctx.outbox().sendNext();
    return true;
}

void ConversationView::renderWaiting()
{
    const QString name = m_ctx.state().correspondent().name;
    const int waiting = static_cast<int>(m_ctx.outbox().messagesTo(name).size());
    const bool talking = m_ui.conversationView->isVisibleTo(&m_window);
    if (waiting == 0 || !talking) {
        m_waitingLabel->hide();
    } else {
        m_waitingLabel->setText(m_ctx.text(outbox::kTxtMessagesWaiting).arg(waiting) + u'\n' +
                                m_ctx.text(PendingDrop::kTxtClickToCancel));
        m_waitingLabel->show();
        m_waitingLabel->raise();
    }
    stackFootLabels();
}

void ConversationView::cancelNewestWaitingMessage()
{
    const QList<outbox::Entry> waiting =
        m_ctx.outbox().messagesTo(m_ctx.state().correspondent().name);
    if (waiting.isEmpty() || !m_ctx.outbox().cancel(waiting.last().id))
        return;
    // Given up, not thrown away: the text comes back to be changed or sent again.
    if (m_ui.messageEdit->toPlainText().isEmpty()) {
        m_ui.messageEdit->setPlainText(waiting.last().text);
        m_ui.messageEdit->moveCursor(QTextCursor::End);
    }
}

void ConversationView::onQuickSent(const QuickSendResult& result)
{
    if (result.error.failed() || result.sent.result != messaging::Sent::Sent)
        return;
    m_ctx.state().updateConversation(result.recipient, result.sent.chat);
}

void ConversationView::onSend()
{
    sendMessage(m_ctx.state().directory().sendbutHint(), false);
}

bool ConversationView::messageKey(int key, Qt::KeyboardModifiers modifiers)
{
    switch (frame::messageKey(key, modifiers)) {
    case frame::MessageKey::Send:
        sendMessage(m_ctx.state().selectedName(), true);
        return true;
    case frame::MessageKey::LineBreak:
        // A new line of its own, as a pasted line is; the box would put a line separator there.
        m_ui.messageEdit->insertPlainText(QStringLiteral("\n"));
        return true;
    case frame::MessageKey::PassOn:
        return false;
    }
    return false;
}

bool ConversationView::msgDragEvent(QEvent* event)
{
    // The message box would take dropped files as "file:///" text; they are meant to be sent.
    // Anything else is the box's own: text dropped there is typed.
    auto* drop = static_cast<QDropEvent*>(event);
    if (dropped::localPaths(drop->mimeData()).isEmpty())
        return false;
    if (dropped::takeAsCopy(drop) && event->type() == QEvent::Drop)
        dropFiles(dropped::localPaths(drop->mimeData()));
    return true;
}

void ConversationView::dropFiles(const QStringList& paths)
{
    if (!m_window.signedIn() || m_ctx.state().directory().selected() < 0)
        return;
    QStringList dropped;
    for (const QString& p : paths) {
        if (!p.isEmpty())
            dropped.append(p);
    }
    if (dropped.isEmpty())
        return;
    const QString recipient = m_ctx.state().selectedName();
    if (!userentry::openable(recipient))
        return;
    m_ctx.state().changeDirectory([&](UserDirectory& d) {
        d.setSelectedPeer(recipient);
        d.setSendbutHint(recipient);
    });

    const QStringList sendable = sendableDropped(dropped);
    if (sendable.isEmpty())
        return;
    // Without the server the files wait in the outbox, as on the small windows: a send now would
    // fail and lose them. Behind what waits already, they wait too, to keep the order.
    const PendingDrop::Conditions now = m_ctx.state().sendConditions();
    const PendingDrop::Files files{now.user, recipient, sendable};
    const PendingDrop::Verdict verdict = PendingDrop::decide(now);
    if (verdict == PendingDrop::Verdict::SignInFirst)
        return;
    if (verdict == PendingDrop::Verdict::Wait || m_ctx.outbox().holdsWaiting()) {
        dropsend::keep(m_ctx, FilesRequest::From::MainWindow, recipient, sendable,
                       noticePhrases(m_window.peerPhrases()));
        return;
    }
    sendDropped(files);
}

void ConversationView::sendDropped(const PendingDrop::Files& files)
{
    // Files that vanished while they waited are reported now; the rest were checked at the drop.
    const QStringList sendable = sendableDropped(files.paths);
    if (sendable.isEmpty())
        return;
    // Files that waited may be for someone who is no longer on screen: their phrases and their
    // conversation are not the view's.
    const bool onScreen = files.recipient == m_ctx.state().directory().sendbutHint();
    FilesRequest request;
    request.recipient = files.recipient;
    request.paths = sendable;
    request.phrases = noticePhrases(onScreen ? m_window.peerPhrases() : PhraseTable());
    request.chat = onScreen ? chatLines() : QStringList();
    ++m_filesPending;
    m_ctx.state().setWorking(ClientState::Work::Files, true);
    m_window.session().sendFiles(request);
}

PendingDrop ConversationView::waitingFiles() const
{
    return dropsend::waiting(m_ctx, FilesRequest::From::MainWindow);
}

void ConversationView::cancelWaitingFiles()
{
    m_ctx.outbox().cancelFiles(static_cast<int>(FilesRequest::From::MainWindow));
}

void ConversationView::showWaitingFiles()
{
    const PendingDrop waiting = waitingFiles();
    m_dropStateLabel->setText(waiting.waitingText(m_ctx.strings()));
    m_dropStateLabel->setVisible(waiting.waiting());
    if (waiting.waiting())
        m_dropStateLabel->raise();
    stackFootLabels();
}

void ConversationView::stackFootLabels()
{
    // Waiting files sit over waiting messages when both wait.
    const QRect chat = m_ui.conversationView->geometry();
    const int lift = m_waitingLabel->isVisibleTo(&m_window) ? kDropStateHeight : 0;
    m_dropStateLabel->move(chat.left(), chat.bottom() + 1 - kDropStateHeight - lift);
}

QStringList ConversationView::sendableDropped(const QStringList& paths)
{
    const dropped::Split split = dropped::split(paths);
    if (!split.leftOut.isEmpty())
        m_ctx.platform().desktop->showError(
            dropped::leftOutReport(m_ctx.text(kTxtNotFilesNotSent), split.leftOut));
    return split.sendable;
}

QStringList ConversationView::noticePhrases(const PhraseTable& recipientPhrases) const
{
    // A recipient whose language is unknown reads the sender's.
    PhraseTable phrases = recipientPhrases;
    if (phrases.size() < 7)
        phrases.rebuild(m_ctx.languageCode());
    QStringList out;
    for (int i = 0; i < phrases.size(); ++i)
        out.append(phrases.phrase(i));
    return out;
}

void ConversationView::onFilesSent(const FilesResult& result)
{
    // The other windows report their own sends; the conversation on screen is this window's.
    const bool own = result.request.from == FilesRequest::From::MainWindow;
    // The outbox's sends of what waited were not counted here, and stay in the outbox when
    // they do not reach the server.
    const bool waited = result.request.outboxId != 0;
    if (own && !waited && --m_filesPending == 0) {
        m_window.showBusyText(m_ctx.text(kTxtLoading));
        m_ctx.state().setWorking(ClientState::Work::Files, false);
    }
    // The server went away although the detector had not said so: the files wait for it.
    if (!result.reached) {
        if (own && !waited)
            dropsend::keep(m_ctx, FilesRequest::From::MainWindow, result.request.recipient,
                           result.request.paths, result.request.phrases);
        return;
    }
    if (result.error.failed()) {
        // The application's error report.
        if (own)
            m_ctx.platform().desktop->showError(result.error.text);
        return;
    }
    // The others went up and are announced; these were not and are not.
    if (own && !result.notSent.isEmpty())
        m_ctx.platform().desktop->showError(
            PendingDrop::notSentText(result.notSent, m_ctx.strings()));
    m_ctx.state().updateConversation(result.request.recipient, result.chat);
}

void ConversationView::onSendFile()
{
    const QString recipient = m_ctx.state().directory().sendbutHint();
    if (recipient.isEmpty())
        return;
    m_window.session().closeMain();
    emit dropZoneRequested(recipient);
    if (m_window.isVisible())
        m_window.StartFadeOut();
}
