#pragma once

#include <QtGlobal>

#include <algorithm>

// Spaces out the attempts to open a connection after failures, so that a dead or silent server
// costs a few attempts a minute instead of one at every timer tick: after the first failure the
// next attempt waits 2 s, each further failure doubles the wait up to 60 s, and a success
// starts over. Times are milliseconds of a monotonic clock, passed in by the caller.
class ConnectBackoff
{
public:
    static constexpr qint64 kFirstWaitMs = 2'000;
    static constexpr qint64 kLongestWaitMs = 60'000;

    explicit ConnectBackoff(qint64 firstWaitMs = kFirstWaitMs,
                            qint64 longestWaitMs = kLongestWaitMs)
        : m_first(firstWaitMs), m_longest(longestWaitMs)
    {
    }

    bool mayTry(qint64 nowMs) const { return m_wait == 0 || nowMs >= m_next; }
    // How long until the next attempt may start; 0 when it may start now.
    qint64 waitLeftMs(qint64 nowMs) const { return mayTry(nowMs) ? 0 : m_next - nowMs; }
    qint64 currentWaitMs() const { return m_wait; }

    void failed(qint64 nowMs)
    {
        m_wait = m_wait == 0 ? m_first : std::min(m_longest, m_wait * 2);
        m_next = nowMs + m_wait;
    }
    void succeeded()
    {
        m_wait = 0;
        m_next = 0;
    }

private:
    qint64 m_first;
    qint64 m_longest;
    qint64 m_wait = 0;
    qint64 m_next = 0;
};
