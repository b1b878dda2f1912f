#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class FtpClient;

namespace directory {

// Sleeps while a local file is held by another program; tests pass one that only counts.
using Wait = std::function<void(int ms)>;
void sleepWait(int ms);

enum class OnFailure
{
    // Sign-in and registration: a copy held by another program is waited for once; a failed
    // download throws, and the caller starts over (FtpError::Kind::TooLarge for a directory
    // beyond limits::kMaxDirectoryBytes, with a message for the user).
    Throw,
    // The reloads of a signed-in session: a copy held by another program is skipped at once,
    // and a failed download leaves the previous complete copy to be read.
    Keep
};

// Downloads "lineup.xo" from the current folder over the working copy and loads it. The
// transfer goes to a file beside the copy first, so a broken transfer never leaves a shortened
// directory behind. A refused download counts as "no directory yet" only when a listing of the
// folder shows no "lineup.xo": servers also refuse a file that another session is writing or
// that they may not read, and taking that for an empty directory would let a registration
// upload a directory of one line over everyone's. A directory larger than
// limits::kMaxDirectoryBytes is refused before its download where the server answers SIZE, and
// its download stopped at the limit where it does not; the working copy stays as it was.
// nullopt when the copy is held by another program.
std::optional<QStringList> fetch(FtpClient& ftp, const QString& workingCopy, const Wait& wait,
                                 OnFailure onFailure);

} // namespace directory
