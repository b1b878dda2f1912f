// The main window's hold on the servers: connectivity, the bootstrap of the main server's
// settings, and the upkeep of the main connection.
#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "net/ServerAddress.h"
#include "net/ServerSession.h"
#include "net/XNetDetect.h"
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

void TNetwork::createServerAccess()
{
    ServerSession::Config config;
    config.settingsServer = settingsServerAddress();
    config.tempDataDir = m_ctx.folders().tempDataDir;
    // Every successful connect of the main connection clears the sign-out mark.
    config.onConnected = [this] { signOutMark = QStringLiteral("0"); };
    m_session = std::make_unique<ServerSession>(config);

    lblStatus = new QLabel(m_session->status(), this);
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
    return m_session->online();
}

void TNetwork::XNetDetect1ConnectionStatus(bool reachable)
{
    if (reachable) {
        m_session->setStatus(QString::fromUtf16(ServerSession::kConnected));
        lblStatus->setText(m_session->status());
        Button2->setText(m_ctx.text(131));
        signOutMark = QStringLiteral("0");
        signedInMark = 0;
        autologin();
        return;
    }
    m_session->setStatus(QString::fromUtf16(ServerSession::kDisconnected));
    lblStatus->setText(m_session->status());
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
    if (m_session->busy())
        return;
    const ServerSession::Busy busy(*m_session);
    QString problem;
    const auto outcome = m_session->bootstrapTick(&problem);
    if (!problem.isEmpty())
        m_ctx.platform().desktop->showError(problem);
    if (outcome == ServerSession::Bootstrap::Fetched ||
        outcome == ServerSession::Bootstrap::EarlierCopy) {
        qCInfo(lcServer) << "main server configured:" << m_session->IdFTP1().settings().host;
        FTPCSpermit->stop();
    }
}

void TNetwork::idftperTimer()
{
    if (m_session->busy())
        return;
    try {
        m_session->keepAlive();
    } catch (const Error& e) {
        // Servers drop idle connections; the next piece of work connects again, so this is
        // no news for the user.
        qCInfo(lcServer) << "no-op failed:" << e.message();
        m_session->closeMain();
    }
}

void TNetwork::FTPConnect()
{
    if (m_session->busy())
        return;
    const auto opening = [this] {
        const ServerSession::Busy busy(*m_session);
        return m_session->FTPConnect();
    }();
    if (opening != ServerSession::Opening::Opened)
        return;
    if (!directory().users().isEmpty())
        USERSRELOAD();
    else
        firstFill();
}

void TNetwork::longtimerTimer()
{
    if (!isVisible()) {
        if (!User->isHidden()) {
            m_session->closeMain();
            FTPConnect();
            msgrld->start();
        }
        autoSignInFromRecord();
    }
    msgrld->start();
}

void TNetwork::nonetTimer()
{
    XNetDetect1->requestCheck();
    Button2->setText(m_ctx.text(131));
    nonet->stop();
}
