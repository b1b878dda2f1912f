#include "Chrome.h"

#include "Draw.h"
#include "Palette.h"

#include <QLinearGradient>
#include <QPainter>

namespace chrome {

namespace {

struct Look
{
    QColor top;
    QColor bottom;
    QColor edge;
    QColor glyph;
};

Look lookOf(State state)
{
    if (state == State::Hover)
        return {palette::wineBright.lighter(115), palette::wineLight, palette::goldLight,
                palette::goldPale};
    return {palette::wine, palette::wineDeep, QColor(0xad, 0x9a, 0x4b, 150), palette::gold};
}

// Fills a frame shape; the top edge is left open since these tabs hang from the window's edge.
void paintBody(QImage& image, const QPainterPath& body, const Look& look, State state, bool openTop)
{
    if (state == State::Hover)
        draw::glow(image, body, QColor(0xbf, 0xbd, 0x60, 90), 6);
    QPainter p(&image);
    draw::prepare(p);
    p.fillPath(body, draw::vertical(body.boundingRect(), look.top, look.bottom));

    // A faint sheen on the upper half gives the tab some volume.
    const QRectF box = body.boundingRect();
    QLinearGradient sheen(box.topLeft(), QPointF(box.left(), box.center().y()));
    sheen.setColorAt(0, QColor(255, 255, 255, state == State::Hover ? 40 : 22));
    sheen.setColorAt(1, QColor(255, 255, 255, 0));
    p.fillPath(body, sheen);

    p.setClipPath(body);
    p.setPen(QPen(look.edge, 2.0));
    p.setBrush(Qt::NoBrush);
    p.drawPath(body);
    if (openTop) {
        p.setPen(QPen(look.top, 2.0));
        p.drawLine(box.topLeft(), box.topRight());
    }
}

void strokeGlyph(QImage& image, const QPainterPath& glyph, const Look& look, State state,
                 qreal width)
{
    if (state == State::Hover) {
        QPainterPathStroker halo;
        halo.setWidth(width + 3);
        halo.setCapStyle(Qt::RoundCap);
        draw::glow(image, halo.createStroke(glyph), QColor(0xe9, 0xe2, 0x9c, 150), 4);
    }
    QPainter p(&image);
    draw::prepare(p);
    // A dark under-stroke keeps the gold readable on the wine colour.
    p.setPen(QPen(QColor(0, 0, 0, 70), width + 1.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(glyph.translated(0, 0.8));
    p.setPen(QPen(look.glyph, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(glyph);
}

} // namespace

QImage backButton(State state)
{
    QImage image = draw::canvas(38, 38);
    const Look look = lookOf(state);
    paintBody(image, draw::hangingTab(QRectF(1, 0, 36, 34), 2.5, 9), look, state, true);

    // A turning-back arrow.
    QPainterPath arrow;
    arrow.moveTo(26.5, 25.5);
    arrow.cubicTo(26.5, 17.0, 22.5, 13.0, 12.5, 13.0);
    arrow.moveTo(17.5, 8.0);
    arrow.lineTo(12.0, 13.0);
    arrow.lineTo(17.5, 18.0);
    strokeGlyph(image, arrow, look, state, 2.6);
    return image;
}

QImage minimizeTab(State state)
{
    QImage image = draw::canvas(176, 38);
    const Look look = lookOf(state);
    paintBody(image, draw::hangingTab(QRectF(1, 0, 174, 33), 16, 10), look, state, true);

    QPainterPath bar;
    bar.moveTo(76, 19.5);
    bar.lineTo(100, 19.5);
    strokeGlyph(image, bar, look, state, 3.2);
    return image;
}

QImage closeTab(State state)
{
    QImage image = draw::canvas(113, 17);
    const Look look = lookOf(state);
    paintBody(image, draw::hangingTab(QRectF(1, 0, 111, 15.5), 6, 6), look, state, true);

    QPainterPath cross;
    cross.moveTo(53.0, 4.5);
    cross.lineTo(60.0, 11.0);
    cross.moveTo(60.0, 4.5);
    cross.lineTo(53.0, 11.0);
    strokeGlyph(image, cross, look, state, 1.8);
    return image;
}

QImage moreTab(State state)
{
    QImage image = draw::canvas(40, 136);
    const Look look = lookOf(state);
    QPainterPath body;
    body.addRoundedRect(QRectF(4, 3, 32, 130), 14, 14);
    if (state == State::Normal)
        draw::glow(image, body, QColor(0, 0, 0, 110), 4, {0, 1.5});
    paintBody(image, body, look, state, false);

    // Three dots: more to see.
    QPainterPath dots;
    for (int i = -1; i <= 1; ++i)
        dots.addEllipse(QPointF(20, 68 + 14 * i), 3.3, 3.3);
    if (state == State::Hover)
        draw::glow(image, dots, QColor(0xe9, 0xe2, 0x9c, 170), 5);
    QPainter p(&image);
    draw::prepare(p);
    p.fillPath(dots.translated(0, 0.8), QColor(0, 0, 0, 80));
    p.fillPath(dots, look.glyph);
    return image;
}

QImage favouriteStar(bool marked)
{
    QImage image = draw::canvas(44, 40);
    const QPainterPath shape = draw::star({22, 21}, 17, 7.3);
    if (marked) {
        draw::glow(image, shape, QColor(0, 0, 0, 120), 3, {0, 1.2});
        draw::glow(image, shape, QColor(0xbf, 0xbd, 0x60, 80), 5);
    }
    QPainter p(&image);
    draw::prepare(p);
    if (marked) {
        p.fillPath(shape, draw::vertical(shape.boundingRect(), palette::goldPale, palette::gold));
        QLinearGradient sheen(QPointF(0, 4), QPointF(0, 21));
        sheen.setColorAt(0, QColor(255, 255, 255, 70));
        sheen.setColorAt(1, QColor(255, 255, 255, 0));
        p.fillPath(shape, sheen);
        p.strokePath(shape,
                     QPen(palette::goldDeep, 1.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    } else {
        p.fillPath(shape, QColor(0xad, 0x9a, 0x4b, 40));
        p.strokePath(shape, QPen(palette::gold, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    }
    return image;
}

} // namespace chrome
