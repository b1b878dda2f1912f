#include "core/FrameKeys.h"

namespace frame {

KeyAction keyAction(const KeyContext& k)
{
    // Escape closes the innermost thing first: the panel, then the rename field, then the files
    // that wait for the server, then the window.
    if (k.escape && k.settingsPanelShown)
        return KeyAction::HideSettingsPanel;
    // The popup (full or shrunk to its "+") never takes typing away from the focused control:
    // it stays on screen until clicked, and the user answers in the meantime.
    if (k.quickSendShown || k.avatarViewerShown)
        return k.quickSendShown ? KeyAction::DiscardAndFadeQuickSend : KeyAction::Discard;
    if (k.escape && k.renameFieldShown)
        return KeyAction::HideRenameField;
    if (k.escape && k.filesWaiting)
        return KeyAction::CancelWaitingFiles;
    if (k.escape)
        return KeyAction::FadeOut;
    return KeyAction::PassOn;
}

MessageKey messageKey(int key, Qt::KeyboardModifiers modifiers)
{
    // The keypad's Enter carries the keypad modifier; it is Enter all the same.
    if (key != Qt::Key_Return && key != Qt::Key_Enter)
        return MessageKey::PassOn;
    return modifiers.testFlag(Qt::ShiftModifier) ? MessageKey::LineBreak : MessageKey::Send;
}

} // namespace frame
