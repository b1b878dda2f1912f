// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "windows/ConversationView.h"
#include "windows/DroppedFiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

void TNetwork::dragEnterEvent(QDragEnterEvent* event)
{
    if (!dropped::localPaths(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void TNetwork::dropEvent(QDropEvent* event)
{
    const QStringList paths = dropped::localPaths(event->mimeData());
    event->acceptProposedAction();
    m_conversation->dropFiles(paths);
}

void TNetwork::showFromPopup()
{
    show();
}
