#pragma once

#include <QByteArrayView>
#include <QFileDevice>
#include <QString>
#include <QStringList>

#include <optional>

// Text files of the system: one entry per line, CR LF line ends, windows-1251. Every text file
// the program reads or writes goes through these functions.
namespace stringlist {

// Splits at CR LF, LF or CR; a line end after the last line does not add an empty line.
QStringList decode(QByteArrayView bytes);
// The first `count` lines of decode(bytes), without decoding the rest.
QStringList decodeHead(QByteArrayView bytes, qsizetype count);

// The lines of decode(bytes) one at a time, so that a large file can be scanned without holding
// all of its text at once. The bytes must outlive the reader.
class LineReader
{
public:
    explicit LineReader(QByteArrayView bytes) : m_bytes(bytes) {}
    // The next line without its line end; false after the last one.
    bool next(QString& line);

private:
    QByteArrayView m_bytes;
    qsizetype m_pos = 0;
};
// Every line is followed by CR LF; characters outside the code page become "?".
QByteArray encode(const QStringList& lines);

// nullopt when the file cannot be read; error then holds a sentence for the user.
std::optional<QStringList> load(const QString& path, QString* error = nullptr);
// As load, and nullopt for a file larger than maxBytes, which is then not read at all.
std::optional<QStringList> loadAtMost(const QString& path, qint64 maxBytes,
                                      QString* error = nullptr);

// Replaces the file as a whole, so a failed write never leaves half a file behind, and holds
// an advisory lock on the old and the new file while it writes, so that another copy of the
// program sees the file in use meanwhile. A new file gets newFilePermissions; an existing one
// keeps its own.
bool save(const QString& path, const QStringList& lines, QString* error = nullptr,
          QFileDevice::Permissions newFilePermissions = QFileDevice::ReadOwner |
                                                        QFileDevice::WriteOwner |
                                                        QFileDevice::ReadGroup |
                                                        QFileDevice::ReadOther);
// As save, for files that hold passwords or account data: the file is readable by the user
// only, also when it existed with a wider mode, and never holds a byte under a wider mode.
bool savePrivate(const QString& path, const QStringList& lines, QString* error = nullptr);
// Writes bytes as save writes lines; permissions, when given, apply also to an existing file.
bool writeFile(const QString& path, const QByteArray& bytes, QString* error,
               QFileDevice::Permissions newFilePermissions,
               std::optional<QFileDevice::Permissions> permissions = std::nullopt);

// Field k of an entry: field 0 is the text before the first delimiter (the whole entry when
// there is none), field k the text between the k-th and the next delimiter; empty when the entry
// has fewer than k delimiters.
QString field(const QString& entry, int k, QChar delimiter);

} // namespace stringlist
