#include "app/AppContext.h"
#include "core/Helpers.h"
#include "core/Install.h"
#include "net/XNetDetect.h"
#include "platform/fake/FakeServices.h"
#include "session/ConnectionUpkeep.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "windows/ClientWindows.h"
#include "windows/uList.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"
#include "windows/uPhoto.h"
#include "windows/udragform.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

// One installation: a program folder with its data folder, and its own per-user folders.
struct Client
{
    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;

    // `asProgram` starts as the program does: the tray icon first, then the rest.
    // `userFiles` are written into the per-user data folder first, as an earlier run left them.
    explicit Client(const QByteArray& languageFile = "eng/\r\n", bool writeLanguage = true,
                    bool asProgram = false, bool installed = false,
                    const QList<std::pair<QString, QByteArray>>& userFiles = {})
    {
        for (const auto& [name, bytes] : userFiles)
            root.write(QStringLiteral("state/larkspire/0rg_System/") + name, bytes);
        QDir().mkpath(root.path(QStringLiteral("app/0rg_System/temp1")));
        root.write(QStringLiteral("app/0rg_System/temp1/sample.png"), "png");
        if (writeLanguage)
            root.write(QStringLiteral("app/0rg_System/LC.xo"), languageFile);
        UserEnvironment env;
        env.exePath = root.path(QStringLiteral("app/Larkspire"));
        env.home = root.path(QStringLiteral("home"));
        env.stateHome = root.path(QStringLiteral("state"));
        PlatformServices platform = FakePlatform::make(&fakes);
        if (installed)
            fakes.settings->values.insert(install::kInstalledKey, QStringLiteral("1"));
        ctx = std::make_unique<AppContext>(env, std::move(platform), ClientWindows::make);
        if (asProgram)
            ctx->start();
        else
            ctx->createWindows();
    }
    QString path(const QString& relative) const { return root.path(relative); }
};

} // namespace

TEST(StartUp, CreatesTheEightWindowsHiddenInOrder)
{
    Client c;
    // At the start only the texts' window and the mini bar; with no account that signs in by
    // itself the main window and its drop zone too come when first asked for.
    const auto atStart = c.ctx->windows();
    ASSERT_EQ(atStart.size(), 8u);
    for (const int made : {0, 2})
        EXPECT_NE(atStart[made], nullptr) << made;
    for (const int later : {1, 3, 4, 5, 6, 7})
        EXPECT_EQ(atStart[later], nullptr) << later;
    // The update watch does not wait for the main window.
    EXPECT_NE(c.ctx->Minimized()->findChild<QTimer*>("updatetimer"), nullptr);
    for (QWidget* w :
         {static_cast<QWidget*>(c.ctx->Network()), static_cast<QWidget*>(c.ctx->netprog()),
          static_cast<QWidget*>(c.ctx->NetMenu()), static_cast<QWidget*>(c.ctx->Photo()),
          static_cast<QWidget*>(c.ctx->fList())})
        EXPECT_NE(w, nullptr);
    const auto windows = c.ctx->windows();
    const QStringList names{"LC",      "dragform", "Minimized", "Network",
                            "netprog", "NetMenu",  "Photo",     "fList"};
    const QStringList classes{"TLC",      "Tdragform", "TMinimized", "TNetwork",
                              "Tnetprog", "TNetMenu",  "TPhoto",     "TfList"};
    ASSERT_EQ(windows.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        ASSERT_NE(windows[i], nullptr);
        EXPECT_EQ(windows[i]->objectName(), names[i]);
        EXPECT_EQ(QString::fromLatin1(windows[i]->metaObject()->className()), classes[i]);
        EXPECT_FALSE(windows[i]->isVisible()) << names[i].toStdString();
    }
    c.ctx->startUp();
    for (QWidget* w : windows)
        EXPECT_FALSE(w->isVisible()) << w->objectName().toStdString();
    EXPECT_TRUE(c.fakes.desktop->errors.isEmpty());
}

TEST(StartUp, TheMainWindowIsMadeAtTheStartForAnAccountThatSignsInByItself)
{
    const QByteArray password = "secret\r\n";
    const auto madeAtStart = [](const QList<std::pair<QString, QByteArray>>& files) {
        Client c("eng/\r\n", true, false, false, files);
        const auto windows = c.ctx->windows();
        EXPECT_EQ(windows[1] != nullptr, windows[3] != nullptr) << "the drop zone comes with it";
        return windows[3] != nullptr;
    };
    EXPECT_TRUE(madeAtStart({{"acc.xo", "alice\r\nautologin\r\n"}, {"acc2.xo", password}}));
    // A record too short to name the option signs in as the default one does.
    EXPECT_TRUE(madeAtStart({{"acc.xo", "alice\r\n"}, {"acc2.xo", password}}));
    // Nothing signs in by itself: the option says no, or no password is saved.
    EXPECT_FALSE(madeAtStart({{"acc.xo", "alice\r\nnopass\r\n"}, {"acc2.xo", password}}));
    EXPECT_FALSE(madeAtStart({{"acc.xo", "\r\nx\r\n"}, {"acc2.xo", password}}));
    EXPECT_FALSE(madeAtStart({{"acc.xo", "alice\r\nautologin\r\n"}}));
    EXPECT_FALSE(madeAtStart({}));
}

TEST(StartUp, AMainWindowMadeAfterTheDetectorAnsweredShowsTheAnswer)
{
    for (const bool reachable : {true, false}) {
        Client c;
        auto* detector = c.ctx->upkeep().findChild<TXNetDetect*>("XNetDetect1");
        ASSERT_NE(detector, nullptr);
        emit detector->ConnectionStatus(detector, reachable);
        ASSERT_EQ(c.ctx->windows()[3], nullptr);
        const auto* status = c.ctx->Network()->findChild<QLabel*>("lblStatus");
        ASSERT_NE(status, nullptr);
        EXPECT_EQ(status->text(), reachable ? "Connected!" : "disConnected!");
    }
    // Before any answer the label keeps its name, as in a window made at the start.
    Client fresh;
    EXPECT_EQ(fresh.ctx->Network()->findChild<QLabel*>("lblStatus")->text(), "lblStatus");
}

TEST(StartUp, FoldersAreCreatedAndMarked)
{
    Client c;
    const Folders f = c.ctx->folders();
    EXPECT_EQ(f.localBaseDir, c.path(QStringLiteral("state/larkspire/")));
    for (const QString& dir : {f.tempDataDir, f.userDataDir, f.userDataDir + "net/",
                               f.programDataDir + "net/", f.networkDir})
        EXPECT_TRUE(QDir(dir).exists()) << dir.toStdString();
    EXPECT_EQ(f.networkDir, c.path(QStringLiteral("app/Network/")));
    EXPECT_TRUE(helpers::isHidden(f.exeFolder + QStringLiteral("0rg_System")));
    // The template arrives on the first show of the main window, hidden.
    EXPECT_FALSE(QDir(f.myImagesDir).exists());
    c.ctx->Network()->show();
    EXPECT_TRUE(QFile::exists(f.myImagesDir + QStringLiteral("sample.png")));
    EXPECT_TRUE(helpers::isHidden(f.myImagesDir));
}

TEST(StartUp, ASecondStartKeepsWhatIsThere)
{
    Client c;
    c.ctx->Network()->show();
    const Folders f = c.ctx->folders();
    QFile::remove(f.myImagesDir + QStringLiteral("sample.png"));
    c.root.write(QStringLiteral("app/Network/My images/mine.png"), "mine");
    c.ctx.reset();

    UserEnvironment env;
    env.exePath = c.path(QStringLiteral("app/Larkspire"));
    env.home = c.path(QStringLiteral("home"));
    env.stateHome = c.path(QStringLiteral("state"));
    AppContext again(env, FakePlatform::make(), ClientWindows::make);
    again.createWindows();
    again.Network()->show();
    EXPECT_FALSE(QFile::exists(f.myImagesDir + QStringLiteral("sample.png")));
    EXPECT_TRUE(QFile::exists(f.myImagesDir + QStringLiteral("mine.png")));
}

// The icon goes on screen before its menu is built: what the start said of the items holds
// once the menu is there.
TEST(StartUp, TheTrayMenuMadeAfterTheIconShowsWhatTheStartSaid)
{
    Client c("eng/\r\n", true, true, true);
    auto* tray = c.ctx->Minimized()->findChild<QSystemTrayIcon*>(QStringLiteral("Tray1"));
    ASSERT_TRUE(tray);
    EXPECT_TRUE(tray->isVisible());
    ASSERT_TRUE(tray->contextMenu());
    const auto item = [&](const char* name) {
        return c.ctx->Minimized()->findChild<QAction*>(QString::fromLatin1(name));
    };
    ASSERT_TRUE(item("pop1") && item("sets") && item("s1") && item("s2"));
    EXPECT_TRUE(item("pop1")->isVisible());
    EXPECT_EQ(item("pop1")->text(), "Open");
    EXPECT_TRUE(item("sets")->isVisible());
    // Installed: the autostart entry is there, so the settings offer to remove it.
    EXPECT_TRUE(item("s1")->isEnabled());
    EXPECT_FALSE(item("s2")->isEnabled());
    EXPECT_TRUE(c.fakes.autostart->isEnabled());
    EXPECT_NE(c.ctx->Network(), nullptr);
}

TEST(StartUp, OnlyTheMiniBarEndsTheProgram)
{
    Client c;
    c.ctx->startUp();
    QSignalSpy quit(c.ctx.get(), &AppContext::quitRequested);
    c.ctx->Network()->show();
    c.ctx->Network()->close();
    EXPECT_FALSE(c.ctx->Network()->isVisible());
    EXPECT_EQ(quit.count(), 0);
    c.ctx->Minimized()->close();
    EXPECT_EQ(quit.count(), 1);
}

TEST(StartUp, WithoutATrayTheMiniBarIsShown)
{
    Client c;
    c.fakes.desktop->tray = false;
    c.ctx->startUp();
    EXPECT_TRUE(c.ctx->Minimized()->isVisible());
    EXPECT_FALSE(c.ctx->Network()->isVisible());
}

TEST(StartUp, AMissingLanguageFileIsReportedOnceAndStartUpGoesOn)
{
    Client c({}, false);
    EXPECT_EQ(c.fakes.desktop->errors.size(), 1);
    EXPECT_TRUE(c.ctx->strings().isEmpty());
    EXPECT_TRUE(c.ctx->languageCode().isEmpty());
    EXPECT_EQ(c.ctx->windows().size(), 8u);
    EXPECT_TRUE(c.ctx->folders().networkDir.isEmpty());
}

TEST(StartUp, TwoClientsSideBySideShareNothing)
{
    Client english;
    Client russian("rus/\r\n");
    EXPECT_EQ(english.ctx->text(126), QStringLiteral("Network"));
    EXPECT_EQ(russian.ctx->text(126), QStringLiteral("Сеть"));
    EXPECT_EQ(russian.ctx->folders().networkDir, russian.path(QStringLiteral("app/Сеть/")));
    EXPECT_NE(english.ctx->folders().userDataDir, russian.ctx->folders().userDataDir);
    EXPECT_TRUE(QDir(russian.ctx->folders().networkDir).exists());
}
