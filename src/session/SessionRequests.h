#pragma once

#include "core/SeenMark.h"
#include "core/UserDirectory.h"
#include "net/AccountService.h"
#include "net/AccountUpkeep.h"
#include "net/Correspondent.h"
#include "net/Messaging.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"
#include "net/StoreLayout.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the windows ask of the client session and what comes back: plain values, copied across
// the session's thread.

// Every result carries the failure that ended its request, if one did: the window shows it;
// nothing is thrown across the thread.
struct RequestError
{
    QString text; // empty: the request ran to its end
    bool failed() const { return !text.isEmpty(); }
};

// The connectivity words of the detector, as the window shows them.
inline constexpr const char16_t* kConnectedText = ServerSession::kConnected;
inline constexpr const char16_t* kDisconnectedText = ServerSession::kDisconnected;
using BootstrapOutcome = ServerSession::Bootstrap;
using MainOpening = ServerSession::Opening;

struct BootstrapResult
{
    ServerSession::Bootstrap outcome = ServerSession::Bootstrap::Offline;
    QString problem; // a settings file too short to use, reported once
    QString host;
    QString tlsFailure; // ServerSession::tlsFailure(): a server refused for its TLS
};

// The main connection opened and the directory read.
struct ConnectResult
{
    ServerSession::Opening opening = ServerSession::Opening::NotReady;
    std::optional<QStringList> directory; // the working copy, nullopt when it could not be read
    RequestError error;
    bool protectedByTls = false; // the main connection is open and runs over TLS
    QString tlsFailure;          // ServerSession::tlsFailure(): a server refused for its TLS
};

struct SignInRequest
{
    QString name; // normalised
    QString password;
    store::AccountRecord record;
    QString adapterAddress;
};

struct SignInResult
{
    enum class Stage
    {
        Offline,  // the network went away: go round again
        NoServer, // the main connection could not be opened: try again
        Failed,   // a step failed on the server: try again from a fresh connection
        // A file the sign-in reads is larger than the program takes (`error` says which and
        // how large): it fails the same way until someone replaces it, so try again later.
        Refused,
        Done // `outcome` says how it ended
    };
    Stage stage = Stage::Offline;
    ConnectResult connect;
    accounts::Outcome outcome = accounts::Outcome::SignedIn;
    QStringList directory;       // as loaded by the sign-in
    store::AccountRecord record; // updated by the sign-in
    QString avatarFile;          // the own picture's local copy, empty when it did not come down
    RequestError error;
};

struct AutoSignInRequest
{
    store::AccountRecord record;
    QString password;
    QStringList knownUsers; // the directory as the window has it, should the read fail
};

struct AutoSignInResult
{
    enum class Outcome
    {
        NoConnection, // nothing to decide: the connection did not open
        Unknown,      // the saved name is not in the directory
        Refused,      // the saved password does not match the server's
        Accepted
    };
    Outcome outcome = Outcome::NoConnection;
    ConnectResult connect;
    QString avatarFile;
    RequestError error;
};

// What the opening brought (avatarFile, hasConversation, lines, damaged), and how it went.
struct CorrespondentResult : correspondent::Opened
{
    QString name;
    bool reached = false; // the correspondent's folder could be opened
    // How far the correspondent has read the conversation; nullopt: not at all, or unknown.
    std::optional<seenmark::Mark> seenMark;
    RequestError error;
};

struct MessageRequest
{
    QString recipient;
    QString selectedName; // the list's selection, which must be the recipient
    QStringList chat;     // the view's lines when the user sent
    QString text;
    QString header;
    bool viaEnter = false;
    quint64 outboxId = 0; // the waiting entry this sends; 0: the user's send itself
};

struct MessageResult
{
    MessageRequest request;
    bool reached = false; // the main connection was open for the send
    // The connection broke and could not be had again: the outcome is unknown, and the same
    // entry may be sent again later without being written twice.
    bool connectionLost = false;
    messaging::Sent sent = messaging::Sent::Refused;
    QStringList chat; // the conversation as it now stands
    QString failure;  // why the correspondent's copy failed
    RequestError error;
};

struct QuickSendResult
{
    QString recipient;
    QString text;
    bool reached = false;
    messaging::QuickSent sent;
    RequestError error;
};

struct FilesRequest
{
    // Which window the files were dropped on: the small windows send without the main
    // window's leniency, so a failure is reported rather than passed over.
    enum class From
    {
        MainWindow,
        DropZone,
        MiniBar
    };
    From from = From::MainWindow;
    QString recipient;
    QStringList paths;
    QStringList phrases;
    QStringList chat;
    quint64 outboxId = 0; // the waiting drop this sends; 0: the drop itself
};

struct FilesResult
{
    FilesRequest request;
    bool reached = false;
    QStringList chat;
    QStringList notSent; // "file name: why" of each file whose upload failed; no notice for it
    RequestError error;
};

struct PollRequest
{
    UserDirectory directory; // the window's, with its selection and marks
    bool mainWindowVisible = false;
};

struct PollResult
{
    poll::Result cycle;
    UserDirectory directory; // with the cycle's reload and marks
    // The seen mark of the correspondent on screen, when the cycle looked at it; seenPeer is
    // empty when it did not.
    QString seenPeer;
    std::optional<seenmark::Mark> seenMark;
    RequestError error;
};

struct SeenResult
{
    QString peer;
    bool reached = false; // the main connection was open
    bool written = false; // the mark was new and went up
    RequestError error;
};

struct ProfileResult
{
    bool reached = false; // the main connection opened in the users folder
    bool listed = false;  // the user's line was found and rewritten
    QStringList directory;
    RequestError error;
};

struct DeletionResult
{
    bool reached = false;
    upkeep::Deletion deletion;
    RequestError error;
};

struct RenameRequest
{
    QString oldName;
    QString newName; // normalised
    store::AccountRecord record;
};

struct RenameResult
{
    RenameRequest request;
    bool reached = false;
    upkeep::Rename rename;
    store::AccountRecord record; // as saved on this computer after the rename
    RequestError error;
};

struct AvatarRequest
{
    QString picture;   // the picture to put up, already checked and scaled
    QString extension; // with its dot, in the case of the picked file's name
    store::AccountRecord record;
};

struct AvatarResult
{
    bool reached = false;
    store::AccountRecord record; // as saved on this computer: the old one unless it went up
    QString avatarFile;          // the own picture's local copy after the change
    RequestError error;
};
