#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class StringTable;

// Messages and drops that wait for the server, in the order the user made them. The queue is
// this computer's alone (no other client reads it); each entry names the user who made it, so
// that it only ever goes up under that name, whoever signs in meanwhile.
namespace outbox {

// Row numbers of the string table.
inline constexpr int kTxtWaitingMark = 417;     // after a waiting message's header line
inline constexpr int kTxtMessagesWaiting = 418; // %1: how many messages to this person wait
inline constexpr int kTxtGivenUp = 419;         // %1: the recipient

struct Entry
{
    enum class Kind
    {
        Message,
        Files
    };
    quint64 id = 0; // unique within the queue, never reused while it runs
    Kind kind = Kind::Message;
    QString sender;
    QString recipient;
    // A message: its header line, fixed when it was written, so a send repeated after an
    // unknown outcome finds the entry in the copies and does not write it twice.
    QString header;
    QString text;
    // Files: what was dropped, the notice's phrases in the recipient's language, and which
    // window they were dropped on.
    QStringList paths;
    QStringList phrases;
    int origin = 0;

    bool operator==(const Entry&) const = default;
};

class Queue
{
public:
    // Appends the entry with a fresh id, which it returns.
    quint64 add(Entry entry);
    bool remove(quint64 id);
    // More files for a waiting drop.
    void extendFiles(quint64 id, const QStringList& paths);
    const QList<Entry>& entries() const { return m_entries; }
    bool isEmpty() const { return m_entries.isEmpty(); }
    const Entry* find(quint64 id) const;

    // The oldest entry of the sender: entries go up one at a time, in order.
    std::optional<Entry> next(const QString& sender) const;
    bool holdsAnyOf(const QString& sender) const;
    // The sender's waiting messages to the recipient, oldest first.
    QList<Entry> messagesTo(const QString& sender, const QString& recipient) const;
    int messageCount(const QString& sender) const;

    // A small JSON document; unknown fields and broken entries are passed over, so a damaged
    // file costs at most the entries it damaged.
    QByteArray serialise() const;
    static Queue parse(const QByteArray& data);

private:
    QList<Entry> m_entries;
    quint64 m_lastId = 0;
};

// The conversation as shown while messages wait: the waiting ones on top of the lines (newest
// first, as the conversation is), each header marked as waiting.
QStringList shownWithWaiting(const QStringList& lines, const QList<Entry>& waiting,
                             const StringTable& strings);

} // namespace outbox
