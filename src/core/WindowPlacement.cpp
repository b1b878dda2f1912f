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

} // namespace placement
