// The new-message popup: its fades, the shrink to "+", and what a click opens.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "windows/FrameImage.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QLabel>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct Client
{
    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;

    Client()
    {
        root.write("app/0rg_System/LC.xo", "eng/\r\n");
        UserEnvironment env;
        env.exePath = root.path("app/Larkspire");
        env.home = root.path("home");
        env.stateHome = root.path("state");
        ctx = std::make_unique<AppContext>(env, FakePlatform::make(&fakes));
        ctx->createWindows();
    }
    Tnetprog* popup() const { return ctx->netprog(); }
};

int runFade(Tnetprog* p)
{
    int ticks = 0;
    while (p->fx->isActive() && ticks < 200) {
        p->fxTimer();
        ++ticks;
    }
    return ticks;
}

void announceMessage(Tnetprog* p, const QString& text)
{
    p->Hint = "Zoe";
    p->resetWidth();
    p->marker = "text.text";
    p->cap->setText("Zoe     07.03.2026     14:05:07 :");
    p->txt->setText(text);
    p->widenText();
    p->mode = 0;
    p->showRequest();
    p->mode = 1;
}

} // namespace

TEST(Popup, FadesInShrinksToPlusAndCloses)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(p, "Hello");
    EXPECT_TRUE(p->isVisible());
    EXPECT_EQ(c.ctx->Network()->bg->hint(), QStringLiteral("justclose"));
    EXPECT_FALSE(p->opnow->isVisible()); // a message has no open button
    EXPECT_TRUE(p->Timer1->isActive());
    EXPECT_EQ(runFade(p), 49); // 48 steps of 5 to 240, and the tick that stops
    EXPECT_EQ(p->alpha(), 240);

    p->Timer1Timer();
    runFade(p);
    EXPECT_TRUE(p->maximize->isVisible());
    EXPECT_FALSE(p->cap->isVisible());
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
    announceMessage(p, "First");
    runFade(p);
    announceMessage(p, "Second");
    EXPECT_EQ(p->fadeMode, 1);
    EXPECT_EQ(p->txt->text(), QStringLiteral("Second"));
    runFade(p);
    EXPECT_FALSE(p->isVisible());
}

TEST(Popup, LongTextWidensButNeverNarrows)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(p, QString(120, u'W'));
    EXPECT_GT(p->width(), 350);
    EXPECT_EQ(p->opnow->width(), p->width());
    const int wide = p->width();
    p->txt->setText("short");
    p->widenText();
    EXPECT_EQ(p->width(), wide);
    p->resetWidth();
    EXPECT_EQ(p->width(), 350);
}

TEST(Popup, ALinkIsOpenedAsALinkOnly)
{
    Client c;
    Tnetprog* p = c.popup();
    announceMessage(p, "www.example.org/page");
    p->capClick();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"link www.example.org/page"});
    EXPECT_FALSE(c.ctx->Network()->isVisible());
}

TEST(Popup, AReceivedFileIsOpenedOrShownInItsFolder)
{
    Client c;
    Tnetprog* p = c.popup();
    const QString file = c.root.write("app/Network/Zoe/report.pdf", "pdf");
    p->Hint = "Zoe";
    p->marker = "report.pdf";
    p->mode = 1;
    p->opnow->setText(c.ctx->text(125));
    p->showRequest();
    EXPECT_TRUE(p->opnow->isVisible());
    p->opnowClick();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"show " + file});

    c.fakes.shell->calls.clear();
    p->capClick();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + file});

    // Several files: the open button opens the sender's folder.
    c.fakes.shell->calls.clear();
    p->marker.clear();
    p->opnowClick();
    EXPECT_EQ(c.fakes.shell->calls, QStringList{"open " + c.root.path("app/Network/Zoe/")});
}
