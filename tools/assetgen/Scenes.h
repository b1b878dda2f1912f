#pragma once

#include <QImage>

// The large pictures windows are painted from.
namespace scenes {

QImage mainBackground(); // 1200 x 700, the whole main window
QImage settingsPanel();  // 338 x 417, the panel the "more" tab opens
QImage dropZone();       // 220 x 180, the floating drop target

} // namespace scenes
