#pragma once

#include <QObject>
#include <QString>

class ClientSession;
class ClientState;
class QTimer;
class TXNetDetect;
struct BootstrapResult;

// The client's hold on the servers, apart from any window: it asks whether the network is
// there, fetches the main server's settings until it has them, keeps the main connection
// alive and says when it is time to open it afresh. It owns the timers of that upkeep and
// tells the session and the state what it learns; the windows only show it.
class ConnectionUpkeep : public QObject
{
    Q_OBJECT

public:
    ConnectionUpkeep(ClientSession& session, ClientState& state, const QString& probeAddress,
                     QObject* parent = nullptr);

    // Asks the detector now, and keeps it asking on its period.
    void requestCheck();
    // The same, unless an unreachable answer is being asked again after its pause already.
    void requestCheckUnlessWaiting();
    // The pause after a sign-in found no network, after which the screen offers it again.
    void startNoNetworkPause();

    // The timers' work, as each tick runs it.
    void onBootstrapTick(); // FTPCSpermitTimer
    void onKeepAliveTick(); // idftperTimer
    void onNoNetworkTick(); // nonetTimer
    // The detector's period: a probe unless the main connection has just answered.
    void onProbeTick();

signals:
    // Every answer of the detector, the same one again included.
    void connectivityReported(bool reachable);
    // The settings file of the main server is too short to use (told once).
    void settingsProblem(const QString& text);
    // The periodic reconnection is due; what it means for the screen is the window's to say.
    void reconnectDue(); // longtimerTimer
    // The pause without network is over.
    void noNetworkPauseOver();

private:
    void onConnectionStatus(bool reachable); // XNetDetect1ConnectionStatus
    void onBootstrapped(const BootstrapResult& result);

    ClientSession& m_session;
    ClientState& m_state;
    TXNetDetect* m_detector = nullptr;  // XNetDetect1
    QTimer* m_bootstrapTimer = nullptr; // FTPCSpermit
    QTimer* m_keepAliveTimer = nullptr; // nooper
    QTimer* m_reconnectTimer = nullptr; // longtimer
    QTimer* m_noNetworkTimer = nullptr; // nonet
    // The detector's period; probes are skipped while the main connection answers, and after an
    // unreachable answer the next one waits longer each time.
    QTimer* m_probeTimer = nullptr;
    bool m_reachable = false;    // the last answer
    int m_unreachableWaitMs = 0; // 0 while the last answer was reachable
};
