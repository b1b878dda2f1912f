#pragma once

#include <QDateTime>
#include <QString>

#include <chrono>

class FtpClient;

// The lock every client of this program takes before it reads, changes and rewrites a shared
// file, so that two writers never build on the same old copy.
//
// The lock of "<file>" is the folder "<file>}lock" beside it: MKD is atomic on every FTP
// server and fails while the folder exists, so exactly one client gets it. The holder then
// puts the file "held" into it; its MDTM time tells waiters how old the lock is. Release is
// DELE of "held" and RMD of the folder, in the destructor as well, so every way out of the
// holder's code releases it (a release that fails leaves a lock that goes stale). "held" names
// the holder: a digest of its computer's id and its process id.
//
// Stale rule: a waiter takes a lock as abandoned when "held" names a process of the waiter's
// own computer that no longer runs (a program killed during a write, restarted), when "held" is
// older than ten minutes by the waiter's clock, when the lock stays the same (same "held" time)
// for 30 s of the waiter's own watching, or when it stays without "held" for 10 s (a holder
// writes it right after MKD and gives the lock up when it cannot). A holder never writes after
// holding the lock for 15 s (fresh() turns false), so a lock that stays unchanged that long has no
// live holder. A stale lock is broken by renaming it to "<file>}lock}<token>" (only one waiter's
// rename can succeed) and removing it.
class ServerLock
{
public:
    struct Limits
    {
        int waitMs = 40'000;      // longest wait for the lock
        int unchangedMs = 30'000; // a lock unchanged this long is stale
        int undatedMs = 10'000;   // a lock without "held" this long is stale
        int holdMs = 15'000;      // a holder writes only within this time
        int oldStampSeconds = 600;
        int retryMs = 250; // between attempts; a random part is added
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
    // True while the lock is held and younger than the hold limit: a write may start.
    bool fresh() const;
    // How many stale locks this acquisition broke.
    int brokeStale() const { return m_brokeStale; }

    // "<target>}lock"
    static QString folderName(const QString& target);

private:
    void acquire();
    bool tryBreak(const QString& folder);
    QByteArray readStamp(const QString& stamp);

    FtpClient& m_ftp;
    Limits m_limits;
    QString m_folder; // absolute path of the lock folder
    bool m_held = false;
    int m_brokeStale = 0;
    std::chrono::steady_clock::time_point m_since;
};
