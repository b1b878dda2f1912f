#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

// The larkspur spike: the program's mark on the icon, the mini bar and the backgrounds.
namespace emblem {

struct Colours
{
    QColor petalLight;
    QColor petalDeep;
    QColor stem;
    QColor eye; // centre of each open floret
};

Colours goldOnWine();

// Fine suits large pictures; Bold has fewer, larger florets for small ones.
enum class Detail
{
    Fine,
    Bold
};

// Paints the spike into box (kept square, centred), scaled from its 100 x 100 design.
void paint(QPainter& painter, const QRectF& box, const Colours& colours,
           Detail detail = Detail::Fine);

} // namespace emblem
