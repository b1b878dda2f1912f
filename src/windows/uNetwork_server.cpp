// The main window's hold on the servers: connectivity, the bootstrap of the main server's
// settings, and the upkeep of the main connection. The work itself runs in the client session;
// this file starts it on the timers and shows what comes back.
#include "windows/ContactsView.h"
#include "windows/SignInView.h"
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "net/ServerAddress.h"
#include "net/XNetDetect.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "windows/UpdateWatch.h"

#include <QLabel>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTimer>

namespace {

Q_LOGGING_CATEGORY(lcServer, "larkspire.server")

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

ClientSession& TNetwork::session()
{
    return m_ctx.session();
}

void TNetwork::createServerAccess()
{
    ClientSession& s = session();
    connect(&s, &ClientSession::mainConnectionOpened, this,
            [this] { m_signIn->setSignedOut(false); });
    connect(&s, &ClientSession::bootstrapped, this, &TNetwork::onBootstrapped);
    connect(&s, &ClientSession::connected, this, &TNetwork::onConnected);

    m_connectionStatus = new QLabel(QStringLiteral("lblStatus"), this);
    m_connectionStatus->setObjectName(QStringLiteral("lblStatus"));
    m_connectionStatus->hide();

    m_netDetector = new TXNetDetect(connectivityProbeUrl(), this);
    m_netDetector->setObjectName(QStringLiteral("XNetDetect1"));
    m_netDetector->setTimeOut(500);
    m_netDetector->setInterval(2000);
    m_netDetector->setEnabled(true);
    connect(m_netDetector, &TXNetDetect::ConnectionStatus, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });
    connect(m_netDetector, &TXNetDetect::ConnectionStatusChanged, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });

    m_bootstrapTimer = makeTimer(this, "FTPCSpermit", 5000);
    connect(m_bootstrapTimer, &QTimer::timeout, this, &TNetwork::onBootstrapTick);
    m_bootstrapTimer->start();
    m_keepAliveTimer = makeTimer(this, "nooper", 30000);
    connect(m_keepAliveTimer, &QTimer::timeout, this, &TNetwork::onKeepAliveTick);
    m_keepAliveTimer->start();
    m_reconnectTimer = makeTimer(this, "longtimer", 120000);
    connect(m_reconnectTimer, &QTimer::timeout, this, &TNetwork::onReconnectTick);
    m_reconnectTimer->start();
    m_noNetworkTimer = makeTimer(this, "nonet", 3000);
    connect(m_noNetworkTimer, &QTimer::timeout, this, &TNetwork::onNoNetworkTick);
    m_updateWatch = new UpdateWatch(m_ctx, *this);
}

void TNetwork::requestConnectivityCheck()
{
    m_netDetector->setEnabled(true);
    m_netDetector->requestCheck();
}

void TNetwork::startNoNetworkPause()
{
    m_noNetworkTimer->start();
}

bool TNetwork::connected() const
{
    return m_ctx.session().online();
}

void TNetwork::onConnectionStatus(bool reachable)
{
    session().setOnline(reachable);
    m_ctx.state().setOnline(reachable);
    if (reachable) {
        m_connectionStatus->setText(QString::fromUtf16(kConnectedText));
        m_ui.signInButton->setText(m_ctx.text(StringTable::kTxtSignIn));
        m_signIn->setSignedOut(false);
        m_signedInMark = 0;
        m_signIn->autoSignIn();
        emit connectionStateChanged(true);
        return;
    }
    m_connectionStatus->setText(QString::fromUtf16(kDisconnectedText));
    m_netDetector->setEnabled(true);
    QTimer::singleShot(kRecheckPauseMs, m_netDetector, &TXNetDetect::requestCheck);
    if (m_signIn->accountRecord().option == u"autologin")
        m_signIn->allowAutoSignInAgain();
    emit connectionStateChanged(false);
}

void TNetwork::onBootstrapTick()
{
    if (!connected()) {
        m_netDetector->setEnabled(true);
        m_netDetector->requestCheck();
    }
    session().bootstrap();
}

void TNetwork::onBootstrapped(const BootstrapResult& result)
{
    if (!result.problem.isEmpty())
        m_ctx.platform().desktop->showError(result.problem);
    if (result.outcome == BootstrapOutcome::Fetched ||
        result.outcome == BootstrapOutcome::EarlierCopy) {
        qCInfo(lcServer) << "main server configured:" << result.host;
        m_bootstrapTimer->stop();
    }
}

void TNetwork::onKeepAliveTick()
{
    session().keepAlive();
}

void TNetwork::connectMain()
{
    session().connectMain();
}

void TNetwork::applyDirectory(const ConnectResult& result)
{
    if (result.opening != MainOpening::Opened)
        return;
    const QString user = m_sessionUser;
    const QString shownName = m_ctx.state().user();
    m_ctx.state().changeDirectory([&](UserDirectory& d) {
        if (!d.users().isEmpty())
            d.reload(result.directory, user);
        else
            d.firstFill(result.directory, shownName);
    });
    m_contacts->showUsers();
}

void TNetwork::onConnected(const ConnectResult& result)
{
    applyDirectory(result);
}

void TNetwork::onReconnectTick()
{
    if (!isVisible()) {
        if (m_signedIn)
            session().reconnect();
        m_signIn->autoSignInFromRecord();
    }
    m_contacts->restartPolling();
}

void TNetwork::onNoNetworkTick()
{
    m_netDetector->requestCheck();
    m_ui.signInButton->setText(m_ctx.text(StringTable::kTxtSignIn));
    m_noNetworkTimer->stop();
}
