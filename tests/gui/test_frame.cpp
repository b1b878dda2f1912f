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
    while (w->fadeTimer->isActive() && ticks < 100) {
        w->onFadeTick();
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
        {w->background, {0, 0, 1200, 700}, true},
        {w->minimizeImage, {514, 0, 176, 38}, true},
        {w->backImage, {1154, 0, 38, 38}, true},
        {w->closeImage, {987, 0, 113, 17}, true},
        {w->settingsToggle, {1147, 78, 40, 136}, false},
        {w->signInTitle, {376, 256, 441, 23}, true},
        {w->nameEdit, {484, 288, 234, 21}, true},
        {w->passwordEdit, {484, 312, 234, 21}, true},
        {w->signInButton, {484, 338, 234, 27}, true},
        {w->autoSignInOption, {488, 368, 225, 50}, true},
        {w->forgetPasswordOption, {488, 418, 225, 50}, true},
        {w->sharedComputerOption, {488, 468, 225, 50}, true},
        {w->favouriteMark, {102, 270, 44, 40}, true},
        {w->userList, {52, 56, 800, 177}, false},
        {w->conversationView, {224, 240, 628, 289}, false},
        {w->quickSendButton, {224, 240, 628, 177}, false},
        {w->messageEdit, {224, 543, 514, 74}, false},
        {w->sendButton, {739, 543, 113, 48}, false},
        {w->panelForgetPasswordOption, {971, 530, 169, 20}, false},
        {w->deleteAccountButton, {979, 587, 153, 17}, false},
    };
    for (const Expect& e : table) {
        EXPECT_EQ(e.control->geometry(), e.place) << e.control->objectName().toStdString();
        EXPECT_EQ(e.control->isVisibleTo(w), e.shown) << e.control->objectName().toStdString();
    }
    // The panel keeps its place when its picture is missing.
    EXPECT_EQ(w->settingsPanel->geometry(), QRect(880, 200, 338, 417));
    EXPECT_FALSE(w->settingsPanel->isVisibleTo(w));
}

TEST(FrameCreation, CaptionsComeFromTheStringTable)
{
    Client c("rus/\r\n");
    TNetwork* w = c.w();
    EXPECT_EQ(w->signInButton->text(), "Запуск");
    EXPECT_EQ(w->nameEdit->text(), "Имя");
    EXPECT_EQ(w->panelForgetPasswordOption->text(), w->forgetPasswordOption->text());
    EXPECT_EQ(w->panelSharedComputerOption->text(), w->sharedComputerOption->text());
    EXPECT_EQ(w->regionBox->currentText(), "Регион");
    EXPECT_EQ(w->activityBox->currentText(), "Вид деятельности");
    EXPECT_EQ(w->favouriteMark->toolTip(), "Добавить пользователя в Избранное");
    EXPECT_EQ(w->ownNameLabel->text(), "-");
    // The five option buttons are one group: checking one clears the other four.
    w->forgetPasswordOption->setChecked(true);
    w->panelSharedComputerOption->setChecked(true);
    EXPECT_FALSE(w->forgetPasswordOption->isChecked());
    EXPECT_FALSE(w->autoSignInOption->isChecked());
    EXPECT_EQ(w->backImage->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(w->signInButton->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_NE(w->autoSignInOption->cursor().shape(), Qt::PointingHandCursor);
}

TEST(FrameShow, ShowFadesInAndClosingTellsTheMiniBar)
{
    Client c;
    TNetwork* w = c.w();
    c.ctx->Minimized()->setMainWindowOpenFlag(1);
    w->show();
    EXPECT_TRUE(w->hasTaskbarButton());
    EXPECT_EQ(w->backImage->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(w->closeImage->pictureFile(), c.data("close_button.png"));
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_EQ(finishFade(w), 8);
    EXPECT_EQ(w->fade().alpha(), 245);

    w->onCloseClicked();
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
    w->onFadeTick();
    w->onFadeTick();
    ASSERT_EQ(w->fade().alpha(), 70);
    w->StartFadeOut();
    EXPECT_EQ(w->fade().alpha(), 245);
    for (int i = 0; i < 7; ++i)
        w->onFadeTick();
    EXPECT_EQ(w->fade().alpha(), 0);
    EXPECT_TRUE(w->isVisible());
    w->onFadeTick();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(w->fading());
}

TEST(FrameKeys, EscapeClosesPanelThenRenameFieldThenWindow)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->onSettingsToggled();
    ASSERT_TRUE(w->settingsPanel->isVisibleTo(w));
    EXPECT_TRUE(w->deleteAccountButton->isVisibleTo(w));
    w->nameEdit->setFocus();

    QTest::keyClick(w->nameEdit, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(w->settingsPanel->isVisibleTo(w));
    EXPECT_FALSE(w->regionBox->isVisibleTo(w));
    EXPECT_FALSE(w->fading());

    w->renameEdit->show();
    QTest::keyClick(w->nameEdit, Qt::Key_Escape);
    settleAll();
    EXPECT_FALSE(w->renameEdit->isVisibleTo(w));
    EXPECT_FALSE(w->fading());

    QTest::keyClick(w->nameEdit, Qt::Key_Escape);
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
    w->nameEdit->clear();
    w->nameEdit->setFocus();
    QTest::keyClicks(w->nameEdit, "bob");
    EXPECT_EQ(w->nameEdit->text(), "bob");
    EXPECT_TRUE(w->settingsPanel->isVisibleTo(w));
}

TEST(FrameKeys, TheQuickSendWindowTakesTheKeysAway)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->showSettingsPanel();
    w->renameEdit->show();
    w->nameEdit->clear();
    w->nameEdit->setFocus();
    c.ctx->NetMenu()->show();
    // Escape still closes the panel first.
    EXPECT_TRUE(w->previewKey(Qt::Key_Escape));
    EXPECT_FALSE(w->settingsPanel->isVisibleTo(w));
    EXPECT_TRUE(c.ctx->NetMenu()->isVisible());
    // Then nothing gets through, and the quick-send window goes away.
    QTest::keyClick(w->nameEdit, Qt::Key_A);
    settleAll();
    EXPECT_TRUE(w->nameEdit->text().isEmpty());
    TNetMenu* quick = c.ctx->NetMenu();
    EXPECT_TRUE(quick->fx->isActive());
    for (int tick = 0; tick < 100 && quick->fx->isActive(); ++tick)
        quick->fxTimer();
    EXPECT_FALSE(quick->isVisible());
    EXPECT_TRUE(w->renameEdit->isVisibleTo(w));
    EXPECT_FALSE(w->fading());
}

TEST(FrameMouse, ADragOnTheBackgroundMovesTheWindowByTheSameAmount)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    w->renameEdit->show();
    const QPoint start = w->pos();
    QTest::mousePress(w->background, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(w->renameEdit->isVisibleTo(w));
    QTest::mouseMove(w->background, QPoint(400, 300));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));
    QTest::mouseRelease(w->background, Qt::LeftButton, {}, QPoint(300, 300));
    EXPECT_FALSE(w->FrameDragging);
    QTest::mouseMove(w->background, QPoint(500, 500));
    EXPECT_EQ(w->pos(), start + QPoint(100, 0));

    // The settings panel is a handle too.
    w->showSettingsPanel();
    QTest::mousePress(w->settingsPanel, Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(w->settingsPanel, QPoint(10, 40));
    QTest::mouseRelease(w->settingsPanel, Qt::LeftButton, {}, QPoint(10, 40));
    EXPECT_EQ(w->pos(), start + QPoint(100, 30));
}

TEST(FrameMouse, HoverPicturesAreReadOncePerHover)
{
    Client c;
    TNetwork* w = c.w();
    open(w);
    const int before = w->backImage->loads();
    QTest::mouseMove(w->backImage, QPoint(5, 5));
    QTest::mouseMove(w->backImage, QPoint(6, 6));
    EXPECT_EQ(w->backImage->pictureFile(), c.data("back2M.png"));
    EXPECT_EQ(w->backImage->loads(), before + 1);
    QTest::mouseMove(w->background, QPoint(600, 600));
    QTest::mouseMove(w->background, QPoint(601, 600));
    EXPECT_EQ(w->backImage->pictureFile(), c.data("back2.png"));
    EXPECT_EQ(w->backImage->loads(), before + 2);

    // "more" comes back under the other spelling of its name.
    w->settingsToggle->show();
    QTest::mouseMove(w->settingsToggle, QPoint(5, 5));
    EXPECT_EQ(w->settingsToggle->pictureFile(), c.data("MoreM.png"));
    QTest::mouseMove(w->closeImage, QPoint(5, 5));
    EXPECT_EQ(w->settingsToggle->pictureFile(), c.data("More.png"));
    EXPECT_EQ(w->closeImage->pictureFile(), c.data("close_buttonM.png"));
    QTest::mouseMove(w->minimizeImage, QPoint(5, 5));
    EXPECT_EQ(w->minimizeImage->pictureFile(), c.data("Minimize2M.png"));
    QTest::mouseMove(w->userList->viewport(), QPoint(5, 5));
    EXPECT_EQ(w->minimizeImage->pictureFile(), c.data("minimize2.png"));
    EXPECT_EQ(w->closeImage->pictureFile(), c.data("close_button.png"));
}

TEST(FrameMouse, CloseImagesAndMoreReactToClicks)
{
    Client c;
    TNetwork* w = c.w();
    for (FrameImage* image : {w->backImage, w->minimizeImage, w->closeImage}) {
        open(w);
        QTest::mouseClick(image, Qt::LeftButton, {}, QPoint(5, 5));
        settleAll();
        EXPECT_EQ(w->fade().direction(), Fade::Direction::Out) << image->objectName().toStdString();
        finishFade(w);
        EXPECT_FALSE(w->isVisible());
    }
    open(w);
    w->settingsToggle->show();
    QTest::mouseClick(w->settingsToggle, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_TRUE(w->settingsPanel->isVisibleTo(w));
    QTest::mouseClick(w->settingsToggle, Qt::LeftButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(w->settingsPanel->isVisibleTo(w));
    // The right button is no click.
    QTest::mouseClick(w->closeImage, Qt::RightButton, {}, QPoint(5, 5));
    settleAll();
    EXPECT_FALSE(w->fading());
}
