#pragma once

#include "core/SeenMark.h"
#include "net/FtpListing.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <optional>

class FtpClient;

// Seen marks on the server. A reader's client keeps, in the reader's own folder, one small file
// per correspondent (store::seenMarkFile) saying how far it has read their conversation; the
// correspondent's client looks at it only for the conversation on its screen. Every path is a
// full one, so nothing here changes the connection's folder.
namespace seenmarks {

// Larger than any mark could be: such a file is not read.
inline constexpr qint64 kMaxBytes = 4096;
// A file whose time is this close to (or after) the previous look is read again: a rewrite of
// the same size within the second the look saw shows no difference, and the server's clock may
// be off ours, as with the conversations.
inline constexpr qint64 kRecentSecs = 120;

// The writer's side: what the last look at one reader's file found.
struct Watch
{
    QString owner; // the signed-in user the looks are for
    QString peer;  // the reader whose file is watched; empty: none
    bool looked = false;
    ftplisting::Entry file; // as last seen; size -1 while there is none
    QDateTime lookedAt;     // our clock (UTC)
    std::optional<seenmark::Mark> mark;
};

// Looks at `peer`'s mark for `user`: its size and time (MLST, else SIZE and MDTM), and the file
// itself only when they say it may have changed. Returns whether the mark in `watch` changed. A
// file that cannot be read keeps the mark as it was; only a broken connection is thrown.
bool look(FtpClient& ftp, const QString& serverRoot, const QString& user, const QString& localCopy,
          Watch& watch);

// The reader's side: what this client wrote in this session, per reader and correspondent, so
// that an unchanged mark is never written twice.
struct Written
{
    QHash<QString, seenmark::Mark> marks; // "reader\ncorrespondent" -> the mark, its time aside
};

// Records that `reader` has seen the conversation with `peer` up to the entry `mark` names:
// uploaded under a temporary name and renamed over the file. The first time in a session the
// file on the server is read first, and left as it is when it names the same entry already.
// Returns whether it was written.
bool record(FtpClient& ftp, const QString& serverRoot, const QString& reader, const QString& peer,
            const seenmark::Mark& mark, const QString& localCopy, Written& written);

} // namespace seenmarks
