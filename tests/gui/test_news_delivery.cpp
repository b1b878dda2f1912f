// Where the news goes: the popup by default, the desktop's notifications once the tray menu
// says so and a server answers, nothing while do not disturb is on; and what the actions of a
// notification do. The notification server is the double; a real one is tried elsewhere.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "support/Controls.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QAction>

#include <gtest/gtest.h>

namespace {

class NewsRouting : public ::testing::Test
{
protected:
    // Announces through the session's signal, as a poll cycle does; the mini bar counts it
    // as unread as it does for the poll's own.
    void say(const QString& sender, const QString& text)
    {
        poll::Announcement a;
        a.sender = sender;
        a.correspondent = sender;
        a.isMessage = true;
        a.firstLine = sender + "     07.03.2026     14:05:07 :";
        a.secondLine = text;
        emit c.ctx->session().announced(a);
    }
    poll::Announcement notice(const QString& sender, const QString& fileName) const
    {
        poll::Announcement a;
        a.sender = sender;
        a.correspondent = sender;
        a.firstLine = sender + " sent file \"report\" (07.03.2026   14:05:07)";
        a.fileName = fileName;
        return a;
    }
    QAction* menuItem() const { return control<QAction>(c.bar(), "desktopNotices"); }
    void chooseDesktop(bool on)
    {
        if (menuItem()->isChecked() != on)
            menuItem()->trigger();
        ASSERT_EQ(menuItem()->isChecked(), on);
    }
    // The popup showed, and is put away again for the next case.
    bool popupShown()
    {
        Tnetprog* p = c.popup();
        if (!p->isVisible())
            return false;
        p->hide();
        return true;
    }
    FakeNotifications& server() { return *c.fakes.notifications; }
    QString summary(const QString& key) { return server().onScreen.value(key).summary; }

    OfflineClient c;
};

} // namespace

TEST_F(NewsRouting, ThePopupUnlessTheTrayMenuChoosesNotificationsAndAServerAnswers)
{
    EXPECT_FALSE(menuItem()->isChecked());
    say("Zoe", "Hello");
    EXPECT_TRUE(popupShown());
    EXPECT_EQ(server().shows, QStringList());

    chooseDesktop(true);
    EXPECT_EQ(c.fakes.settings->values.value("DesktopNotifications"), "1");
    // Asked at once, so that its answer is there for the next news.
    EXPECT_EQ(server().asked, 1);
    say("Zoe", "Are you there?");
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(server().shows, QStringList{"Zoe"});
    // The count goes on from the news the popup showed: both are unread.
    EXPECT_EQ(summary("Zoe"), QStringLiteral("2 new from Zoe"));
    EXPECT_EQ(server().onScreen.value("Zoe").body, QStringLiteral("Are you there?"));

    // No server on the bus: the popup, as before.
    server().answers = false;
    say("Ann", "Hi");
    EXPECT_TRUE(popupShown());
    EXPECT_FALSE(server().onScreen.contains("Ann"));
    server().answers = true;

    // A server that does not take the notification: the popup shows the news instead.
    say("Ann", "Hi again");
    ASSERT_TRUE(server().onScreen.contains("Ann"));
    EXPECT_FALSE(popupShown());
    server().handlers.failed("Ann");
    EXPECT_TRUE(popupShown());
    EXPECT_EQ(textOf(c.popup(), "txt"), QStringLiteral("Hi again"));

    chooseDesktop(false);
    EXPECT_FALSE(c.fakes.settings->values.contains("DesktopNotifications"));
    // Back to the popup: the notification left on screen goes with the choice.
    EXPECT_EQ(server().closes, QStringList{"Zoe"});
    say("Zoe", "Gone back?");
    EXPECT_TRUE(popupShown());
    EXPECT_EQ(server().shows, (QStringList{"Zoe", "Ann"}));
}

TEST_F(NewsRouting, OneNotificationPerConversationReplacedAndClosedWhenRead)
{
    chooseDesktop(true);
    say("Zoe", "One");
    say("Zoe", "Two");
    say("Ann", "Hi");
    EXPECT_EQ(server().shows, (QStringList{"Zoe", "Zoe", "Ann"}));
    EXPECT_EQ(server().onScreen.size(), 2);
    EXPECT_EQ(summary("Zoe"), QStringLiteral("2 new from Zoe"));
    EXPECT_EQ(summary("Ann"), QStringLiteral("New message from Ann"));
    EXPECT_EQ(c.ctx->state().unread().names(), (QStringList{"Zoe", "Ann"}));

    // Read elsewhere (the conversation was opened): its notification goes, the other stays.
    c.ctx->state().readNews("Zoe");
    EXPECT_EQ(server().closes, QStringList{"Zoe"});
    EXPECT_TRUE(server().onScreen.contains("Ann"));
    say("Zoe", "Three");
    EXPECT_EQ(summary("Zoe"), QStringLiteral("New message from Zoe"));

    // Mark read, from the notification.
    server().invoke("Ann", "mark-read");
    EXPECT_EQ(c.ctx->state().unread().names(), QStringList{"Zoe"});
    EXPECT_EQ(server().closes, (QStringList{"Zoe", "Ann"}));
    EXPECT_FALSE(server().onScreen.contains("Ann"));

    // Dismissed by the user: unread still, and shown anew with the next news.
    server().onScreen.remove("Zoe");
    server().handlers.closed("Zoe");
    say("Zoe", "Four");
    EXPECT_EQ(summary("Zoe"), QStringLiteral("2 new from Zoe"));
    EXPECT_EQ(server().shows.count("Zoe"), 4);
}

TEST_F(NewsRouting, DoNotDisturbShowsNeitherYetCountsTheNews)
{
    c.ctx->setDoNotDisturb(DoNotDisturb::Span::ForAnHour);
    say("Zoe", "Quiet one");
    chooseDesktop(true);
    say("Zoe", "Quiet two");
    EXPECT_FALSE(popupShown());
    EXPECT_EQ(server().shows, QStringList());
    EXPECT_EQ(c.ctx->state().unread().names(), QStringList{"Zoe"});

    c.ctx->setDoNotDisturb(std::nullopt);
    say("Zoe", "Loud");
    EXPECT_EQ(summary("Zoe"), QStringLiteral("3 new from Zoe"));
}

TEST_F(NewsRouting, OpenShowsTheMainWindowAndOpenFileOpensOnlyAFileInTheSendersFolder)
{
    chooseDesktop(true);
    say("Zoe", "Hello");
    ASSERT_FALSE(c.w()->isVisible());
    server().invoke("Zoe", "default");
    EXPECT_TRUE(c.w()->isVisible());
    EXPECT_FALSE(popupShown());

    const QString file = c.root.write("app/Network/Zoe/report.pdf", "pdf");
    emit c.ctx->session().announced(notice("Zoe", "report.pdf"));
    // Not before the file came down.
    EXPECT_EQ(server().onScreen.value("Zoe").actions.size(), 2);
    server().invoke("Zoe", "open-file");
    EXPECT_EQ(c.fakes.shell->calls, QStringList());
    emit c.ctx->session().filesArrived(notice("Zoe", "report.pdf"));
    EXPECT_EQ(server().onScreen.value("Zoe").actions.value(1).first, QStringLiteral("open-file"));
    server().invoke("Zoe", "open-file");
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + file});
    // The popup was never asked: a later popup must not take this notice's file for its own.
    EXPECT_FALSE(popupShown());

    c.fakes.shell->calls.clear();
    c.root.write("app/Network/x", "outside any sender's folder");
    for (const auto& [sender, name] : std::vector<std::pair<QString, QString>>{
             {"Zoe", "../x"}, {"..", "x"}, {"../Network", "x"}, {"Zoe", ".."}}) {
        emit c.ctx->session().announced(notice(sender, name));
        emit c.ctx->session().filesArrived(notice(sender, name));
        server().invoke(sender, "open-file");
    }
    // A file that was removed after it came down.
    emit c.ctx->session().announced(notice("Zoe", "gone.pdf"));
    emit c.ctx->session().filesArrived(notice("Zoe", "gone.pdf"));
    server().invoke("Zoe", "open-file");
    EXPECT_EQ(c.fakes.shell->calls, QStringList());
}
