#include "core/ConversationMerge.h"

#include "core/Conversation.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <list>

namespace conversation {

namespace {

// An entry's identity: trailing empty lines are how its file ended, not what it says.
QString keyOf(QStringList entry)
{
    while (entry.size() > 1 && entry.last().isEmpty())
        entry.removeLast();
    return entry.join(u'\n');
}

QSet<QString> keysOf(const QStringList& lines)
{
    QSet<QString> keys;
    for (const QStringList& e : splitEntries(lines))
        keys.insert(keyOf(e));
    return keys;
}

// Whether the entry `part` is what a cut left of the entry `whole`: its text broken off inside
// `whole`, or `whole` followed by the beginning of the next entry's first line.
bool isCutFrom(const QString& part, const QString& whole,
               const QHash<QString, QSet<QString>>& keysByFirstLine)
{
    if (whole.startsWith(part))
        return true;
    const QString gap = QStringLiteral("\n\n");
    if (!part.startsWith(whole + gap))
        return false;
    const QString rest = part.mid(whole.size() + gap.size());
    if (rest.contains(u'\n'))
        return false;
    for (auto it = keysByFirstLine.cbegin(); it != keysByFirstLine.cend(); ++it)
        if (it.key().startsWith(rest))
            return true;
    return false;
}

} // namespace

bool beginsEntry(const QString& line)
{
    if (line.endsWith(QStringLiteral(" :")))
        return line.contains(QStringLiteral("     "));
    if (line.endsWith(u')'))
        return line.contains(QStringLiteral(" sent ")) ||
               line.contains(QStringLiteral(" отправляет "));
    return false;
}

QList<QStringList> splitEntries(QStringList lines)
{
    dropFileLine(lines);
    QList<QStringList> entries;
    if (lines.isEmpty())
        return entries;
    qsizetype start = 0;
    for (qsizetype i = 1; i <= lines.size(); ++i) {
        const bool end = i == lines.size();
        if (!end && !(lines.at(i - 1).isEmpty() && beginsEntry(lines.at(i))))
            continue;
        // The empty line before the next entry separates; the oldest entry has none.
        const qsizetype stop = end ? i : i - 1;
        QStringList entry = lines.mid(start, stop - start);
        // The file line of a notice is for the recipient's next poll only; once the notice is
        // no longer newest it is a left-over, whatever writer left it.
        if (entry.size() > 1 && !entry.first().endsWith(u':') &&
            entry.at(1).startsWith(QStringLiteral("...")))
            entry.removeAt(1);
        // What follows the oldest entry is how its file was written or cut, not its text.
        while (end && entry.size() > 1 && entry.last().isEmpty())
            entry.removeLast();
        entries.append(entry);
        start = i;
    }
    return entries;
}

QStringList joinEntries(const QList<QStringList>& entries)
{
    QStringList lines;
    for (const QStringList& e : entries) {
        if (!lines.isEmpty())
            lines.append(QString());
        lines += e;
    }
    return lines;
}

QStringList united(const QList<QStringList>& inputs)
{
    QList<QList<QStringList>> split;
    QHash<QString, int> holders;
    QHash<QString, QSet<QString>> keysByFirstLine;
    for (const QStringList& input : inputs) {
        split.append(splitEntries(input));
        QSet<QString> keys;
        for (const QStringList& e : split.last()) {
            const QString key = keyOf(e);
            keys.insert(key);
            keysByFirstLine[e.first()].insert(key);
        }
        for (const QString& key : keys)
            ++holders[key];
    }
    // A copy cut short by a broken transfer ends in a part of an entry: an oldest entry that
    // only its own input has, while another entry starts with the same line, is that part.
    QSet<QString> cut;
    for (const QList<QStringList>& entries : split) {
        if (entries.isEmpty())
            continue;
        const QString key = keyOf(entries.last());
        if (holders.value(key) != 1)
            continue;
        for (const QString& whole : keysByFirstLine.value(entries.last().first())) {
            if (whole != key && isCutFrom(key, whole, keysByFirstLine)) {
                cut.insert(key);
                break;
            }
        }
    }

    std::list<QStringList> merged;
    QHash<QString, std::list<QStringList>::iterator> at;
    for (const QList<QStringList>& entries : split) {
        // From the oldest up, so that each new entry can go just above its older neighbour.
        auto anchor = merged.end();
        for (auto e = entries.crbegin(); e != entries.crend(); ++e) {
            const QString key = keyOf(*e);
            if (cut.contains(key))
                continue;
            if (const auto found = at.constFind(key); found != at.cend()) {
                anchor = *found;
                continue;
            }
            anchor = merged.insert(anchor, *e);
            at.insert(key, anchor);
        }
    }
    return joinEntries(QList<QStringList>(merged.begin(), merged.end()));
}

bool holdsAll(const QStringList& copy, const QStringList& of)
{
    const QSet<QString> held = keysOf(copy);
    const QList<QStringList> wanted = splitEntries(of);
    return std::all_of(wanted.cbegin(), wanted.cend(),
                       [&](const QStringList& e) { return held.contains(keyOf(e)); });
}

bool sharesEntry(const QStringList& a, const QStringList& b)
{
    return keysOf(a).intersects(keysOf(b));
}

bool holdsEntryLines(const QStringList& copy, const QStringList& entry)
{
    return keysOf(copy).contains(keyOf(entry));
}

bool dropStaleFileLines(QStringList& lines)
{
    bool dropped = false;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QString& above = lines.at(i - 1);
        const bool notice =
            !above.endsWith(u':') && beginsEntry(above) && (i == 1 || lines.at(i - 2).isEmpty());
        if (notice && lines.at(i).startsWith(QStringLiteral("..."))) {
            lines.removeAt(i);
            dropped = true;
        }
    }
    return dropped;
}

bool looksLikeConversation(const QStringList& lines)
{
    if (lines.isEmpty())
        return true;
    if (std::any_of(lines.cbegin(), lines.cend(),
                    [](const QString& l) { return l.contains(QChar(u'\0')); }))
        return false;
    const QString first = lines.first().trimmed();
    return first.endsWith(u':') || first.endsWith(u')');
}

} // namespace conversation
