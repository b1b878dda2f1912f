#include "app/AppContext.h"
#include "core/MiniBarPlacement.h"
#include "platform/fake/FakeServices.h"
#include "support/DemoServer.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/ClientWindows.h"
#include "windows/FrameImage.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QCursor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QScreen>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// An installation with the mini bar's picture unless told otherwise, and the position file
// given.
struct Client : OfflineClient
{
    explicit Client(bool picture = true, const QByteArray* positionFile = nullptr)
        : OfflineClient(
              Install{.barPicture = picture,
                      .barPosition = positionFile ? std::optional(*positionFile) : std::nullopt})
    {
    }
};

// An item of the bar's menu, as the tray shows it.
QAction* item(TMinimized* bar, const char* name)
{
    auto* action = bar->findChild<QAction*>(QString::fromLatin1(name));
    EXPECT_TRUE(action) << name;
    return action;
}

QSystemTrayIcon* trayIcon(TMinimized* bar)
{
    return bar->findChild<QSystemTrayIcon*>(QStringLiteral("Tray1"));
}

// The bar's picture, which takes its clicks and drags.
FrameImage* picture(TMinimized* bar)
{
    return control<FrameImage>(bar, "Image1");
}

// The part of the screen that panels leave free.
QRect screen()
{
    return QGuiApplication::primaryScreen()->availableGeometry();
}

// Runs the fade timer's handler until the fade ends, as the timer would.
template <typename W> int finishFade(W* w)
{
    int ticks = 0;
    const auto* timer = w->template findChild<QTimer*>(QStringLiteral("fx"));
    while (timer->isActive() && ticks < 100) {
        if constexpr (std::is_same_v<W, TNetwork>)
            tick(w, "fx");
        else
            w->fxTimer();
        ++ticks;
    }
    return ticks;
}

} // namespace

TEST(MiniBarCreation, TheAutostartItemsAddAndRemoveTheEntry)
{
    Client c;
    TMinimized* bar = c.bar();
    auto* remove = bar->findChild<QAction*>("s1");
    auto* add = bar->findChild<QAction*>("s2");
    ASSERT_FALSE(c.fakes.autostart->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    add->trigger();
    EXPECT_EQ(c.fakes.autostart->command, c.ctx->environment().exePath);
    EXPECT_TRUE(remove->isEnabled());
    EXPECT_FALSE(add->isEnabled());

    c.fakes.desktop->nextAnswer = false;
    remove->trigger();
    EXPECT_TRUE(c.fakes.autostart->isEnabled()) << "removed although the user said no";
    c.fakes.desktop->nextAnswer = true;
    remove->trigger();
    EXPECT_EQ(c.fakes.desktop->questions.last(),
              "Larkspire|Remove Larkspire from Autostart? All files are saved");
    EXPECT_FALSE(c.fakes.autostart->isEnabled());
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_TRUE(add->isEnabled());
}

TEST(MiniBarCreation, MenuCaptionsBuildNumberAndPositionFile)
{
    Client c;
    TMinimized* bar = c.bar();
    EXPECT_EQ(item(bar, "pop1")->text(), "Open");
    EXPECT_EQ(bar->findChild<QMenu*>("PopupMenu1")->defaultAction(), item(bar, "pop1"));
    EXPECT_EQ(trayIcon(bar)->contextMenu(), bar->findChild<QMenu*>("PopupMenu1"));
    EXPECT_TRUE(item(bar, "pop1")->isVisible());
    EXPECT_EQ(item(bar, "pop3")->text(), "Shutdown");
    EXPECT_FALSE(item(bar, "pop3")->icon().isNull());
    EXPECT_FALSE(item(bar, "N2")->isVisible());
    EXPECT_EQ(item(bar, "sets")->text(), "Settings");
    EXPECT_EQ(item(bar, "s1")->text(), "Remove Larkspire from Autostart");
    EXPECT_EQ(item(bar, "s2")->text(), "Add Larkspire to Autostart");
    EXPECT_EQ(item(bar, "NF")->text(), "Open Larkspire folder");
    // Nothing has answered yet.
    EXPECT_EQ(trayIcon(bar)->toolTip(), QString::fromUtf8("Larkspire\nConnecting\u2026"));
    EXPECT_EQ(bar->MainWindowOpenFlag(), 0);
    EXPECT_EQ(control<QTimer>(bar, "fx")->interval(), kFadeTickMs);
    EXPECT_EQ(control<QTimer>(bar, "closetimer")->interval(), 5000);
    // The fonts wait for the first window that writes in them.
    EXPECT_TRUE(c.fakes.fonts->added.isEmpty());
    c.ctx->Photo();
    EXPECT_EQ(c.fakes.fonts->added.size(), 3);

    const QString build = QString::number(LARKSPIRE_BUILD_NUMBER);
    EXPECT_EQ(bar->buildRecord(), QStringList{build});
    EXPECT_EQ(TempTree::read(c.root.path("app/0rg_System/vinfo.xo")), (build + "\r\n").toLatin1());
    EXPECT_EQ(c.positionFile(), QByteArray("X\r\nX\r\n"));
    EXPECT_TRUE(c.fakes.desktop->errors.isEmpty());
}

TEST(MiniBarCreation, AnExistingBuildRecordIsNeverReplaced)
{
    TempTree other;
    Client c;
    c.ctx.reset();
    c.root.write("app/0rg_System/vinfo.xo", "7\r\n");
    UserEnvironment env;
    env.exePath = c.root.path("app/Larkspire");
    env.stateHome = c.root.path("state");
    AppContext again(env, FakePlatform::make(), ClientWindows::make);
    again.createWindows();
    EXPECT_EQ(TempTree::read(c.root.path("app/0rg_System/vinfo.xo")), QByteArray("7\r\n"));
    EXPECT_EQ(again.Minimized()->buildRecord(),
              QStringList{QString::number(LARKSPIRE_BUILD_NUMBER)});
}

TEST(MiniBarCreation, AMissingPictureLeavesTheColourAndIsReportedOnce)
{
    Client c(false);
    // The rest of the creation step still ran.
    EXPECT_EQ(c.positionFile(), QByteArray("X\r\nX\r\n"));
    EXPECT_TRUE(c.fakes.desktop->errors.isEmpty());
    c.bar()->show();
    QCoreApplication::processEvents();
    ASSERT_EQ(c.fakes.desktop->errors.size(), 1);
    EXPECT_TRUE(c.fakes.desktop->errors.first().contains("Larkspire.jpg"));
    EXPECT_EQ(c.bar()->palette().color(QPalette::Window), QColor(47, 47, 53));
    c.bar()->hide();
    c.bar()->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(c.fakes.desktop->errors.size(), 1);
}

TEST(MiniBarShow, FirstShowOpensNextToThePointerAndKeepsX)
{
    Client c;
    QCursor::setPos(400, 300);
    c.bar()->show();
    EXPECT_EQ(c.bar()->size(), QSize(48, 48));
    EXPECT_EQ(c.bar()->pos(), QPoint(376, 222));
    EXPECT_EQ(c.positionFile(), QByteArray("X\r\nX\r\n"));
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 0);
    EXPECT_EQ(item(c.bar(), "pop1")->text(), "Open");
    // It fades in from transparent in seven steps.
    EXPECT_EQ(c.bar()->fade().alpha(), 0);
    EXPECT_EQ(finishFade(c.bar()), 8);
    EXPECT_EQ(c.bar()->fade().alpha(), 245);
    EXPECT_TRUE(c.bar()->isVisible());
}

TEST(MiniBarShow, NextToThePointerAtAnEdgeTheBarStaysOnScreen)
{
    Client c;
    // A tray click on a panel along the top edge, then a pointer in the bottom-left corner.
    QCursor::setPos(screen().right() - 2, screen().top() + 5);
    c.bar()->show();
    EXPECT_EQ(c.bar()->pos(), QPoint(screen().right() + 1 - 48, screen().top()));
    c.bar()->hide();
    QCursor::setPos(screen().left(), screen().bottom());
    c.bar()->show();
    EXPECT_EQ(c.bar()->pos(), QPoint(screen().left(), screen().bottom() - 48 - 30));
    EXPECT_EQ(c.positionFile(), QByteArray("X\r\nX\r\n"));
}

TEST(MiniBarShow, FarDistancesAreCutBackAndStored)
{
    const QByteArray far("5000\r\n5000\r\n");
    Client c(true, &far);
    c.bar()->show();
    EXPECT_EQ(c.bar()->pos(), screen().topLeft() + QPoint(75, 118));
    EXPECT_EQ(c.positionFile(), QStringLiteral("%1\r\n%2\r\n")
                                    .arg(screen().width() - 75)
                                    .arg(screen().height() - 118)
                                    .toLatin1());
}

TEST(MiniBarShow, ADamagedPositionFileIsRepairedWithoutAnError)
{
    for (const QByteArray& damaged :
         {QByteArray("300\r\n"), QByteArray("left\r\ntop\r\n"), QByteArray()}) {
        Client c(true, &damaged);
        EXPECT_EQ(c.positionFile(), damaged.startsWith("300") ? QByteArray("300\r\nX\r\n")
                                                              : QByteArray("X\r\nX\r\n"));
        QCursor::setPos(400, 300);
        c.bar()->show();
        QCoreApplication::processEvents();
        EXPECT_TRUE(c.fakes.desktop->errors.isEmpty());
        EXPECT_EQ(c.bar()->pos().y(), 222);
    }
}

TEST(MiniBarMouse, AClickFadesTheBarAndThenOpensTheMainWindow)
{
    Client c;
    c.bar()->show();
    finishFade(c.bar());
    QTest::mousePress(picture(c.bar()), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(picture(c.bar()), Qt::LeftButton, {}, QPoint(20, 20));
    EXPECT_EQ(c.bar()->BarFadeAction(), "network");
    EXPECT_EQ(c.bar()->fade().alpha(), 245);
    // Not before the fade is over.
    c.bar()->fxTimer();
    EXPECT_FALSE(c.w()->isVisible());
    finishFade(c.bar());
    EXPECT_FALSE(c.bar()->isVisible());
    EXPECT_TRUE(c.w()->isVisible());
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 1);
    EXPECT_EQ(item(c.bar(), "pop1")->text(), "Minimize");
    // The bar went first, so the main window keeps its taskbar button.
    EXPECT_TRUE(c.w()->hasTaskbarButton());
}

TEST(MiniBarMouse, TheRightButtonOnlyPutsTheBarAway)
{
    Client c;
    c.bar()->show();
    QTest::mousePress(picture(c.bar()), Qt::RightButton, {}, QPoint(20, 20));
    QTest::mouseRelease(picture(c.bar()), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_TRUE(c.bar()->BarFadeAction().isEmpty());
    finishFade(c.bar());
    EXPECT_FALSE(c.bar()->isVisible());
    EXPECT_FALSE(c.w()->isVisible());
}

TEST(MiniBarMouse, DraggingMovesTheBarAndRecordsIt)
{
    Client c;
    QCursor::setPos(400, 300);
    c.bar()->show();
    finishFade(c.bar());
    const QPoint start = c.bar()->pos();
    QTest::mousePress(picture(c.bar()), Qt::LeftButton, {}, QPoint(10, 10));
    QTest::mouseMove(picture(c.bar()), QPoint(110, 40));
    EXPECT_EQ(c.bar()->pos(), start + QPoint(100, 30));
    const QRect s = screen();
    EXPECT_EQ(c.positionFile(), QStringLiteral("%1\r\n%2\r\n")
                                    .arg(s.right() + 1 - c.bar()->pos().x())
                                    .arg(s.bottom() + 1 - c.bar()->pos().y())
                                    .toLatin1());
    QTest::mouseRelease(picture(c.bar()), Qt::LeftButton, {}, QPoint(10, 10));
    // A drag is no click: the bar stays.
    EXPECT_FALSE(running(c.bar(), "fx"));
    EXPECT_TRUE(c.bar()->isVisible());

    // The next show puts it back where it was dragged.
    c.bar()->hide();
    QCursor::setPos(10, 10);
    c.bar()->show();
    EXPECT_EQ(c.bar()->pos(), start + QPoint(100, 30));
}

TEST(MiniBarMouse, ARightDragMovesAndThenHides)
{
    Client c;
    QCursor::setPos(400, 300);
    c.bar()->show();
    const QPoint start = c.bar()->pos();
    QTest::mousePress(picture(c.bar()), Qt::RightButton, {}, QPoint(10, 10));
    QTest::mouseMove(picture(c.bar()), QPoint(30, 10));
    QTest::mouseRelease(picture(c.bar()), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_EQ(c.bar()->pos(), start + QPoint(20, 0));
    EXPECT_TRUE(c.bar()->BarFadeAction().isEmpty());
    finishFade(c.bar());
    EXPECT_FALSE(c.bar()->isVisible());
    EXPECT_FALSE(c.w()->isVisible());
}

TEST(MiniBarMouse, TheDockColumnIsStoredAsXAndHoldsForFiftyPixels)
{
    Client c;
    QCursor::setPos(400, 300);
    c.bar()->show();
    const int dock = minibar::dockLeft(screen());
    const QPoint start = c.bar()->pos();
    // (0, 0) would mean the middle of the control to QTest.
    QTest::mousePress(picture(c.bar()), Qt::LeftButton, {}, QPoint(1, 1));
    QTest::mouseMove(picture(c.bar()), QPoint(dock - start.x() + 1, 1));
    ASSERT_EQ(c.bar()->pos().x(), dock);
    EXPECT_TRUE(c.positionFile().startsWith("X\r\n"));
    // The bar now sits under the pointer's grab point again; pull it by 50, then 51.
    QTest::mouseMove(picture(c.bar()), QPoint(51, 1));
    EXPECT_EQ(c.bar()->pos().x(), dock);
    QTest::mouseMove(picture(c.bar()), QPoint(-49, 1));
    EXPECT_EQ(c.bar()->pos().x(), dock);
    QTest::mouseMove(picture(c.bar()), QPoint(-50, 1));
    EXPECT_EQ(c.bar()->pos().x(), dock - 51);
    EXPECT_TRUE(c.positionFile().startsWith("126\r\n"));
    QTest::mouseRelease(picture(c.bar()), Qt::LeftButton, {}, QPoint(1, 1));
}

TEST(MiniBarTray, ClickWhileNobodyIsSignedInOpensTheMainWindow)
{
    Client c;
    c.ctx->startUp();
    c.bar()->Tray1Click();
    EXPECT_TRUE(c.w()->isVisible());
    EXPECT_FALSE(c.bar()->isVisible());
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 1);
    EXPECT_EQ(item(c.bar(), "pop1")->text(), "Minimize");
}

TEST(MiniBarTray, ClickAndDoubleClickWhileSignedIn)
{
    TempTree root;
    std::unique_ptr<DemoServer> server;
    if (const QString why = DemoServer::startFor(server); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    prepareClientFolder(root, "alice");
    // Signed in for real: the bar goes by the main window's state, not by what a label says.
    TestClient alice(root.path("alice"), "Alice");
    alice.goOnline();
    alice.signIn("alice-pw");
    TNetwork* network = alice.w();
    ASSERT_TRUE(network->signedIn());
    ASSERT_FALSE(network->isVisible());
    TMinimized* bar = alice.ctx->Minimized();
    auto* tray = bar->findChild<QSystemTrayIcon*>("Tray1");
    ASSERT_NE(tray, nullptr);

    emit tray->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(network->isVisible());
    // The double click follows at once with the default item.
    emit tray->activated(QSystemTrayIcon::DoubleClick);
    EXPECT_TRUE(network->isVisible());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(bar->MainWindowOpenFlag(), 1);
    // The main window came before the bar went: no taskbar button.
    EXPECT_FALSE(network->hasTaskbarButton());
}

TEST(MiniBarMenu, Pop1InStateOneRaisesOrClosesTheMainWindow)
{
    Client c;
    c.bar()->pop1Click();
    ASSERT_TRUE(c.w()->isVisible());
    finishFade(c.w());

    QWidget other;
    other.show();
    other.activateWindow();
    QCoreApplication::processEvents();
    if (c.w()->isActiveWindow())
        GTEST_SKIP() << "this platform does not move the activation";
    c.bar()->pop1Click();
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 1);
    EXPECT_FALSE(c.w()->fading());

    c.w()->activateWindow();
    QCoreApplication::processEvents();
    ASSERT_TRUE(c.w()->isActiveWindow());
    c.bar()->pop1Click();
    EXPECT_TRUE(c.w()->fading());
    EXPECT_EQ(c.w()->fade().direction(), Fade::Direction::Out);
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 0);
    EXPECT_EQ(item(c.bar(), "pop1")->text(), "Open");
    finishFade(c.w());
    EXPECT_FALSE(c.w()->isVisible());
}

TEST(MiniBarMenu, CloseOpenedWindowWaitsForARunningFade)
{
    Client c;
    c.bar()->pop1Click();
    ASSERT_TRUE(c.w()->fading());
    tick(c.w(), "fx");
    c.bar()->CloseOpenedWindow();
    // Nothing at all: the fade-in goes on and the menu still offers to minimise.
    EXPECT_EQ(c.w()->fade().direction(), Fade::Direction::In);
    EXPECT_EQ(c.w()->fade().alpha(), 35);
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 1);

    // With the main window closed it only resets the menu.
    c.w()->close();
    c.bar()->setMainWindowOpenFlag(1);
    c.bar()->CloseOpenedWindow();
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 0);
    EXPECT_EQ(item(c.bar(), "pop1")->text(), "Open");
}

TEST(MiniBarMenu, ShutdownAsksFirst)
{
    Client c;
    QSignalSpy quit(c.ctx.get(), &AppContext::quitRequested);
    c.fakes.desktop->nextAnswer = false;
    c.bar()->pop3Click();
    EXPECT_EQ(c.fakes.desktop->questions, QStringList{"Larkspire|Are you sure?"});
    EXPECT_EQ(quit.count(), 0);
    // The fonts wait for the first window that writes in them.
    EXPECT_TRUE(c.fakes.fonts->added.isEmpty());
    c.ctx->Photo();
    EXPECT_EQ(c.fakes.fonts->added.size(), 3);
    EXPECT_TRUE(c.fakes.processes->killed.isEmpty());

    c.fakes.desktop->nextAnswer = true;
    c.bar()->pop3Click();
    EXPECT_EQ(quit.count(), 1);
    EXPECT_TRUE(c.fakes.fonts->added.isEmpty());
    // By full path: the copies of another installation, or of another user, run on.
    EXPECT_EQ(c.fakes.processes->killed, QStringList{QCoreApplication::applicationFilePath()});
}

TEST(MiniBarMenu, OpenFolderAndCloseTimer)
{
    Client c;
    c.bar()->NFClick();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + c.root.path("app/Network")});

    c.bar()->show();
    control<QTimer>(c.bar(), "closetimer")->start();
    c.bar()->closetimerTimer();
    EXPECT_FALSE(running(c.bar(), "closetimer"));
    EXPECT_TRUE(c.bar()->BarFadeAction().isEmpty());
    finishFade(c.bar());
    EXPECT_FALSE(c.bar()->isVisible());
    EXPECT_FALSE(c.w()->isVisible());
    EXPECT_EQ(c.bar()->MainWindowOpenFlag(), 1);
}

TEST(MiniBarWithoutTray, TheBarComesBackWheneverNothingElseIsOnScreen)
{
    Client c;
    // The window system's own answer: no tray host runs here.
    c.fakes.desktop->tray = QSystemTrayIcon::isSystemTrayAvailable();
    ASSERT_FALSE(c.fakes.desktop->tray);
    c.ctx->startUp();
    ASSERT_TRUE(c.bar()->isVisible());
    finishFade(c.bar());

    // Opened from the bar, closed with Escape: the bar is the way back in.
    QTest::mousePress(picture(c.bar()), Qt::LeftButton, {}, QPoint(20, 20));
    QTest::mouseRelease(picture(c.bar()), Qt::LeftButton, {}, QPoint(20, 20));
    finishFade(c.bar());
    ASSERT_TRUE(c.w()->isVisible());
    ASSERT_FALSE(c.bar()->isVisible());
    QWidget* focused = c.w()->focusWidget() ? c.w()->focusWidget() : c.w();
    QTest::keyClick(focused, Qt::Key_Escape);
    settleAll();
    finishFade(c.w());
    ASSERT_FALSE(c.w()->isVisible());
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.bar()->isVisible());

    // Its close timer puts it away only for as long as nothing else is there either.
    finishFade(c.bar());
    c.bar()->closetimerTimer();
    finishFade(c.bar());
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.bar()->isVisible());
}
