#include "core/OutboxQueue.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/uLocal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace outbox {

namespace {

constexpr int kFormat = 1;

QJsonArray toArray(const QStringList& list)
{
    return QJsonArray::fromStringList(list);
}

QStringList toList(const QJsonValue& value)
{
    QStringList list;
    for (const QJsonValue& v : value.toArray())
        list.append(v.toString());
    return list;
}

std::optional<Entry> entryFrom(const QJsonObject& o)
{
    Entry e;
    e.id = static_cast<quint64>(o.value(u"id").toDouble());
    const QString kind = o.value(u"kind").toString();
    if (kind == u"message")
        e.kind = Entry::Kind::Message;
    else if (kind == u"files")
        e.kind = Entry::Kind::Files;
    else
        return std::nullopt;
    e.sender = o.value(u"sender").toString();
    e.recipient = o.value(u"recipient").toString();
    e.header = o.value(u"header").toString();
    e.text = o.value(u"text").toString();
    e.paths = toList(o.value(u"paths"));
    e.phrases = toList(o.value(u"phrases"));
    e.origin = o.value(u"origin").toInt();
    if (e.id == 0 || e.sender.isEmpty() || e.recipient.isEmpty())
        return std::nullopt;
    if (e.kind == Entry::Kind::Message && (e.header.isEmpty() || e.text.isEmpty()))
        return std::nullopt;
    if (e.kind == Entry::Kind::Files && e.paths.isEmpty())
        return std::nullopt;
    return e;
}

} // namespace

quint64 Queue::add(Entry entry)
{
    entry.id = ++m_lastId;
    m_entries.append(entry);
    return entry.id;
}

bool Queue::remove(quint64 id)
{
    return m_entries.removeIf([id](const Entry& e) { return e.id == id; }) > 0;
}

void Queue::extendFiles(quint64 id, const QStringList& paths)
{
    for (Entry& e : m_entries) {
        if (e.id != id || e.kind != Entry::Kind::Files)
            continue;
        for (const QString& path : paths) {
            if (!e.paths.contains(path))
                e.paths.append(path);
        }
    }
}

const Entry* Queue::find(quint64 id) const
{
    for (const Entry& e : m_entries) {
        if (e.id == id)
            return &e;
    }
    return nullptr;
}

std::optional<Entry> Queue::next(const QString& sender) const
{
    for (const Entry& e : m_entries) {
        if (e.sender == sender)
            return e;
    }
    return std::nullopt;
}

bool Queue::holdsAnyOf(const QString& sender) const
{
    return next(sender).has_value();
}

QList<Entry> Queue::messagesTo(const QString& sender, const QString& recipient) const
{
    QList<Entry> found;
    for (const Entry& e : m_entries) {
        if (e.kind == Entry::Kind::Message && e.sender == sender && e.recipient == recipient)
            found.append(e);
    }
    return found;
}

int Queue::messageCount(const QString& sender) const
{
    int count = 0;
    for (const Entry& e : m_entries)
        count += e.kind == Entry::Kind::Message && e.sender == sender;
    return count;
}

QByteArray Queue::serialise() const
{
    QJsonArray list;
    for (const Entry& e : m_entries) {
        QJsonObject o{{u"id"_s, static_cast<double>(e.id)},
                      {u"kind"_s, e.kind == Entry::Kind::Message ? u"message"_s : u"files"_s},
                      {u"sender"_s, e.sender},
                      {u"recipient"_s, e.recipient}};
        if (e.kind == Entry::Kind::Message) {
            o.insert(u"header"_s, e.header);
            o.insert(u"text"_s, e.text);
        } else {
            o.insert(u"paths"_s, toArray(e.paths));
            o.insert(u"phrases"_s, toArray(e.phrases));
            o.insert(u"origin"_s, e.origin);
        }
        list.append(o);
    }
    const QJsonObject top{{u"format"_s, kFormat}, {u"entries"_s, list}};
    return QJsonDocument(top).toJson(QJsonDocument::Indented);
}

Queue Queue::parse(const QByteArray& data)
{
    Queue q;
    const QJsonObject top = QJsonDocument::fromJson(data).object();
    for (const QJsonValue& v : top.value(u"entries").toArray()) {
        const std::optional<Entry> e = entryFrom(v.toObject());
        // Two entries under one id would make a cancel take the wrong one.
        if (!e || q.find(e->id))
            continue;
        q.m_entries.append(*e);
        q.m_lastId = std::max(q.m_lastId, e->id);
    }
    return q;
}

QStringList shownWithWaiting(const QStringList& lines, const QList<Entry>& waiting,
                             const StringTable& strings)
{
    QStringList shown = lines;
    const QString mark = strings.text(kTxtWaitingMark);
    for (const Entry& e : waiting) {
        // Already in the own copy (only the correspondent's failed): shown once, as it stands.
        QStringList entry;
        conversation::insertMessage(entry, e.header, e.text);
        if (conversation::holdsEntryLines(lines, entry))
            continue;
        conversation::insertMessage(shown, e.header + u' ' + mark, e.text);
    }
    return shown;
}

} // namespace outbox
