#pragma once

#include <QDate>
#include <QFileDevice>
#include <QLocale>
#include <QString>

struct UserEnvironment;

// Small stateless helpers on files, folders and names that several windows share.
namespace helpers {

// True when the file exists and this program may not use it now: it cannot be opened for
// reading and writing (read-only, no access), or another open file holds an advisory lock on it
// (flock or a POSIX record lock), which is how Linux programs, this one included, mark a file
// they are writing. A missing file is not in use.
bool fileInUse(const QString& path);

// Runs while holding an exclusive advisory lock on path, so fileInUse sees the file in use.
class FileLock
{
public:
    explicit FileLock(const QString& path);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool locked() const { return m_fd >= 0; }

private:
    int m_fd = -1;
};

// The mode bits of Qt's permission flags (the owner's, the group's and the others').
unsigned unixMode(QFileDevice::Permissions permissions);

// Folders that hold conversations, account data and settings copies belong to the user alone:
// made (with missing parents) and set to 0700, also when they existed with a wider mode.
bool makePrivateFolder(const QString& folder);
// Narrows an existing file to 0600; a missing file is left missing.
bool makePrivateFile(const QString& path);

// False only for an existing empty folder; true when it has an entry or cannot be listed.
bool folderHasEntries(const QString& folder);

// The per-user temporary folder, with trailing "/": a persistent, writable per-user folder
// whose parent holds the per-user data folder.
QString tempFolder(const UserEnvironment& env);

// The user's documents folder (XDG); throws Error when there is none.
QString documentsFolder();

// Hidden files: Linux has no hidden attribute and the names must not change, so a name is
// listed in the ".hidden" file of its parent folder, which file managers honour. They read one
// UTF-8 name per line ended by LF, so the file is written that way; an older file in
// windows-1251 with CR LF is still read, and rewritten in the new form when a name is added.
bool setHidden(const QString& path);
bool isHidden(const QString& path);

// Copies the files and subfolders of source into target, creating target. Returns whether the
// last entry handled was copied or skipped (false for an empty source). Refuses a target inside
// the source, which would copy without end.
bool copyTree(const QString& source, const QString& target, bool stopOnFailure, bool overwrite);

// Russian letters to Latin text, every other character unchanged.
QString transliterate(const QString& text);

// The ten characters a name may not hold: { \ : * } ? " < > |
inline constexpr char16_t kForbiddenNameChars[] = u"{\\:*}?\"<>|";
bool nameIsClean(const QString& text);

// A date as "dd.MM.yyyy".
QString fixedDateText(const QDate& date);
// A date in the locale's short form as "dd.MM.yyyy"; a two-digit year is read as the one
// nearest to today. Throws Error when the text is not a date.
QString fixedDateText(const QString& localeDate, const QLocale& locale = QLocale::system());

} // namespace helpers
