#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Folder listings with sizes and modification times: MLSD lines (RFC 3659) and the Unix "ls -l"
// lines that LIST gives on vsftpd, pyftpdlib, pure-ftpd and proftpd.
namespace ftplisting {

struct Entry
{
    QString name;
    bool folder = false;
    qint64 size = -1;   // -1: not told
    QDateTime modified; // UTC; invalid when not told
    // How long after `modified` the file may really have been written: LIST shows minutes, and
    // no time at all beyond half a year (the day then).
    qint64 precisionSecs = 0;

    // The moment after which the file certainly was not written, or an invalid time.
    QDateTime latest() const
    {
        return modified.isValid() ? modified.addSecs(precisionSecs) : modified;
    }
    bool sameAs(const Entry& other) const
    {
        return size >= 0 && modified.isValid() && size == other.size &&
               modified == other.modified && folder == other.folder;
    }
};

// "type=file;size=12;modify=20260307140507; name"; nullopt for "." and ".." entries and lines
// that are not a listing entry.
std::optional<Entry> parseMlsd(const QString& line);
// "-rw-r--r--   1 owner group  12 Mar 07 14:05 name": a time without a year is taken as the
// latest such moment not after `nowUtc` plus a day (server clocks run ahead).
std::optional<Entry> parseList(const QString& line, const QDateTime& nowUtc);

// The entries of a whole listing in either form; lines that are not entries are left out.
QList<Entry> parse(const QStringList& lines, bool machine, const QDateTime& nowUtc);

} // namespace ftplisting
