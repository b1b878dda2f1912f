#pragma once

#include <QColor>

// The colours every window of the program is drawn in.
namespace palette {

inline constexpr QColor dark{0x2f, 0x2f, 0x35};
inline constexpr QColor darker{0x24, 0x24, 0x29};
inline constexpr QColor darkest{0x1b, 0x1b, 0x1f};
inline constexpr QColor raised{0x3a, 0x3a, 0x41};

inline constexpr QColor wine{0x61, 0x14, 0x22};
inline constexpr QColor wineLight{0x6b, 0x16, 0x25};
inline constexpr QColor wineBright{0x8c, 0x22, 0x37};
inline constexpr QColor wineDeep{0x42, 0x0c, 0x17};

inline constexpr QColor gold{0xad, 0x9a, 0x4b};
inline constexpr QColor goldLight{0xbf, 0xbd, 0x60};
inline constexpr QColor goldPale{0xe9, 0xe2, 0x9c};
inline constexpr QColor goldDeep{0x7c, 0x6b, 0x2c};

} // namespace palette
