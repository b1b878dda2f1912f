#pragma once

// The server tree the benchmarks meet: correspondents named Peer0000 and on, conversations made
// of whole entries, and files an hour old, as a history that nobody touched lately looks.
#include <QByteArray>
#include <QFile>
#include <QString>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace benchtree {

inline QString peerName(int i)
{
    return QStringLiteral("Peer%1").arg(i, 4, 10, QChar(u'0'));
}

// One directory line: no mark, no region or activity, a .png avatar, English.
inline QByteArray lineupLine(const QString& name)
{
    return "}" + name.toLatin1() + "}}}.png}eng/\r\n";
}

inline QByteArray entry(const QString& sender, int serial)
{
    return sender.toLatin1() + "     07.03.2026     14:05:07 :\r\n" +
           QByteArray::number(serial).rightJustified(8, '0') + QByteArray(62, 'x') + "\r\n\r\n";
}

// Whole entries, so a copy saved line by line has the server's bytes.
// Whole entries, so a copy saved line by line has the server's bytes; appended an entry at a
// time, so that writing it costs the writing process no memory of its own.
inline void appendConversation(QFile& file, const QString& peer, qint64 size)
{
    const qsizetype one = entry(peer, 0).size();
    for (qint64 i = 0, written = 0; written + one <= size; ++i, written += one)
        file.write(entry(peer, static_cast<int>(i)));
}

inline QByteArray conversation(const QString& peer, qint64 size)
{
    const qsizetype one = entry(peer, 0).size();
    QByteArray body;
    body.reserve(size);
    for (int i = 0; body.size() + one <= size; ++i)
        body += entry(peer, i);
    return body;
}

// Older than any rule about recent changes.
inline void makeOld(const QString& path, int secondsAgo = 3600)
{
    const timespec old[2] = {{::time(nullptr) - secondsAgo, 0}, {::time(nullptr) - secondsAgo, 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), old, 0);
}

} // namespace benchtree
