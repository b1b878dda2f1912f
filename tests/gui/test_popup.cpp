// The new-message popup: its fades, the shrink to "+", and what a click opens.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "session/ClientSession.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/FrameImage.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

using Client = OfflineClient;

int runFade(Tnetprog* p)
{
    int ticks = 0;
    while (running(p, "fx") && ticks < 200) {
        p->fxTimer();
        ++ticks;
    }
    return ticks;
}

// Announces through the session's signal, as a poll cycle does.
void announceMessage(Client& c, const QString& text)
{
    poll::Announcement a;
    a.sender = "Zoe";
    a.isMessage = true;
    a.firstLine = "Zoe     07.03.2026     14:05:07 :";
    a.secondLine = text;
    emit c.ctx->session().announced(a);
}

poll::Announcement notice(const QString& sender, const QString& fileName)
{
    poll::Announcement a;
    a.sender = sender;
    a.firstLine = sender + " sent file \"report\" (07.03.2026   14:05:07)";
    a.fileName = fileName;
    return a;
}

// A notice from `sender` whose file `fileName` has come down, as the poll cycle tells both.
void noticeFetched(Client& c, const QString& sender, const QString& fileName)
{
    emit c.ctx->session().announced(notice(sender, QString()));
    emit c.ctx->session().filesArrived(notice(sender, fileName));
}

QLabel* label(Tnetprog* p, const char* name)
{
    return control<QLabel>(p, name);
}

QPushButton* openButton(Tnetprog* p)
{
    return control<QPushButton>(p, "opnow");
}

} // namespace

TEST(Popup, FadesInShrinksToPlusAndCloses)
{
    Client c;
    Tnetprog* p = c.popup();
    QSignalSpy shown(p, &Tnetprog::announcementShown);
    announceMessage(c, "Hello");
    EXPECT_TRUE(p->isVisible());
    // The main window hears of it: a show from here on is a full one, not the drop zone's return.
    EXPECT_EQ(shown.count(), 1);
    EXPECT_FALSE(openButton(p)->isVisible()); // a message has no open button
    EXPECT_TRUE(running(p, "Timer1"));
    EXPECT_EQ(runFade(p), 49); // 48 steps of 5 to 240, and the tick that stops
    EXPECT_EQ(p->alpha(), 240);

    p->Timer1Timer();
    runFade(p);
    EXPECT_TRUE(label(p, "maximize")->isVisible());
    EXPECT_FALSE(label(p, "cap")->isVisible());
    EXPECT_EQ(p->size(), QSize(40, 40));
    EXPECT_EQ(p->alpha(), 240);

    p->beginClosing();
    runFade(p);
    EXPECT_FALSE(p->isVisible());
}

TEST(Popup, ANewAnnouncementWhileShownClosesItWithTheNewTexts)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(c, "First");
    runFade(p);
    announceMessage(c, "Second");
    EXPECT_EQ(p->fadeMode(), 1);
    EXPECT_EQ(label(p, "txt")->text(), QStringLiteral("Second"));
    runFade(p);
    EXPECT_FALSE(p->isVisible());
}

TEST(Popup, LongTextWidensButNeverNarrows)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(c, QString(120, u'W'));
    EXPECT_GT(p->width(), 350);
    EXPECT_EQ(openButton(p)->width(), p->width());
    const int wide = p->width();
    label(p, "txt")->setText("short");
    p->widenText();
    EXPECT_EQ(p->width(), wide);
    p->resetWidth();
    EXPECT_EQ(p->width(), 350);
}

TEST(Popup, BothKindsShowAtTheTopCentreOfTheFreeAreaAtTheirWidenedWidth)
{
    Client c;
    Tnetprog* p = c.popup();
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const auto topCentre = [&] {
        return QPoint(area.x() + area.width() / 2 - p->width() / 2, area.y());
    };
    // A notice whose line is longer than the narrow popup, yet fits on the screen.
    const QString name(15, u'W');
    poll::Announcement a = notice("Zoe", name + ".txt");
    a.firstLine = "Zoe sent file \"" + name + "\" (07.03.2026   14:05:07)";
    emit c.ctx->session().announced(a);
    ASSERT_TRUE(p->isVisible());
    EXPECT_GT(p->width(), 350) << "the notice was not widened for its line";
    ASSERT_LT(p->width(), area.width());
    EXPECT_EQ(p->pos(), topCentre());
    emit c.ctx->session().filesArrived(a);
    EXPECT_EQ(p->pos(), topCentre());
    // The "+" square.
    p->Timer1Timer();
    runFade(p);
    ASSERT_TRUE(label(p, "maximize")->isVisible());
    EXPECT_EQ(p->pos(), QPoint(area.x() + area.width() - 40 - 150, area.y()));
    // A longer text now leaves the square as it is.
    label(p, "txt")->setText(a.firstLine + a.firstLine);
    p->widenText();
    EXPECT_EQ(p->size(), QSize(40, 40));
    EXPECT_EQ(p->pos(), QPoint(area.x() + area.width() - 40 - 150, area.y()));
    p->beginClosing();
    runFade(p);
    ASSERT_FALSE(p->isVisible());

    announceMessage(c, QString(30, u'W'));
    ASSERT_GT(p->width(), 350);
    ASSERT_LT(p->width(), area.width());
    EXPECT_EQ(p->pos(), topCentre());
}

TEST(Popup, ALinkIsOpenedAsALinkOnly)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(c, "www.example.org/page");
    p->capClick();
    settleAll();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"link www.example.org/page"});
    EXPECT_FALSE(c.ctx->Network()->isVisible());
}

TEST(Popup, AFileNoticeShowsAtOnceThenOpensTheFetchedFile)
{
    Client c;
    Tnetprog* p = c.popup();
    const poll::Announcement a = notice("Zoe", "report.pdf");
    emit c.ctx->session().announced(a);
    // On screen before any file has come down, with the open button.
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(p->marker(), QStringLiteral("files"));
    EXPECT_TRUE(openButton(p)->isVisible());
    EXPECT_EQ(openButton(p)->text(), c.ctx->text(125));
    EXPECT_EQ(label(p, "txt")->text(), a.firstLine);

    const QString file = c.root.write("app/Network/Zoe/report.pdf", "pdf");
    emit c.ctx->session().filesArrived(a);
    EXPECT_EQ(p->marker(), QStringLiteral("report.pdf"));
    p->opnowClick();
    settleAll();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"show " + file});
    c.fakes.shell->calls.clear();
    p->capClick();
    settleAll();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + file});

    // Several files: the open button opens the sender's folder.
    emit c.ctx->session().announced(notice("Zoe", QString()));
    emit c.ctx->session().filesArrived(notice("Zoe", QString()));
    c.fakes.shell->calls.clear();
    p->opnowClick();
    settleAll();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + c.root.path("app/Network/Zoe/")});
}

TEST(Popup, NamesFromANoticeNeverLeaveTheReceivedFilesFolder)
{
    Client c;
    Tnetprog* p = c.popup();
    c.root.write("app/Network/x", "outside any sender's folder");
    for (const auto& [sender, file] : std::vector<std::pair<QString, QString>>{
             {"Zoe", "../../../../etc/passwd"}, {"..", "x"}, {"../Network", "x"}, {"Zoe", ".."}}) {
        noticeFetched(c, sender, file);
        ASSERT_EQ(p->sender(), sender);
        ASSERT_EQ(p->marker(), file);
        ASSERT_EQ(openButton(p)->text(), c.ctx->text(125));
        p->opnowClick();
        settleAll();
        p->capClick();
        settleAll();
        // Several files: the sender's folder.
        noticeFetched(c, sender, QString());
        ASSERT_TRUE(p->marker().isEmpty());
        p->opnowClick();
        settleAll();
    }
    EXPECT_EQ(c.fakes.shell->calls, QStringList());
}
