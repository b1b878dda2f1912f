#include "LatencyProbe.h"

#include <algorithm>
#include <cmath>
#include <numeric>

StallSummary summariseStalls(std::vector<double> latenessMs, double spanMs)
{
    StallSummary s;
    s.spanMs = spanMs;
    s.samples = static_cast<int>(latenessMs.size());
    if (latenessMs.empty())
        return s;
    std::sort(latenessMs.begin(), latenessMs.end());
    s.longestMs = latenessMs.back();
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * latenessMs.size()));
    s.p99Ms = latenessMs[std::max<std::size_t>(rank, 1) - 1];
    const auto from =
        std::lower_bound(latenessMs.begin(), latenessMs.end(), StallSummary::kNoticeableMs);
    s.noticeable = static_cast<int>(latenessMs.end() - from);
    s.noticeableMs = std::accumulate(from, latenessMs.end(), 0.0);
    return s;
}

LatencyProbe::LatencyProbe(QObject* parent) : QObject(parent)
{
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(kPeriodMs);
    connect(&m_timer, &QTimer::timeout, this, &LatencyProbe::tick);
}

void LatencyProbe::start()
{
    m_latenessMs.clear();
    m_latenessMs.reserve(64 * 1024);
    m_stopNs = -1;
    m_clock.start();
    m_lastNs = 0;
    m_timer.start();
}

void LatencyProbe::stop()
{
    if (!m_timer.isActive())
        return;
    // A stall still going on when the measurement ends counts too.
    tick();
    m_timer.stop();
    m_stopNs = m_clock.nsecsElapsed();
}

void LatencyProbe::tick()
{
    const qint64 now = m_clock.nsecsElapsed();
    // Measured from the previous timeout, not from the start: after a stall the timer does not
    // fire the missed timeouts, it goes on from where it is.
    const double late = (now - m_lastNs) / 1e6 - kPeriodMs;
    m_latenessMs.push_back(std::max(0.0, late));
    m_lastNs = now;
}

StallSummary LatencyProbe::summary() const
{
    const qint64 end = m_stopNs >= 0 ? m_stopNs : m_clock.nsecsElapsed();
    return summariseStalls(m_latenessMs, end / 1e6);
}
