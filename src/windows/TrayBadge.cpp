#include "windows/TrayBadge.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace traybadge {

namespace {

const QColor kBadgeColour(0xD3, 0x2F, 0x2F);
const QColor kMutedColour(0x4A, 0x4A, 0x55);
const QColor kEdgeColour(Qt::white);
constexpr double kDimmed = 0.55;

void drawBadge(QPainter& p, int size, const QString& text)
{
    // Half the icon high at the smallest sizes, where anything less cannot be read.
    const double height = std::max(9.0, size * (size <= 24 ? 0.6 : 0.5));
    QFont font;
    font.setBold(true);
    font.setPixelSize(std::max(7, qRound(height * 0.78)));
    const double textWidth = QFontMetricsF(font).horizontalAdvance(text);
    const double width = std::max(height, textWidth + height * 0.45);
    const QRectF pill(size - width, 0, width, height);
    const double edge = std::max(1.0, size / 32.0);
    p.setPen(QPen(kEdgeColour, edge));
    p.setBrush(kBadgeColour);
    p.drawRoundedRect(pill.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2), height / 2,
                      height / 2);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(pill, Qt::AlignCenter, text);
}

void drawMuted(QPainter& p, int size)
{
    // A filled circle crossed by a bar: the sign that reads as "do not disturb" at any size.
    const double d = std::max(9.0, size * (size <= 24 ? 0.55 : 0.45));
    const QRectF disc(0, size - d, d, d);
    const double edge = std::max(1.0, size / 32.0);
    p.setPen(QPen(kEdgeColour, edge));
    p.setBrush(kMutedColour);
    p.drawEllipse(disc.adjusted(edge / 2, edge / 2, -edge / 2, -edge / 2));
    const double barHeight = std::max(2.0, d / 5.0);
    const QRectF bar(disc.left() + d * 0.22, disc.center().y() - barHeight / 2, d * 0.56,
                     barHeight);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRect(bar);
}

} // namespace

QPixmap drawn(const QIcon& base, int size, const QString& badge, bool muted)
{
    QPixmap out(size, size);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    // An icon may hold a smaller picture than asked for; the marks are sized to the icon.
    if (const QPixmap picture = base.pixmap(size, size); !picture.isNull()) {
        p.setOpacity(muted ? kDimmed : 1.0);
        p.drawPixmap(QRect(0, 0, size, size), picture);
        p.setOpacity(1.0);
    }
    if (muted)
        drawMuted(p, size);
    if (!badge.isEmpty())
        drawBadge(p, size, badge);
    p.end();
    return out;
}

QIcon icon(const QIcon& base, const QString& badge, bool muted)
{
    if (badge.isEmpty() && !muted)
        return base;
    QIcon result;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        result.addPixmap(drawn(base, size, badge, muted));
    return result;
}

} // namespace traybadge
