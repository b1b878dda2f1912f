// The main window's key decisions: what Enter does in the message box, and where Esc stops.
#include "core/FrameKeys.h"

#include <gtest/gtest.h>

using frame::KeyAction;
using frame::MessageKey;

TEST(MessageKeys, EnterSendsShiftEnterBreaksTheLineOtherKeysAreTyped)
{
    for (const int enter : {int(Qt::Key_Return), int(Qt::Key_Enter)}) {
        SCOPED_TRACE(enter);
        EXPECT_EQ(frame::messageKey(enter, Qt::NoModifier), MessageKey::Send);
        EXPECT_EQ(frame::messageKey(enter, Qt::ControlModifier), MessageKey::Send);
        EXPECT_EQ(frame::messageKey(enter, Qt::AltModifier), MessageKey::Send);
        EXPECT_EQ(frame::messageKey(enter, Qt::ShiftModifier), MessageKey::LineBreak);
        // Shift decides whatever else is held.
        EXPECT_EQ(frame::messageKey(enter, Qt::ShiftModifier | Qt::ControlModifier),
                  MessageKey::LineBreak);
    }
    // The keypad's Enter comes with the keypad modifier.
    EXPECT_EQ(frame::messageKey(Qt::Key_Enter, Qt::KeypadModifier), MessageKey::Send);
    EXPECT_EQ(frame::messageKey(Qt::Key_Enter, Qt::KeypadModifier | Qt::ShiftModifier),
              MessageKey::LineBreak);

    for (const int key : {int(Qt::Key_A), int(Qt::Key_Space), int(Qt::Key_Backspace),
                          int(Qt::Key_Tab), int(Qt::Key_Escape)})
        EXPECT_EQ(frame::messageKey(key, Qt::ShiftModifier), MessageKey::PassOn) << key;
}

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
