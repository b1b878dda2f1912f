#include "Portraits.h"

#include "Draw.h"
#include "Emblem.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace portraits {

namespace {

constexpr int kSampleSize = 256;

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QRadialGradient wineGlow(QPointF centre, qreal radius)
{
    QRadialGradient g(centre, radius);
    g.setColorAt(0, palette::wineBright);
    g.setColorAt(0.55, palette::wine);
    g.setColorAt(1, palette::wineDeep);
    return g;
}

} // namespace

QImage appIcon(int size)
{
    QImage image = draw::canvas(size, size);
    const qreal s = size / 256.0;
    const QRectF tile(8 * s, 8 * s, 240 * s, 240 * s);
    QPainterPath shape;
    shape.addRoundedRect(tile, 52 * s, 52 * s);
    draw::glow(image, shape, QColor(0, 0, 0, 90), static_cast<int>(5 * s), {0, 2 * s});

    QPainter p(&image);
    draw::prepare(p);
    p.fillPath(shape, wineGlow(QPointF(100 * s, 80 * s), 210 * s));
    p.setClipPath(shape);
    QLinearGradient sheen(tile.topLeft(), QPointF(tile.left(), tile.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, 40));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(tile, sheen);
    p.setClipping(false);
    p.setPen(QPen(withAlpha(palette::goldLight, 200), 4 * s));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(tile.adjusted(8 * s, 8 * s, -8 * s, -8 * s), 44 * s, 44 * s);
    emblem::paint(p, tile.adjusted(28 * s, 24 * s, -28 * s, -32 * s), emblem::goldOnWine(),
                  emblem::Detail::Bold);
    return image;
}

QImage miniBar()
{
    QImage image = draw::canvas(48, 48, palette::dark);
    QPainter p(&image);
    draw::prepare(p);
    const QRectF disc(3, 3, 42, 42);
    p.setPen(Qt::NoPen);
    p.setBrush(wineGlow(QPointF(18, 16), 32));
    p.drawEllipse(disc);
    p.setPen(QPen(palette::gold, 1.4));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(disc.adjusted(0.7, 0.7, -0.7, -0.7));
    emblem::paint(p, disc.adjusted(5, 4, -5, -6), emblem::goldOnWine(), emblem::Detail::Bold);
    return image;
}

QImage defaultAvatar()
{
    constexpr int side = 300;
    QImage image = draw::canvas(side, side);
    const QRectF whole(0, 0, side, side);
    {
        QPainter p(&image);
        draw::prepare(p);
        QRadialGradient back(QPointF(150, 110), 260);
        back.setColorAt(0, QColor(0x4c, 0x4c, 0x56));
        back.setColorAt(1, palette::darker);
        p.fillRect(whole, back);
        QRadialGradient warmth(QPointF(150, 330), 220);
        warmth.setColorAt(0, withAlpha(palette::wine, 150));
        warmth.setColorAt(1, withAlpha(palette::wine, 0));
        p.fillRect(whole, warmth);
    }

    QPainterPath person;
    person.addEllipse(QPointF(150, 116), 54, 58);
    QPainterPath shoulders;
    shoulders.moveTo(40, 300);
    shoulders.cubicTo(40, 222, 92, 190, 150, 190);
    shoulders.cubicTo(208, 190, 260, 222, 260, 300);
    shoulders.closeSubpath();
    person = person.united(shoulders);
    draw::glow(image, person, QColor(0, 0, 0, 140), 10, {0, 5});

    QPainter p(&image);
    draw::prepare(p);
    QLinearGradient body(QPointF(0, 58), QPointF(0, 300));
    body.setColorAt(0, QColor(0xe4, 0xd6, 0x9e));
    body.setColorAt(0.5, QColor(0xbc, 0xa5, 0x5a));
    body.setColorAt(1, QColor(0x8e, 0x76, 0x36));
    p.fillPath(person, body);
    // Light from the upper left.
    QRadialGradient light(QPointF(122, 86), 120);
    light.setColorAt(0, QColor(255, 255, 255, 60));
    light.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(person, light);
    return image;
}

QImage sampleLarkspur()
{
    QImage image = draw::canvas(kSampleSize, kSampleSize);
    QPainter p(&image);
    draw::prepare(p);
    p.fillRect(image.rect(), wineGlow(QPointF(100, 90), 240));
    p.setPen(QPen(withAlpha(palette::gold, 70), 1.5));
    for (int r = 60; r <= 180; r += 40)
        p.drawEllipse(QPointF(128, 128), r, r);
    emblem::paint(p, QRectF(38, 30, 180, 190), emblem::goldOnWine());
    return image;
}

QImage sampleDunes()
{
    QImage image = draw::canvas(kSampleSize, kSampleSize);
    QPainter p(&image);
    draw::prepare(p);
    const QRectF whole(0, 0, kSampleSize, kSampleSize);
    p.fillRect(whole, draw::vertical(whole, QColor(0x1d, 0x1d, 0x2a), palette::wine));
    // A low sun behind the dunes.
    QRadialGradient halo(QPointF(170, 124), 95);
    halo.setColorAt(0, withAlpha(palette::goldLight, 110));
    halo.setColorAt(0.5, withAlpha(palette::gold, 40));
    halo.setColorAt(1, withAlpha(palette::gold, 0));
    p.fillRect(whole, halo);
    QRadialGradient sun(QPointF(164, 116), 34);
    sun.setColorAt(0, palette::goldPale);
    sun.setColorAt(1, palette::goldLight);
    p.setPen(Qt::NoPen);
    p.setBrush(sun);
    p.drawEllipse(QPointF(170, 124), 27, 27);

    const QColor bands[] = {palette::wineBright, palette::wine, QColor(0x4a, 0x30, 0x2a),
                            palette::goldDeep, palette::darkest};
    for (int i = 0; i < 5; ++i) {
        QPainterPath dune;
        const qreal base = 140 + i * 26;
        dune.moveTo(0, kSampleSize);
        for (int x = 0; x <= kSampleSize; x += 4) {
            const qreal y =
                base + 14 * std::sin(x / (38.0 + 9 * i) + i * 1.7) + 6 * std::sin(x / 17.0 + i);
            dune.lineTo(x, y);
        }
        dune.lineTo(kSampleSize, kSampleSize);
        dune.closeSubpath();
        p.fillPath(dune, draw::vertical(QRectF(0, base - 20, kSampleSize, 140), bands[i],
                                        bands[i].darker(170)));
    }
    return image;
}

QImage sampleOrbits()
{
    QImage image = draw::canvas(kSampleSize, kSampleSize);
    QPainter p(&image);
    draw::prepare(p);
    QRadialGradient back(QPointF(128, 128), 190);
    back.setColorAt(0, QColor(0x3c, 0x3c, 0x46));
    back.setColorAt(1, palette::darkest);
    p.fillRect(image.rect(), back);

    p.setBrush(Qt::NoBrush);
    for (int i = 0; i < 5; ++i) {
        p.setPen(QPen(withAlpha(palette::gold, 150 - 22 * i), 1.6));
        const qreal r = 34 + 20 * i;
        p.drawEllipse(QPointF(128, 128), r, r * 0.62);
        // One body on each orbit.
        const qreal a = 0.6 + i * 1.3;
        const QPointF body(128 + r * std::cos(a), 128 + r * 0.62 * std::sin(a));
        QRadialGradient g(body - QPointF(2, 2), 7 - i * 0.6);
        g.setColorAt(0, palette::goldPale);
        g.setColorAt(1, i % 2 ? palette::wineBright : palette::gold);
        p.setPen(Qt::NoPen);
        p.setBrush(g);
        p.drawEllipse(body, 6.5 - i * 0.6, 6.5 - i * 0.6);
        p.setBrush(Qt::NoBrush);
    }
    QRadialGradient core(QPointF(120, 120), 28);
    core.setColorAt(0, palette::goldPale);
    core.setColorAt(0.6, palette::goldLight);
    core.setColorAt(1, palette::wine);
    p.setPen(Qt::NoPen);
    p.setBrush(core);
    p.drawEllipse(QPointF(128, 128), 22, 22);
    return image;
}

} // namespace portraits
