#pragma once

#include <QFont>
#include <QGuiApplication>
#include <QRect>
#include <QScreen>
#include <QString>
#include <QWidget>

// What the painted windows share in their look: fonts given in pixels, as their layouts are,
// and controls placed at fixed positions under their names.
namespace look {

inline QString calibri()
{
    return QStringLiteral("Calibri");
}

inline QString fontatigo()
{
    return QStringLiteral("Fontatigo 4F");
}

inline QFont pixelFont(const QString& family, int pixels, bool bold)
{
    QFont f(family);
    f.setPixelSize(pixels);
    f.setBold(bold);
    return f;
}

// Where the program may put its windows: the primary screen less its panels and docks.
inline QRect availableArea()
{
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->availableGeometry() : QRect(0, 0, 1920, 1080);
}

template <typename W> W* place(W* w, const QString& name, int left, int top, int width, int height)
{
    w->setObjectName(name);
    w->setGeometry(left, top, width, height);
    return w;
}

} // namespace look
