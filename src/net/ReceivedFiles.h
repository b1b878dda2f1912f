#pragma once

#include "core/ReceivedFolder.h"
#include "net/FtpListing.h"

#include <QHash>
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
    QStringList waiting;   // still being uploaded, by their look: fetched by a later call
};

// A file is fetched only once it is whole. Files this program sends go up under a temporary
// name (ServerFile) and are renamed when complete, so such names are never fetched. Other
// writers may upload under the final name: such a file is fetched once its size and time are
// the same in two listings, the one before (`previous`, kept by the caller across calls, or
// one taken `settleMs` later when the file is new to it). A transfer that stalls longer than
// that still passes; nothing better can be told from outside the sender.
struct Settling
{
    QHash<QString, ftplisting::Entry>* previous = nullptr; // per name, as last listed
    int settleMs = 3000;
    std::function<void(int ms)> wait;
};

// Runs after each fetched file (the poll cycle repaints or lets events run there).
using AfterFile = std::function<void(const QString& name)>;
// Progress of the current file, for the busy label.
using Progress = std::function<void(const QString& name, qint64 done, qint64 total)>;

// The connection must be open in the signed-in user's own folder and is left there. A file is
// deleted on the server only after its download succeeded; the sender folder is removed once it
// is empty. Names that could leave the local folder are never written. Failures are thrown.
FetchResult fetch(FtpClient& ftp, const QString& sender, const QString& networkDir,
                  const AfterFile& afterFile = {}, const Progress& progress = {},
                  const Settling& settling = {});
// As fetch, for a caller whose own listing of the folder already shows the sender folder.
FetchResult fetchListed(FtpClient& ftp, const QString& sender, const QString& networkDir,
                        const AfterFile& afterFile = {}, const Progress& progress = {},
                        const Settling& settling = {});

} // namespace received
