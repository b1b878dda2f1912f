#pragma once

#include "net/DirectoryFetch.h"
#include "net/StoreLayout.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class FtpClient;

// The server work of signing in and registering, on a main connection already open in the
// users folder. Failures of the connection reach the caller as FtpError; the caller starts over.
namespace accounts {

// The name as it is looked up and stored: trimmed, Cyrillic letters in Latin.
QString normalisedName(const QString& typed);
// Whether a new account may take this name: it becomes a folder on the server and a field of
// the shared directory, so it must not be empty, ".", "..", hold "/" or a forbidden character.
bool registrableName(const QString& name);

// Local files and values the work reads and writes.
struct Paths
{
    QString userDataDir;   // "acc.xo", "acc2.xo"
    QString tempDataDir;   // the directory's working copy, "acc3.xo"
    QString defaultAvatar; // "avax.png" of the program's data folder
};

using directory::sleepWait;
using directory::Wait;

// The characters of a name or password that the server's files cannot hold (they are written
// in windows-1251), each once; empty when both may be used. Such a name would be stored as
// "?" and never found again, such a password never match again.
QString refusedCharacters(const QString& name, const QString& password);

// The first line of the directory whose field 1 is name, or -1. The name is compared as it
// reads back from the file.
int findUser(const QStringList& directory, const QString& name);

enum class Outcome
{
    SignedIn,
    Registered,
    WrongPassword,    // the local password copy is deleted
    DirectoryBusy,    // registration stopped: another program holds the working copy
    RefusedName,      // registration stopped before anything was written
    RefusedCharacters // stopped before the server was asked: see refusedCharacters
};

struct Result
{
    Outcome outcome = Outcome::SignedIn;
    QStringList directory; // the directory as loaded (after registration: with the new line)
};

// The whole server step of the sign-in button for an already normalised name. `mem` is the
// account record of this computer and is updated (and saved) as a sign-in or registration does.
Result signInOrRegister(FtpClient& ftp, const Paths& paths, const QString& name,
                        const QString& typedPassword, store::AccountRecord& mem,
                        const QString& adapterAddress, const QString& languageCode,
                        const Wait& wait = sleepWait);

// Saves the account record and the password of this computer, readable by the user only.
bool saveAccountRecord(const Paths& paths, const store::AccountRecord& mem);
bool savePassword(const Paths& paths, const QString& password);

} // namespace accounts
