// The fade every window shares: its timer, the opacity the window really takes at each step,
// and what the end of a fade-out leaves. The end actions of each window have their own tests.
#include "support/Fades.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"

#include "windows/WindowFader.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"
#include "windows/uPhoto.h"

#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

struct FadingWindow
{
    const char* name;
    std::function<QWidget*(AppContext&)> window;
    std::function<void(AppContext&)> show;
    std::function<void(AppContext&)> fadeOut;
    int full;
    int step;
};

const FadingWindow kWindows[] = {
    {"Network", [](AppContext& c) -> QWidget* { return c.Network(); },
     [](AppContext& c) { c.Network()->show(); }, [](AppContext& c) { c.Network()->StartFadeOut(); },
     245, 35},
    {"NetMenu", [](AppContext& c) -> QWidget* { return c.NetMenu(); },
     [](AppContext& c) { c.NetMenu()->show(); }, [](AppContext& c) { c.NetMenu()->StartFadeOut(); },
     245, 35},
    {"Minimized", [](AppContext& c) -> QWidget* { return c.Minimized(); },
     [](AppContext& c) { c.Minimized()->show(); },
     [](AppContext& c) { c.Minimized()->StartFadeOut(QString()); }, 245, 35},
    {"netprog", [](AppContext& c) -> QWidget* { return c.netprog(); },
     [](AppContext& c) { c.netprog()->showRequest(); },
     [](AppContext& c) { c.netprog()->beginClosing(); }, 240, 5},
    {"Photo", [](AppContext& c) -> QWidget* { return c.Photo(); },
     [](AppContext& c) { c.Photo()->showPicture(QString()); },
     [](AppContext& c) { c.Photo()->StartFadeOut(); }, 245, 35},
};

} // namespace

class WindowFades : public ::testing::TestWithParam<FadingWindow>
{
};

TEST_P(WindowFades, StepByStepInAndOutThenGone)
{
    const FadingWindow& f = GetParam();
    OfflineClient client;
    QWidget* w = f.window(*client.ctx);
    auto* timer = w->findChild<QTimer*>("fx");
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->parent(), w);
    EXPECT_EQ(timer->interval(), kFadeTickMs);
    EXPECT_FALSE(timer->isActive());

    f.show(*client.ctx);
    EXPECT_TRUE(timer->isActive());
    EXPECT_EQ(w->windowOpacity(), 0.0);
    QList<int> up;
    for (int a = f.step; a <= f.full; a += f.step)
        up.append(a);
    up.append(f.full); // the tick that finds full opacity and stops
    EXPECT_EQ(runFade(w), up);
    EXPECT_TRUE(w->isVisible());

    f.fadeOut(*client.ctx);
    EXPECT_EQ(qRound(w->windowOpacity() * 255), f.full);
    QList<int> down;
    for (int a = f.full - f.step; a >= 0; a -= f.step)
        down.append(a);
    down.append(0);
    EXPECT_EQ(runFade(w), down);
    EXPECT_FALSE(w->isVisible());
}

INSTANTIATE_TEST_SUITE_P(EveryWindow, WindowFades, ::testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });
