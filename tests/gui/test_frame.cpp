#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/FrameImage.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using Client = OfflineClient;

int finishFade(TNetwork* w)
{
    int ticks = 0;
    for (auto* fx = control<QTimer>(w, "fx"); fx->isActive() && ticks < 100;) {
        tick(fx);
        ++ticks;
    }
    return ticks;
}

// Shown, faded in and with the settings panel and rename field closed.
void open(TNetwork* w)
{
    w->show();
    finishFade(w);
}

} // namespace

TEST(FrameCreation, TheSignInScreenIsInPlace)
{
    Client c;
    TNetwork* w = c.w();
    EXPECT_EQ(w->size(), QSize(1200, 700));
    EXPECT_TRUE(w->windowFlags() & Qt::FramelessWindowHint);
    EXPECT_FALSE(w->hasTaskbarButton());

    struct Expect
    {
        const char* control;
        QRect place;
        bool shown;
    };
    const Expect table[] = {
        {"bg", {0, 0, 1200, 700}, true},         {"Image2", {514, 0, 176, 38}, true},
        {"Image1", {1154, 0, 38, 38}, true},     {"bclose", {987, 0, 113, 17}, true},
        {"more", {1147, 78, 40, 136}, false},    {"Label1", {376, 256, 441, 23}, true},
        {"username", {484, 288, 234, 21}, true}, {"pass", {484, 312, 234, 21}, true},
        {"Button2", {484, 338, 234, 27}, true},  {"c1", {488, 368, 225, 50}, true},
        {"c2", {488, 418, 225, 50}, true},       {"c3", {488, 468, 225, 50}, true},
        {"favs", {102, 270, 44, 40}, true},      {"users", {52, 56, 800, 177}, false},
        {"chat", {224, 240, 628, 289}, false},   {"sms", {224, 240, 628, 177}, false},
        {"msg", {224, 543, 514, 74}, false},     {"sendbut", {739, 543, 113, 48}, false},
        {"m2", {971, 530, 169, 20}, false},      {"delbut", {979, 587, 153, 17}, false},
    };
    for (const Expect& e : table) {
        EXPECT_EQ(control<QWidget>(w, e.control)->geometry(), e.place) << e.control;
        EXPECT_EQ(shownIn(w, e.control), e.shown) << e.control;
    }
    // The panel keeps its place when its picture is missing.
    EXPECT_EQ(control<QWidget>(w, "block1")->geometry(), QRect(880, 200, 338, 417));
    EXPECT_FALSE(shownIn(w, "block1"));
}

TEST(FrameCreation, CaptionsComeFromTheStringTable)
{
    Client c("rus/\r\n");
    TNetwork* w = c.w();
    EXPECT_EQ(textOf(w, "Button2"), "Запуск");
    EXPECT_EQ(textOf(w, "username"), "Имя");
    EXPECT_EQ(textOf(w, "m2"), textOf(w, "c2"));
    EXPECT_EQ(textOf(w, "m3"), textOf(w, "c3"));
    EXPECT_EQ(control<QComboBox>(w, "regionname")->currentText(), "Регион");
    EXPECT_EQ(control<QComboBox>(w, "subjecttype")->currentText(), "Вид деятельности");
    EXPECT_EQ(control<FrameImage>(w, "favs")->toolTip(), "Добавить пользователя в Избранное");
    EXPECT_EQ(textOf(w, "User"), "-");
    // The five option buttons are one group: checking one clears the other four.
    auto* forget = control<QRadioButton>(w, "c2");
    forget->setChecked(true);
    control<QRadioButton>(w, "m3")->setChecked(true);
    EXPECT_FALSE(forget->isChecked());
    EXPECT_FALSE(control<QRadioButton>(w, "c1")->isChecked());
    EXPECT_EQ(control<QWidget>(w, "Image1")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(control<QWidget>(w, "Button2")->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(control<QWidget>(w, "c1")->cursor().shape(), Qt::PointingHandCursor);
}

TEST(FrameShow, ShowFadesInAndClosingTellsTheMiniBar)
{
    Client c;
    TNetwork* w = c.w();
    c.ctx->Minimized()->setMainWindowOpenFlag(1);
    // The backdrop is decoded when the window first shows, and only then.
    auto* backdrop = control<FrameImage>(w, "bg");
    EXPECT_TRUE(backdrop->picture().isNull());
    QImage picture(12, 7, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    ASSERT_TRUE(picture.save(c.data("network.jpg")));
    w->show();
    EXPECT_EQ(backdrop->picture().size(), QSize(12, 7));
    EXPECT_EQ(backdrop->pictureFile(), c.data("network.jpg"));
    EXPECT_TRUE(w->hasTaskbarButton());
    EXPECT_EQ(control<FrameImage>(w, "Image1")->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(control<FrameImage>(w, "bclose")->pictureFile(), c.data("close_button.png"));
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_EQ(finishFade(w), 8);
    EXPECT_EQ(w->fade().alpha(), 245);

    click(w, "bclose");
    EXPECT_EQ(w->fade().direction(), Fade::Direction::Out);
    EXPECT_EQ(finishFade(w), 8);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->hasTaskbarButton());
    EXPECT_EQ(c.ctx->Minimized()->MainWindowOpenFlag(), 0);
    EXPECT_EQ(c.ctx->Minimized()->findChild<QAction*>("pop1")->text(), "Open");
    open(w);
    EXPECT_EQ(backdrop->loads(), 1);
}

TEST(FrameShow, AFadeOutDuringTheFadeInRunsFromFull)
{
    Client c;
    TNetwork* w = c.w();
    w->show();
    tick(w, "fx");
    tick(w, "fx");
    ASSERT_EQ(w->fade().alpha(), 70);
    w->StartFadeOut();
    EXPECT_EQ(w->fade().alpha(), 245);
    for (int i = 0; i < 7; ++i)
        tick(w, "fx");
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_TRUE(w->isVisible());
    tick(w, "fx");
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->fading());
}

TEST(FrameKeys, EscapeClosesPanelThenRenameFieldThenWindow)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    click(w, "more");
    ASSERT_TRUE(shownIn(w, "block1"));
    EXPECT_TRUE(shownIn(w, "delbut"));
    auto* name = control<QLineEdit>(w, "username");
    name->setFocus();

    QTest::keyClick(name, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(shownIn(w, "block1"));
    EXPECT_FALSE(shownIn(w, "regionname"));
    EXPECT_FALSE(w->fading());

    control<QLineEdit>(w, "rnm")->show();
    QTest::keyClick(name, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(shownIn(w, "rnm"));
    EXPECT_FALSE(w->fading());

    QTest::keyClick(name, Qt::Key_Escape);
    settleAll();
    EXPECT_TRUE(w->fading());
    EXPECT_EQ(w->fade().direction(), Fade::Direction::Out);
    finishFade(w);
    EXPECT_FALSE(w->isVisible());
}

TEST(FrameKeys, OtherKeysReachTheFocusedControl)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->showSettingsPanel();
    auto* name = control<QLineEdit>(w, "username");
    name->clear();
    name->setFocus();
    QTest::keyClicks(name, "bob");
    EXPECT_EQ(name->text(), "bob");
    EXPECT_TRUE(shownIn(w, "block1"));
}

TEST(FrameKeys, TheQuickSendWindowTakesTheKeysAway)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->showSettingsPanel();
    control<QLineEdit>(w, "rnm")->show();
    auto* name = control<QLineEdit>(w, "username");
    name->clear();
    name->setFocus();
    c.ctx->NetMenu()->show();
    // Escape still closes the panel first.
    EXPECT_TRUE(keyUsedUp(name, Qt::Key_Escape));
    EXPECT_FALSE(shownIn(w, "block1"));
    EXPECT_TRUE(c.ctx->NetMenu()->isVisible());
    // Then nothing gets through, and the quick-send window goes away.
    QTest::keyClick(name, Qt::Key_A);
    settleAll();
    EXPECT_TRUE(name->text().isEmpty());
    TNetMenu* quick = c.ctx->NetMenu();
    EXPECT_TRUE(running(quick, "fx"));
    fireWhileRunning(control<QTimer>(quick, "fx"), 100);
    EXPECT_FALSE(quick->isVisible());
    EXPECT_TRUE(shownIn(w, "rnm"));
    EXPECT_FALSE(w->fading());
}

TEST(FrameMouse, ADragOnTheBackgroundMovesTheWindowByTheSameAmount)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    control<QLineEdit>(w, "rnm")->show();
    const QPoint start = w->pos();
    auto* bg = control<QWidget>(w, "bg");
    QTest::mousePress(bg, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(shownIn(w, "rnm"));
    QTest::mouseMove(bg, QPoint(400, 300));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));
    QTest::mouseRelease(bg, Qt::LeftButton, {}, QPoint(300, 300));
    QTest::mouseMove(bg, QPoint(500, 500));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));

    // The settings panel is a handle too.
    w->showSettingsPanel();
    auto* panel = control<QWidget>(w, "block1");
    QTest::mousePress(panel, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(panel, QPoint(10, 40));
    QTest::mouseRelease(panel, Qt::LeftButton, {}, QPoint(10, 40));
    EXPECT_EQ(w->pos(), start + QPoint(100, 30));
}

TEST(FrameMouse, HoverPicturesAreReadOncePerHover)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    auto* back = control<FrameImage>(w, "Image1");
    auto* bg = control<QWidget>(w, "bg");
    const int before = back->loads();
    QTest::mouseMove(back, QPoint(5, 5));
    QTest::mouseMove(back, QPoint(6, 6));
    EXPECT_EQ(back->pictureFile(), c.data("back2M.png"));
    EXPECT_EQ(back->loads(), before + 1);
    QTest::mouseMove(bg, QPoint(600, 600));
    QTest::mouseMove(bg, QPoint(601, 600));
    EXPECT_EQ(back->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(back->loads(), before + 2);

    // "more" comes back under the other spelling of its name.
    auto* more = control<FrameImage>(w, "more");
    auto* close = control<FrameImage>(w, "bclose");
    auto* minimise = control<FrameImage>(w, "Image2");
    more->show();
    QTest::mouseMove(more, QPoint(5, 5));
    EXPECT_EQ(more->pictureFile(), c.data("MoreM.png"));
    QTest::mouseMove(close, QPoint(5, 5));
    EXPECT_EQ(more->pictureFile(), c.data("More.png"));
    EXPECT_EQ(close->pictureFile(), c.data("close_buttonM.png"));
    QTest::mouseMove(minimise, QPoint(5, 5));
    EXPECT_EQ(minimise->pictureFile(), c.data("Minimize2M.png"));
    QTest::mouseMove(control<QTreeWidget>(w, "users")->viewport(), QPoint(5, 5));
    EXPECT_EQ(minimise->pictureFile(), c.data("minimize2.png"));
    EXPECT_EQ(close->pictureFile(), c.data("close_button.png"));
}

TEST(FrameMouse, CloseImagesAndMoreReactToClicks)
{
    Client c;
    TNetwork* w = c.w();
    for (const char* image : {"Image1", "Image2", "bclose"}) {
        open(w);
        QTest::mouseClick(control<QWidget>(w, image), Qt::LeftButton, {}, QPoint(5, 5));
        settleAll();
        EXPECT_EQ(w->fade().direction(), Fade::Direction::Out) << image;
        finishFade(w);
        EXPECT_FALSE(w->isVisible());
    }
    open(w);
    auto* more = control<QWidget>(w, "more");
    more->show();
    QTest::mouseClick(more, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_TRUE(shownIn(w, "block1"));
    QTest::mouseClick(more, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(shownIn(w, "block1"));
    // The right button is no click.
    QTest::mouseClick(control<FrameImage>(w, "bclose"), Qt::RightButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(w->fading());
}
