#pragma once

#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

#include <optional>

// Where the mini bar sits, and the position record "mps.xo" that keeps it between runs. The
// record holds two distances, from the bar's left edge to the screen's right edge and from its
// top edge to the screen's bottom edge, so the bar keeps its corner when the screen changes
// size. "X" instead of a distance means "next to the mouse pointer". Every screen rectangle
// here is the screen's available area (QScreen::availableGeometry): the bar never goes under a
// panel or off the screen.
namespace minibar {

inline constexpr int kSize = 48;
// The dock point: the left 75 pixels from the right edge, the top 118 pixels above the bottom.
inline constexpr int kDockRight = 75;
inline constexpr int kDockBottom = 118;
// How far the pointer must pull the bar off the dock column or row before it follows again.
inline constexpr int kStickiness = 50;

using Distance = std::optional<int>;

struct PositionRecord
{
    Distance right;  // line 0
    Distance bottom; // line 1

    QStringList lines() const;
    bool operator==(const PositionRecord&) const = default;
};

struct ParsedRecord
{
    PositionRecord record;
    // False when a line was missing or was neither "X" nor a decimal number; such a line reads
    // as "X" and the file should be written again.
    bool wellFormed = true;
};

ParsedRecord parseRecord(const QStringList& lines);

// The file: a missing or unreadable file reads as "X" and "X" and is not well formed.
ParsedRecord loadRecord(const QString& path);
// Not written while another program holds the file; false then, or when writing fails.
bool saveRecord(const QString& path, const PositionRecord& record);

// Showing: distances that would put the bar closer than the dock point to the screen's left
// or top edge are cut back to it, and those that would put part of it past the right or bottom
// edge are raised to the bar's size.
PositionRecord clampToScreen(PositionRecord record, const QRect& screen);
// The top-left corner for a record, always inside the screen; "X" puts the bar just above and
// left of the pointer.
QPoint showTarget(const PositionRecord& record, const QRect& screen, const QPoint& pointer);
// After the bar has been placed: every stored distance is measured again from where it is.
PositionRecord remeasure(const PositionRecord& record, const QRect& screen, const QPoint& topLeft);

// Dragging: one axis. current is the bar's left (or top), delta how far the pointer has moved
// from where it grabbed the bar, dock the dock column (or row). On the dock the bar only moves
// once the pointer pulls it more than kStickiness pixels away.
int dragAxis(int current, int delta, int dock);
// Both axes, and never out of the screen.
QPoint dragTarget(const QPoint& topLeft, const QPoint& delta, const QRect& screen);
// The record for a bar dragged to topLeft: a coordinate on the dock is stored as "X".
PositionRecord recordAfterDrag(const QRect& screen, const QPoint& topLeft);

int dockLeft(const QRect& screen);
int dockTop(const QRect& screen);

} // namespace minibar
