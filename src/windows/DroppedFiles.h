#pragma once

#include <QString>
#include <QStringList>

class QDropEvent;
class QMimeData;

// What a drop from the file manager brings, and which of it can be sent.
namespace dropped {

// The local paths of a drop, in the file manager's order; other items (links, text) are left out.
QStringList localPaths(const QMimeData* data);

// Takes a drag (enter, move) or a drop of local files as a copy, whatever the source proposed:
// a file manager that is answered with a move deletes the original, sent or not. Anything
// without local files, or from a source that allows no copy, is refused. True when it was taken.
bool takeAsCopy(QDropEvent* event);

struct Split
{
    QStringList sendable; // regular files that can be read
    QStringList leftOut;  // folders, devices, unreadable or vanished items
};
// Only readable files are sent and named in a notice: anything else would be announced as sent
// when nothing of it reached the server.
Split split(const QStringList& paths);

// The message that lists what was left out, under its heading.
QString leftOutReport(const QString& heading, const QStringList& leftOut);

} // namespace dropped
