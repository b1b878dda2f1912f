#pragma once

#include <QString>

// Unsent messages kept per correspondent in the local settings store, so that they outlive a
// switch to someone else, a closed window and a restart.
namespace drafts {

// The two boxes keep separate drafts: the quick-send box holds one line, the message box any
// number, and neither may overwrite what the other holds.
enum class Box
{
    Message,   // msg, below the conversation
    QuickSend, // the quick-send window's text
};

// The settings key of the draft that `owner` (the signed-in user) keeps for `peer`. Names may
// hold anything the directory allows, "/" and "\" among them, which the store would take for
// groups, and differ only in letter case, which some stores fold: both appear hex-encoded.
QString key(const QString& owner, const QString& peer, Box box);

} // namespace drafts
