#pragma once

#include <QColor>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

class QPainter;

// Painting helpers shared by all pictures.
namespace draw {

// A picture ready to paint on, 16 bits per channel so soft gradients do not band;
// transparent ones keep their alpha channel.
QImage canvas(int width, int height, const QColor& fill = Qt::transparent);

// Antialiasing everywhere: every glyph is vector-drawn.
void prepare(QPainter& painter);

// Approximate Gaussian blur (three box passes), for shadows and glows.
QImage blurred(const QImage& image, int radius);

// A soft halo of the path's shape, painted under whatever comes next.
void glow(QImage& target, const QPainterPath& path, const QColor& color, int radius,
          QPointF offset = {});

// Five-pointed star, first point straight up.
QPainterPath star(QPointF centre, qreal outer, qreal inner);

// A tab hanging from the top edge: straight top, slanted sides, rounded lower corners.
QPainterPath hangingTab(const QRectF& rect, qreal slant, qreal radius);

// Down to 8 bits per channel with random rounding, which hides the steps of slow gradients.
// The noise is seeded, so every build draws the same pixels.
QImage flatten(const QImage& image, quint32 seed = 0x1a4cu);

// Vertical two-stop gradient over a rectangle.
QBrush vertical(const QRectF& rect, const QColor& top, const QColor& bottom);

} // namespace draw
