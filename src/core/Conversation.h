#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// A conversation file: entries newest first, each a header or notice line, its text and one
// empty line (the very first entry has none).
namespace conversation {

// "14:05:07", "9:01:02": 24-hour time, whatever the locale.
QString timeText(const QTime& time);
// sender + five spaces + "dd.MM.yyyy" + five spaces + time + " :"
QString headerLine(const QString& sender, const QDateTime& when);

// Puts a message on top: an empty line (only when there is something below it), the message's
// lines as typed, then the header above them.
void insertMessage(QStringList& lines, const QString& header, const QString& message);

// The form the chat view writes: lines joined by CR LF, no line end after the last one.
QByteArray encode(const QStringList& lines);
QStringList decode(const QByteArray& bytes);
// Line by line, whatever the line ends.
bool same(const QByteArray& a, const QByteArray& b);

// The second line carries a received file's name for the recipient's poll; views drop it.
bool hasFileLine(const QStringList& lines);
void dropFileLine(QStringList& lines);
QString fileLineName(const QStringList& lines); // the name after "...", or empty

struct Newest
{
    bool isMessage = false; // a notice line never ends with ":"
    QString sender;
    QString firstLine;
    QString secondLine;
};
Newest newestEntry(const QStringList& lines);

// File notices, in the recipient's language (seven phrases, rows 0 to 6).
QString uploadName(const QString& localPath); // the file name, transliterated
QString baseName(const QString& localPath);   // the file name without its last extension

struct Notice
{
    QString sender;
    QStringList paths;        // every dropped item, counted whether or not it went up
    QStringList phrases;      // rows 0 to 6 of the phrase table
    int countedVerbRow = 1;   // 1 from the main window, 3 from the drop zone and the mini bar
    bool fileNameLine = true; // "..." + upload name for a single file (main window only)
    QDateTime when;
};
// The lines to put on top, top first (without the empty line below them).
QStringList noticeLines(const Notice& notice);
// The notice lines on top of a conversation, with the empty line rule of every entry.
void insertNotice(QStringList& lines, const QStringList& notice);

// English wording for a recipient whose language the phrase table does not know.
QStringList fallbackPhrases();

} // namespace conversation
