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
#include "windows/uMinimized.h"

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
            [this] { m_signIn->signedOut = false; });
    connect(&s, &ClientSession::bootstrapped, this, &TNetwork::onBootstrapped);
    connect(&s, &ClientSession::connected, this, &TNetwork::onConnected);

    connectionStatus = new QLabel(QStringLiteral("lblStatus"), this);
    connectionStatus->setObjectName(QStringLiteral("lblStatus"));
    connectionStatus->hide();

    netDetector = new TXNetDetect(connectivityProbeUrl(), this);
    netDetector->setObjectName(QStringLiteral("XNetDetect1"));
    netDetector->setTimeOut(500);
    netDetector->setInterval(2000);
    netDetector->setEnabled(true);
    connect(netDetector, &TXNetDetect::ConnectionStatus, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });
    connect(netDetector, &TXNetDetect::ConnectionStatusChanged, this,
            [this](TXNetDetect*, bool reachable) { onConnectionStatus(reachable); });

    bootstrapTimer = makeTimer(this, "FTPCSpermit", 5000);
    connect(bootstrapTimer, &QTimer::timeout, this, &TNetwork::onBootstrapTick);
    bootstrapTimer->start();
    keepAliveTimer = makeTimer(this, "nooper", 30000);
    connect(keepAliveTimer, &QTimer::timeout, this, &TNetwork::onKeepAliveTick);
    keepAliveTimer->start();
    reconnectTimer = makeTimer(this, "longtimer", 120000);
    connect(reconnectTimer, &QTimer::timeout, this, &TNetwork::onReconnectTick);
    reconnectTimer->start();
    noNetworkTimer = makeTimer(this, "nonet", 3000);
    connect(noNetworkTimer, &QTimer::timeout, this, &TNetwork::onNoNetworkTick);
    updateWatch = new UpdateWatch(m_ctx, *this);
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
        connectionStatus->setText(QString::fromUtf16(kConnectedText));
        signInButton->setText(m_ctx.text(StringTable::kTxtSignIn));
        m_signIn->signedOut = false;
        signedInMark = 0;
        m_signIn->autoSignIn();
        emit connectionStateChanged(true);
        return;
    }
    connectionStatus->setText(QString::fromUtf16(kDisconnectedText));
    netDetector->setEnabled(true);
    QTimer::singleShot(kRecheckPauseMs, netDetector, &TXNetDetect::requestCheck);
    if (m_signIn->accountRecord.option == u"autologin")
        m_signIn->autoSignInDone = false;
    emit connectionStateChanged(false);
}

void TNetwork::onBootstrapTick()
{
    if (!connected()) {
        netDetector->setEnabled(true);
        netDetector->requestCheck();
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
        bootstrapTimer->stop();
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
    if (!directory().users().isEmpty())
        m_directory.reload(result.directory, sessionUser);
    else
        m_directory.firstFill(result.directory, ownNameLabel->text());
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
    m_contacts->pollTimer->start();
}

void TNetwork::onNoNetworkTick()
{
    netDetector->requestCheck();
    signInButton->setText(m_ctx.text(StringTable::kTxtSignIn));
    noNetworkTimer->stop();
}
