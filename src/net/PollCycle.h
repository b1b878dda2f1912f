#pragma once

#include "net/FtpListing.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class ServerSession;
class UserDirectory;
namespace seenmarks {
struct Watch;
}

// The receiving side of messaging: the conversation files of the signed-in user's folder that
// the listing shows changed are fetched and compared with the copy last seen here; what changed
// is shown or announced.
namespace poll {

// Every this many cycles everything is fetched and compared, whatever the listing says: a
// server whose times are coarse or wrong, or a clock far off ours, could hide a rewrite that
// kept the size. At the 15 s period that is every five minutes, and since equal copies are told
// apart by their bytes alone it costs about one twentieth of a cycle without the listing.
inline constexpr int kFullCheckEvery = 20;
// A file whose listed time is this close to (or after) the previous listing is fetched again:
// LIST times are only to the minute, MLSD's to the second, and a rewrite of the same size
// within that time shows no difference in the listing.
inline constexpr qint64 kRecentSecs = 120;

// What earlier cycles saw on the server, so that unchanged files are not fetched again. The
// caller keeps one; an empty one makes the next cycle fetch everything.
struct Memory
{
    QString owner; // server and user the entries below belong to
    // Per conversation, its listing entry when it was last compared.
    QHash<QString, ftplisting::Entry> compared;
    ftplisting::Entry directory; // "lineup.xo" when last fetched
    QDateTime listedAt;          // our clock (UTC) when the previous listing was taken
    int cyclesToFullCheck = 0;
    // Per sender folder, its files as last listed: a file alike in two listings is whole.
    QHash<QString, QHash<QString, ftplisting::Entry>> senderFolders;
};

// What the new-message popup is told about one changed conversation.
struct Announcement
{
    QString sender;        // the writer of the newest entry, trimmed
    QString correspondent; // whose conversation it is, which may differ from the sender
    bool isMessage = false;
    QString firstLine;         // the header line of a message, the notice line of a file notice
    QString secondLine;        // the first line of a message
    bool filesFetched = false; // a notice whose files came down in this cycle
    QString fileName;          // the single received file's name, from the notice's file line
};

// The window's side of a cycle.
class Sink
{
public:
    virtual ~Sink() = default;
    virtual void playSound() = 0;
    // The open conversation changed while the main window is on screen: show its new text.
    virtual void refreshOpenChat(const QStringList& chat) = 0;
    virtual void announce(const Announcement& announcement) = 0;
    // The files of an announced notice came down after the announcement was shown.
    virtual void filesFetched(const Announcement& announcement) { (void)announcement; }
    // Between received files of the open conversation, so that the window stays alive.
    virtual void pumpEvents() {}
};

struct Context
{
    ServerSession& session;
    UserDirectory& directory;
    QString sessionUser;
    QString tempDataDir;   // the directory's working copy
    QString seenFolder;    // ProgramDataDir + "net/" + SessionUser + "/"
    QString fetchedFolder; // UserDataDir + "net/" + SessionUser + "/"
    QString networkDir;    // received files
    bool mainWindowVisible = false;
    std::function<void(int ms)> wait;
    Memory* memory = nullptr; // none: everything is fetched every cycle
    // The seen mark of the correspondent on screen, looked at with the conversations; none: no
    // one is on screen.
    seenmarks::Watch* seenMark = nullptr;
};

enum class Outcome
{
    Skipped,   // offline, nobody signed in, or the connection busy with other work
    NoServer,  // the main server could not be reached
    Failed,    // a step failed; the rest waits for the next cycle
    Abandoned, // a SeenCopy held by another program
    Done
};

struct Result
{
    Outcome outcome = Outcome::Skipped;
    QStringList trace; // what the cycle did, for diagnosis
    int changed = 0;
    bool listed = false;     // the own folder was listed: `listing` is current
    QStringList listing;     // the names in the signed-in user's server folder
    QStringList fetchedFrom; // senders whose waiting files came down in this cycle
    bool fullCheck = false;  // everything was fetched, whatever the listing said
    int downloaded = 0;      // conversation files fetched
    bool directoryFetched = false;
    // Conversations whose server copy lacked entries the SeenCopy holds (empty, cut or not a
    // conversation): the SeenCopy kept them, and the next write repairs the copy.
    QStringList damaged;
};

// The sender folders a listing of the own folder shows: names of listed users other than
// oneself that can be local folder names.
QStringList senderFolders(const QStringList& listing, const QStringList& users,
                          const QString& sessionUser);

Result run(Context& ctx, Sink& sink);

} // namespace poll
