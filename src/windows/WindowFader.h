#pragma once

#include "core/Fade.h"

#include <QObject>

class QTimer;
class QWidget;

// The fade of one window: its fade timer, the opacity steps and the window's opacity after
// every step. What the ends of a fade mean (hide, close, open another window, shrink) is the
// window's own business; it listens to fadedIn and fadedOut.
class WindowFader : public QObject
{
    Q_OBJECT

public:
    // Creates the window's fade timer, stopped, as a child of the window under `timerName`.
    WindowFader(QWidget* window, const QString& timerName, int full = 245, int step = 35);

    // From transparent up to full opacity.
    void fadeIn();
    // From full opacity down to transparent, also when a fade-in is half way.
    void fadeOut();
    // One step, as each tick of the timer runs it.
    void tick();
    // Stops where the fade stands, without reaching either end.
    void stop();

    // True while the timer runs, in either direction.
    bool running() const;
    const Fade& fade() const { return m_fade; }
    QTimer* timer() const { return m_timer; }

signals:
    // Full opacity; the timer has stopped.
    void fadedIn();
    // Transparent; the timer has stopped.
    void fadedOut();

private:
    void apply();

    QWidget* m_window;
    QTimer* m_timer;
    Fade m_fade;
};
