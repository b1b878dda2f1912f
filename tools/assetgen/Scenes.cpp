#include "Scenes.h"

#include "Draw.h"
#include "Emblem.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cmath>

namespace scenes {

namespace {

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

void softSpot(QPainter& p, QPointF centre, qreal radius, const QColor& colour)
{
    // A Gaussian-like falloff: a linear one leaves a visible rim.
    QRadialGradient g(centre, radius);
    const qreal floor = std::exp(-3.5);
    for (int i = 0; i <= 10; ++i) {
        const qreal t = i / 10.0;
        const qreal k = (std::exp(-3.5 * t * t) - floor) / (1 - floor);
        g.setColorAt(t, withAlpha(colour, static_cast<int>(std::lround(colour.alpha() * k))));
    }
    p.fillRect(QRectF(centre - QPointF(radius, radius), QSizeF(2 * radius, 2 * radius)), g);
}

// A hairline that fades out towards both ends.
void fadingRule(QPainter& p, qreal x1, qreal x2, qreal y, const QColor& colour)
{
    QLinearGradient g(QPointF(x1, y), QPointF(x2, y));
    g.setColorAt(0, withAlpha(colour, 0));
    g.setColorAt(0.2, colour);
    g.setColorAt(0.8, colour);
    g.setColorAt(1, withAlpha(colour, 0));
    p.fillRect(QRectF(x1, y, x2 - x1, 1), g);
}

} // namespace

QImage mainBackground()
{
    QImage image = draw::canvas(1200, 700, palette::dark);
    const QRectF whole(0, 0, 1200, 700);
    {
        QPainter p(&image);
        draw::prepare(p);
        p.fillRect(whole,
                   draw::vertical(whole, QColor(0x36, 0x36, 0x3d), QColor(0x27, 0x27, 0x2c)));
        softSpot(p, {1060, 150}, 600, withAlpha(palette::wine, 85));
        softSpot(p, {90, 720}, 420, withAlpha(palette::wine, 45));

        // Header strip the close tabs hang from.
        const QRectF header(0, 0, 1200, 40);
        p.fillRect(header, draw::vertical(header, palette::darkest, palette::darker));
        fadingRule(p, 0, 1200, 40, withAlpha(palette::gold, 120));
        p.fillRect(QRectF(0, 41, 1200, 3),
                   draw::vertical(QRectF(0, 41, 1200, 3), QColor(0, 0, 0, 70), QColor(0, 0, 0, 0)));
    }

    // The working area: user list, conversation and the sign-in form sit on this panel.
    const QRectF panel(14, 50, 856, 586);
    QPainterPath panelShape;
    panelShape.addRoundedRect(panel, 10, 10);
    draw::glow(image, panelShape, QColor(0, 0, 0, 150), 14, {0, 4});
    {
        QPainter p(&image);
        draw::prepare(p);
        p.fillPath(panelShape,
                   draw::vertical(panel, QColor(0x3b, 0x3b, 0x43), QColor(0x30, 0x30, 0x36)));
        p.setClipPath(panelShape);
        QLinearGradient sheen(panel.topLeft(), panel.topLeft() + QPointF(0, 120));
        sheen.setColorAt(0, QColor(255, 255, 255, 14));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillRect(panel, sheen);
        p.setClipping(false);
        p.setPen(QPen(withAlpha(palette::gold, 70), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(panel.adjusted(0.5, 0.5, -0.5, -0.5), 10, 10);

        // The mark, faint, in the panel's empty lower-left corner.
        p.setOpacity(0.10);
        emblem::paint(p, QRectF(40, 470, 170, 160), emblem::goldOnWine());
        p.setOpacity(1);

        // Footer: a rule and the mark small at the right.
        fadingRule(p, 880, 1190, 652, withAlpha(palette::gold, 90));
        p.setOpacity(0.55);
        emblem::paint(p, QRectF(1150, 658, 34, 34), emblem::goldOnWine(), emblem::Detail::Bold);
        p.setOpacity(1);
    }
    return image;
}

QImage settingsPanel()
{
    QImage image = draw::canvas(338, 417);
    // The window ends 320 pixels into the panel; everything that matters stays left of that.
    const QRectF body(0, 0, 338, 417);
    QPainterPath shape;
    shape.addRoundedRect(body, 9, 9);
    QPainter p(&image);
    draw::prepare(p);
    p.fillPath(shape, draw::vertical(body, QColor(0x2b, 0x2b, 0x31), QColor(0x22, 0x22, 0x27)));
    p.setClipPath(shape);

    // Header band behind the signed-in name.
    const QRectF header(0, 0, 338, 84);
    p.fillRect(header, draw::vertical(header, palette::wineLight, palette::wineDeep));
    QLinearGradient sheen(header.topLeft(), QPointF(0, 40));
    sheen.setColorAt(0, QColor(255, 255, 255, 28));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillRect(header, sheen);
    p.fillRect(QRectF(0, 84, 338, 1), withAlpha(palette::gold, 150));
    p.fillRect(QRectF(0, 85, 338, 6),
               draw::vertical(QRectF(0, 85, 338, 6), QColor(0, 0, 0, 90), QColor(0, 0, 0, 0)));
    p.setOpacity(0.16);
    emblem::paint(p, QRectF(236, 8, 70, 70), emblem::goldOnWine());
    p.setOpacity(1);

    // Separates the profile fields from the sign-in options.
    fadingRule(p, 18, 302, 288, withAlpha(palette::gold, 110));
    softSpot(p, {160, 380}, 170, withAlpha(palette::wine, 50));

    p.setClipping(false);
    p.setPen(QPen(withAlpha(palette::gold, 110), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRoundedRect(body.adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
    p.end();
    return image;
}

QImage dropZone()
{
    QImage image = draw::canvas(220, 180, palette::dark);
    const QRectF whole(0, 0, 220, 180);
    {
        QPainter p(&image);
        draw::prepare(p);
        p.fillRect(whole,
                   draw::vertical(whole, QColor(0x38, 0x38, 0x3f), QColor(0x26, 0x26, 0x2b)));
        softSpot(p, {110, 88}, 120, withAlpha(palette::wine, 80));
        p.setPen(QPen(withAlpha(palette::gold, 120), 1));
        p.setBrush(Qt::NoBrush);
        p.drawRect(whole.adjusted(0.5, 0.5, -0.5, -0.5));

        // Bottom band in the busy label's colour, so the label sits flush in it.
        p.fillRect(QRectF(0, 156, 220, 24), palette::wineLight);
        p.fillRect(QRectF(0, 156, 220, 1), withAlpha(palette::gold, 160));
        // The mark sits right of where the busy label appears.
        p.setOpacity(0.8);
        emblem::paint(p, QRectF(194, 158, 21, 21), emblem::goldOnWine(), emblem::Detail::Bold);
        p.setOpacity(1);
    }

    // The strip at the top left closes the window.
    QPainterPath strip = draw::hangingTab(QRectF(0, 0, 131, 17), 0, 7);
    {
        QPainter p(&image);
        draw::prepare(p);
        p.fillPath(strip, draw::vertical(strip.boundingRect(), palette::wine, palette::wineDeep));
        p.setPen(QPen(withAlpha(palette::gold, 140), 1));
        p.drawLine(QPointF(0, 17.5), QPointF(124, 17.5));
        QPainterPath cross;
        cross.moveTo(62.0, 5.0);
        cross.lineTo(69.0, 12.0);
        cross.moveTo(69.0, 5.0);
        cross.lineTo(62.0, 12.0);
        p.setPen(QPen(palette::gold, 1.7, Qt::SolidLine, Qt::RoundCap));
        p.drawPath(cross);

        // The drop target: a dashed frame around a tray with an arrow falling into it.
        QPen dashes(withAlpha(palette::goldLight, 170), 1.6, Qt::CustomDashLine, Qt::RoundCap);
        dashes.setDashPattern({4, 3});
        p.setPen(dashes);
        p.setBrush(QColor(0, 0, 0, 45));
        p.drawRoundedRect(QRectF(16.5, 28.5, 187, 117), 10, 10);
    }

    QPainterPath tray;
    tray.moveTo(78, 100);
    tray.lineTo(78, 124);
    tray.quadTo(78, 128, 82, 128);
    tray.lineTo(138, 128);
    tray.quadTo(142, 128, 142, 124);
    tray.lineTo(142, 100);
    QPainterPath arrow;
    arrow.moveTo(110, 44);
    arrow.lineTo(110, 104);
    arrow.moveTo(96, 90);
    arrow.lineTo(110, 104);
    arrow.lineTo(124, 90);
    QPainterPathStroker stroker;
    stroker.setWidth(9);
    stroker.setCapStyle(Qt::RoundCap);
    draw::glow(image, stroker.createStroke(arrow) + stroker.createStroke(tray),
               QColor(0, 0, 0, 140), 5, {0, 2});
    {
        QPainter p(&image);
        draw::prepare(p);
        const QRectF art(78, 44, 64, 84);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(draw::vertical(art, palette::goldPale, palette::gold), 5, Qt::SolidLine,
                      Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tray);
        p.drawPath(arrow);
        // Inner slot of the tray.
        p.setPen(QPen(withAlpha(palette::gold, 160), 2, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(92, 116), QPointF(128, 116));
    }
    return image;
}

} // namespace scenes
