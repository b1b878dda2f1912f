#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Conversations as sets of entries, so that copies written by different writers can be put
// together without losing any of them.
//
// An entry is identified by its lines: the header or notice line and its text (a header carries
// the sender and the second it was written, so two different entries practically never share
// them). The file line of a newest one-file notice is not part of it, and neither are the
// empty lines that separate entries. Merging takes the union of the entries of its inputs, in
// the order the inputs give (newest first), each entry once.
namespace conversation {

// A header ("name     date     time :") or a file notice ("name sent ... )"): a line that may
// begin an entry when it follows an empty line.
bool beginsEntry(const QString& line);

// The entries of a conversation, newest first, each without its separating empty line; the
// file lines of notices are left out.
QList<QStringList> splitEntries(QStringList lines);
// The conversation text of `entries`: one empty line between two entries.
QStringList joinEntries(const QList<QStringList>& entries);

// Every entry of `inputs`, each once: the entries of the first input in its order, then those
// only later inputs hold, each placed just above the nearest older entry that its own input
// shares with what was merged before it (at the bottom when there is none). The part of an
// entry that ends a cut copy is left out when another input has the whole entry.
QStringList united(const QList<QStringList>& inputs);

// Whether `copy` holds every entry of `of`.
bool holdsAll(const QStringList& copy, const QStringList& of);
// Whether the two have at least one entry in common.
bool sharesEntry(const QStringList& a, const QStringList& b);
// Whether an entry with these lines (as stored, without its separating empty line) is in `copy`.
bool holdsEntryLines(const QStringList& copy, const QStringList& entry);

// Removes the file lines of notices that are no longer newest (some writers leave them);
// true when there were any.
bool dropStaleFileLines(QStringList& lines);

// Text in the shape of a conversation: empty, or a newest entry whose first line ends like a
// header (":") or a notice (")"), and no NUL character (a binary file).
bool looksLikeConversation(const QStringList& lines);

} // namespace conversation
