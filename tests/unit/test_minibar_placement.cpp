#include "core/Fade.h"
#include "core/FrameKeys.h"
#include "core/Helpers.h"
#include "core/MiniBarPlacement.h"
#include "core/WindowPlacement.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

using namespace minibar;

namespace {

const QRect kScreen(0, 0, 1920, 1080);
// What a panel at the top of that screen leaves free.
const QRect kBelowPanel(0, 30, 1920, 1050);

} // namespace

TEST(PositionRecord, ReadsDistancesAndX)
{
    ParsedRecord p = parseRecord({"300", "X"});
    EXPECT_TRUE(p.wellFormed);
    EXPECT_EQ(p.record.right, 300);
    EXPECT_EQ(p.record.bottom, std::nullopt);
    EXPECT_EQ(p.record.lines(), QStringList({"300", "X"}));
    EXPECT_EQ(parseRecord({"X", "X"}).record, PositionRecord{});
}

TEST(PositionRecord, DamagedLinesReadAsXAndAskForARewrite)
{
    for (const QStringList& lines :
         {QStringList{}, QStringList{"300"}, QStringList{"abc", "200"}, QStringList{"300", "12.5"},
          QStringList{"", "X"}, QStringList{"x", "X"}}) {
        const ParsedRecord p = parseRecord(lines);
        EXPECT_FALSE(p.wellFormed) << lines.join(u'|').toStdString();
    }
    const ParsedRecord p = parseRecord({"abc", "200"});
    EXPECT_EQ(p.record.right, std::nullopt);
    EXPECT_EQ(p.record.bottom, 200);
    EXPECT_EQ(parseRecord({"300"}).record.lines(), QStringList({"300", "X"}));
}

TEST(PositionRecord, FileIsTwoLinesAndIsLeftAloneWhileHeld)
{
    TempTree t;
    const QString file = t.path("mps.xo");
    EXPECT_FALSE(loadRecord(file).wellFormed);
    ASSERT_TRUE(saveRecord(file, {1200, std::nullopt}));
    EXPECT_EQ(TempTree::read(file), QByteArray("1200\r\nX\r\n"));
    EXPECT_EQ(loadRecord(file).record, (PositionRecord{1200, std::nullopt}));
    {
        helpers::FileLock held(file);
        ASSERT_TRUE(held.locked());
        EXPECT_FALSE(saveRecord(file, {}));
    }
    EXPECT_EQ(TempTree::read(file), QByteArray("1200\r\nX\r\n"));
}

TEST(BarShow, WithoutAPositionTheBarOpensAboveThePointer)
{
    const QPoint at = showTarget({}, kScreen, QPoint(500, 600));
    EXPECT_EQ(at, QPoint(476, 522));
    EXPECT_EQ(remeasure({}, kScreen, at), PositionRecord{});
}

TEST(BarShow, DistancesAreCutBackToTheDockPoint)
{
    const PositionRecord clamped = clampToScreen({5000, 5000}, kScreen);
    EXPECT_EQ(clamped.right, 1845);
    EXPECT_EQ(clamped.bottom, 962);
    EXPECT_EQ(showTarget(clamped, kScreen, {}), QPoint(75, 118));
    // Distances inside the screen are kept, "X" stays "X".
    EXPECT_EQ(clampToScreen({1845, std::nullopt}, kScreen), (PositionRecord{1845, std::nullopt}));
    const PositionRecord mixed{300, std::nullopt};
    EXPECT_EQ(showTarget(mixed, kScreen, QPoint(10, 700)), QPoint(1620, 622));
    EXPECT_EQ(remeasure(mixed, kScreen, QPoint(1610, 622)), (PositionRecord{310, std::nullopt}));
}

TEST(BarShow, ASecondScreenCountsFromItsOwnEdges)
{
    const QRect right(1920, 0, 1280, 1024);
    EXPECT_EQ(showTarget({100, 100}, right, {}), QPoint(3100, 924));
    EXPECT_EQ(recordAfterDrag(right, QPoint(dockLeft(right), 500)),
              (PositionRecord{std::nullopt, 524}));
}

TEST(BarShow, NextToThePointerTheBarStaysInsideTheAvailableArea)
{
    // A tray click on a panel at the top: the pointer is above the free area.
    EXPECT_EQ(showTarget({}, kBelowPanel, QPoint(1900, 15)), QPoint(1872, 30));
    EXPECT_EQ(showTarget({}, kBelowPanel, QPoint(400, 40)), QPoint(376, 30));
    EXPECT_EQ(showTarget({}, kBelowPanel, QPoint(2, 1079)), QPoint(0, 1001));
    // A panel on the left.
    EXPECT_EQ(showTarget({}, QRect(64, 0, 1856, 1080), QPoint(10, 500)), QPoint(64, 422));
}

TEST(BarShow, StoredDistancesNeverPutTheBarOutsideTheAvailableArea)
{
    // Counted from the free area's edges: a panel at the bottom moves the bar up with it.
    EXPECT_EQ(showTarget({300, 200}, QRect(0, 0, 1920, 1040), {}), QPoint(1620, 840));
    const PositionRecord far = clampToScreen({5000, 5000}, kBelowPanel);
    EXPECT_EQ(showTarget(far, kBelowPanel, {}), QPoint(75, 148));
    // Too close to the right or bottom edge, or beyond it: the whole bar comes back.
    const PositionRecord near = clampToScreen({10, -40}, kBelowPanel);
    EXPECT_EQ(near, (PositionRecord{48, 48}));
    EXPECT_EQ(showTarget(near, kBelowPanel, {}), QPoint(1872, 1032));
    // Also for a record that was never cut back.
    EXPECT_EQ(showTarget({5000, -40}, kBelowPanel, {}), QPoint(0, 1032));
}

TEST(BarDrag, TheBarIsNeverDraggedOutOfTheAvailableArea)
{
    EXPECT_EQ(dragTarget(QPoint(100, 40), QPoint(0, -30), kBelowPanel), QPoint(100, 30));
    EXPECT_EQ(dragTarget(QPoint(1800, 500), QPoint(200, 900), kBelowPanel), QPoint(1872, 1032));
    EXPECT_EQ(dragTarget(QPoint(10, 500), QPoint(-60, 0), kBelowPanel), QPoint(0, 500));
    // The dock row still holds the bar, counted from the free area's bottom.
    const int dock = dockTop(kBelowPanel);
    EXPECT_EQ(dock, 962);
    EXPECT_EQ(dragTarget(QPoint(400, dock), QPoint(0, 40), kBelowPanel), QPoint(400, dock));
}

TEST(KeepInside, AWindowIsMovedOnlyAsFarAsItsAreaNeeds)
{
    const QSize popup(470, 80);
    EXPECT_EQ(placement::keepInside({725, 30}, popup, kBelowPanel), QPoint(725, 30));
    EXPECT_EQ(placement::keepInside({725, 0}, popup, kBelowPanel), QPoint(725, 30));
    EXPECT_EQ(placement::keepInside({-5, 2000}, popup, kBelowPanel), QPoint(0, 1000));
    EXPECT_EQ(placement::keepInside({1800, 500}, popup, kBelowPanel), QPoint(1450, 500));
    // Larger than the area: its top-left corner stays on screen.
    EXPECT_EQ(placement::keepInside({300, 300}, QSize(2500, 1200), kBelowPanel), QPoint(0, 30));
    const QRect second(1920, 0, 1280, 1024);
    EXPECT_EQ(placement::keepInside({1000, 10}, popup, second), QPoint(1920, 10));
}

TEST(BarDrag, TheDockColumnHoldsTheBarForFiftyPixels)
{
    const int dock = dockLeft(kScreen);
    EXPECT_EQ(dock, 1845);
    EXPECT_EQ(dragAxis(dock, 50, dock), dock);
    EXPECT_EQ(dragAxis(dock, -50, dock), dock);
    EXPECT_EQ(dragAxis(dock, 51, dock), dock + 51);
    EXPECT_EQ(dragAxis(dock, -51, dock), dock - 51);
    // Elsewhere the bar follows every pixel.
    EXPECT_EQ(dragAxis(dock - 1, 1, dock), dock);
    EXPECT_EQ(dragAxis(400, 3, dock), 403);
    // Both axes at once: only the docked one sticks.
    const QPoint docked(dock, 500);
    EXPECT_EQ(dragTarget(docked, QPoint(30, 30), kScreen), QPoint(dock, 530));
    EXPECT_EQ(dragTarget(QPoint(400, dockTop(kScreen)), QPoint(30, 30), kScreen),
              QPoint(430, dockTop(kScreen)));
}

TEST(BarDrag, ADockedCoordinateIsStoredAsX)
{
    EXPECT_EQ(recordAfterDrag(kScreen, QPoint(1845, 962)), PositionRecord{});
    EXPECT_EQ(recordAfterDrag(kScreen, QPoint(1844, 961)), (PositionRecord{76, 119}));
    EXPECT_EQ(recordAfterDrag(kScreen, QPoint(1845, 100)).lines(), QStringList({"X", "980"}));
}

TEST(FadeSteps, SevenStepsEachWayAndTheEighthTickEnds)
{
    Fade f;
    f.startIn();
    for (int i = 1; i <= 7; ++i) {
        EXPECT_EQ(f.tick(), Fade::Outcome::Stepped);
        EXPECT_EQ(f.alpha(), 35 * i);
    }
    EXPECT_EQ(f.tick(), Fade::Outcome::FadedIn);
    EXPECT_FALSE(f.running());
    EXPECT_EQ(f.alpha(), 245);

    f.startOut();
    for (int i = 6; i >= 0; --i) {
        EXPECT_EQ(f.tick(), Fade::Outcome::Stepped);
        EXPECT_EQ(f.alpha(), 35 * i);
    }
    EXPECT_EQ(f.tick(), Fade::Outcome::FadedOut);
    EXPECT_FALSE(f.running());
}

TEST(FadeSteps, AFadeOutDuringAFadeInStartsFromFull)
{
    Fade f;
    f.startIn();
    f.tick();
    f.tick();
    f.startOut();
    EXPECT_EQ(f.alpha(), 245);
    int ticks = 0;
    while (f.tick() == Fade::Outcome::Stepped)
        ++ticks;
    EXPECT_EQ(ticks, 7);
    EXPECT_EQ(f.alpha(), 0);
}

TEST(FrameKeyOrder, EscapeClosesPanelThenRenameFieldThenWindow)
{
    using frame::KeyAction;
    frame::KeyContext k;
    k.escape = true;
    k.settingsPanelShown = true;
    k.renameFieldShown = true;
    k.avatarViewerShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::HideSettingsPanel);
    k.settingsPanelShown = false;
    EXPECT_EQ(frame::keyAction(k), KeyAction::Discard);
    k.avatarViewerShown = false;
    EXPECT_EQ(frame::keyAction(k), KeyAction::HideRenameField);
    k.renameFieldShown = false;
    EXPECT_EQ(frame::keyAction(k), KeyAction::FadeOut);
    k.escape = false;
    EXPECT_EQ(frame::keyAction(k), KeyAction::PassOn);
}

TEST(FrameKeyOrder, SmallWindowsSwallowEveryKey)
{
    using frame::KeyAction;
    frame::KeyContext k;
    k.quickSendShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::DiscardAndFadeQuickSend);
    k.escape = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::DiscardAndFadeQuickSend);
    k = {};
    k.avatarViewerShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::Discard);
    // Typing reaches the panel's controls while only the panel is open.
    k = {};
    k.settingsPanelShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::PassOn);
}
