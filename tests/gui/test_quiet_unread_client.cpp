// Do not disturb and the unread count on running clients against the demo server: messages
// typed by other clients reach a client that is quiet, or that counts who wrote.
#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "platform/fake/FakeServices.h"
#include "session/ClientState.h"
#include "support/Controls.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/TrayIcon.h"
#include "windows/uMinimized.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Client = TestClient;

class QuietAndUnread : public ::testing::Test
{
protected:
    // Signs everyone in, in order, so each later one finds the earlier ones listed.
    void start(const QStringList& names)
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        for (const QString& name : names) {
            prepareClientFolder(root, name.toLower());
            auto c = std::make_unique<Client>(root.path(name.toLower()), name);
            c->goOnline();
            c->signIn(name.toLower() + "-pw");
            ASSERT_EQ(textOf(c->w(), "User"), name);
            clients[name] = std::move(c);
        }
    }

    // Lays out both copies of a new conversation, as the quick-send window does.
    void startConversation(const QString& a, const QString& b)
    {
        for (const QString& file :
             {"netwrk/users/" + a + "/" + b + ".ms", "netwrk/users/" + b + "/" + a + ".ms"}) {
            QFile f(server->tree(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }

    // `from` opens `to` and types a message, as a person does.
    void say(const QString& from, const QString& to, const QString& text)
    {
        Client& c = *clients.at(from);
        c.open(to);
        auto* msg = c.w()->findChild<QPlainTextEdit*>("msg");
        ASSERT_TRUE(msg);
        QTest::keyClicks(msg, text);
        QTest::mouseClick(c.w()->findChild<QPushButton*>("sendbut"), Qt::LeftButton);
        settleAll();
        ASSERT_EQ(c.w()->conversation().chatLines().value(1), text);
    }

    void poll(const QString& who)
    {
        fire(clients.at(who)->w(), "msgrld");
        settleAll();
    }

    static QAction* item(TMinimized* bar, const char* name)
    {
        auto* action = bar->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_TRUE(action) << name;
        return action;
    }
    // What the tray icon shows, and its hint.
    static const TrayIcon* tray(TMinimized* bar) { return bar->findChild<TrayIcon*>(); }
    static QString trayTip(TMinimized* bar)
    {
        return bar->findChild<QSystemTrayIcon*>(QStringLiteral("Tray1"))->toolTip();
    }
    // The periodic look at do not disturb, as its timer runs it when its period is over.
    static void checkQuiet(TMinimized* bar) { fire(bar, "quietTimer"); }

    TempTree root;
    std::unique_ptr<DemoServer> server;
    std::map<QString, std::unique_ptr<Client>> clients;
};

} // namespace

TEST_F(QuietAndUnread, AQuietClientMarksNewsUnreadUntilTheHourIsOverAlsoAcrossARestart)
{
    start({"Bob", "Alice"});
    startConversation("Alice", "Bob");
    poll("Bob");
    Client& bob = *clients.at("Bob");
    TMinimized* bar = bob.ctx->Minimized();
    Tnetprog* popup = bob.ctx->netprog();

    QDateTime now = QDateTime::currentDateTime();
    bob.ctx->doNotDisturb().setClock([&] { return now; });
    item(bar, "quietForAnHour")->trigger();
    EXPECT_TRUE(item(bar, "quietItem")->isChecked());
    EXPECT_TRUE(item(bar, "quietForAnHour")->isChecked());
    EXPECT_TRUE(item(bar, "quietTurnOff")->isVisible());
    EXPECT_TRUE(tray(bar)->muted());
    EXPECT_TRUE(trayTip(bar).contains("Do not disturb until ")) << trayTip(bar).toStdString();

    say("Alice", "Bob", "Are you there?");
    poll("Bob");
    EXPECT_EQ(bob.fakes.sound->played, 0);
    EXPECT_FALSE(popup->isVisible());
    const int row = UserDirectory::find(bob.w()->directory().users(), "Alice");
    ASSERT_GE(row, 0);
    EXPECT_TRUE(userentry::isMarked(bob.w()->directory().users().at(row)));
    EXPECT_EQ(bob.ctx->state().unread().names(), QStringList{"Alice"});
    EXPECT_EQ(tray(bar)->unreadShown(), 1);
    EXPECT_TRUE(trayTip(bar).contains("1 unread: Alice")) << trayTip(bar).toStdString();

    // The hour is over: the next message is heard and shown again.
    now = now.addSecs(3601);
    checkQuiet(bar);
    EXPECT_FALSE(tray(bar)->muted());
    EXPECT_FALSE(item(bar, "quietItem")->isChecked());
    EXPECT_FALSE(bob.fakes.settings->values.contains("DoNotDisturb"));
    say("Alice", "Bob", "Hello again");
    poll("Bob");
    EXPECT_EQ(bob.fakes.sound->played, 1);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(textOf(popup, "txt"), "Hello again");

    // Quiet again, and the program starts anew half an hour later: still quiet, until the hour
    // it was chosen for is over.
    item(bar, "quietForAnHour")->trigger();
    bob.restart();
    bob.ctx->doNotDisturb().setClock([&] { return now; });
    bar = bob.ctx->Minimized();
    now = now.addSecs(1800);
    checkQuiet(bar);
    EXPECT_TRUE(tray(bar)->muted());
    EXPECT_TRUE(item(bar, "quietItem")->isChecked());
    EXPECT_TRUE(item(bar, "quietForAnHour")->isChecked());
    now = now.addSecs(1801);
    checkQuiet(bar);
    EXPECT_FALSE(tray(bar)->muted());
    EXPECT_FALSE(bob.fakes.settings->values.contains("DoNotDisturb"));
    bob.restart();
    EXPECT_FALSE(tray(bob.ctx->Minimized())->muted());

    // Until turned off lasts until the menu turns it off.
    bar = bob.ctx->Minimized();
    item(bar, "quietUntilTurnedOff")->trigger();
    bob.restart();
    bar = bob.ctx->Minimized();
    EXPECT_TRUE(tray(bar)->muted());
    EXPECT_EQ(trayTip(bar),
              QString::fromUtf8("Larkspire\nConnecting\u2026\nDo not disturb until I turn it off"));
    item(bar, "quietTurnOff")->trigger();
    EXPECT_FALSE(tray(bar)->muted());
    EXPECT_FALSE(item(bar, "quietUntilTurnedOff")->isChecked());
    EXPECT_FALSE(item(bar, "quietTurnOff")->isVisible());
    EXPECT_EQ(trayTip(bar), QString::fromUtf8("Larkspire\nConnecting\u2026"));
}

TEST_F(QuietAndUnread, TheBadgeCountsThreeWritersAndForgetsEachOneOpened)
{
    start({"Dave", "Alice", "Bob", "Carol"});
    for (const QString writer : {"Alice", "Bob", "Carol"})
        startConversation(writer, "Dave");
    poll("Dave");
    Client& dave = *clients.at("Dave");
    TMinimized* bar = dave.ctx->Minimized();
    EXPECT_EQ(tray(bar)->unreadShown(), 0);

    for (const QString writer : {"Alice", "Bob", "Carol"})
        say(writer, "Dave", "Hi Dave, " + writer + " here");
    poll("Dave");
    EXPECT_EQ(tray(bar)->unreadShown(), 3);
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)\n3 unread: Alice, Bob, Carol");
    // Where the bar stands in for the tray, it tells the same.
    EXPECT_EQ(bar->toolTip(), "Connected, protected (TLS)\n3 unread: Alice, Bob, Carol");
    EXPECT_TRUE(bar->findChild<QLabel*>("barMarks")->isVisibleTo(bar));

    // Opened in the list.
    dave.open("Bob");
    EXPECT_EQ(tray(bar)->unreadShown(), 2);
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)\n2 unread: Alice, Carol");

    // Opened from the popup, which shows the last news.
    Tnetprog* popup = dave.ctx->netprog();
    ASSERT_TRUE(popup->isVisible());
    QTest::mouseClick(popup->findChild<QLabel*>("txt"), Qt::LeftButton);
    settleAll();
    EXPECT_EQ(dave.ctx->state().unread().names(), QStringList{"Alice"});
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)\n1 unread: Alice");

    // Nothing new: the count stays.
    poll("Dave");
    EXPECT_EQ(tray(bar)->unreadShown(), 1);
    dave.open("Alice");
    EXPECT_EQ(tray(bar)->unreadShown(), 0);
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)");
    EXPECT_FALSE(bar->findChild<QLabel*>("barMarks")->isVisibleTo(bar));
}
