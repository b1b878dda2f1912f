#include "core/PictureFit.h"

#include <gtest/gtest.h>

namespace {

const QSize kBox(700, 700);

} // namespace

TEST(PictureFit, ScalesUpOrDownToTheBoxKeepingProportionsCentred)
{
    struct Case
    {
        QSize picture;
        QRect shown;
    };
    const Case cases[] = {
        {{350, 200}, {0, 150, 700, 400}},     // up, wide: black above and below
        {{200, 350}, {150, 0, 400, 700}},     // up, tall: black left and right
        {{1400, 1400}, {0, 0, 700, 700}},     // down, square
        {{700, 700}, {0, 0, 700, 700}},       // already fits
        {{1, 1}, {0, 0, 700, 700}},           // a single pixel fills the box
        {{333, 500}, {117, 0, 466, 700}},     // 466.2 rounds down
        {{3, 2}, {0, 116, 700, 467}},         // 466.7 rounds up
        {{40000, 20000}, {0, 175, 700, 350}}, // no overflow on large pictures
    };
    for (const Case& c : cases)
        EXPECT_EQ(fit::scaledInto(c.picture, kBox), c.shown)
            << c.picture.width() << "x" << c.picture.height();
}

TEST(PictureFit, AThinPictureKeepsAPixelAndNothingFitsIntoNothing)
{
    EXPECT_EQ(fit::scaledInto({1, 100000}, kBox), QRect(349, 0, 1, 700));
    EXPECT_EQ(fit::scaledInto({100000, 1}, kBox), QRect(0, 349, 700, 1));
    EXPECT_TRUE(fit::scaledInto({0, 0}, kBox).isEmpty());
    EXPECT_TRUE(fit::scaledInto({350, 0}, kBox).isEmpty());
    EXPECT_TRUE(fit::scaledInto({350, 200}, {0, 0}).isEmpty());
}

TEST(PictureFit, TheViewerSitsInTheMiddleOfItsScreen)
{
    EXPECT_EQ(fit::centredOn({0, 0, 1920, 1080}, kBox), QPoint(610, 190));
    // Halves are taken separately, each rounded down.
    EXPECT_EQ(fit::centredOn({0, 0, 1366, 769}, {701, 701}), QPoint(333, 34));
    // A screen right of the first one.
    EXPECT_EQ(fit::centredOn({1920, 0, 1280, 1024}, kBox), QPoint(1920 + 290, 162));
    // A screen smaller than the window: the window overhangs evenly.
    EXPECT_EQ(fit::centredOn({0, 0, 640, 480}, kBox), QPoint(-30, -110));
}
