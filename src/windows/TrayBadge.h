#pragma once

#include <QIcon>
#include <QString>

// The tray icon with what wants the user's eye drawn onto it: a badge with the count of unread
// correspondents at the top right, and while do not disturb is on a dimmed picture with a muted
// mark at the bottom left. Each size is drawn on its own, so that the marks stay legible at the
// small sizes a tray uses.
namespace traybadge {

QPixmap drawn(const QIcon& base, int size, const QString& badge, bool muted);
QIcon icon(const QIcon& base, const QString& badge, bool muted);

} // namespace traybadge
