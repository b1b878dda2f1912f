#include "session/ConnectionUpkeep.h"

#include "net/XNetDetect.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"

#include <QLoggingCategory>
#include <QTimer>

#include <algorithm>

namespace {

Q_LOGGING_CATEGORY(lcUpkeep, "larkspire.server")

// The detector's period while the network is there and the main connection says nothing.
constexpr int kProbePeriodMs = 2000;
// An unreachable answer is asked again after a pause rather than at once (a refused connection
// answers in microseconds): 2 s at first, twice as long after each further one up to a minute,
// so that a client without network costs the probed server a connection a minute.
constexpr int kFirstRecheckMs = 2000;
constexpr int kLongestRecheckMs = 60000;

QTimer* makeTimer(QObject* parent, const char* name, int interval)
{
    auto* t = new QTimer(parent);
    t->setObjectName(QString::fromLatin1(name));
    t->setInterval(interval);
    return t;
}

} // namespace

ConnectionUpkeep::ConnectionUpkeep(ClientSession& session, ClientState& state,
                                   const QString& probeAddress, QObject* parent)
    : QObject(parent), m_session(session), m_state(state)
{
    setObjectName(QStringLiteral("connectionUpkeep"));
    connect(&m_session, &ClientSession::bootstrapped, this, &ConnectionUpkeep::onBootstrapped);

    m_detector = new TXNetDetect(probeAddress, this);
    m_detector->setObjectName(QStringLiteral("XNetDetect1"));
    m_detector->setTimeOut(500);
    m_detector->setInterval(kProbePeriodMs);
    // Its period is the upkeep's, which knows when the main connection answers for it.
    m_detector->setEnabled(false);
    m_probeTimer = makeTimer(this, "probePeriod", kProbePeriodMs);
    connect(m_probeTimer, &QTimer::timeout, this, &ConnectionUpkeep::onProbeTick);
    m_probeTimer->start();
    connect(m_detector, &TXNetDetect::ConnectionStatus, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });
    connect(m_detector, &TXNetDetect::ConnectionStatusChanged, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });

    m_bootstrapTimer = makeTimer(this, "FTPCSpermit", 5000);
    connect(m_bootstrapTimer, &QTimer::timeout, this, &ConnectionUpkeep::onBootstrapTick);
    m_bootstrapTimer->start();
    m_keepAliveTimer = makeTimer(this, "nooper", 30000);
    connect(m_keepAliveTimer, &QTimer::timeout, this, &ConnectionUpkeep::onKeepAliveTick);
    m_keepAliveTimer->start();
    m_reconnectTimer = makeTimer(this, "longtimer", 120000);
    connect(m_reconnectTimer, &QTimer::timeout, this, &ConnectionUpkeep::reconnectDue);
    m_reconnectTimer->start();
    m_noNetworkTimer = makeTimer(this, "nonet", 3000);
    connect(m_noNetworkTimer, &QTimer::timeout, this, &ConnectionUpkeep::onNoNetworkTick);
}

void ConnectionUpkeep::requestCheck()
{
    if (!m_probeTimer->isActive())
        m_probeTimer->start(m_unreachableWaitMs > 0 ? m_unreachableWaitMs : kProbePeriodMs);
    m_detector->requestCheck();
}

void ConnectionUpkeep::requestCheckUnlessWaiting()
{
    if (m_unreachableWaitMs == 0)
        requestCheck();
}

void ConnectionUpkeep::onProbeTick()
{
    // A reply on the main connection within twice the keep-alive's period says the network
    // is there; the connection is used at least that often while it is open.
    const bool answered = m_session.mainAnsweredWithin(2 * m_keepAliveTimer->interval());
    if (m_reachable) {
        if (!answered)
            m_detector->timerTick();
        return;
    }
    // An answer of the main server starts the pauses over.
    if (answered && m_unreachableWaitMs > kFirstRecheckMs) {
        m_unreachableWaitMs = kFirstRecheckMs;
        m_probeTimer->start(m_unreachableWaitMs);
    }
    m_detector->requestCheck();
}

void ConnectionUpkeep::startNoNetworkPause()
{
    m_noNetworkTimer->start();
}

void ConnectionUpkeep::onConnectionStatus(bool reachable)
{
    m_session.setOnline(reachable);
    m_state.setOnline(reachable);
    m_reachable = reachable;
    if (reachable) {
        m_unreachableWaitMs = 0;
        if (m_probeTimer->isActive() && m_probeTimer->interval() != kProbePeriodMs)
            m_probeTimer->start(kProbePeriodMs);
    } else {
        m_unreachableWaitMs = m_unreachableWaitMs == 0
                                  ? kFirstRecheckMs
                                  : std::min(2 * m_unreachableWaitMs, kLongestRecheckMs);
        // Asked again after the pause, whatever stopped the period before.
        m_probeTimer->start(m_unreachableWaitMs);
    }
    emit connectivityReported(reachable);
}

void ConnectionUpkeep::onBootstrapTick()
{
    // After an unreachable answer the detector asks again on its own pauses.
    if (!m_session.online())
        requestCheckUnlessWaiting();
    m_session.bootstrap();
}

void ConnectionUpkeep::onBootstrapped(const BootstrapResult& result)
{
    if (!result.problem.isEmpty())
        emit settingsProblem(result.problem);
    if (result.outcome == BootstrapOutcome::Fetched ||
        result.outcome == BootstrapOutcome::EarlierCopy) {
        qCInfo(lcUpkeep) << "main server configured:" << result.host;
        m_bootstrapTimer->stop();
    }
}

void ConnectionUpkeep::onKeepAliveTick()
{
    // Not while other work used the connection within the period; a little less than the
    // period, so that a tick that comes a few milliseconds early still sends its own.
    const int period = m_keepAliveTimer->interval();
    m_session.keepAlive(period - period / 10);
}

void ConnectionUpkeep::onNoNetworkTick()
{
    m_detector->requestCheck();
    m_noNetworkTimer->stop();
    emit noNetworkPauseOver();
}
