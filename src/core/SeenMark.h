#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

class StringTable;

// How far a reader has read a conversation, as the reader's client records it for the other
// side: the newest entry of the other side that was on the reader's screen, and when. The other
// side marks its own entries up to that one as seen.
namespace seenmark {

// Row numbers of the string table.
inline constexpr int kTxtSeenAt = 413; // %1: when
inline constexpr int kTxtDelivered = 414;

struct Mark
{
    // The entry's first line (header or notice), as the conversation holds it; two messages
    // sent within one second share it, so the digest of the whole entry tells them apart.
    QString entry;
    QString digest; // digestOf(); empty: the first line alone names the entry
    QDateTime at;   // local time
    bool operator==(const Mark&) const = default;
};

// The file's lines: the entry's first line, "dd.MM.yyyy     H:mm:ss" in local time, and the
// entry's digest.
QStringList toLines(const Mark& mark);
// nullopt for anything else than those lines with a readable time; the digest may be missing.
std::optional<Mark> fromLines(const QStringList& lines);

// Sixteen hexadecimal digits of the SHA-1 of the entry's lines (as splitEntries gives them,
// without trailing empty lines), joined by LF, in UTF-8.
QString digestOf(QStringList entry);

// The newest entry of the conversation (lines as shown, newest first) that `notWrittenBy` did
// not write: what the reader records once it was on screen, without a time. nullopt when there
// is none.
std::optional<Mark> newestFrom(const QStringList& lines, const QString& notWrittenBy);

// What the writer's view says of its own newest entries: those above the other side's newest,
// all in both copies of the conversation once sent; the ones at or below the entry the reader's
// mark names were seen.
struct Shown
{
    int own = 0;  // the writer's entries on top, before any of the other side's
    int seen = 0; // how many of those, counted from the oldest, the reader has seen
    QDateTime seenAt;

    bool allSeen() const { return own > 0 && seen == own; }
    bool operator==(const Shown&) const = default;
};
Shown judge(const QStringList& lines, const QString& writer, const std::optional<Mark>& mark);

// "Seen 14:07" when all of them were seen (the date too when it was another day), "Delivered"
// while some were not, empty when the newest entry is not the writer's.
QString label(const Shown& shown, const StringTable& strings, const QDateTime& now);

} // namespace seenmark
