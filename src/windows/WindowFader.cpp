#include "windows/WindowFader.h"

#include <QTimer>
#include <QWidget>

WindowFader::WindowFader(QWidget* window, const QString& timerName, int full, int step)
    : QObject(window), m_window(window), m_timer(new QTimer(window)), m_fade(full, step)
{
    setObjectName(timerName + QStringLiteral("Fader"));
    m_timer->setObjectName(timerName);
    m_timer->setInterval(kFadeTickMs);
    connect(m_timer, &QTimer::timeout, this, &WindowFader::tick);
}

void WindowFader::fadeIn()
{
    m_fade.startIn();
    apply();
    m_timer->start();
}

void WindowFader::fadeOut()
{
    m_fade.startOut();
    apply();
    m_timer->start();
}

void WindowFader::tick()
{
    const Fade::Outcome outcome = m_fade.tick();
    apply();
    if (outcome == Fade::Outcome::Stepped)
        return;
    m_timer->stop();
    // Last: a listener may start the next fade at once.
    if (outcome == Fade::Outcome::FadedIn)
        emit fadedIn();
    else
        emit fadedOut();
}

void WindowFader::stop()
{
    m_timer->stop();
    m_fade.stop();
}

bool WindowFader::running() const
{
    return m_timer->isActive();
}

void WindowFader::apply()
{
    m_window->setWindowOpacity(m_fade.opacity());
}
