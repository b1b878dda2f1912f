#pragma once

#include "windows/WindowFader.h"

#include <QList>
#include <QTimer>
#include <QWidget>

// Runs a window's fade step by step, as its timer "fx" would, until the fade ends; the
// opacities (0 to 255) the window took, in order.
inline QList<int> runFade(QWidget* window)
{
    auto* timer = window->findChild<QTimer*>(QStringLiteral("fx"));
    auto* fader = window->findChild<WindowFader*>();
    QList<int> seen;
    for (int tick = 0; timer && fader && tick < 200 && timer->isActive(); ++tick) {
        fader->tick();
        seen.append(qRound(window->windowOpacity() * 255));
    }
    return seen;
}
