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
    Throw, // the caller starts over (sign-in)
    Keep   // the previous copy serves (the poll cycle's reload)
};

// Downloads "lineup.xo" from the current folder over the working copy and loads it. The
// transfer goes to a file beside the copy first, so a broken transfer never leaves a shortened
// directory behind; a directory missing on the server reads as empty. A copy held by another
// program is waited for once (3000 ms), then neither replaced nor read: nullopt.
std::optional<QStringList> fetch(FtpClient& ftp, const QString& workingCopy, const Wait& wait,
                                 OnFailure onFailure);

} // namespace directory
