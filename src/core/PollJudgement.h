#pragma once

#include "core/Conversation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// What a conversation copy that a poll brought down means for the signed-in user, decided from
// its bytes and the SeenCopy alone: whether it changed, whether it is news, what the SeenCopy
// becomes, and what the open chat or the popup is shown. Nothing here reads a file or the
// server, so every case can be tried with bytes.
namespace polljudgement {

// The SeenCopy as the cycle found it: the conversation as this computer last showed it.
struct SeenCopy
{
    bool exists = false;
    // Its bytes; nullopt while another program holds it, when it reads as empty.
    std::optional<QByteArray> bytes;
};

// What the popup says about news in a conversation that is not open.
struct Announcement
{
    conversation::Newest newest; // the newest entry: its writer, header and first line
    QString fileName; // a notice's single file, when its name can be a local one; else empty
};

struct Judgement
{
    // Nothing to show and nothing to save: the copy holds what was seen, or lacks some of it
    // and holds nothing beyond it. It is remembered as compared all the same.
    bool unchanged = false;
    // The copy lacked entries the SeenCopy holds (cut, emptied, or not a conversation at all):
    // the SeenCopy keeps them, and the next write repairs the server copy.
    bool damaged = false;
    bool news = false; // someone other than the user wrote what is new: the sound plays
    // What the SeenCopy becomes: the bytes that came down when they hold its text, so that an
    // unchanged copy compares equal by its bytes next time; otherwise (nullopt) `seenLines`.
    std::optional<QByteArray> seenBytes;
    QStringList seenLines;
    // The open conversation shows its whole text, the user's own entries too, without the file
    // line of a notice; `chatLostFileLine` when the copy had one.
    std::optional<QStringList> openChat;
    bool chatLostFileLine = false;
    // News the user does not see in the chat (not open, or open in a hidden window): marked in
    // the directory and announced.
    std::optional<Announcement> announcement;
};

// `copy` is what came down: empty when the server copy was empty or could not be read, which
// is never taken for the history. `self` is the signed-in user, whose own entries are never
// news; `open` whether this conversation is the one on screen.
// `watched` whether the user sees it now: an open conversation in a hidden window follows the
// copy too, and its news is announced as well, so that the window shows it when it comes back.
Judgement judge(const QByteArray& copy, const SeenCopy& seen, const QString& self, bool open,
                bool watched = true);

} // namespace polljudgement
