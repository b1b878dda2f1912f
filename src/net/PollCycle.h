#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class ServerSession;
class UserDirectory;

// The receiving side of messaging: every conversation file of the signed-in user's folder is
// fetched and compared with the copy last seen here; what changed is shown or announced.
namespace poll {

// What the new-message popup is told about one changed conversation.
struct Announcement
{
    QString sender; // the writer of the newest entry, trimmed
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
};

// The sender folders a listing of the own folder shows: names of listed users other than
// oneself that can be local folder names.
QStringList senderFolders(const QStringList& listing, const QStringList& users,
                          const QString& sessionUser);

Result run(Context& ctx, Sink& sink);

} // namespace poll
