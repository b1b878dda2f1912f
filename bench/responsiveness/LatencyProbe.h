#pragma once

// How long the thread that owns it was unable to run its events: a 10 ms timer whose lateness
// is recorded at every timeout. A timeout that comes 500 ms after the one before was held up
// for 490 ms, whatever held the thread (a blocking call, a long handler, a nested loop that
// did not return).
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <vector>

struct StallSummary
{
    // From here on a stall is one a user notices: a click or a key that does nothing.
    static constexpr double kNoticeableMs = 50;

    int samples = 0;
    double longestMs = 0;
    double p99Ms = 0;
    double spanMs = 0;       // from start to stop
    int noticeable = 0;      // stalls of kNoticeableMs or more
    double noticeableMs = 0; // their sum: how long the window was seen frozen
};

// The summary of lateness values (ms) over a span; the percentile is the nearest rank.
StallSummary summariseStalls(std::vector<double> latenessMs, double spanMs);

class LatencyProbe : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPeriodMs = 10;

    explicit LatencyProbe(QObject* parent = nullptr);
    void start();
    void stop();
    bool running() const { return m_timer.isActive(); }
    // What was recorded between start() and stop(), or until now while it runs.
    StallSummary summary() const;

private:
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    qint64 m_stopNs = -1;
    std::vector<double> m_latenessMs;
};
