#include "windows/DroppedFiles.h"

#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace dropped {

QStringList localPaths(const QMimeData* data)
{
    QStringList paths;
    if (!data || !data->hasUrls())
        return paths;
    for (const QUrl& url : data->urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        if (!path.isEmpty())
            paths.append(path);
    }
    return paths;
}

bool takeAsCopy(QDropEvent* event)
{
    // A source that allows no copy would be answered with a move whatever is asked for.
    if (!(event->possibleActions() & Qt::CopyAction) || localPaths(event->mimeData()).isEmpty()) {
        event->ignore();
        return false;
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    return true;
}

Split split(const QStringList& paths)
{
    Split s;
    for (const QString& p : paths) {
        const QFileInfo info(p);
        (info.isFile() && info.isReadable() ? s.sendable : s.leftOut).append(p);
    }
    return s;
}

QString leftOutReport(const QString& heading, const QStringList& leftOut)
{
    QStringList names;
    for (const QString& p : leftOut)
        names.append(QStringLiteral("\u2717 ") + QFileInfo(p).fileName());
    return heading + u'\n' + names.join(u'\n');
}

} // namespace dropped
