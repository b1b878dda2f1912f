#pragma once

#include <QtCore/qnamespace.h>

// What the main window does with a key before its focused control sees it.
namespace frame {

struct KeyContext
{
    bool escape = false;
    bool settingsPanelShown = false; // block1
    bool quickSendShown = false;     // NetMenu
    bool avatarViewerShown = false;  // Photo
    bool renameFieldShown = false;   // rnm
    bool filesWaiting = false;       // dropState: dropped files wait for the server
};

enum class KeyAction
{
    HideSettingsPanel,
    // While the quick-send window or the avatar viewer is open the main window takes no
    // typing; the quick-send window also fades away.
    Discard,
    DiscardAndFadeQuickSend,
    HideRenameField,
    CancelWaitingFiles,
    FadeOut,
    PassOn,
};

KeyAction keyAction(const KeyContext& k);

// What a key pressed in the message box (msg) does.
enum class MessageKey
{
    Send,
    LineBreak,
    PassOn, // the box's own: typing, moving, deleting
};

// Enter sends, with Ctrl or without; Shift+Enter breaks the line, so that a message of several
// lines can be typed and not only pasted.
MessageKey messageKey(int key, Qt::KeyboardModifiers modifiers);

} // namespace frame
