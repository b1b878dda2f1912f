#include "session/Outbox.h"

#include "session/ClientSession.h"
#include "session/ClientState.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSaveFile>

Q_LOGGING_CATEGORY(lcOutbox, "larkspire.outbox")

Outbox::Outbox(QString file, ClientSession& session, ClientState& state, QObject* parent)
    : QObject(parent), m_file(std::move(file)), m_session(session), m_state(state)
{
    QFile stored(m_file);
    if (stored.open(QIODevice::ReadOnly))
        m_queue = outbox::Queue::parse(stored.readAll());

    connect(&session, &ClientSession::messageSent, this, &Outbox::onMessageSent);
    connect(&session, &ClientSession::filesSent, this, &Outbox::onFilesSent);
    // Every sign that the server is there again.
    connect(&session, &ClientSession::mainConnectionOpened, this, &Outbox::sendNext);
    connect(&session, &ClientSession::polled, this, [this](const PollResult& r) {
        if (!r.error.failed())
            sendNext();
    });
    connect(&state, &ClientState::onlineChanged, this, [this](bool online) {
        if (online)
            sendNext();
    });
    connect(&state, &ClientState::userChanged, this, [this] {
        tell();
        sendNext();
    });
}

Outbox::~Outbox() = default;

quint64 Outbox::append(const outbox::Entry& entry)
{
    const quint64 id = m_queue.add(entry);
    store();
    tell();
    return id;
}

quint64 Outbox::addMessage(const QString& recipient, const QString& header, const QString& text)
{
    if (!m_state.signedIn())
        return 0;
    outbox::Entry e;
    e.kind = outbox::Entry::Kind::Message;
    e.sender = m_state.user();
    e.recipient = recipient;
    e.header = header;
    e.text = text;
    return append(e);
}

quint64 Outbox::addFiles(const QString& recipient, const QStringList& paths,
                         const QStringList& phrases, int origin)
{
    if (!m_state.signedIn())
        return 0;
    // A file dropped twice for the same person waits once.
    QStringList fresh;
    quint64 holder = 0;
    for (const QString& path : paths) {
        bool waiting = false;
        for (const outbox::Entry& e : m_queue.entries()) {
            if (e.kind == outbox::Entry::Kind::Files && e.sender == m_state.user() &&
                e.recipient == recipient && e.paths.contains(path)) {
                waiting = true;
                holder = e.id;
            }
        }
        if (!waiting && !fresh.contains(path))
            fresh.append(path);
    }
    if (fresh.isEmpty())
        return holder;
    // Drops for the same person one after the other go up as one, with one notice; one with
    // anything of the user's after it stays as it is, or the order would change.
    const std::optional<outbox::Entry> last = lastOf(m_state.user());
    if (last && last->kind == outbox::Entry::Kind::Files && last->recipient == recipient &&
        last->origin == origin && last->id != m_inFlight) {
        m_queue.extendFiles(last->id, fresh);
        store();
        tell();
        return last->id;
    }
    outbox::Entry e;
    e.kind = outbox::Entry::Kind::Files;
    e.sender = m_state.user();
    e.recipient = recipient;
    e.paths = fresh;
    e.phrases = phrases;
    e.origin = origin;
    return append(e);
}

bool Outbox::cancel(quint64 id)
{
    // On its way it may land; taking it out now would only hide that.
    if (id == m_inFlight || !m_queue.remove(id))
        return false;
    store();
    tell();
    return true;
}

int Outbox::cancelFiles(int origin)
{
    int given = 0;
    for (const outbox::Entry& e : filesFrom(origin))
        given += e.id != m_inFlight && m_queue.remove(e.id);
    if (given > 0) {
        store();
        tell();
    }
    return given;
}

std::optional<outbox::Entry> Outbox::lastOf(const QString& sender) const
{
    const QList<outbox::Entry>& all = m_queue.entries();
    for (auto it = all.crbegin(); it != all.crend(); ++it) {
        if (it->sender == sender)
            return *it;
    }
    return std::nullopt;
}

bool Outbox::holdsWaiting() const
{
    return m_state.signedIn() && m_queue.holdsAnyOf(m_state.user());
}

QList<outbox::Entry> Outbox::messagesTo(const QString& recipient) const
{
    if (!m_state.signedIn())
        return {};
    return m_queue.messagesTo(m_state.user(), recipient);
}

QList<outbox::Entry> Outbox::filesFrom(int origin) const
{
    QList<outbox::Entry> found;
    if (!m_state.signedIn())
        return found;
    for (const outbox::Entry& e : m_queue.entries()) {
        if (e.kind == outbox::Entry::Kind::Files && e.sender == m_state.user() &&
            e.origin == origin)
            found.append(e);
    }
    return found;
}

void Outbox::sendNext()
{
    // A server that failed its last answer is tried again by the upkeep, whose success says so.
    if (m_inFlight != 0 || !m_state.signedIn() || !m_state.online() ||
        m_state.connection().link() == ConnectionStatus::Link::Unreachable)
        return;
    const std::optional<outbox::Entry> next = m_queue.next(m_state.user());
    if (!next)
        return;
    m_inFlight = next->id;
    const ClientState::Correspondent& shown = m_state.correspondent();
    const QStringList chat = shown.name == next->recipient ? shown.lines : QStringList();
    if (next->kind == outbox::Entry::Kind::Message) {
        MessageRequest request;
        request.recipient = next->recipient;
        request.selectedName = next->recipient;
        request.chat = chat;
        request.text = next->text;
        request.header = next->header;
        request.outboxId = next->id;
        m_session.sendMessage(request);
        return;
    }
    FilesRequest request;
    request.from = static_cast<FilesRequest::From>(next->origin);
    request.recipient = next->recipient;
    request.paths = next->paths;
    request.phrases = next->phrases;
    request.chat = chat;
    request.outboxId = next->id;
    m_session.sendFiles(request);
}

void Outbox::onMessageSent(const MessageResult& result)
{
    const quint64 id = result.request.outboxId;
    if (id == 0 || id != m_inFlight)
        return;
    const outbox::Entry* found = m_queue.find(id);
    const outbox::Entry entry = found ? *found : outbox::Entry{};
    // Not reached, or an outcome nobody knows: it waits, and the same header keeps a repeat
    // from writing it twice. A correspondent's copy that failed is mended the same way.
    if (!result.reached || result.error.failed() ||
        result.sent == messaging::Sent::PeerCopyFailed) {
        if (result.reached && result.sent == messaging::Sent::PeerCopyFailed)
            m_state.updateConversation(entry.recipient, result.chat);
        settle(id, false);
        return;
    }
    if (result.sent != messaging::Sent::Sent) {
        settle(id, true);
        emit givenUp(entry);
        sendNext();
        return;
    }
    m_state.updateConversation(entry.recipient, result.chat);
    settle(id, true);
    emit messageDelivered(entry, result.chat);
    sendNext();
}

void Outbox::onFilesSent(const FilesResult& result)
{
    const quint64 id = result.request.outboxId;
    if (id == 0 || id != m_inFlight)
        return;
    const outbox::Entry* found = m_queue.find(id);
    const outbox::Entry entry = found ? *found : outbox::Entry{};
    if (!result.reached) {
        settle(id, false);
        return;
    }
    // Reached: what went up is announced, what did not is reported, as for any drop.
    m_state.updateConversation(entry.recipient, result.chat);
    settle(id, true);
    emit filesDelivered(entry, result);
    sendNext();
}

void Outbox::settle(quint64 id, bool done)
{
    m_inFlight = 0;
    if (done && m_queue.remove(id)) {
        store();
        tell();
    }
}

void Outbox::store()
{
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile file(m_file);
    // What the user wrote, for nobody else on this computer to read.
    if (!file.open(QIODevice::WriteOnly) ||
        !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner) ||
        file.write(m_queue.serialise()) < 0 || !file.commit())
        qCWarning(lcOutbox) << "the waiting messages could not be kept in" << m_file << ":"
                            << file.errorString();
}

void Outbox::tell()
{
    // The hints name waiting files on a line of their own.
    m_state.setWaitingMessages(m_state.signedIn() ? m_queue.messageCount(m_state.user()) : 0);
    emit changed();
}
