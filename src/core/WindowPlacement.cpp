#include "core/WindowPlacement.h"

#include <algorithm>

namespace placement {

namespace {

int keepAxis(int start, int length, int areaStart, int areaLength)
{
    return std::max(areaStart, std::min(start, areaStart + areaLength - length));
}

} // namespace

QPoint keepInside(QPoint topLeft, QSize window, const QRect& area)
{
    return {keepAxis(topLeft.x(), window.width(), area.x(), area.width()),
            keepAxis(topLeft.y(), window.height(), area.y(), area.height())};
}

QPoint popupTopCentre(const QRect& area, QSize popup)
{
    return keepInside({area.x() + area.width() / 2 - popup.width() / 2, area.y()}, popup, area);
}

QPoint popupSquare(const QRect& area, QSize square)
{
    constexpr int kRightGap = 150;
    return keepInside({area.x() + area.width() - square.width() - kRightGap, area.y()}, square,
                      area);
}

} // namespace placement
