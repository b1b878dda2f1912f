#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

// Tells whether the network is reachable by opening an address in a short-lived worker
// thread, on request or on a timer; answers arrive as signals on the owner's thread.
class TXNetDetect : public QObject
{
    Q_OBJECT

public:
    // Checks once at once, with the defaults, as soon as it exists.
    explicit TXNetDetect(const QString& url, QObject* parent = nullptr);
    ~TXNetDetect() override;

    QString Url() const { return m_url; }
    void setUrl(const QString& url) { m_url = url; }
    int TimeOut() const { return m_timeOut; }
    void setTimeOut(int ms) { m_timeOut = ms; }
    int Interval() const { return m_timer.interval(); }
    // Periods of 999 ms or less would flood the network; they are ignored.
    void setInterval(int ms);
    bool Enabled() const { return m_timer.isActive(); }
    void setEnabled(bool on);

    // A check whose answer is always reported through ConnectionStatus.
    void requestCheck();
    // The timer's check; its answer is reported only when it changed.
    void timerTick();
    bool lastAnswer() const { return m_lastAnswer; }

signals:
    // After every requested check.
    void ConnectionStatus(TXNetDetect* sender, bool reachable);
    // After a timer check whose answer differs from the one before.
    void ConnectionStatusChanged(TXNetDetect* sender, bool reachable);

private:
    void startCheck(bool requested);
    void complete(quint64 check, bool reachable);

    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QString m_url;
    int m_timeOut = 500;
    QTimer m_timer;
    bool m_lastAnswer = false;
    bool m_changeAnswer = false;
    bool m_requested = false;
    quint64 m_latestCheck = 0;
};

// The probe itself: "http://host[:port]/path" is opened with a HEAD request and counts when the
// server answers; "host:port" counts when a TCP connection is accepted. The connect timeout is
// timeoutMs; a web server gets a few seconds more to answer.
bool probeAddress(const QString& address, int timeoutMs);
