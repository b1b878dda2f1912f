#include "session/ConnectionUpkeep.h"

#include "net/XNetDetect.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"

#include <QLoggingCategory>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcUpkeep, "larkspire.server")

// An unreachable answer is asked again after this pause rather than at once: a refused
// connection answers in microseconds, and asking back to back would spin a processor core.
constexpr int kRecheckPauseMs = 1000;

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
    m_detector->setInterval(2000);
    m_detector->setEnabled(true);
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
    m_detector->setEnabled(true);
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
    if (!reachable) {
        m_detector->setEnabled(true);
        QTimer::singleShot(kRecheckPauseMs, m_detector, &TXNetDetect::requestCheck);
    }
    emit connectivityReported(reachable);
}

void ConnectionUpkeep::onBootstrapTick()
{
    if (!m_session.online())
        requestCheck();
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
    m_session.keepAlive();
}

void ConnectionUpkeep::onNoNetworkTick()
{
    m_detector->requestCheck();
    m_noNetworkTimer->stop();
    emit noNetworkPauseOver();
}
