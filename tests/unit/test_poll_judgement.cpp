// What a conversation copy that a poll brought down means, judged from bytes alone: news only
// when someone else wrote, never a loss of what was seen, and the open chat told apart from a
// conversation in the background.
#include "core/ConversationMerge.h"
#include "core/PollJudgement.h"
#include "core/StringList.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using polljudgement::judge;
using polljudgement::Judgement;
using polljudgement::SeenCopy;

const QString kSelf = QStringLiteral("Me");

// One message entry as a writer stores it, without a line end after its last line.
QByteArray message(const QByteArray& who, const QByteArray& time, const QByteArray& text)
{
    return who + "     07.03.2026     " + time + " :\r\n" + text;
}

// Entries newest first, one empty line between two.
QByteArray entries(std::initializer_list<QByteArray> list)
{
    QByteArray out;
    for (const QByteArray& e : list)
        out += (out.isEmpty() ? "" : "\r\n\r\n") + e;
    return out;
}

SeenCopy seenAs(const QByteArray& bytes)
{
    return {true, bytes};
}
const SeenCopy kNoSeenCopy{false, std::nullopt};
const SeenCopy kHeldSeenCopy{true, std::nullopt};

// The text the SeenCopy becomes when the judgement is carried out.
QStringList newSeenText(const Judgement& j)
{
    return j.seenBytes ? stringlist::decode(*j.seenBytes) : j.seenLines;
}

const QByteArray kHistory =
    entries({message("Zoe", "14:05:07", "Hi Me"), message("Me", "14:00:00", "hello"),
             message("Zoe", "13:59:00", "first")});

} // namespace

TEST(PollJudgement, OnlyWhatOthersWroteSinceTheSeenCopyIsNews)
{
    // A conversation new here: announced from its newest entry, kept as the server's bytes.
    const Judgement fresh = judge(kHistory, kNoSeenCopy, kSelf, false);
    EXPECT_FALSE(fresh.unchanged);
    EXPECT_FALSE(fresh.damaged);
    EXPECT_TRUE(fresh.news);
    ASSERT_TRUE(fresh.announcement);
    EXPECT_EQ(fresh.announcement->newest.sender, QStringLiteral("Zoe"));
    EXPECT_TRUE(fresh.announcement->newest.isMessage);
    EXPECT_EQ(fresh.announcement->newest.secondLine, QStringLiteral("Hi Me"));
    EXPECT_EQ(fresh.seenBytes, kHistory);
    EXPECT_FALSE(fresh.openChat);

    // The very bytes seen, and the same text with other line ends: nothing to do. So too for
    // bytes seen with the file line some writer left below a newer entry.
    EXPECT_TRUE(judge(kHistory, seenAs(kHistory), kSelf, false).unchanged);
    const QByteArray staleLine = message("Zoe", "14:06:00", "x") +
                                 "\r\n\r\nAnn sent \"a\" (07.03.2026   14:05:07)\r\n...a.txt";
    EXPECT_TRUE(judge(staleLine, seenAs(staleLine), kSelf, false).unchanged);
    const QByteArray lfOnly = QByteArray(kHistory).replace("\r\n", "\n") + '\n';
    const Judgement sameText = judge(lfOnly, seenAs(kHistory), kSelf, false);
    EXPECT_TRUE(sameText.unchanged);
    EXPECT_FALSE(sameText.news);
    EXPECT_FALSE(sameText.announcement);

    // A peer's entry on top: news, read from that entry; the SeenCopy takes the server's bytes.
    const QByteArray hers = entries({message("Zoe", "14:06:00", "again"), kHistory});
    const Judgement news = judge(hers, seenAs(kHistory), kSelf, false);
    EXPECT_TRUE(news.news);
    ASSERT_TRUE(news.announcement);
    EXPECT_EQ(news.announcement->newest.secondLine, QStringLiteral("again"));
    EXPECT_EQ(news.seenBytes, hers);

    // The same above a SeenCopy written with other line ends, where the bytes cannot show what
    // is new: the lines still do.
    const Judgement byLines = judge(hers, seenAs(lfOnly), kSelf, false);
    EXPECT_TRUE(byLines.news);
    ASSERT_TRUE(byLines.announcement);
    EXPECT_EQ(byLines.announcement->newest.secondLine, QStringLiteral("again"));

    // The user's own entry, written here or on another computer: seen, never announced.
    const QByteArray mine = entries({message("Me", "14:07:00", "my answer"), hers});
    for (const QByteArray& seen : {hers, QByteArray(hers).replace("\r\n", "\n")}) {
        const Judgement own = judge(mine, seenAs(seen), kSelf, false);
        EXPECT_FALSE(own.unchanged);
        EXPECT_FALSE(own.news);
        EXPECT_FALSE(own.announcement);
        EXPECT_EQ(newSeenText(own), stringlist::decode(mine));
    }
}

TEST(PollJudgement, AHistoryNewHereIsNewsWhenAnyEntryIsAPeers)
{
    QByteArrayList own;
    for (int i = 0; i < 50; ++i)
        own.append(message("Me", "15:00:" + QByteArray::number(10 + i), "mine"));
    const QByteArray mineOnly = own.join("\r\n\r\n");
    const QByteArray withPeer = mineOnly + "\r\n\r\n" + message("Zoe", "14:05:07", "Hi Me");

    const Judgement peer = judge(withPeer, kNoSeenCopy, kSelf, false);
    EXPECT_TRUE(peer.news);
    ASSERT_TRUE(peer.announcement);
    // Announced from the newest entry, which is the user's.
    EXPECT_EQ(peer.announcement->newest.sender, QStringLiteral("Me"));
    EXPECT_EQ(peer.seenBytes, withPeer);

    const Judgement mine = judge(mineOnly, kNoSeenCopy, kSelf, false);
    EXPECT_FALSE(mine.unchanged);
    EXPECT_FALSE(mine.news);
    EXPECT_FALSE(mine.announcement);
    EXPECT_EQ(mine.seenBytes, mineOnly);
}

TEST(PollJudgement, AnEmptyCutOrJunkCopyIsNeverNewsAndNeverReplacesWhatWasSeen)
{
    // Emptied by a writer at work, or a read that brought nothing; cut by a writer that was
    // killed; overwritten with a binary file or with text that is no conversation.
    const QByteArray cases[] = {QByteArray(), kHistory.left(kHistory.size() - 4), kHistory.left(40),
                                QByteArray("\x7f"
                                           "ELF\0\0\x01",
                                           7),
                                QByteArray("<html>not found</html>")};
    for (const QByteArray& broken : cases) {
        SCOPED_TRACE(broken.toStdString());
        const Judgement j = judge(broken, seenAs(kHistory), kSelf, false);
        EXPECT_TRUE(j.damaged);
        EXPECT_TRUE(j.unchanged) << "nothing beyond the SeenCopy: it stays as it is";
        EXPECT_FALSE(j.news);
        EXPECT_FALSE(j.announcement);
        // Open or not, the chat is not shown a damaged copy.
        EXPECT_FALSE(judge(broken, seenAs(kHistory), kSelf, true).openChat);
    }

    // An empty copy and a SeenCopy held by another program: nothing to compare, nothing lost.
    const Judgement held = judge({}, kHeldSeenCopy, kSelf, false);
    EXPECT_TRUE(held.unchanged);
    EXPECT_FALSE(held.news);
}

TEST(PollJudgement, ACutCopyWithNewEntriesOnTopAddsThemToEverythingSeen)
{
    const QByteArray hers = entries({message("Zoe", "15:01:00", "new"), kHistory});
    const QByteArray cut = hers.left(hers.size() - 4);
    const Judgement peer = judge(cut, seenAs(kHistory), kSelf, false);
    EXPECT_TRUE(peer.damaged);
    EXPECT_FALSE(peer.unchanged);
    EXPECT_TRUE(peer.news);
    ASSERT_TRUE(peer.announcement);
    EXPECT_EQ(peer.announcement->newest.secondLine, QStringLiteral("new"));
    // The SeenCopy keeps every entry seen, and the new one on top.
    EXPECT_FALSE(peer.seenBytes) << "the cut bytes never become the SeenCopy";
    EXPECT_TRUE(conversation::same(stringlist::encode(peer.seenLines), hers));

    // The user's own entry above a cut copy: kept, not news.
    const QByteArray mine = entries({message("Me", "15:02:00", "mine"), kHistory});
    const Judgement own = judge(mine.left(mine.size() - 4), seenAs(kHistory), kSelf, false);
    EXPECT_TRUE(own.damaged);
    EXPECT_FALSE(own.news);
    EXPECT_FALSE(own.announcement);
    EXPECT_TRUE(conversation::same(stringlist::encode(own.seenLines), mine));

    // Open, the chat shows the repaired whole, not the cut copy.
    const Judgement open = judge(cut, seenAs(kHistory), kSelf, true);
    ASSERT_TRUE(open.openChat);
    EXPECT_EQ(*open.openChat, open.seenLines);
    EXPECT_TRUE(open.news);
}

TEST(PollJudgement, AConversationStartedAnewIsTakenAsItIs)
{
    // No entry in common with the SeenCopy (an account deleted and registered again): the copy
    // is the new state, not a damaged one, and a peer's entry in it is news.
    const QByteArray anew = message("Zoe", "16:00:00", "hello again");
    const Judgement j = judge(anew, seenAs(kHistory), kSelf, false);
    EXPECT_FALSE(j.damaged);
    EXPECT_TRUE(j.news);
    EXPECT_EQ(j.seenBytes, anew);
}

TEST(PollJudgement, ASeenCopyHeldElsewhereComparesAsNothingSeen)
{
    // The whole copy is judged: a peer's entry anywhere in it is news, and the user's own
    // history is not.
    const Judgement peer = judge(kHistory, kHeldSeenCopy, kSelf, false);
    EXPECT_FALSE(peer.unchanged);
    EXPECT_FALSE(peer.damaged);
    EXPECT_TRUE(peer.news);
    const QByteArray own = message("Me", "14:00:00", "hello");
    EXPECT_FALSE(judge(own, kHeldSeenCopy, kSelf, false).news);
}

TEST(PollJudgement, TheOpenChatShowsEverythingAndOnlyAHiddenOneIsAnnounced)
{
    const QByteArray notice = "Ann sent \"a\" (07.03.2026   14:05:07)\r\n...a.txt\r\n";
    const QByteArray note = entries({notice.chopped(2), kHistory});

    // In the background: announced, with the single file's name for the popup.
    const Judgement hidden = judge(note, seenAs(kHistory), kSelf, false);
    EXPECT_TRUE(hidden.news);
    EXPECT_FALSE(hidden.openChat);
    ASSERT_TRUE(hidden.announcement);
    EXPECT_FALSE(hidden.announcement->newest.isMessage);
    EXPECT_EQ(hidden.announcement->newest.sender, QStringLiteral("Ann"));
    EXPECT_EQ(hidden.announcement->fileName, QStringLiteral("a.txt"));

    // Open: the sound plays, the chat shows the whole text without the file line, nothing is
    // announced.
    const Judgement open = judge(note, seenAs(kHistory), kSelf, true);
    EXPECT_TRUE(open.news);
    EXPECT_FALSE(open.announcement);
    ASSERT_TRUE(open.openChat);
    EXPECT_TRUE(open.chatLostFileLine);
    QStringList expected = stringlist::decode(note);
    expected.removeAt(1);
    EXPECT_EQ(*open.openChat, expected);
    // The SeenCopy still takes the server's bytes, file line and all.
    EXPECT_EQ(open.seenBytes, note);

    // Open in a hidden window: the chat follows the copy, so the window shows the notice when
    // it comes back, and the news is announced as in the background.
    const Judgement away = judge(note, seenAs(kHistory), kSelf, true, false);
    ASSERT_TRUE(away.openChat);
    EXPECT_EQ(*away.openChat, expected);
    ASSERT_TRUE(away.announcement);
    EXPECT_EQ(away.announcement->fileName, QStringLiteral("a.txt"));

    // The open chat follows the user's own entries too, silently.
    const QByteArray mine = entries({message("Me", "14:07:00", "mine"), kHistory});
    const Judgement own = judge(mine, seenAs(kHistory), kSelf, true);
    EXPECT_FALSE(own.news);
    ASSERT_TRUE(own.openChat);
    EXPECT_FALSE(own.chatLostFileLine);
    EXPECT_EQ(*own.openChat, stringlist::decode(mine));

    // A file name that cannot be a local one is not offered.
    for (const char* bad : {"...../etc/passwd", "....", ".....", "..."}) {
        const QByteArray odd =
            entries({"Ann sent \"a\" (07.03.2026   14:05:07)\r\n" + QByteArray(bad), kHistory});
        const Judgement j = judge(odd, seenAs(kHistory), kSelf, false);
        ASSERT_TRUE(j.announcement) << bad;
        EXPECT_TRUE(j.announcement->fileName.isEmpty()) << bad;
    }
}

TEST(PollJudgement, AFileLineLeftBelowANewerEntryIsDroppedFromTheSeenCopy)
{
    // Ann's writer kept her notice's file line when it put a message above it: the comparison
    // leaves it out, and so does the SeenCopy.
    const QByteArray seen = "Ann sent \"a\" (07.03.2026   14:05:07)\r\n...a.txt\r\n";
    const QByteArray copy = message("Ann", "14:07:00", "Late") + "\r\n\r\n" + seen;
    const Judgement j = judge(copy, seenAs(seen), kSelf, false);
    EXPECT_FALSE(j.damaged);
    EXPECT_TRUE(j.news);
    ASSERT_TRUE(j.announcement);
    EXPECT_EQ(j.announcement->newest.secondLine, QStringLiteral("Late"));
    EXPECT_FALSE(j.seenBytes);
    EXPECT_EQ(j.seenLines, (QStringList{"Ann     07.03.2026     14:07:00 :", "Late", "",
                                        "Ann sent \"a\" (07.03.2026   14:05:07)"}));
    // Seen as saved, the same copy is no change.
    EXPECT_TRUE(judge(copy, seenAs(stringlist::encode(j.seenLines)), kSelf, false).unchanged);
}
