#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

class FtpClient;

// The lock every client of this program takes around the short step that checks a shared file
// and replaces it, so that two writers never both replace what only one of them checked.
//
// The lock of "<file>" is the folder "<file>}lock" beside it: MKD is atomic on every FTP server
// and fails while the folder exists, so exactly one client gets it. Inside, the holder keeps a
// mark, a folder named "<owner>-<boot>-<pid>-<start>.<n>": the owner token of its connection
// (FtpClient::ownerToken), this computer's boot id digest, its process id and start time, and a
// count that it raises (RNFR/RNTO) to show that it still works. Release is RMD of the mark and
// of the lock.
//
// Breaking a lock, judged by nothing but what the waiter itself watched with its monotonic
// clock (the server's clock and other computers' ids are never compared with its own):
// - a lock whose marks stay the same for `unchangedMs` (without a mark: `undatedMs`);
// - at once, a lock whose mark carries the waiter's own owner token (its connection broke
//   while it held the lock; nothing of that write goes on);
// - at once, a lock whose mark names a process of this boot of this computer that is gone.
// A holder writes only right after proving the lock is still its own (confirm(): the mark's
// rename succeeds), and only while that proof is younger than `proofMs`, well inside
// `unchangedMs`; so a waiter breaks only locks whose holder can no longer write. A broken
// lock is renamed to "<file>}lock}<token>" (only one waiter's rename succeeds) and removed.
// Marks of earlier versions (a file "held") are foreign marks like any other.
class ServerLock
{
public:
    struct Limits
    {
        int waitMs = 40'000;      // longest wait for the lock
        int unchangedMs = 30'000; // marks unchanged this long: the holder is gone
        int undatedMs = 10'000;   // no mark this long: the holder died before it marked
        int renewMs = 2'000;      // confirm() renews a proof older than this
        int proofMs = 10'000;     // a write needs a proof younger than this
        int retryMs = 300;        // between attempts; a random part is added
    };

    // Takes the lock of `target` in the current folder, waiting as long as the limits allow.
    // Throws FtpError: Kind::Timeout when another holds it all that time, or what the
    // connection failed with.
    ServerLock(FtpClient& ftp, const QString& target, const Limits& limits);
    ServerLock(FtpClient& ftp, const QString& target);
    ~ServerLock(); // releases; failures are ignored
    ServerLock(const ServerLock&) = delete;
    ServerLock& operator=(const ServerLock&) = delete;

    // Releases now; later calls and the destructor do nothing. Throws nothing.
    void release();
    bool held() const { return m_held; }
    // Proves that the lock is still this holder's, renewing the mark when the last proof is
    // older than `renewMs`. Throws FtpError when it is not (Kind::Reply: taken over) or when the
    // proof came too late to write safely: nothing may be written then.
    void confirm();
    // How many abandoned locks this acquisition broke, and whether one was this owner's own.
    int brokeStale() const { return m_brokeStale; }
    bool tookBackOwn() const { return m_tookBackOwn; }

    // "<target>}lock"
    static QString folderName(const QString& target);

    // A mark's parts; false for a name that is not one (another version's "held").
    struct Mark
    {
        QString owner;
        QString boot;
        qint64 pid = 0;
        qint64 start = 0;
        int count = 0;
    };
    static bool parseMark(const QString& name, Mark* mark);
    static QString markName(const Mark& mark);
    // The mark of this process for `owner`, with count 0.
    static Mark ownMark(const QString& owner);
    // True for a mark of this boot of this computer whose process no longer runs.
    static bool holderIsGone(const Mark& mark);

private:
    using Clock = std::chrono::steady_clock;
    void acquire();
    QStringList marksOf(const QString& folder, bool* missing);
    bool tryBreak();

    FtpClient& m_ftp;
    Limits m_limits;
    QString m_parent; // absolute path of the folder that holds the lock
    QString m_folder; // absolute path of the lock folder
    Mark m_mark;
    bool m_held = false;
    int m_brokeStale = 0;
    bool m_tookBackOwn = false;
    Clock::time_point m_proof; // when the last proof was sent
};
