// What the main window shows of its hold on the servers: the connectivity the upkeep reports,
// the directory the main connection brings, and the sign-in part of the periodic reconnection.
// The upkeep itself (detector and timers) is the session's.
#include "windows/ContactsView.h"
#include "windows/SignInView.h"
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

ClientSession& TNetwork::session()
{
    return m_ctx.session();
}

void TNetwork::createServerAccess()
{
    ClientSession& s = session();
    connect(&s, &ClientSession::mainConnectionOpened, this,
            [this] { m_signIn->setSignedOut(false); });
    connect(&s, &ClientSession::connected, this, &TNetwork::onConnected);

    m_connectionStatus = new QLabel(QStringLiteral("lblStatus"), this);
    m_connectionStatus->setObjectName(QStringLiteral("lblStatus"));
    m_connectionStatus->hide();

    ConnectionUpkeep& upkeep = m_ctx.upkeep();
    connect(&upkeep, &ConnectionUpkeep::connectivityReported, this, &TNetwork::onConnectionStatus);
    connect(&upkeep, &ConnectionUpkeep::reconnectDue, this, &TNetwork::onReconnectTick);
    connect(&upkeep, &ConnectionUpkeep::noNetworkPauseOver, this,
            [this] { m_ui.signIn.signInButton->setText(m_ctx.text(StringTable::kTxtSignIn)); });
    // Made after the detector's first answer: the screen shows what it said.
    if (m_ctx.state().connection().networkKnown())
        showConnectivity(m_ctx.state().online());
}

void TNetwork::requestConnectivityCheck()
{
    m_ctx.upkeep().requestCheck();
}

void TNetwork::startNoNetworkPause()
{
    m_ctx.upkeep().startNoNetworkPause();
}

bool TNetwork::connected() const
{
    return m_ctx.session().online();
}

void TNetwork::showConnectivity(bool reachable)
{
    m_connectionStatus->setText(QString::fromUtf16(reachable ? kConnectedText : kDisconnectedText));
    if (reachable)
        m_ui.signIn.signInButton->setText(m_ctx.text(StringTable::kTxtSignIn));
}

void TNetwork::onConnectionStatus(bool reachable)
{
    showConnectivity(reachable);
    if (reachable) {
        m_signIn->setSignedOut(false);
        m_signedInMark = 0;
        m_signIn->autoSignIn();
        emit connectionStateChanged(true);
        return;
    }
    if (m_signIn->accountRecord().option == u"autologin")
        m_signIn->allowAutoSignInAgain();
    emit connectionStateChanged(false);
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
