// The message poll cycle: every 15 seconds, what changed in the conversations is shown or
// announced.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"
#include "windows/PollSink.h"
#include "windows/uNetProg.h"

#include <QApplication>
#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

Q_LOGGING_CATEGORY(lcPollWindow, "larkspire.poll")

constexpr int kTraceLines = 500;

} // namespace

void TNetwork::msgrldTimer()
{
    if (!connected())
        return;
    if (SessionUser.isEmpty() || User->text() == u"-")
        return;
    const Folders f = m_ctx.folders();
    poll::Context ctx{*m_session,
                      m_directory,
                      SessionUser,
                      f.tempDataDir,
                      f.programDataDir + QStringLiteral("net/") + SessionUser + u'/',
                      f.userDataDir + QStringLiteral("net/") + SessionUser + u'/',
                      f.networkDir,
                      isVisible(),
                      {}};
    WindowSink sink(*this, m_ctx);
    const poll::Result result = poll::run(ctx, sink);
    // Sends look for their conversation in this listing.
    if (result.listed)
        userslist = result.listing;
    showUsers();
    updateFbut();
    checkedusers.append(result.trace);
    if (checkedusers.size() > kTraceLines)
        checkedusers = checkedusers.mid(checkedusers.size() - kTraceLines);
    if (result.outcome == poll::Outcome::Failed || result.outcome == poll::Outcome::Abandoned)
        qCInfo(lcPollWindow) << "cycle ended early:" << result.trace.value(result.trace.size() - 1);
}

void WindowSink::playSound()
{
    m_ctx.platform().sound->playNewMessage();
}

void WindowSink::refreshOpenChat(const QStringList& chat)
{
    m_w.startChatFlash();
    m_w.setChatLines(chat);
    m_w.showConversationLayout();
}

void WindowSink::announce(const poll::Announcement& a)
{
    Tnetprog* popup = m_ctx.netprog();
    if (!popup)
        return;
    popup->Hint = a.sender;
    popup->resetWidth();
    if (a.isMessage) {
        popup->marker = QStringLiteral("text.text");
        popup->opnow->hide();
        popup->cap->setText(a.firstLine);
        popup->txt->setText(a.secondLine);
        popup->widenText();
        popup->mode = 0;
    } else {
        popup->mode = 1;
        popup->marker = QStringLiteral("files");
        popup->opnow->setText(m_ctx.text(125));
        // The notice itself, also when its files are not (or no longer) on the server.
        popup->txt->setText(a.firstLine);
    }
    popup->showRequest();
    popup->mode = 1;
    popup->opnow->setText(m_ctx.text(125));
}

void WindowSink::filesFetched(const poll::Announcement& a)
{
    Tnetprog* popup = m_ctx.netprog();
    // A later announcement owns the popup now.
    if (!popup || popup->Hint != a.sender || popup->marker != u"files")
        return;
    popup->marker = a.fileName;
    popup->widenText();
}

void WindowSink::pumpEvents()
{
    QCoreApplication::processEvents();
}
