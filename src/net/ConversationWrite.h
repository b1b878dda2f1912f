#pragma once

#include "net/ServerLock.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class FtpClient;

// Putting one entry into a conversation's two server copies so that nothing any writer, a
// broken transfer, a killed client or a restarted server did is lost, and nothing is written
// twice. The protocol and why it holds are in docs/write-path.md.
//
// Outside the lock: both copies are read (a failed or short read ends the write; nothing is
// taken for an empty copy), their entries are united with the SeenCopy's, the entry is put on
// top unless it is there already (a retry after an unknown outcome), and each copy that would
// change goes up under a temporary name. Under the lock (ServerLock on the copy in the folder of
// the user whose name sorts first, so both sides take the same one), which is held only for a few
// replies whatever the size of the conversation and the speed of the link: both copies must
// still have the size and time they were read with; then the temporaries are renamed over them.
// A copy that changed in between starts another round.
namespace conversationwrite {

// A copy as one listing reply tells it: size and time (size -1: missing).
struct CopyState
{
    qint64 size = -1;
    QDateTime time;
    bool operator==(const CopyState& o) const { return size == o.size && time == o.time; }
    bool operator!=(const CopyState& o) const { return !(*this == o); }
};

// What this client last read or wrote in each copy, so that an unchanged copy is not
// downloaded again. One per client; absolute server paths as keys.
struct Memo
{
    struct Known
    {
        CopyState state;
        QStringList lines;
    };
    QHash<QString, Known> copies;
};

struct Request
{
    QString serverRoot;
    QString sender; // the signed-in user
    QString recipient;
    QString seenPath; // the SeenCopy: what must survive, and what receives the sender's copy
    // The entry as the sender's copy stores it, without the empty line below it, and as the
    // recipient's copy does (with the file line of a one-file notice; empty: the same).
    QStringList entry;
    QStringList recipientEntry;
    // What a missing sender's copy means: false, a conversation gone (the server's refusal is
    // thrown); true, one to start (on the recipient's copy when that one exists).
    bool mayStart = false;
    ServerLock::Limits lock;
    int rounds = 4; // attempts while other writers keep changing the copies
    Memo* memo = nullptr;
};

struct Result
{
    QStringList chat;          // the sender's copy as written
    bool alreadyThere = false; // both copies held the entry: nothing was written
    int rounds = 0;            // rounds it took
    QStringList repaired;      // copies found empty, cut or unreadable as text, written whole
    int staleLocksBroken = 0;  // abandoned locks taken over
    bool tookBackOwnLock = false;
    qint64 lockWaitMs = 0; // the longest wait for the lock
    // Why the recipient's copy could not be written (the sender's copy and the SeenCopy hold
    // the entry); empty when it was.
    QString peerCopyFailure;
};

// Throws Error (FtpError for the connection, and the server's refusal when the sender's copy is
// missing and not `mayStart`) when the entry could not be written; the server copies are then
// each as before or holding the entry, and the SeenCopy is changed only once the sender's own
// copy holds the entry. A refused recipient's copy is reported in the result.
Result write(FtpClient& ftp, const Request& request);

// Runs `write`; when the connection broke during it (its outcome unknown), runs it once more
// after `reconnect` returned true. A write that finds its entry in a copy does not put it there
// again, so the second run writes only what the first left missing.
void retryingOnce(FtpClient& ftp, const std::function<bool()>& reconnect,
                  const std::function<void()>& write);

} // namespace conversationwrite
