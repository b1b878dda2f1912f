#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class FtpClient;

// Whole-file writes and reads on the server that no reader, no broken transfer and no killed
// client can leave half done.
//
// A write goes up under a temporary name in the target's folder and is renamed over the
// target, so a reader sees the old file or the new one, never a part. Temporary names are
// "<target>}new}<token>" and, while a server that refuses to rename over a file is served,
// "<target>}old}<token>" for the old file moved aside. "}" splits the fields of a directory
// line, so no user is ever called that, and the names never end in ".ms". Left-overs of a
// killed writer are removed by the next writer in the folder once their MDTM time is more than
// five minutes older than the server's time (read as the MDTM of the file just written); an old
// file moved aside whose target is missing is renamed back instead.
namespace serverfile {

inline constexpr int kLeftoverAgeSeconds = 300;

// "<target>}new}<token>" or "<target>}old}<token>".
QString temporaryName(const QString& target, const QString& token, bool aside = false);
// A name made by temporaryName(); `target` receives the target's name.
bool isTemporary(const QString& name, QString* target = nullptr, bool* aside = nullptr);
// A random token of letters and digits.
QString newToken();

struct Replaced
{
    bool renamedAside = false; // the server refused to rename over the target
    int leftoversRemoved = 0;
};

// Replaces `remoteName` in the current folder with the whole local file. With a listing of the
// folder (the one the caller has, or nullopt to list it now) left-overs are removed afterwards;
// failures of that clean-up are ignored. Throws FtpError when the target could not be replaced,
// in which case it is as it was (or, after a kill in the middle of the fallback, restored by the
// next writer).
Replaced replace(FtpClient& ftp, const QString& localPath, const QString& remoteName,
                 const std::optional<QStringList>& listing = std::nullopt,
                 const std::function<void(qint64 done, qint64 total)>& progress = {});

// The two halves of replace(), for writers that check the target between them: the whole file
// goes up under a new temporary name (its stored size checked) and that name is returned; the
// temporary is then renamed over the target, or the old target moved aside first on servers
// that refuse (returns true then). Both throw FtpError, removing the temporary, and leave the
// target as it was.
QString uploadTemporary(FtpClient& ftp, const QString& localPath, const QString& remoteName,
                        const std::function<void(qint64 done, qint64 total)>& progress = {});
bool commit(FtpClient& ftp, const QString& temporary, const QString& remoteName);
// Removes a temporary that will not be committed; failures are ignored.
void dropTemporary(FtpClient& ftp, const QString& temporary);

// Removes the left-overs in `listing` (names of the current folder) older than `maxAgeSeconds`
// by the server's time `serverNow`, and puts back old files moved aside whose target is gone.
// Returns how many were removed or restored; failures are ignored.
int removeLeftovers(FtpClient& ftp, const QStringList& listing, const QDateTime& serverNow,
                    int maxAgeSeconds = kLeftoverAgeSeconds);

// Downloads `remoteName` into `localPath` (replaced only by a complete copy). A transfer that
// brought other than the reported size is tried again, since a writer may have replaced the
// file in between; after `attempts` the last failure is thrown.
void read(FtpClient& ftp, const QString& remoteName, const QString& localPath, int attempts = 3);

} // namespace serverfile
