#include "core/PollJudgement.h"

#include "core/ConversationMerge.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"

namespace polljudgement {

namespace {

// True when an entry of the lines `next` yields (those new since the last look) was written by
// someone other than `self`. An entry starts at the top and after each empty line; a blank line
// inside a message may start a false one, which only errs towards announcing. Line by line, and
// done at the first such entry: a long history new to this computer is rarely read to its end.
template <typename NextLine> bool othersWrote(NextLine next, const QString& self)
{
    QString line;
    bool entryStarts = true;
    while (next(line)) {
        if (!line.isEmpty() && entryStarts && conversation::newestEntry({line}).sender != self)
            return true;
        entryStarts = line.isEmpty();
    }
    return false;
}

bool othersWrote(const QStringList& fresh, const QString& self)
{
    qsizetype i = 0;
    return othersWrote(
        [&](QString& line) {
            if (i >= fresh.size())
                return false;
            line = fresh.at(i++);
            return true;
        },
        self);
}

// As othersWrote on decode(bytes) without the file line of a newest notice, decoding a line at
// a time.
bool othersWroteIn(QByteArrayView bytes, const QString& self)
{
    stringlist::LineReader reader(bytes);
    qsizetype index = 0;
    return othersWrote(
        [&](QString& line) {
            if (!reader.next(line))
                return false;
            if (index++ == 1 && line.startsWith(QStringLiteral("..."))) {
                ++index;
                return reader.next(line);
            }
            return true;
        },
        self);
}

// The part of a changed server copy that is new since the SeenCopy, where the bytes alone show
// it: new entries only ever go on top, so a copy that ends with the SeenCopy's bytes, starting at
// a line, holds every line seen, and only the lines above them are new. nullopt where only the
// whole text can tell: a SeenCopy not at the end (a cut copy, a conversation started anew, line
// ends written differently), or a "..." file line that the comparison of lines leaves out: the
// SeenCopy's own, or its first line when it would become the second line of the new copy.
std::optional<QByteArrayView> newAboveSeen(QByteArrayView fetched, QByteArrayView seen)
{
    if (seen.isEmpty() || seen.size() >= fetched.size())
        return std::nullopt;
    const QByteArrayView above = fetched.first(fetched.size() - seen.size());
    const QByteArrayView seenPart = fetched.sliced(above.size());
    if (!above.endsWith('\n') || seenPart != seen)
        return std::nullopt;
    const QStringList seenHead = stringlist::decodeHead(seenPart, 2);
    if (conversation::hasFileLine(seenHead))
        return std::nullopt;
    if (stringlist::decodeHead(above, 2).size() == 1 &&
        seenHead.first().startsWith(QStringLiteral("...")))
        return std::nullopt;
    return above;
}

} // namespace

Judgement judge(const QByteArray& copy, const SeenCopy& seen, const QString& self, bool open,
                bool watched)
{
    Judgement j;
    // One still held reads as empty, like one that cannot be read.
    const bool seenReadable = seen.exists && seen.bytes.has_value();
    const QByteArrayView lastSeen = seenReadable ? QByteArrayView(*seen.bytes) : QByteArrayView();
    // Equal bytes are equal text: most comparisons end here without decoding either copy.
    if (seenReadable && lastSeen == copy) {
        j.unchanged = true;
        return j;
    }
    // Only the lines above what was seen are decoded, or of a copy new to this computer only as
    // many as the news needs: a long history costs no memory while it is read.
    std::optional<QByteArrayView> freshBytes;
    if (!copy.isEmpty()) {
        if (!seenReadable || lastSeen.isEmpty())
            freshBytes = copy;
        else
            freshBytes = newAboveSeen(copy, lastSeen);
    }
    QStringList preload;   // the text that becomes the SeenCopy, once decoded
    bool asFetched = true; // that text is the server copy's
    if (freshBytes) {
        j.news = othersWroteIn(*freshBytes, self);
    } else {
        QStringList load;
        if (seenReadable)
            load = stringlist::decode(lastSeen);
        preload = stringlist::decode(copy);
        if (conversation::dropStaleFileLines(preload))
            asFetched = false;
        if (seen.exists && load == preload) {
            j.unchanged = true;
            return j;
        }
        // A copy that lacks entries seen before (cut by a broken upload, emptied, or overwritten
        // with something that is not a conversation) is a damaged copy, not the new state: the
        // SeenCopy keeps all it holds, and the entries the copy has beyond it are news. A copy
        // that shares no entry with the SeenCopy (a conversation started anew) is taken as it is.
        QStringList fresh = preload;
        conversation::dropFileLine(fresh);
        QStringList tail = load;
        conversation::dropFileLine(tail);
        bool extracted = false;
        if (seen.exists && !conversation::holdsAll(preload, load)) {
            const bool valid = conversation::looksLikeConversation(preload);
            const bool shared = valid && conversation::sharesEntry(preload, load);
            if (!valid || conversation::splitEntries(preload).isEmpty() || shared) {
                j.damaged = true;
                const QStringList merged = valid ? conversation::united({load, preload}) : load;
                QList<QStringList> added;
                for (const QStringList& e : conversation::splitEntries(merged))
                    if (!conversation::holdsEntryLines(load, e))
                        added.append(e);
                if (added.isEmpty()) {
                    j.unchanged = true;
                    return j;
                }
                preload = merged;
                asFetched = false;
                fresh = conversation::joinEntries(added);
                extracted = true;
            } else {
                tail.clear();
            }
        }
        // What this user wrote (from here or elsewhere) is never news to them.
        if (!extracted && fresh.size() >= tail.size())
            fresh = fresh.mid(0, fresh.size() - tail.size());
        j.news = othersWrote(fresh, self);
    }
    if (asFetched)
        j.seenBytes = copy;
    else
        j.seenLines = preload;

    if (open) {
        // The open chat shows the whole text, and follows even the user's own entries.
        QStringList chat = freshBytes ? stringlist::decode(copy) : preload;
        if (conversation::hasFileLine(chat)) {
            conversation::dropFileLine(chat);
            j.chatLostFileLine = true;
        }
        j.openChat = chat;
        if (watched)
            return j;
    }
    if (!j.news)
        return j;
    // The newest entry, and the file line of a notice, are all an announcement reads.
    const QStringList head = freshBytes ? stringlist::decodeHead(copy, 2) : preload.mid(0, 2);
    Announcement a;
    a.newest = conversation::newestEntry(head);
    if (!a.newest.isMessage) {
        // The name becomes part of a local path when the popup opens the file.
        const QString file = conversation::fileLineName(head);
        a.fileName = userentry::openable(file) ? file : QString();
    }
    j.announcement = a;
    return j;
}

} // namespace polljudgement
