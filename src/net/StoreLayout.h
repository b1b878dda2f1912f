#pragma once

#include <QString>
#include <QStringList>

// The shared tree on the main server and the local copies of its files. Every path below the
// server root is a plain text prefix joined with "/"; an empty root means the login folder.
namespace store {

inline const QString kDirectoryFile = QStringLiteral("lineup.xo");
inline const QString kAccountRecordFile = QStringLiteral("myacc.xo");
inline const QString kPasswordFile = QStringLiteral("acc.xo");

// The tree's root as a full path ending in "/": a root that is not a full path (an empty one
// included) lies below the folder the login starts in, so that paths built on it work from any
// current folder.
QString treeRoot(const QString& serverRoot, const QString& loginFolder);
bool isFullPath(const QString& serverRoot);

QString usersFolder(const QString& serverRoot);
QString userFolder(const QString& serverRoot, const QString& user);
QString updateFolder(const QString& serverRoot, const QString& languageCode);
QString avatarFile(const QString& extension);
QString conversationFile(const QString& peer);
// In a reader's folder: how far the reader has read the conversation with `peer`. "}" splits
// the fields of a directory line, so no user and no conversation is ever called so, and the
// name never ends in ".ms".
QString seenMarkFile(const QString& peer);

// A new user's line of the directory: mark, name, region, activity, avatar type, language.
QString newDirectoryLine(const QString& name, const QString& languageCode);

// The four lines of an account record.
struct AccountRecord
{
    QString userName;                             // offered at the next start; empty for "x"
    QString option = QStringLiteral("autologin"); // "autologin", "nopass" or "x"
    QString adapterAddress;                       // computer of the last sign-in
    QString avatarExtension = QStringLiteral(".png");

    // Lines missing from a short or absent record take their defaults.
    static AccountRecord fromLines(const QStringList& lines);
    QStringList toLines() const;
    bool operator==(const AccountRecord&) const = default;
};

// The password file is the password as typed, on one line.
QStringList passwordFileLines(const QString& password);
bool passwordAccepted(const QStringList& passwordFile, const QString& typed);

// Local working copies, in the per-user scratch data folder unless said otherwise.
namespace local {
inline const QString kDirectoryCopy = QStringLiteral("lnplk.xo");
inline const QString kDeletionDirectoryCopy = QStringLiteral("lnpx.xo");
inline const QString kPasswordCopy = QStringLiteral("acc3.xo");
inline const QString kPeerRecordCopy = QStringLiteral("myacc.xo");
inline const QString kSettingsCopy = QStringLiteral("2.x");
inline const QString kSeenMarkCopy = QStringLiteral("seenmk.xo");
// In the per-user data folder: the account record and the password of this computer's account.
inline const QString kAccountRecord = QStringLiteral("acc.xo");
inline const QString kPassword = QStringLiteral("acc2.xo");
QString ownAvatarCopy(const QString& extension);
// Whether this computer's account signs in by itself at the start: its record (or the defaults
// of a short one) asks for it and its password is saved.
bool signsInAutomatically(const QString& userDataDir);
QString peerAvatarCopy(const QString& extension);
} // namespace local

} // namespace store
