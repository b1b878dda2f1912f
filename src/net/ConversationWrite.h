#pragma once

#include "net/ServerLock.h"

#include <QString>
#include <QStringList>

#include <functional>

class FtpClient;

// Putting one entry on top of a conversation's two server copies without losing anything that
// another writer, a broken transfer or a killed client did meanwhile.
//
// The writer takes the conversation's lock (ServerLock on the copy in the folder of the user
// whose name sorts first, so both sides take the same one), reads its own copy whole and checks
// that it is text in the shape of a conversation and still holds every entry of the SeenCopy:
// new entries only ever go on top, so the SeenCopy must be the copy's tail. A copy that lost
// entries is a broken read, not a base: it is read again, then the other user's copy is tried, and
// when both stay broken the newer entries on top of a cut copy are put back above the SeenCopy. The
// entry goes on top, both copies are replaced by rename (ServerFile), and each is read back: a copy
// that a writer without the lock overwrote in between gets the entry on top of what it now holds, a
// bounded number of times.
namespace conversationwrite {

// True when `fetched` still holds every entry of `seen`, compared line by line without the file
// line of a newest notice (the next writer drops it).
bool holdsSeen(QStringList fetched, QStringList seen);

// True for text in the shape of a conversation: empty, or a newest entry whose first line ends
// like a header (":") or a file notice (")"), and no NUL character (a binary file).
bool looksLikeConversation(const QStringList& lines);

// `seen` with the entries that `fetched` has above them; `fetched` when it holds `seen`, and
// `seen` alone when the two share no newest entry.
QStringList mergedOnto(QStringList fetched, const QStringList& seen);

struct Request
{
    QString serverRoot;
    QString sender; // the signed-in user
    QString recipient;
    QString seenPath; // the SeenCopy: what must survive, and what receives the sender's copy
    // Puts the entry on top; `forRecipient` is true for the recipient's copy (which alone
    // carries the file line of a one-file notice).
    std::function<void(QStringList& lines, bool forRecipient)> putOnTop;
    // What a missing sender's copy means: false, a conversation gone (the server's refusal is
    // thrown); true, one to start (on the recipient's copy when that one exists).
    bool mayStart = false;
    ServerLock::Limits lock;
    int readAttempts = 3;
    int reapplyRounds = 2;
};

struct Result
{
    QStringList chat;         // the sender's copy as written
    bool rebuilt = false;     // both copies had lost entries; rebuilt on the SeenCopy
    int reapplied = 0;        // copies a writer without the lock had overwritten
    int staleLocksBroken = 0; // locks of killed writers taken over
    // Why the recipient's copy could not be written (the sender's copy and the SeenCopy hold
    // the entry); empty when it was.
    QString peerCopyFailure;
};

// Throws Error (FtpError for the connection, and the server's refusal when the sender's copy is
// missing and not `mayStart`) when the entry could not be written; the server copies are
// then each either as before or complete, and the SeenCopy is changed only once the sender's
// own copy holds the entry. A refused recipient's copy is reported in the result. The
// connection is left in the recipient's folder, or in the sender's when that one failed.
Result write(FtpClient& ftp, const Request& request);

} // namespace conversationwrite
