#pragma once

#include <QString>
#include <QtGlobal>

// How long an automatic retry waits after a failure that trying again at once would only repeat:
// a file on the server larger than the program reads, or a step that fails the same way twice.
// Without a pause such a retry downloads and fails for as long as the program runs.
namespace retrypacing {

inline constexpr qint64 kFirstPauseMs = 5'000;
inline constexpr qint64 kLongestPauseMs = 5 * 60'000;

enum class Failure
{
    Offline, // no network: going round again costs nothing and ends when it is back
    Step,    // a step failed on the server; its text tells one failure from another
    Refused  // a file on the server is larger than the program reads, until someone replaces it
};

// The pause after `inARow` paused failures in a row: none for 0, then `firstMs`, doubling at
// each further one up to `longestMs`.
qint64 pauseMs(int inARow, qint64 firstMs = kFirstPauseMs, qint64 longestMs = kLongestPauseMs);

// Whether a failure calls for a pause: a refusal always, a step when it repeats the previous
// failure's text, being offline never.
bool backsOff(Failure failure, const QString& text, const QString& previousText);

// The failures of one sequence of attempts, as they come.
class Pacing
{
public:
    explicit Pacing(qint64 firstMs = kFirstPauseMs, qint64 longestMs = kLongestPauseMs)
        : m_first(firstMs), m_longest(longestMs)
    {
    }

    // Notes a failed attempt and returns the pause before the next one, 0 for at once. Being
    // offline changes nothing; a different step failure starts the count over.
    qint64 failed(Failure failure, const QString& text);
    // An attempt got through: the next failure starts over.
    void succeeded();
    int pausedInARow() const { return m_inARow; }

private:
    qint64 m_first;
    qint64 m_longest;
    int m_inARow = 0;
    QString m_previous;
};

} // namespace retrypacing
