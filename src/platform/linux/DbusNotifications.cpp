#include "platform/linux/DbusNotifications.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QStringList>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A server that has not answered by then is taken for none.
constexpr int kTimeoutMs = 3000;
// A server that did not answer is asked again when the program next wants one, at most this
// often, so that one started later is found.
constexpr int kAskAgainMs = 5000;

QDBusMessage call(const QString& method)
{
    return QDBusMessage::createMethodCall(kService, kPath, kService, method);
}

// Runs `done` with the answer to `message`, never waiting for it.
template <typename Done> void ask(QObject* owner, const QDBusMessage& message, Done done)
{
    auto* watcher = new QDBusPendingCallWatcher(
        QDBusConnection::sessionBus().asyncCall(message, kTimeoutMs), owner);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, owner,
                     [done](QDBusPendingCallWatcher* w) {
                         w->deleteLater();
                         done(*w);
                     });
}

} // namespace

DbusNotifications::DbusNotifications() = default;

DbusNotifications::~DbusNotifications()
{
    // Their actions would reach nobody once the program is gone.
    for (const Entry& e : std::as_const(m_entries)) {
        if (e.id != 0)
            closeId(e.id);
    }
}

void DbusNotifications::attach()
{
    if (m_attached)
        return;
    m_attached = true;
    QDBusConnection bus = QDBusConnection::sessionBus();
    bus.connect(kService, kPath, kService, QStringLiteral("ActionInvoked"), this,
                SLOT(onActionInvoked(uint, QString)));
    bus.connect(kService, kPath, kService, QStringLiteral("NotificationClosed"), this,
                SLOT(onNotificationClosed(uint, uint)));
    auto* watcher =
        new QDBusServiceWatcher(kService, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &DbusNotifications::onOwnerChanged);
}

bool DbusNotifications::serverAnswers()
{
    if (!m_answers && (!m_askedAt.isValid() || m_askedAt.elapsed() > kAskAgainMs))
        askServer();
    return m_answers;
}

void DbusNotifications::askServer()
{
    attach();
    if (m_asking)
        return;
    m_asking = true;
    m_askedAt.start();
    ask(this, call(QStringLiteral("GetServerInformation")),
        [this](const QDBusPendingCallWatcher& answer) {
            m_asking = false;
            m_answers = !answer.isError();
            if (!m_answers)
                return;
            ask(this, call(QStringLiteral("GetCapabilities")),
                [this](const QDBusPendingCallWatcher& capabilities) {
                    const QDBusPendingReply<QStringList> reply = capabilities;
                    m_markup =
                        reply.isValid() && reply.value().contains(QStringLiteral("body-markup"));
                });
        });
}

void DbusNotifications::show(const QString& key, const Notice& notice)
{
    attach();
    Entry& e = m_entries[key];
    // The id to replace is not known yet: the newest notice follows the answer.
    if (e.pending) {
        e.waiting = notice;
        e.closeWanted = false;
        return;
    }
    notify(key, notice);
}

void DbusNotifications::notify(const QString& key, const Notice& notice)
{
    Entry& e = m_entries[key];
    e.pending = true;
    QStringList actions;
    for (const auto& [action, caption] : notice.actions)
        actions << action << caption;
    QVariantMap hints;
    hints.insert(QStringLiteral("category"), QStringLiteral("im.received"));
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("Larkspire"));
    QDBusMessage message = call(QStringLiteral("Notify"));
    // Words from other users are shown as written, never as markup.
    message << QStringLiteral("Larkspire") << e.id << notice.icon << notice.summary
            << (m_markup ? notice.body.toHtmlEscaped() : notice.body) << actions << hints
            << qint32(-1);
    ask(this, message, [this, key](const QDBusPendingCallWatcher& answer) {
        const auto it = m_entries.find(key);
        if (it == m_entries.end())
            return;
        if (answer.isError()) {
            m_answers = false;
            m_entries.erase(it);
            if (m_handlers.failed)
                m_handlers.failed(key);
            return;
        }
        const QDBusPendingReply<uint> reply = answer;
        it->id = reply.value();
        it->pending = false;
        if (it->closeWanted) {
            closeId(it->id);
            m_entries.erase(it);
        } else if (it->waiting) {
            const Notice next = *it->waiting;
            it->waiting.reset();
            notify(key, next);
        }
    });
}

void DbusNotifications::close(const QString& key)
{
    const auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    if (it->pending) {
        it->closeWanted = true;
        it->waiting.reset();
        return;
    }
    closeId(it->id);
    m_entries.erase(it);
}

void DbusNotifications::closeId(uint id)
{
    QDBusMessage message = call(QStringLiteral("CloseNotification"));
    message << id;
    QDBusConnection::sessionBus().send(message);
}

QString DbusNotifications::keyOf(uint id) const
{
    for (auto it = m_entries.cbegin(); it != m_entries.cend(); ++it) {
        if (id != 0 && it->id == id)
            return it.key();
    }
    return {};
}

void DbusNotifications::onActionInvoked(uint id, const QString& action)
{
    // Other programs' notifications, and this process's other clients', are theirs.
    const QString key = keyOf(id);
    if (!key.isEmpty() && m_handlers.invoked)
        m_handlers.invoked(key, action);
}

void DbusNotifications::onNotificationClosed(uint id, uint reason)
{
    Q_UNUSED(reason);
    const QString key = keyOf(id);
    // A replacement on its way shows the notice anew.
    if (key.isEmpty() || m_entries.value(key).pending)
        return;
    m_entries.remove(key);
    if (m_handlers.closed)
        m_handlers.closed(key);
}

void DbusNotifications::onOwnerChanged(const QString& service, const QString& oldOwner,
                                       const QString& newOwner)
{
    Q_UNUSED(service);
    // The old server's notifications went with it.
    if (!oldOwner.isEmpty()) {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->pending)
                ++it;
            else
                it = m_entries.erase(it);
        }
    }
    if (newOwner.isEmpty())
        m_answers = false;
    else
        askServer();
}
