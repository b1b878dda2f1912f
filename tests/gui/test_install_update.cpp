#include "app/AppContext.h"
#include "net/ServerSession.h"
#include "platform/fake/FakeServices.h"
#include "platform/linux/LinuxServices.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/ReleaseKeys.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/ClientWindows.h"
#include "windows/UpdateWatch.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QFile>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// One copy of the program unpacked somewhere, with the per-user store kept in a real file, so
// that what one run writes the next run finds.
struct Unpacked
{
    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;

    Unpacked()
    {
        root.write("download/Larkspire", "program");
        root.write("download/0rg_System/LC.xo", "eng/\r\n");
        root.write("download/0rg_System/Larkspire.png", "icon");
    }
    void start(const QString& exeFolder = "download", const QString& choice = {})
    {
        ctx.reset();
        UserEnvironment env;
        env.exePath = root.path(exeFolder + "/Larkspire");
        env.home = root.path("home");
        env.stateHome = root.path("state");
        PlatformServices services = FakePlatform::make(&fakes);
        services.settings = std::make_unique<IniSettingsStore>(root.path("config/Larkspire.ini"));
        fakes.desktop->nextFolder = choice;
        ctx = std::make_unique<AppContext>(env, std::move(services), ClientWindows::make);
        ctx->createWindows();
    }
    TMinimized* bar() const { return ctx->Minimized(); }
    QAction* action(const char* name) const { return bar()->findChild<QAction*>(name); }
    QString installed() const
    {
        return IniSettingsStore(root.path("config/Larkspire.ini")).value("ASt", "none");
    }
};

} // namespace

TEST(Installation, CancelKeepsThisCopyRunningWithoutAutostartAndWritesNothing)
{
    Unpacked u;
    u.start();
    ASSERT_EQ(u.fakes.desktop->folderDialogs,
              QStringList{"Choose directory for installing Larkspire|" + u.root.path("home")});
    // A newcomer learns from the dialog what a choice would write.
    ASSERT_EQ(u.fakes.desktop->folderNotes.size(), 1);
    for (const char* what : {"copies its folder", "logon", "launchers", "Cancel"})
        EXPECT_TRUE(u.fakes.desktop->folderNotes.first().contains(what)) << what;
    EXPECT_FALSE(u.ctx->ending());
    EXPECT_EQ(u.installed(), "none");
    EXPECT_FALSE(u.fakes.autostart->isEnabled());
    EXPECT_TRUE(u.fakes.shortcuts->desktop.isEmpty());
    EXPECT_FALSE(u.action("s1")->isEnabled());
    EXPECT_TRUE(u.action("s2")->isEnabled());
    EXPECT_TRUE(u.action("sets")->isVisible());
    EXPECT_TRUE(u.action("pop1")->isVisible());
    // The fonts wait for the first window that writes in them.
    EXPECT_TRUE(u.fakes.fonts->added.isEmpty());
    u.ctx->Photo();
    EXPECT_EQ(u.fakes.fonts->added.size(), 3);
    // The next start asks again.
    u.start();
    EXPECT_EQ(u.fakes.desktop->folderDialogs.size(), 1);
    EXPECT_EQ(u.installed(), "none");
}

TEST(Installation, ChosenFolderGetsTheCopyAutostartAndLaunchersThenTheCopyStarts)
{
    Unpacked u;
    u.start("download", u.root.path("apps"));
    const QString exe = u.root.path("apps/Larkspire/Larkspire");
    EXPECT_EQ(TempTree::read(exe), "program");
    EXPECT_EQ(TempTree::read(u.root.path("apps/Larkspire/0rg_System/LC.xo")), "eng/\r\n");
    EXPECT_EQ(u.installed(), "1");
    EXPECT_EQ(u.fakes.autostart->command, exe);
    EXPECT_EQ(u.fakes.shortcuts->desktop, QStringList{exe});
    EXPECT_EQ(u.fakes.shortcuts->menu, QStringList{exe});
    EXPECT_EQ(u.fakes.processes->started, QStringList{exe});
    EXPECT_TRUE(u.fakes.fonts->added.isEmpty());
    EXPECT_TRUE(u.ctx->ending());

    // The installed copy finds itself installed: no dialog, the entry follows it.
    u.start("apps/Larkspire");
    EXPECT_TRUE(u.fakes.desktop->folderDialogs.isEmpty());
    EXPECT_EQ(u.fakes.autostart->command, exe);
    EXPECT_TRUE(u.action("s1")->isEnabled());
    EXPECT_FALSE(u.action("s2")->isEnabled());
    // The fonts wait for the first window that writes in them.
    EXPECT_TRUE(u.fakes.fonts->added.isEmpty());
    u.ctx->Photo();
    EXPECT_EQ(u.fakes.fonts->added.size(), 3);
    EXPECT_FALSE(u.ctx->ending());
}

TEST(Installation, AFolderInsideTheProgramsOwnIsRefusedBeforeAnythingIsWritten)
{
    Unpacked u;
    u.start("download", u.root.path("download/sub"));
    EXPECT_EQ(u.fakes.desktop->errors.size(), 1);
    EXPECT_EQ(u.installed(), "none");
    EXPECT_FALSE(u.fakes.autostart->isEnabled());
    EXPECT_FALSE(QFile::exists(u.root.path("download/sub")));
    EXPECT_FALSE(u.ctx->ending());
    EXPECT_TRUE(u.action("s2")->isEnabled());
}

TEST(Installation, RemovingAutostartBringsTheDialogBackAndAddingRewritesTheLaunchers)
{
    Unpacked u;
    u.start("download", u.root.path("apps"));
    ASSERT_EQ(u.installed(), "1");
    u.start("apps/Larkspire");
    u.fakes.desktop->nextAnswer = true;
    u.action("s1")->trigger();
    EXPECT_EQ(u.fakes.desktop->questions.last(),
              "Larkspire|Remove Larkspire from Autostart? All files are saved");
    EXPECT_EQ(u.installed(), "none");
    EXPECT_FALSE(u.fakes.autostart->isEnabled());
    EXPECT_TRUE(u.action("s2")->isEnabled());

    u.start("apps/Larkspire");
    EXPECT_EQ(u.fakes.desktop->folderDialogs.size(), 1);
    u.action("s2")->trigger();
    const QString exe = u.root.path("apps/Larkspire/Larkspire");
    EXPECT_EQ(u.installed(), "1");
    EXPECT_EQ(u.fakes.autostart->command, exe);
    EXPECT_EQ(u.fakes.shortcuts->desktop, QStringList{exe});
    EXPECT_TRUE(u.action("s1")->isEnabled());
}

namespace {

class UpdateTick : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        root.write("c/app/0rg_System/LC.xo", "eng/\r\n");
        client = std::make_unique<TestClient>(root.path("c"), "anna");
        client->ctx->setUpdatePublicKey(testkeys::publicKey());
        // The build the update check reports as its own.
        client->ctx->setBuildNumber(37);
    }
    void offer(const QByteArray& build, const QByteArray& signature)
    {
        write("eng/Larkspire/update.xo", build + "\r\n");
        write("eng/Larkspire/LarkspireUpdate", kUpdater);
        write("eng/Larkspire/LarkspireUpdate.sig", signature);
    }
    void write(const QString& relative, const QByteArray& bytes)
    {
        QFile f(server->tree(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    UpdateWatch* watch() const { return client->ctx->Minimized()->findChild<UpdateWatch*>(); }
    QString updater() const { return root.path("c/app/LarkspireUpdate"); }

    const QByteArray kUpdater = "#!/bin/sh\n";
    std::unique_ptr<DemoServer> server;
    TempTree root;
    std::unique_ptr<TestClient> client;
};

} // namespace

TEST_F(UpdateTick, NothingWhileOfflineOrTheSameBuild)
{
    QTimer* timer = client->ctx->Minimized()->findChild<QTimer*>("updatetimer");
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 7000);
    offer("38", signing::sign(kUpdater, testkeys::secretKey()));
    fire(watch(), "updatetimer"); // not online yet: no server work at all
    client->settle();
    EXPECT_FALSE(QFile::exists(updater()));
    EXPECT_TRUE(client->fakes.processes->started.isEmpty());

    client->goOnline();
    offer("37", signing::sign(kUpdater, testkeys::secretKey()));
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_EQ(watch()->lastResult().outcome, selfupdate::Outcome::Current);
    EXPECT_FALSE(client->w()->session().mainOpen());
    EXPECT_FALSE(QFile::exists(updater()));
    EXPECT_FALSE(client->ctx->ending());
}

TEST_F(UpdateTick, AHigherBuildWaitsForEveryWindowToBeHiddenThenStartsTheUpdater)
{
    client->goOnline();
    offer("38", signing::sign(kUpdater, testkeys::secretKey()));
    client->ctx->Minimized()->show();
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_FALSE(QFile::exists(updater()));
    client->ctx->Minimized()->hide();
    client->w()->show();
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_FALSE(QFile::exists(updater()));
    client->w()->hide();

    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_EQ(TempTree::read(updater()), kUpdater);
    EXPECT_EQ(client->fakes.processes->started, QStringList{updater()});
    EXPECT_EQ(client->fakes.processes->killed,
              QStringList{QCoreApplication::applicationFilePath()});
    EXPECT_TRUE(client->ctx->ending());
    EXPECT_FALSE(running(watch(), "updatetimer"));
}

TEST_F(UpdateTick, ATamperedUpdaterIsNotStartedAndTheNextTickTriesAgain)
{
    client->goOnline();
    offer("38", signing::sign("another file", testkeys::secretKey()));
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_EQ(watch()->lastResult().outcome, selfupdate::Outcome::BadSignature);
    EXPECT_FALSE(QFile::exists(updater()));
    EXPECT_TRUE(client->fakes.processes->started.isEmpty());
    EXPECT_FALSE(client->ctx->ending());

    offer("38", signing::sign(kUpdater, testkeys::secretKey()));
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_EQ(client->fakes.processes->started, QStringList{updater()});
}

TEST_F(UpdateTick, WithoutATrayTheAlwaysShownMiniBarDoesNotHoldTheUpdateBack)
{
    client->fakes.desktop->tray = false;
    client->ctx->startUp();
    ASSERT_TRUE(client->ctx->barStandsInForTray());
    client->goOnline();
    offer("38", signing::sign(kUpdater, testkeys::secretKey()));
    // Any other window still does.
    client->w()->show();
    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_FALSE(QFile::exists(updater()));
    client->w()->hide();
    client->settle();
    ASSERT_TRUE(client->ctx->Minimized()->isVisible());

    fire(watch(), "updatetimer");
    client->settle();
    EXPECT_EQ(client->fakes.processes->started, QStringList{updater()});
    EXPECT_TRUE(client->ctx->ending());
}
