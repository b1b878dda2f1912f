// The message poll cycle: every 15 seconds the client session looks for what changed in the
// conversations; the main window shows it, the popup announces it.
#include "windows/ConversationView.h"
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "session/ClientSession.h"

#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcPollWindow, "larkspire.poll")

constexpr int kTraceLines = 500;

} // namespace

void TNetwork::createPolling()
{
    pollTimer = new QTimer(this);
    pollTimer->setObjectName(QStringLiteral("msgrld"));
    pollTimer->setInterval(15000);
    connect(pollTimer, &QTimer::timeout, this, &TNetwork::onPollTick);
    pollTimer->start();
    ClientSession& s = session();
    connect(&s, &ClientSession::polled, this, &TNetwork::onPolled);
    connect(&s, &ClientSession::newsSound, this,
            [this] { m_ctx.platform().sound->playNewMessage(); });
    connect(&s, &ClientSession::openChatChanged, this,
            [this](const QString& peer, const QStringList& lines) {
                // The user may have opened someone else while the cycle ran.
                if (peer != selectedName())
                    return;
                startChatFlash();
                m_conversation->setChatLines(lines);
                m_conversation->showConversationLayout();
            });
}

void TNetwork::onPollTick()
{
    if (!connected() || !m_signedIn || sessionUser.isEmpty())
        return;
    if (session().poll({m_directory, isVisible()}))
        m_pollSelection = m_directory.selectionKey();
}

void TNetwork::onPolled(const PollResult& result)
{
    // The cycle worked on the lists as they were when it started; the selection is the
    // user's, as it is now.
    m_directory.adopt(result.directory, m_directory.selectionKey() != m_pollSelection);
    showUsers();
    updateFbut();
    pollTrace.append(result.cycle.trace);
    if (pollTrace.size() > kTraceLines)
        pollTrace = pollTrace.mid(pollTrace.size() - kTraceLines);
    if (result.error.failed())
        qCInfo(lcPollWindow) << "cycle failed:" << result.error.text;
    else if (result.cycle.outcome == poll::Outcome::Failed ||
             result.cycle.outcome == poll::Outcome::Abandoned)
        qCInfo(lcPollWindow) << "cycle ended early:"
                             << result.cycle.trace.value(result.cycle.trace.size() - 1);
}
