// Comforts over the main window's controls: drafts kept per correspondent, finding in the
// conversation, finding a user in the list. Each lives in a class of its own; this is where the
// window makes them and hands them its keys.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "windows/DraftKeeper.h"
#include "windows/FindBar.h"
#include "windows/UserFilter.h"
#include "windows/uNetMenu.h"
#include "windows/uPhoto.h"

#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTreeWidget>

void TNetwork::installComforts()
{
    drafts = new DraftKeeper(messageEdit, *m_ctx.platform().settings, drafts::Box::Message);
    findBar = new FindBar(m_ctx, conversationView);
    // Name, region and activity.
    userFilter = new UserFilter(m_ctx, userList, {1, 2, 3});
}

std::optional<bool> TNetwork::comfortKey(QWidget* receiver, const QKeyEvent& key)
{
    // While the quick-send window or the avatar viewer is open the window takes no typing.
    if ((m_ctx.NetMenu() && m_ctx.NetMenu()->isVisible()) ||
        (m_ctx.Photo() && m_ctx.Photo()->isVisible()))
        return std::nullopt;
    if (const std::optional<bool> used = findBar->keyPress(receiver, key))
        return used;
    return userFilter->keyPress(receiver, key);
}
