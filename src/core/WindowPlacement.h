#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the program puts its windows. Every area here is a screen's available area, the part
// that panels and docks leave free: a window placed against the whole screen can open under a
// panel or off the screen.
namespace placement {

// The top-left corner nearest to topLeft that keeps a window of this size inside the area; a
// window larger than the area keeps its top-left corner on the area's.
QPoint keepInside(QPoint topLeft, QSize window, const QRect& area);

// The new-message popup, at whatever width its text gave it: centred at the top of the area.
QPoint popupTopCentre(const QRect& area, QSize popup);
// The "+" square the popup shrinks to: at the top, 150 pixels short of the area's right edge.
QPoint popupSquare(const QRect& area, QSize square);

} // namespace placement
