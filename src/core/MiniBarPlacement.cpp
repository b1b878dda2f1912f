#include "core/MiniBarPlacement.h"

#include "core/Helpers.h"
#include "core/StringList.h"
#include "core/WindowPlacement.h"

#include <algorithm>
#include <cstdlib>

namespace minibar {

namespace {

const QString kNone = QStringLiteral("X");

QString lineOf(const Distance& d)
{
    return d ? QString::number(*d) : kNone;
}

// A line of the record, or nullopt for "X"; ok is cleared when the line is neither.
Distance parseLine(const QString& line, bool& ok)
{
    if (line == kNone)
        return std::nullopt;
    bool number = false;
    const int value = line.toInt(&number, 10);
    if (!number) {
        ok = false;
        return std::nullopt;
    }
    return value;
}

int rightEdge(const QRect& screen)
{
    return screen.x() + screen.width();
}

int bottomEdge(const QRect& screen)
{
    return screen.y() + screen.height();
}

} // namespace

QStringList PositionRecord::lines() const
{
    return {lineOf(right), lineOf(bottom)};
}

ParsedRecord parseRecord(const QStringList& lines)
{
    ParsedRecord parsed;
    parsed.wellFormed = lines.size() >= 2;
    if (!lines.isEmpty())
        parsed.record.right = parseLine(lines.at(0), parsed.wellFormed);
    if (lines.size() >= 2)
        parsed.record.bottom = parseLine(lines.at(1), parsed.wellFormed);
    return parsed;
}

ParsedRecord loadRecord(const QString& path)
{
    const auto lines = stringlist::load(path);
    if (!lines)
        return {PositionRecord{}, false};
    return parseRecord(*lines);
}

bool saveRecord(const QString& path, const PositionRecord& record)
{
    if (helpers::fileInUse(path))
        return false;
    return stringlist::save(path, record.lines());
}

PositionRecord clampToScreen(PositionRecord record, const QRect& screen)
{
    // Below the bar's own size it would stick out of the right or bottom edge.
    if (record.right)
        record.right = std::max(kSize, std::min(*record.right, screen.width() - kDockRight));
    if (record.bottom)
        record.bottom = std::max(kSize, std::min(*record.bottom, screen.height() - kDockBottom));
    return record;
}

QPoint showTarget(const PositionRecord& record, const QRect& screen, const QPoint& pointer)
{
    const int left = record.right ? rightEdge(screen) - *record.right : pointer.x() - kSize / 2;
    const int top = record.bottom ? bottomEdge(screen) - *record.bottom : pointer.y() - kSize - 30;
    // The pointer may be on a panel at the screen's edge, outside the free area.
    return placement::keepInside({left, top}, QSize(kSize, kSize), screen);
}

PositionRecord remeasure(const PositionRecord& record, const QRect& screen, const QPoint& topLeft)
{
    PositionRecord r = record;
    if (r.right)
        r.right = rightEdge(screen) - topLeft.x();
    if (r.bottom)
        r.bottom = bottomEdge(screen) - topLeft.y();
    return r;
}

int dragAxis(int current, int delta, int dock)
{
    const int wanted = current + delta;
    if (current == dock)
        return std::abs(wanted - current) > kStickiness ? wanted : current;
    return wanted;
}

int dockLeft(const QRect& screen)
{
    return rightEdge(screen) - kDockRight;
}

int dockTop(const QRect& screen)
{
    return bottomEdge(screen) - kDockBottom;
}

QPoint dragTarget(const QPoint& topLeft, const QPoint& delta, const QRect& screen)
{
    return placement::keepInside({dragAxis(topLeft.x(), delta.x(), dockLeft(screen)),
                                  dragAxis(topLeft.y(), delta.y(), dockTop(screen))},
                                 QSize(kSize, kSize), screen);
}

PositionRecord recordAfterDrag(const QRect& screen, const QPoint& topLeft)
{
    PositionRecord r;
    if (topLeft.x() != dockLeft(screen))
        r.right = rightEdge(screen) - topLeft.x();
    if (topLeft.y() != dockTop(screen))
        r.bottom = bottomEdge(screen) - topLeft.y();
    return r;
}

} // namespace minibar
