#include "core/PictureFit.h"

#include <algorithm>

namespace fit {

namespace {

// a * b / c, rounded to the nearest whole number; 64 bits, as a picture side times a box side
// can pass the range of an int.
int scaledSide(qint64 a, qint64 b, qint64 c)
{
    return static_cast<int>(std::max<qint64>(1, (2 * a * b + c) / (2 * c)));
}

} // namespace

QRect scaledInto(QSize picture, QSize box)
{
    if (picture.isEmpty() || box.isEmpty())
        return {};
    QSize fitted;
    // Compare the proportions without division: is the picture wider than the box?
    if (qint64(picture.width()) * box.height() >= qint64(picture.height()) * box.width())
        fitted = QSize(box.width(), scaledSide(picture.height(), box.width(), picture.width()));
    else
        fitted = QSize(scaledSide(picture.width(), box.height(), picture.height()), box.height());
    return {QPoint((box.width() - fitted.width()) / 2, (box.height() - fitted.height()) / 2),
            fitted};
}

QPoint centredOn(const QRect& screen, QSize window)
{
    return {screen.x() + screen.width() / 2 - window.width() / 2,
            screen.y() + screen.height() / 2 - window.height() / 2};
}

} // namespace fit
