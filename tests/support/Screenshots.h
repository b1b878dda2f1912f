#pragma once

// Pictures of what a test shows, for the documentation.
#include <QApplication>
#include <QPoint>
#include <QString>
#include <QToolTip>
#include <QWidget>

// With LARKSPIRE_SCREENSHOTS naming a folder, what the test shows is saved there for the docs.
inline void shoot(QWidget* widget, const char* file)
{
    const QString folder = qEnvironmentVariable("LARKSPIRE_SCREENSHOTS");
    if (!folder.isEmpty())
        widget->grab().save(folder + u'/' + QString::fromLatin1(file));
}

// The hint of `widget` as the desktop shows it, saved like shoot().
inline void shootHint(QWidget* widget, const char* file)
{
    if (qEnvironmentVariable("LARKSPIRE_SCREENSHOTS").isEmpty())
        return;
    QToolTip::showText(widget->mapToGlobal(QPoint(10, 10)), widget->toolTip(), widget);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (top->inherits("QTipLabel") && top->isVisible())
            shoot(top, file);
    }
    QToolTip::hideText();
}
