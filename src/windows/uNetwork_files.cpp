// Files dropped on the main window go to the open correspondent.
#include "windows/uNetwork.h"

#include "windows/ConversationView.h"
#include "windows/DroppedFiles.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>

void TNetwork::dragEnterEvent(QDragEnterEvent* event)
{
    dropped::takeAsCopy(event);
}

void TNetwork::dragMoveEvent(QDragMoveEvent* event)
{
    dropped::takeAsCopy(event);
}

void TNetwork::dropEvent(QDropEvent* event)
{
    if (dropped::takeAsCopy(event))
        m_conversation->dropFiles(dropped::localPaths(event->mimeData()));
}

PendingDrop::Conditions TNetwork::sendConditions() const
{
    return {signedIn() ? sessionUser : QString(), connected()};
}

void TNetwork::showFromPopup()
{
    show();
}
