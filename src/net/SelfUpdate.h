#pragma once

#include "net/FtpListing.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>

class FtpClient;

// The server side of the self-update: reads the release's build number from the update folder
// and, when it is higher than this program's, fetches the updater and its signature and checks
// them. Nothing is ever run here; the caller starts what a Ready outcome names.
namespace selfupdate {

inline const QString kDescriptorFile = QStringLiteral("update.xo");
inline const QString kDescriptorCopy = QStringLiteral("lkupdate.xo");
inline const QString kUpdaterFile = QStringLiteral("LarkspireUpdate");
inline const QString kSignatureFile = QStringLiteral("LarkspireUpdate.sig");

// A build number as one line of decimal text; nothing for anything else (empty, words, hex).
std::optional<int> parseBuild(const QString& line);
// Only a release strictly higher than this program updates it; unreadable numbers never do.
bool isNewer(const QString& ownBuild, const QString& serverBuild);

enum class Outcome
{
    Failed,       // connecting, the folder or a download failed: the next tick tries again
    NoRelease,    // the descriptor's line 0 is not a number, or this program's build is not
    Current,      // the release is not newer than this program
    NoKey,        // this build has no public key and never updates
    BadSignature, // the updater or its signature is missing or does not verify
    Ready         // a verified updater lies at `updaterPath`, executable by the user alone
};

struct Request
{
    QString serverRoot;   // full path ending in "/", or relative to the login folder
    QString languageCode; // "rus/" or "eng/"
    QString ownBuild;     // this program's build number as text
    QString exeFolder;    // where the updater goes, ending in "/"
    QString tempDataDir;  // where the descriptor's copy goes, ending in "/"
    QByteArray publicKey; // empty: this build cannot verify anything
};

struct Result
{
    Outcome outcome = Outcome::Failed;
    QString serverBuild;
    QString updaterPath;
    QString detail; // why, for the log
};

// A descriptor whose time is this close to (or after) the previous check is fetched again: a
// rewrite of the same size within the same second shows no difference in its facts.
inline constexpr qint64 kRecentSecs = 120;

// What the checks on a kept connection saw of the descriptor, so that one whose size and time
// did not change is not fetched again. The caller keeps one; an empty one fetches.
struct Memo
{
    QString path;            // the server and the descriptor these facts are of
    ftplisting::Entry facts; // its size and time when last fetched
    QDateTime checkedAt;     // our clock (UTC) when it was last fetched
    QString serverBuild;     // its line 0 then
};

// Connects `ftp` afresh (closing it first when open), works in the update folder and leaves
// the connection closed. Never throws.
Result check(FtpClient& ftp, const Request& request) noexcept;

// The same on a connection that is open already, which it leaves open and in its folder: the
// descriptor's size and time in one command where the server offers MLST (else SIZE and MDTM),
// the descriptor itself only when they changed since `memo`, every file by its full path.
// `request.serverRoot` must be a full path. A failure that broke the connection leaves it
// closed, as the FTP client does. Never throws.
Result checkOpen(FtpClient& ftp, const Request& request, Memo& memo) noexcept;

} // namespace selfupdate
