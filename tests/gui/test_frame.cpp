#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/FrameImage.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QComboBox>
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

struct Client
{
    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;

    explicit Client(const QByteArray& language = "eng/\r\n")
    {
        root.write("app/0rg_System/LC.xo", language);
        UserEnvironment env;
        env.exePath = root.path("app/Larkspire");
        env.home = root.path("home");
        env.stateHome = root.path("state");
        ctx = std::make_unique<AppContext>(env, FakePlatform::make(&fakes));
        ctx->createWindows();
    }
    TNetwork* w() const { return ctx->Network(); }
    QString data(const QString& name) const { return root.path("app/0rg_System/" + name); }
};

int finishFade(TNetwork* w)
{
    int ticks = 0;
    while (w->fx->isActive() && ticks < 100) {
        w->fxTimer();
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
        QWidget* control;
        QRect place;
        bool shown;
    };
    const Expect table[] = {
        {w->bg, {0, 0, 1200, 700}, true},         {w->Image2, {514, 0, 176, 38}, true},
        {w->Image1, {1154, 0, 38, 38}, true},     {w->bclose, {987, 0, 113, 17}, true},
        {w->more, {1147, 78, 40, 136}, false},    {w->Label1, {376, 256, 441, 23}, true},
        {w->username, {484, 288, 234, 21}, true}, {w->pass, {484, 312, 234, 21}, true},
        {w->Button2, {484, 338, 234, 27}, true},  {w->c1, {488, 368, 225, 50}, true},
        {w->c2, {488, 418, 225, 50}, true},       {w->c3, {488, 468, 225, 50}, true},
        {w->favs, {102, 270, 44, 40}, true},      {w->users, {52, 56, 800, 177}, false},
        {w->chat, {224, 240, 628, 289}, false},   {w->sms, {224, 240, 628, 177}, false},
        {w->msg, {224, 543, 514, 74}, false},     {w->sendbut, {739, 543, 113, 48}, false},
        {w->m2, {971, 530, 169, 20}, false},      {w->delbut, {979, 587, 153, 17}, false},
    };
    for (const Expect& e : table) {
        EXPECT_EQ(e.control->geometry(), e.place) << e.control->objectName().toStdString();
        EXPECT_EQ(e.control->isVisibleTo(w), e.shown) << e.control->objectName().toStdString();
    }
    // The panel keeps its place when its picture is missing.
    EXPECT_EQ(w->block1->geometry(), QRect(880, 200, 338, 417));
    EXPECT_FALSE(w->block1->isVisibleTo(w));
}

TEST(FrameCreation, CaptionsComeFromTheStringTable)
{
    Client c("rus/\r\n");
    TNetwork* w = c.w();
    EXPECT_EQ(w->Button2->text(), "Запуск");
    EXPECT_EQ(w->username->text(), "Имя");
    EXPECT_EQ(w->m2->text(), w->c2->text());
    EXPECT_EQ(w->m3->text(), w->c3->text());
    EXPECT_EQ(w->regionname->currentText(), "Регион");
    EXPECT_EQ(w->subjecttype->currentText(), "Вид деятельности");
    EXPECT_EQ(w->favs->toolTip(), "Добавить пользователя в Избранное");
    EXPECT_EQ(w->User->text(), "-");
    // The five option buttons are one group: checking one clears the other four.
    w->c2->setChecked(true);
    w->m3->setChecked(true);
    EXPECT_FALSE(w->c2->isChecked());
    EXPECT_FALSE(w->c1->isChecked());
    EXPECT_EQ(w->Image1->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->Button2->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(w->c1->cursor().shape(), Qt::PointingHandCursor);
}

TEST(FrameShow, ShowFadesInAndClosingTellsTheMiniBar)
{
    Client c;
    TNetwork* w = c.w();
    c.ctx->Minimized()->setMainWindowOpenFlag(1);
    w->show();
    EXPECT_TRUE(w->hasTaskbarButton());
    EXPECT_EQ(w->Image1->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(w->bclose->pictureFile(), c.data("close_button.png"));
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_EQ(finishFade(w), 8);
    EXPECT_EQ(w->fade().alpha(), 245);

    w->bcloseClick();
    EXPECT_EQ(w->fade().direction(), Fade::Direction::Out);
    EXPECT_EQ(finishFade(w), 8);
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->hasTaskbarButton());
    EXPECT_EQ(c.ctx->Minimized()->MainWindowOpenFlag(), 0);
    EXPECT_EQ(c.ctx->Minimized()->pop1->text(), "Open");
}

TEST(FrameShow, AFadeOutDuringTheFadeInRunsFromFull)
{
    Client c;
    TNetwork* w = c.w();
    w->show();
    w->fxTimer();
    w->fxTimer();
    ASSERT_EQ(w->fade().alpha(), 70);
    w->StartFadeOut();
    EXPECT_EQ(w->fade().alpha(), 245);
    for (int i = 0; i < 7; ++i)
        w->fxTimer();
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_TRUE(w->isVisible());
    w->fxTimer();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->fading());
}

TEST(FrameKeys, EscapeClosesPanelThenRenameFieldThenWindow)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->moreClick();
    ASSERT_TRUE(w->block1->isVisibleTo(w));
    EXPECT_TRUE(w->delbut->isVisibleTo(w));
    w->username->setFocus();

    QTest::keyClick(w->username, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(w->block1->isVisibleTo(w));
    EXPECT_FALSE(w->regionname->isVisibleTo(w));
    EXPECT_FALSE(w->fading());

    w->rnm->show();
    QTest::keyClick(w->username, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(w->rnm->isVisibleTo(w));
    EXPECT_FALSE(w->fading());

    QTest::keyClick(w->username, Qt::Key_Escape);
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
    w->block1show();
    w->username->clear();
    w->username->setFocus();
    QTest::keyClicks(w->username, "bob");
    EXPECT_EQ(w->username->text(), "bob");
    EXPECT_TRUE(w->block1->isVisibleTo(w));
}

TEST(FrameKeys, TheQuickSendWindowTakesTheKeysAway)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->block1show();
    w->rnm->show();
    w->username->clear();
    w->username->setFocus();
    c.ctx->NetMenu()->show();
    // Escape still closes the panel first.
    EXPECT_TRUE(w->FormKeyUp(Qt::Key_Escape));
    EXPECT_FALSE(w->block1->isVisibleTo(w));
    EXPECT_TRUE(c.ctx->NetMenu()->isVisible());
    // Then nothing gets through, and the quick-send window goes away.
    QTest::keyClick(w->username, Qt::Key_A);
    settleAll();
    EXPECT_TRUE(w->username->text().isEmpty());
    TNetMenu* quick = c.ctx->NetMenu();
    EXPECT_TRUE(quick->fx->isActive());
    for (int tick = 0; tick < 100 && quick->fx->isActive(); ++tick)
        quick->fxTimer();
    EXPECT_FALSE(quick->isVisible());
    EXPECT_TRUE(w->rnm->isVisibleTo(w));
    EXPECT_FALSE(w->fading());
}

TEST(FrameMouse, ADragOnTheBackgroundMovesTheWindowByTheSameAmount)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->rnm->show();
    const QPoint start = w->pos();
    QTest::mousePress(w->bg, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(w->rnm->isVisibleTo(w));
    QTest::mouseMove(w->bg, QPoint(400, 300));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));
    QTest::mouseRelease(w->bg, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(w->FrameDragging);
    QTest::mouseMove(w->bg, QPoint(500, 500));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));

    // The settings panel is a handle too.
    w->block1show();
    QTest::mousePress(w->block1, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(w->block1, QPoint(10, 40));
    QTest::mouseRelease(w->block1, Qt::LeftButton, {}, QPoint(10, 40));
    EXPECT_EQ(w->pos(), start + QPoint(100, 30));
}

TEST(FrameMouse, HoverPicturesAreReadOncePerHover)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    const int before = w->Image1->loads();
    QTest::mouseMove(w->Image1, QPoint(5, 5));
    QTest::mouseMove(w->Image1, QPoint(6, 6));
    EXPECT_EQ(w->Image1->pictureFile(), c.data("back2M.png"));
    EXPECT_EQ(w->Image1->loads(), before + 1);
    QTest::mouseMove(w->bg, QPoint(600, 600));
    QTest::mouseMove(w->bg, QPoint(601, 600));
    EXPECT_EQ(w->Image1->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(w->Image1->loads(), before + 2);

    // "more" comes back under the other spelling of its name.
    w->more->show();
    QTest::mouseMove(w->more, QPoint(5, 5));
    EXPECT_EQ(w->more->pictureFile(), c.data("MoreM.png"));
    QTest::mouseMove(w->bclose, QPoint(5, 5));
    EXPECT_EQ(w->more->pictureFile(), c.data("More.png"));
    EXPECT_EQ(w->bclose->pictureFile(), c.data("close_buttonM.png"));
    QTest::mouseMove(w->Image2, QPoint(5, 5));
    EXPECT_EQ(w->Image2->pictureFile(), c.data("Minimize2M.png"));
    QTest::mouseMove(w->users->viewport(), QPoint(5, 5));
    EXPECT_EQ(w->Image2->pictureFile(), c.data("minimize2.png"));
    EXPECT_EQ(w->bclose->pictureFile(), c.data("close_button.png"));
}

TEST(FrameMouse, CloseImagesAndMoreReactToClicks)
{
    Client c;
    TNetwork* w = c.w();
    for (FrameImage* image : {w->Image1, w->Image2, w->bclose}) {
        open(w);
        QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(5, 5));
        settleAll();
        EXPECT_EQ(w->fade().direction(), Fade::Direction::Out) << image->objectName().toStdString();
        finishFade(w);
        EXPECT_FALSE(w->isVisible());
    }
    open(w);
    w->more->show();
    QTest::mouseClick(w->more, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_TRUE(w->block1->isVisibleTo(w));
    QTest::mouseClick(w->more, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(w->block1->isVisibleTo(w));
    // The right button is no click.
    QTest::mouseClick(w->bclose, Qt::RightButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(w->fading());
}
