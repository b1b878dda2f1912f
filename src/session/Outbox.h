#pragma once

#include "core/OutboxQueue.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <optional>

class ClientSession;
class ClientState;
struct FilesResult;
struct MessageResult;

// What the user sent while the server could not be reached: kept on this computer (it outlives
// a restart or a crash), shown as waiting, and sent as soon as the server is back, one entry at
// a time in the order they were made, through the same sends as everything else. The user may
// give a waiting entry up.
class Outbox : public QObject
{
    Q_OBJECT

public:
    // `file` keeps the queue between runs.
    Outbox(QString file, ClientSession& session, ClientState& state, QObject* parent = nullptr);
    ~Outbox() override;

    // As the signed-in user; 0 when nobody is signed in, as there is nobody to send as.
    quint64 addMessage(const QString& recipient, const QString& header, const QString& text);
    quint64 addFiles(const QString& recipient, const QStringList& paths, const QStringList& phrases,
                     int origin);
    // False when the entry is gone already or is being sent at this moment.
    bool cancel(quint64 id);
    // Gives up the signed-in user's waiting drops of the window of this origin; how many.
    int cancelFiles(int origin);

    const outbox::Queue& queue() const { return m_queue; }
    // Whether anything of the signed-in user waits: a new send must then queue behind it.
    bool holdsWaiting() const;
    // The signed-in user's waiting messages to the recipient, oldest first.
    QList<outbox::Entry> messagesTo(const QString& recipient) const;
    // The signed-in user's waiting drops made on the window of this origin.
    QList<outbox::Entry> filesFrom(int origin) const;
    quint64 inFlight() const { return m_inFlight; }

    // Sends the signed-in user's oldest waiting entry when the server seems there; each result
    // sends the next. Called on every sign of the server coming back.
    void sendNext();

signals:
    void changed();
    // Sent: the conversation as it now stands.
    void messageDelivered(const outbox::Entry& entry, const QStringList& chat);
    void filesDelivered(const outbox::Entry& entry, const FilesResult& result);
    // The server turned the entry down for good (the conversation is gone); it left the queue.
    void givenUp(const outbox::Entry& entry);

private:
    void onMessageSent(const MessageResult& result);
    void onFilesSent(const FilesResult& result);
    // The entry in flight came back: done takes it out, otherwise it waits for the next sign.
    void settle(quint64 id, bool done);
    std::optional<outbox::Entry> lastOf(const QString& sender) const;
    // Queues the entry, keeps the queue and tells the views.
    quint64 append(const outbox::Entry& entry);
    void store();
    void tell();

    QString m_file;
    ClientSession& m_session;
    ClientState& m_state;
    outbox::Queue m_queue;
    quint64 m_inFlight = 0;
};
