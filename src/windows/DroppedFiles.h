#pragma once

#include <QString>
#include <QStringList>

class QMimeData;

// What a drop from the file manager brings, and which of it can be sent.
namespace dropped {

// The local paths of a drop, in the file manager's order; other items (links, text) are left out.
QStringList localPaths(const QMimeData* data);

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
