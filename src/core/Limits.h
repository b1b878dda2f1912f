#pragma once

#include <QString>
#include <QStringList>

// Anyone with the shared login can write any file on the server; these limits keep a hostile
// or broken file from freezing or bloating the program. The files themselves are never changed.
namespace limits {

// A directory of 60,000 users at about 70 bytes a line, far beyond any real one (a few hundred
// users make some 20 KiB). A larger one would freeze every list: it is refused before its
// download, or its download stopped, so no attempt pays for it; the lists stay as they were,
// and a sign-in says why and waits longer before each next try.
inline constexpr qint64 kMaxDirectoryBytes = 4 * 1024 * 1024;
// A directory line longer than this is not listed (real lines are well under 200 characters).
inline constexpr int kMaxDirectoryLineChars = 1024;
// An account record is four short lines, a password file one. A larger record is read as
// missing; the sign-in downloads neither larger.
inline constexpr qint64 kMaxRecordBytes = 16 * 1024;
// A conversation of a few hundred thousand messages; a larger copy is neither the base of a
// send nor read by the poll.
inline constexpr qint64 kMaxConversationBytes = 32 * 1024 * 1024;
// Lines longer than this are shown cut, with an ellipsis; the stored text keeps them whole.
inline constexpr int kMaxShownLineChars = 2000;

// A dot and one to five letters or digits ("ava" + it names a file); anything else is ".png".
QString avatarExtension(const QString& extension);

// The lines as a view shows them.
QStringList shownLines(const QStringList& lines);

// The directory's lines without the ones too long to be real entries.
QStringList listableDirectoryLines(const QStringList& lines);

} // namespace limits
