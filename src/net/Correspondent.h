#pragma once

#include "net/DirectoryFetch.h"
#include "net/Messaging.h"

#include <QString>
#include <QStringList>

class FtpClient;

// Opening a correspondent: their picture from their folder, and the conversation with them from
// the signed-in user's folder, which becomes this computer's SeenCopy.
namespace correspondent {

// The picture of the user whose folder the connection stands in, of the type their record names,
// downloaded into tempDataDir. Empty when the record or the picture did not come down: a peer
// without either is still a peer.
QString fetchAvatar(FtpClient& ftp, const QString& tempDataDir);

struct Opened
{
    QString avatarFile;           // empty: show the stock picture
    bool hasConversation = false; // else the quick-send button takes the view's place
    QStringList lines;            // the conversation as last stored, file line dropped
    // The server copy lacked entries this computer had seen: they were kept, and the next send
    // writes them back.
    bool damaged = false;
};

// With the connection in `peer`'s folder: their picture, then the signed-in user's folder (one
// up), whose listing replaces `userslist`, and the conversation with `peer` when it is listed.
// The server copy becomes the SeenCopy unless it lacks entries the SeenCopy holds (emptied, cut,
// or not a conversation): then the SeenCopy keeps them, takes the copy's other entries, and
// `opened.damaged` says so. A SeenCopy another program of ours still writes is waited for once.
// `opened` is filled as the steps succeed, so what came before a failed step stays in it; the
// failure is thrown. The connection is left in the signed-in user's folder.
void open(FtpClient& ftp, const messaging::Place& place, const QString& peer,
          const QString& tempDataDir, QStringList& userslist, Opened& opened,
          const directory::Wait& wait = directory::sleepWait);

} // namespace correspondent
