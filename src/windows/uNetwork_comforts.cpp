// Comforts over the main window's controls: m_drafts kept per correspondent, finding in the
// conversation, finding a user in the list. Each lives in a class of its own; this is where the
// window makes them and hands them its keys.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "windows/DraftKeeper.h"
#include "windows/FindBar.h"
#include "windows/UserFilter.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

void TNetwork::installComforts()
{
    m_drafts = new DraftKeeper(m_ui.conversation.messageEdit, *m_ctx.platform().settings,
                               drafts::Box::Message);
    m_findBar = new FindBar(m_ctx, m_ui.conversation.conversationView);
    // Name, region and activity.
    m_userFilter = new UserFilter(m_ctx, m_ui.contacts.userList, {1, 2, 3});
}

std::optional<bool> TNetwork::comfortKey(QWidget* receiver, const QKeyEvent& key)
{
    // While the quick-send window or the avatar viewer is open the window takes no typing.
    if (quickSendShown() || avatarViewerShown())
        return std::nullopt;
    if (const std::optional<bool> used = m_findBar->keyPress(receiver, key))
        return used;
    return m_userFilter->keyPress(receiver, key);
}
