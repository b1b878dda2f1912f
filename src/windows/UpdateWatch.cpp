#include "windows/UpdateWatch.h"

#include "app/AppContext.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"
#include "windows/Installation.h"
#include "windows/uNetwork.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcUpdate, "larkspire.update")

} // namespace

UpdateWatch::UpdateWatch(AppContext& ctx, QObject* parent) : QObject(parent), m_ctx(ctx)
{
    m_updateTimer = new QTimer(this);
    m_updateTimer->setObjectName(QStringLiteral("updatetimer"));
    m_updateTimer->setInterval(kIntervalMs);
    connect(m_updateTimer, &QTimer::timeout, this, &UpdateWatch::updatetimerTimer);
    m_updateTimer->start();
    connect(&ctx.session(), &ClientSession::updateChecked, this, &UpdateWatch::onUpdateChecked);
}

void UpdateWatch::setWindowsShown(std::function<bool()> shown)
{
    m_windowsShown = std::move(shown);
}

bool UpdateWatch::anyWindowVisible() const
{
    // Until the wiring tells, a window may be on screen: no update starts then.
    return !m_windowsShown || m_windowsShown();
}

void UpdateWatch::updatetimerTimer()
{
    if (!m_ctx.state().online()) {
        // Not while the upkeep asks again on its own pauses after an unreachable answer.
        m_ctx.upkeep().requestCheckUnlessWaiting();
        return;
    }
    // An update never starts while the user sees one of the program's windows.
    if (anyWindowVisible())
        return;
    const Folders f = m_ctx.folders();
    selfupdate::Request request;
    request.languageCode = m_ctx.languageCode();
    request.ownBuild = Installation::ownBuild(m_ctx);
    request.exeFolder = f.exeFolder;
    request.tempDataDir = f.tempDataDir;
    request.publicKey = m_ctx.updatePublicKey();
    // While other work runs or waits, this pass skips its turn. Signed in, it asks over the
    // main connection the poll keeps open, and fetches the descriptor only when it changed.
    m_ctx.session().checkForUpdate(request);
}

void UpdateWatch::onUpdateChecked(const selfupdate::Result& result)
{
    m_lastResult = result;
    report(m_lastResult);
    if (m_lastResult.outcome != selfupdate::Outcome::Ready)
        return;
    // The user may have opened a window while the updater came down: the next pass starts it.
    if (anyWindowVisible())
        return;

    PlatformServices& p = m_ctx.platform();
    if (!p.processes->startDetached(m_lastResult.updaterPath)) {
        qCWarning(lcUpdate) << "the updater could not be started:" << m_lastResult.updaterPath;
        return;
    }
    qCInfo(lcUpdate) << "updating to build" << m_lastResult.serverBuild;
    m_updateTimer->stop();
    m_ctx.requestQuit();
    // This installation's copies only: another user's or another folder's stay.
    p.processes->killProcessesNamed(QCoreApplication::applicationFilePath());
}

void UpdateWatch::report(const selfupdate::Result& result)
{
    using selfupdate::Outcome;
    if (result.outcome == Outcome::Ready) {
        m_lastReported.clear();
        return;
    }
    const QString reason = result.outcome == Outcome::Current
                               ? QStringLiteral("current ") + result.serverBuild
                               : result.detail;
    if (reason == m_lastReported)
        return;
    m_lastReported = reason;
    if (result.outcome == Outcome::Current)
        qCInfo(lcUpdate, "up to date: the server offers build %s",
               qUtf8Printable(result.serverBuild));
    else if (result.outcome == Outcome::Failed)
        qCInfo(lcUpdate) << "update check failed:" << result.detail;
    else
        qCWarning(lcUpdate) << "no update:" << result.detail;
}
