#include "Emblem.h"

#include "Palette.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <array>
#include <cmath>
#include <span>

namespace emblem {

namespace {

struct Floret
{
    QPointF centre;
    qreal radius;
    qreal turn;     // degrees, so neighbouring florets do not look stamped
    qreal spurSide; // -1 spur to the left, +1 to the right, 0 for buds
    QPointF stemAt; // where its short stalk leaves the stem
};

// Open florets from the bottom up, then the buds at the tip.
constexpr std::array<Floret, 8> kFineFlorets{{
    {{35.0, 70.0}, 12.5, 8.0, -1, {47.0, 78.0}},
    {{64.0, 60.0}, 11.5, 30.0, 1, {49.5, 66.0}},
    {{38.0, 47.0}, 10.0, 52.0, -1, {51.0, 53.0}},
    {{63.0, 37.0}, 8.5, 16.0, 1, {52.5, 42.0}},
    {{43.0, 27.0}, 7.0, 40.0, -1, {53.0, 31.0}},
    {{60.0, 18.0}, 4.6, 0.0, 0, {53.8, 21.0}},
    {{48.5, 12.0}, 3.6, 0.0, 0, {54.0, 13.5}},
    {{55.0, 5.5}, 2.7, 0.0, 0, {54.5, 7.0}},
}};

// Fewer, larger florets stay readable at tray and mini bar sizes.
constexpr std::array<Floret, 5> kBoldFlorets{{
    {{33.0, 67.0}, 17.0, 10.0, -1, {47.0, 76.0}},
    {{66.0, 50.0}, 15.0, 34.0, 1, {50.5, 58.0}},
    {{38.0, 31.0}, 12.0, 50.0, -1, {52.5, 37.0}},
    {{62.0, 16.0}, 6.0, 0.0, 0, {54.0, 20.0}},
    {{50.0, 8.0}, 4.6, 0.0, 0, {54.3, 10.0}},
}};

QPainterPath petal(qreal r)
{
    // Teardrop pointing up from the floret's centre.
    QPainterPath p;
    p.moveTo(0, -0.12 * r);
    p.cubicTo(-0.62 * r, -0.38 * r, -0.52 * r, -1.02 * r, 0, -1.04 * r);
    p.cubicTo(0.52 * r, -1.02 * r, 0.62 * r, -0.38 * r, 0, -0.12 * r);
    p.closeSubpath();
    return p;
}

void paintOpen(QPainter& p, const Floret& f, const Colours& c)
{
    // The spur: a tapering horn trailing back and up, away from the stem.
    const qreal r = f.radius;
    const qreal side = f.spurSide;
    QPainterPath spur;
    spur.moveTo(f.centre + QPointF(side * 0.15 * r, -0.5 * r));
    spur.quadTo(f.centre + QPointF(side * 0.75 * r, -0.95 * r),
                f.centre + QPointF(side * 1.2 * r, -1.05 * r));
    spur.quadTo(f.centre + QPointF(side * 0.95 * r, -0.4 * r),
                f.centre + QPointF(side * 0.5 * r, -0.1 * r));
    spur.closeSubpath();
    p.setPen(Qt::NoPen);
    p.fillPath(spur, c.petalDeep);

    QRadialGradient fill(f.centre, f.radius * 1.05);
    fill.setColorAt(0.0, c.petalLight);
    fill.setColorAt(0.55, c.petalLight);
    fill.setColorAt(1.0, c.petalDeep);
    QColor edge = c.petalDeep.darker(160);
    edge.setAlpha(150);
    p.setPen(QPen(edge, std::max<qreal>(0.35, f.radius * 0.05)));
    p.setBrush(fill);
    for (int i = 0; i < 5; ++i) {
        p.save();
        p.translate(f.centre);
        p.rotate(f.turn + i * 72.0);
        p.drawPath(petal(f.radius));
        p.restore();
    }
    p.setPen(Qt::NoPen);
    p.setBrush(c.eye);
    p.drawEllipse(f.centre, 0.24 * f.radius, 0.24 * f.radius);
    p.setBrush(c.petalLight);
    p.drawEllipse(f.centre, 0.09 * f.radius, 0.09 * f.radius);
}

void paintBud(QPainter& p, const Floret& f, const Colours& c)
{
    QRadialGradient fill(f.centre - QPointF(0.3 * f.radius, 0.4 * f.radius), f.radius * 1.6);
    fill.setColorAt(0, c.petalLight);
    fill.setColorAt(1, c.petalDeep);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(f.centre, 0.8 * f.radius, f.radius);
}

QPainterPath leaf(QPointF from, QPointF to, qreal width)
{
    const QPointF mid = (from + to) / 2;
    const QPointF along = to - from;
    const QPointF normal(-along.y(), along.x());
    const qreal scale = width / std::max<qreal>(1.0, std::hypot(along.x(), along.y()));
    QPainterPath p;
    p.moveTo(from);
    p.quadTo(mid + normal * scale, to);
    p.quadTo(mid - normal * scale * 0.4, from);
    p.closeSubpath();
    return p;
}

} // namespace

Colours goldOnWine()
{
    return {palette::goldPale, palette::gold, palette::goldDeep.lighter(125), palette::wine};
}

void paint(QPainter& painter, const QRectF& box, const Colours& colours, Detail detail)
{
    const bool bold = detail == Detail::Bold;
    const std::span<const Floret> florets =
        bold ? std::span<const Floret>(kBoldFlorets) : std::span<const Floret>(kFineFlorets);
    const qreal side = std::min(box.width(), box.height());
    painter.save();
    painter.translate(box.center() - QPointF(side / 2, side / 2));
    painter.scale(side / 100.0, side / 100.0);

    QPainterPath stem;
    stem.moveTo(47.0, 97.0);
    stem.cubicTo(44.0, 72.0, 56.0, 36.0, 54.5, 4.0);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colours.stem, bold ? 3.6 : 2.4, Qt::SolidLine, Qt::RoundCap));
    painter.drawPath(stem);

    QColor leafColour = colours.stem;
    leafColour.setAlpha(220);
    painter.setPen(Qt::NoPen);
    const qreal leafWidth = bold ? 1.4 : 1.0;
    painter.fillPath(leaf({47.0, 92.0}, {27.0, 84.0}, 7.0 * leafWidth), leafColour);
    painter.fillPath(leaf({47.5, 89.0}, {68.0, 86.0}, -6.0 * leafWidth), leafColour);

    painter.setPen(QPen(colours.stem, bold ? 2.4 : 1.4, Qt::SolidLine, Qt::RoundCap));
    for (const Floret& f : florets)
        painter.drawLine(f.stemAt, f.centre);

    for (const Floret& f : florets) {
        if (f.spurSide == 0)
            paintBud(painter, f, colours);
        else
            paintOpen(painter, f, colours);
    }
    painter.restore();
}

} // namespace emblem
