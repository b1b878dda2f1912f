#pragma once

#include "core/ReceivedFolder.h"

#include <QString>
#include <QStringList>

#include <functional>

class FtpClient;

// Files other users sent wait on the server in a folder named after the sender inside the
// recipient's folder; the fetch moves them into the local received-files folder of that sender.
namespace received {

struct FetchResult
{
    bool found = false;    // a sender folder was there
    QStringList fetched;   // names now in the local folder
    QStringList leftThere; // refused as local file names, or not served: left on the server
};

// Runs after each fetched file (the poll cycle repaints or lets events run there).
using AfterFile = std::function<void(const QString& name)>;
// Progress of the current file, for the busy label.
using Progress = std::function<void(const QString& name, qint64 done, qint64 total)>;

// The connection must be open in the signed-in user's own folder and is left there. A file is
// deleted on the server only after its download succeeded; the sender folder is removed once it
// is empty. Names that could leave the local folder are never written. Failures are thrown.
FetchResult fetch(FtpClient& ftp, const QString& sender, const QString& networkDir,
                  const AfterFile& afterFile = {}, const Progress& progress = {});
// As fetch, for a caller whose own listing of the folder already shows the sender folder.
FetchResult fetchListed(FtpClient& ftp, const QString& sender, const QString& networkDir,
                        const AfterFile& afterFile = {}, const Progress& progress = {});

} // namespace received
