#include "core/RetryPacing.h"

#include <algorithm>

namespace retrypacing {

qint64 pauseMs(int inARow, qint64 firstMs, qint64 longestMs)
{
    if (inARow <= 0)
        return 0;
    qint64 pause = firstMs;
    for (int n = 1; n < inARow && pause < longestMs; ++n)
        pause *= 2;
    return std::min(pause, longestMs);
}

bool backsOff(Failure failure, const QString& text, const QString& previousText)
{
    switch (failure) {
    case Failure::Offline:
        return false;
    case Failure::Step:
        return !text.isEmpty() && text == previousText;
    case Failure::Refused:
        return true;
    }
    return false;
}

qint64 Pacing::failed(Failure failure, const QString& text)
{
    if (failure == Failure::Offline)
        return 0;
    const bool pause = backsOff(failure, text, m_previous);
    m_previous = text;
    m_inARow = pause ? m_inARow + 1 : 0;
    return pauseMs(m_inARow, m_first, m_longest);
}

void Pacing::succeeded()
{
    m_inARow = 0;
    m_previous.clear();
}

} // namespace retrypacing
