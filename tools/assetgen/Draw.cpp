#include "Draw.h"

#include <QLinearGradient>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace draw {

QImage canvas(int width, int height, const QColor& fill)
{
    QImage image(width, height, QImage::Format_RGBA64_Premultiplied);
    image.fill(fill);
    return image;
}

void prepare(QPainter& painter)
{
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
}

namespace {

// One box pass along rows (horizontal) or columns on premultiplied ARGB; the edges clamp.
void boxPass(QImage& image, int radius, bool horizontal)
{
    const int w = image.width();
    const int h = image.height();
    const int lines = horizontal ? h : w;
    const int length = horizontal ? w : h;
    const int window = 2 * radius + 1;
    std::vector<QRgb> line(static_cast<size_t>(length));
    for (int l = 0; l < lines; ++l) {
        auto at = [&](int i) -> QRgb* {
            return horizontal ? reinterpret_cast<QRgb*>(image.scanLine(l)) + i
                              : reinterpret_cast<QRgb*>(image.scanLine(i)) + l;
        };
        for (int i = 0; i < length; ++i)
            line[static_cast<size_t>(i)] = *at(i);
        auto px = [&](int i) { return line[static_cast<size_t>(std::clamp(i, 0, length - 1))]; };
        int sum[4] = {0, 0, 0, 0};
        for (int i = -radius; i <= radius; ++i) {
            const QRgb c = px(i);
            sum[0] += qAlpha(c);
            sum[1] += qRed(c);
            sum[2] += qGreen(c);
            sum[3] += qBlue(c);
        }
        for (int i = 0; i < length; ++i) {
            *at(i) = qRgba(sum[1] / window, sum[2] / window, sum[3] / window, sum[0] / window);
            const QRgb out = px(i - radius);
            const QRgb in = px(i + radius + 1);
            sum[0] += qAlpha(in) - qAlpha(out);
            sum[1] += qRed(in) - qRed(out);
            sum[2] += qGreen(in) - qGreen(out);
            sum[3] += qBlue(in) - qBlue(out);
        }
    }
}

} // namespace

QImage blurred(const QImage& image, int radius)
{
    QImage result = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (radius < 1)
        return result;
    // Three box passes of a third of the radius come close to a Gaussian.
    const int step = std::max(1, radius / 3);
    for (int pass = 0; pass < 3; ++pass) {
        boxPass(result, step, true);
        boxPass(result, step, false);
    }
    return result;
}

void glow(QImage& target, const QPainterPath& path, const QColor& color, int radius, QPointF offset)
{
    QImage layer = canvas(target.width(), target.height());
    {
        QPainter p(&layer);
        prepare(p);
        p.translate(offset);
        p.fillPath(path, color);
    }
    QPainter p(&target);
    p.drawImage(0, 0, blurred(layer, radius));
}

QPainterPath star(QPointF centre, qreal outer, qreal inner)
{
    QPainterPath path;
    for (int i = 0; i < 10; ++i) {
        const qreal r = i % 2 ? inner : outer;
        const qreal a = -std::numbers::pi / 2 + i * std::numbers::pi / 5;
        const QPointF pt = centre + QPointF(r * std::cos(a), r * std::sin(a));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    return path;
}

QPainterPath hangingTab(const QRectF& rect, qreal slant, qreal radius)
{
    // Corner points where a slanted side meets the bottom, and unit vectors along each side.
    const QPointF bottomLeft(rect.left() + slant, rect.bottom());
    const QPointF bottomRight(rect.right() - slant, rect.bottom());
    const qreal sideLength = std::hypot(slant, rect.height());
    const QPointF upLeft(-slant / sideLength, -rect.height() / sideLength);
    const QPointF upRight(slant / sideLength, -rect.height() / sideLength);

    QPainterPath path;
    path.moveTo(rect.topLeft());
    path.lineTo(rect.topRight());
    path.lineTo(bottomRight + upRight * radius);
    path.quadTo(bottomRight, bottomRight - QPointF(radius, 0));
    path.lineTo(bottomLeft + QPointF(radius, 0));
    path.quadTo(bottomLeft, bottomLeft + upLeft * radius);
    path.closeSubpath();
    return path;
}

QImage flatten(const QImage& image, quint32 seed)
{
    const QImage deep = image.convertToFormat(QImage::Format_RGBA64_Premultiplied);
    QImage result(deep.size(), QImage::Format_ARGB32_Premultiplied);
    // The raw engine output is fixed by the standard, unlike the library's distributions.
    std::mt19937 noise(seed);
    for (int y = 0; y < deep.height(); ++y) {
        const auto* in = reinterpret_cast<const QRgba64*>(deep.constScanLine(y));
        auto* out = reinterpret_cast<QRgb*>(result.scanLine(y));
        for (int x = 0; x < deep.width(); ++x) {
            const int a = in[x].alpha8();
            // Premultiplied pixels: no colour channel may exceed alpha.
            auto round = [&](quint16 v) {
                return std::min(a, static_cast<int>((v + noise() % 257u) / 257u));
            };
            out[x] = qRgba(round(in[x].red()), round(in[x].green()), round(in[x].blue()), a);
        }
    }
    return result;
}

QBrush vertical(const QRectF& rect, const QColor& top, const QColor& bottom)
{
    QLinearGradient g(rect.topLeft(), rect.bottomLeft());
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return QBrush(g);
}

} // namespace draw
