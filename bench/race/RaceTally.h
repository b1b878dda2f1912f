#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

// What the race benchmark finds in the server copies after a trial. It reads the copies with
// its own small parser (entries split at header lines) instead of the program's merge code, so
// that it judges every version of the write path the same way.
namespace racetally {

// "name     dd.MM.yyyy     H:mm:ss :"
bool isHeaderLine(const QString& line);

struct Entry
{
    QString header;
    QString body; // the message's lines joined by "\n", without the empty line below
};
// The entries of a conversation, newest first. Lines above the first header (a damaged copy)
// form an entry without a header.
QList<Entry> entries(const QStringList& lines);

enum class Outcome
{
    Sent,   // reported sent, at the first press or the second
    GaveUp, // reported failed twice; the user was told
    Unknown // its writer was killed during the send; nobody was told anything
};

struct Message
{
    QString text;
    Outcome outcome = Outcome::Sent;
};

struct Tally
{
    int lost = 0;        // message and copy: missing there
    int sentButLost = 0; // the same, for messages reported sent
    int duplicated = 0;  // message and copy: in more than one entry there
    int cut = 0;         // copies missing an entry of the history they had before
    QStringList findings;
};

// Checks each copy (a name for the findings, its bytes) against the history every copy held
// before the trial and the messages sent in it. A message of unknown outcome counts as lost
// only from a copy that lacks it while another copy has it: the two users see different
// histories.
Tally check(const QList<std::pair<QString, QByteArray>>& copies, const QStringList& history,
            const QList<Message>& messages);

// One row's sums over its trials.
struct Row
{
    QString name;
    int trials = 0;
    int sends = 0;  // messages
    int failed = 0; // messages whose first press was reported failed
    int gaveUp = 0; // messages whose second press failed too
    int lost = 0;
    int sentButLost = 0;
    int duplicated = 0;
    int cut = 0;
    qint64 soloMs = 0;    // one send alone in the row's conditions
    qint64 longestMs = 0; // the longest press
    void add(const Tally& t);
};

// The Markdown table: a header, its rule and one line per row. The lock wait is estimated as
// the longest press less a solo send, since a send cannot be watched from inside.
QString table(const QList<Row>& rows);

} // namespace racetally
