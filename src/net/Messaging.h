#pragma once

#include "net/ConversationWrite.h"
#include "net/DirectoryFetch.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

class FtpClient;

// Writing entries into a conversation and storing it in both users' folders.
namespace messaging {

// Where the conversation copies of the signed-in user live.
struct Place
{
    QString serverRoot;
    QString sessionUser;
    QString seenFolder; // ProgramDataDir + "net/" + SessionUser + "/"
    // What this client last read of each server copy; null: every send reads both copies.
    conversationwrite::Memo* memo = nullptr;
    ServerLock::Limits lock = {};
};

// Saves a conversation the way the chat view writes it (no line end after the last line).
bool saveConversation(const QString& path, const QStringList& lines, QString* error = nullptr);

enum class Sent
{
    Sent,
    NoConversation,
    Refused,
    PeerCopyFailed // in the SeenCopy and the own server copy, not in the correspondent's
};

// Sends a message into an existing conversation: the entry goes on top of the newest own server
// copy, the whole text into the SeenCopy, then into the signed-in user's folder and the
// correspondent's. `userslist` is the listing of the own folder, listed again when it lacks the
// conversation. A conversation that already holds an entry with this header and text (a retry
// after a failed upload) does not get it twice. The connection must be open; it is left in the
// correspondent's folder. A failed upload of the own copy is thrown; a failed upload of the
// correspondent's copy is reported through `failure` (thrown when it is null).
Sent sendMessage(FtpClient& ftp, const Place& place, QStringList& userslist, QStringList& chat,
                 const QString& selectedName, const QString& recipient, const QString& message,
                 const QString& header, QString* failure = nullptr,
                 const directory::Wait& wait = directory::sleepWait);

// The quick-send window's send, which may also start a conversation. The connection must be
// open in the signed-in user's folder. An existing own server copy is fetched into the SeenCopy
// first, so the message goes above what the correspondent wrote since the view was loaded; with
// none the message alone makes a new conversation. Both server copies are then replaced, the
// own one first, and the connection is left in the recipient's folder. Failures are thrown; a
// failed fetch leaves the SeenCopy as it was.
struct QuickSent
{
    Sent result = Sent::Refused;
    bool started = false; // a new conversation
    QStringList chat;     // the conversation as sent, for the view
    QStringList listing;  // the own folder's names, the conversation's included
};
QuickSent quickSend(FtpClient& ftp, const Place& place, const QString& recipient,
                    const QString& message, const QDateTime& now);

// The dropped-files pipeline from the point where the connection is open in the recipient's
// folder: sender folder, uploads under transliterated names, the notice on top of `chat`, and
// the two conversation copies (the recipient's first, with the file line for a single file).
struct FileSend
{
    QString recipient;
    QStringList paths;
    QStringList phrases;      // the recipient's notice phrases
    int countedVerbRow = 1;   // 1 from the main window, 3 from the drop zone and the mini bar
    bool fileNameLine = true; // main window only
    bool waitForSeenCopy = true;
    bool ignoreFailures = true; // main window: a failed upload is passed over
    QDateTime now;
};
struct FileSendResult
{
    QStringList uploaded;
    QStringList skipped;  // not regular files, or refused by the server
    QStringList failures; // "file name: why" of each upload that failed
};
using Progress = std::function<void(const QString& name, qint64 done, qint64 total)>;
FileSendResult sendFiles(FtpClient& ftp, const Place& place, QStringList& chat,
                         const FileSend& send, const Progress& progress = {},
                         const directory::Wait& wait = directory::sleepWait);

} // namespace messaging
