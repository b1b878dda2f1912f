// The message poll cycle: every 15 seconds, what changed in the conversations is shown or
// announced.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "net/PollCycle.h"
#include "net/ServerSession.h"
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

// Applies a cycle's news to the main window and the popup.
class WindowSink : public poll::Sink
{
public:
    WindowSink(TNetwork& window, AppContext& ctx) : m_w(window), m_ctx(ctx) {}

    void playSound() override { m_ctx.platform().sound->playNewMessage(); }

    void refreshOpenChat(const QStringList& chat) override
    {
        m_w.startChatFlash();
        m_w.setChatLines(chat);
        m_w.showConversationLayout();
    }

    void announce(const poll::Announcement& a) override
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
            popup->showRequest();
            if (a.filesFetched) {
                popup->marker = a.fileName;
                popup->widenText();
            }
        }
        if (a.isMessage)
            popup->showRequest();
        popup->mode = 1;
        popup->opnow->setText(m_ctx.text(125));
    }

    void pumpEvents() override { QCoreApplication::processEvents(); }

private:
    TNetwork& m_w;
    AppContext& m_ctx;
};

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
    showUsers();
    updateFbut();
    checkedusers.append(result.trace);
    if (checkedusers.size() > kTraceLines)
        checkedusers = checkedusers.mid(checkedusers.size() - kTraceLines);
    if (result.outcome == poll::Outcome::Failed || result.outcome == poll::Outcome::Abandoned)
        qCInfo(lcPollWindow) << "cycle ended early:" << result.trace.value(result.trace.size() - 1);
}
