// The main window's key decisions: where Esc stops.
#include "core/FrameKeys.h"

#include <gtest/gtest.h>

using frame::KeyAction;

TEST(FrameKeyOrder, EscapeGivesUpWaitingFilesBeforeItClosesTheWindow)
{
    frame::KeyContext k;
    k.escape = true;
    k.filesWaiting = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::CancelWaitingFiles);
    // The panel and the rename field are closer to the user, and go first.
    k.renameFieldShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::HideRenameField);
    k.settingsPanelShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::HideSettingsPanel);
    // With the quick-send window open the main window takes no keys at all.
    k.settingsPanelShown = k.renameFieldShown = false;
    k.quickSendShown = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::DiscardAndFadeQuickSend);

    // Other keys never touch the waiting files.
    k = {};
    k.filesWaiting = true;
    EXPECT_EQ(frame::keyAction(k), KeyAction::PassOn);
}
