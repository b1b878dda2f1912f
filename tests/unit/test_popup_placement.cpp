// Where the new-message popup and its "+" square go in a screen's available area.
#include "core/WindowPlacement.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using namespace placement;

namespace {

// What a panel at the top of a 1920 x 1080 screen leaves free.
const QRect kBelowPanel(0, 30, 1920, 1050);

} // namespace

TEST(PopupPlacement, ThePopupSitsAtTheTopCentreOfTheFreeArea)
{
    EXPECT_EQ(popupTopCentre(kBelowPanel, QSize(350, 80)), QPoint(785, 30));
    // Widened for a long text: still centred, at its new width.
    EXPECT_EQ(popupTopCentre(kBelowPanel, QSize(470, 80)), QPoint(725, 30));
    EXPECT_EQ(popupTopCentre(kBelowPanel, QSize(471, 80)), QPoint(725, 30));
    // A panel on the left, and a second screen, count from their own edges.
    EXPECT_EQ(popupTopCentre(QRect(64, 0, 1856, 1080), QSize(350, 80)), QPoint(817, 0));
    EXPECT_EQ(popupTopCentre(QRect(1920, 0, 1280, 1024), QSize(350, 80)), QPoint(2385, 0));
    // Wider than the screen: its start stays in view.
    EXPECT_EQ(popupTopCentre(kBelowPanel, QSize(2400, 80)), QPoint(0, 30));
}

TEST(PopupPlacement, TheSquareSitsAtTheTopLeftOfTheRightEdge)
{
    EXPECT_EQ(popupSquare(kBelowPanel, QSize(40, 40)), QPoint(1730, 30));
    EXPECT_EQ(popupSquare(QRect(1920, 0, 1280, 1024), QSize(40, 40)), QPoint(3010, 0));
    // A screen too narrow for the gap keeps the square on it.
    EXPECT_EQ(popupSquare(QRect(0, 0, 100, 100), QSize(40, 40)), QPoint(0, 0));
}
