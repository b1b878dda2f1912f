// The main window's hold on the servers: connectivity, the bootstrap of the main server's
// settings, and the upkeep of the main connection. The work itself runs in the client session;
// this file starts it on the timers and shows what comes back.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "net/ServerAddress.h"
#include "net/XNetDetect.h"
#include "session/ClientSession.h"
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
    connect(&s, &ClientSession::mainConnectionOpened, this, [this] { m_signedOut = false; });
    connect(&s, &ClientSession::bootstrapped, this, &TNetwork::onBootstrapped);
    connect(&s, &ClientSession::connected, this, &TNetwork::onConnected);

    lblStatus = new QLabel(QStringLiteral("lblStatus"), this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->hide();

    XNetDetect1 = new TXNetDetect(connectivityProbeUrl(), this);
    XNetDetect1->setObjectName(QStringLiteral("XNetDetect1"));
    XNetDetect1->setTimeOut(500);
    XNetDetect1->setInterval(2000);
    XNetDetect1->setEnabled(true);
    connect(XNetDetect1, &TXNetDetect::ConnectionStatus, this,
            [this](TXNetDetect*, bool reachable) { XNetDetect1ConnectionStatus(reachable); });
    connect(XNetDetect1, &TXNetDetect::ConnectionStatusChanged, this,
            [this](TXNetDetect*, bool reachable) { XNetDetect1ConnectionStatus(reachable); });

    FTPCSpermit = makeTimer(this, "FTPCSpermit", 5000);
    connect(FTPCSpermit, &QTimer::timeout, this, &TNetwork::FTPCSpermitTimer);
    FTPCSpermit->start();
    nooper = makeTimer(this, "nooper", 30000);
    connect(nooper, &QTimer::timeout, this, &TNetwork::idftperTimer);
    nooper->start();
    longtimer = makeTimer(this, "longtimer", 120000);
    connect(longtimer, &QTimer::timeout, this, &TNetwork::longtimerTimer);
    longtimer->start();
    nonet = makeTimer(this, "nonet", 3000);
    connect(nonet, &QTimer::timeout, this, &TNetwork::nonetTimer);
    updateWatch = new UpdateWatch(m_ctx, *this);
}

bool TNetwork::connected() const
{
    return m_ctx.session().online();
}

void TNetwork::XNetDetect1ConnectionStatus(bool reachable)
{
    session().setOnline(reachable);
    if (reachable) {
        lblStatus->setText(QString::fromUtf16(kConnectedText));
        Button2->setText(m_ctx.text(kTxtSignIn));
        m_signedOut = false;
        signedInMark = 0;
        autologin();
        return;
    }
    lblStatus->setText(QString::fromUtf16(kDisconnectedText));
    XNetDetect1->setEnabled(true);
    QTimer::singleShot(kRecheckPauseMs, XNetDetect1, &TXNetDetect::requestCheck);
    if (mem.option == u"autologin")
        AutologinDone = false;
}

void TNetwork::FTPCSpermitTimer()
{
    if (!connected()) {
        XNetDetect1->setEnabled(true);
        XNetDetect1->requestCheck();
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
        FTPCSpermit->stop();
    }
}

void TNetwork::idftperTimer()
{
    session().keepAlive();
}

void TNetwork::FTPConnect()
{
    session().connectMain();
}

void TNetwork::applyDirectory(const ConnectResult& result)
{
    if (result.opening != MainOpening::Opened)
        return;
    if (!directory().users().isEmpty())
        m_directory.reload(result.directory, SessionUser);
    else
        m_directory.firstFill(result.directory, User->text());
    showUsers();
}

void TNetwork::onConnected(const ConnectResult& result)
{
    applyDirectory(result);
}

void TNetwork::longtimerTimer()
{
    if (!isVisible()) {
        if (m_signedIn)
            session().reconnect();
        autoSignInFromRecord();
    }
    msgrld->start();
}

void TNetwork::nonetTimer()
{
    XNetDetect1->requestCheck();
    Button2->setText(m_ctx.text(kTxtSignIn));
    nonet->stop();
}
