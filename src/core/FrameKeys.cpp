#include "core/FrameKeys.h"

namespace frame {

KeyAction keyAction(const KeyContext& k)
{
    // Escape closes the innermost thing first: the panel, then the rename field, then the window.
    if (k.escape && k.settingsPanelShown)
        return KeyAction::HideSettingsPanel;
    if (k.popupShown || k.quickSendShown || k.avatarViewerShown)
        return k.quickSendShown ? KeyAction::DiscardAndFadeQuickSend : KeyAction::Discard;
    if (k.escape && k.renameFieldShown)
        return KeyAction::HideRenameField;
    if (k.escape)
        return KeyAction::FadeOut;
    return KeyAction::PassOn;
}

} // namespace frame
