#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

namespace fit {

// Where a picture goes in a box when it is scaled up or down to fit, keeping its proportions,
// and centred; an empty rectangle for an empty picture or box. A side that the scaling makes
// thinner than a pixel keeps one pixel, so a picture never disappears.
QRect scaledInto(QSize picture, QSize box);

// The top-left corner that centres a window on a screen: half the screen less half the window,
// each halved with the remainder dropped.
QPoint centredOn(const QRect& screen, QSize window);

} // namespace fit
