// Entries as the unit of a conversation, and the union that no writer's copy can shrink.
#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QString header(const QString& who, int second)
{
    return QStringLiteral("%1     01.02.2026     10:%2:%3 :")
        .arg(who)
        .arg(second / 60, 2, 10, QChar(u'0'))
        .arg(second % 60, 2, 10, QChar(u'0'));
}

// `count` messages, the newest on top, numbered from `from`.
QStringList history(const QString& who, int from, int count)
{
    QStringList lines;
    for (int k = from; k < from + count; ++k)
        conversation::insertMessage(lines, header(who, k), QStringLiteral("entry %1").arg(k));
    return lines;
}

QStringList withMessage(QStringList lines, const QString& who, int second, const QString& text)
{
    conversation::insertMessage(lines, header(who, second), text);
    return lines;
}

TEST(ConversationEntries, SplitAndJoinGiveTheTextBackWhateverTheMessagesHold)
{
    // Blank lines inside a message, a line that looks like a header without the blank line
    // before it, a trailing blank line, a notice: one entry each, and the text round-trips.
    QStringList lines = history("anna", 0, 2);
    conversation::insertMessage(lines, header("bob", 5), "first\n\nafter a blank\nx     y :");
    conversation::insertNotice(lines, {"anna sent \"a\" (01.02.2026   10:00:09)"});
    conversation::insertMessage(lines, header("bob", 10), "ends blank\n");
    const auto entries = conversation::splitEntries(lines);
    ASSERT_EQ(entries.size(), 5);
    EXPECT_EQ(entries.at(2).size(), 5) << "the message with blank lines is one entry";
    EXPECT_EQ(conversation::joinEntries(entries), lines);

    // The file line of the newest notice is no part of the entry.
    QStringList notice = lines;
    conversation::insertNotice(notice, {"bob sent \"b\" (01.02.2026   10:00:11)", "...b.txt"});
    EXPECT_EQ(conversation::splitEntries(notice).first(),
              QStringList{"bob sent \"b\" (01.02.2026   10:00:11)"});
    EXPECT_TRUE(conversation::splitEntries({}).isEmpty());
}

TEST(ConversationEntries, TheUnionKeepsEveryEntryOfEveryInputOnce)
{
    const QStringList base = history("anna", 0, 5);
    const QStringList mine = withMessage(base, "anna", 100, "mine");
    const QStringList theirs = withMessage(base, "bob", 101, "theirs");

    // Two writers on one base: both entries, each once, above the shared history.
    const QStringList both = conversation::united({mine, theirs});
    EXPECT_TRUE(conversation::holdsAll(both, mine));
    EXPECT_TRUE(conversation::holdsAll(both, theirs));
    EXPECT_EQ(conversation::splitEntries(both).size(), 7);
    EXPECT_EQ(both.mid(both.size() - base.size()), base) << "the history stays below";

    // A cut copy, an emptied one and the same copy twice take nothing away.
    const QStringList cut = mine.mid(0, 6);
    EXPECT_EQ(conversation::united({cut, mine}), mine);
    EXPECT_EQ(conversation::united({{}, mine, mine}), mine);

    // An entry only an older input has goes just above its older neighbour, not to the top.
    const QStringList seenOnly = withMessage(history("anna", 0, 3), "bob", 50, "seen only");
    const QStringList merged = conversation::united({base, seenOnly});
    const auto entries = conversation::splitEntries(merged);
    ASSERT_EQ(entries.size(), 6);
    EXPECT_EQ(entries.at(2).value(1), QStringLiteral("seen only"));

    // Duplicates a retry once wrote collapse.
    const QStringList twice = withMessage(mine, "anna", 100, "mine");
    EXPECT_EQ(conversation::united({twice}), mine);
}

TEST(ConversationEntries, HoldsSharesAndTheShapeOfAConversation)
{
    const QStringList base = history("anna", 0, 3);
    const QStringList newer = withMessage(base, "bob", 9, "new");
    EXPECT_TRUE(conversation::holdsAll(newer, base));
    EXPECT_FALSE(conversation::holdsAll(base, newer));
    EXPECT_TRUE(conversation::holdsAll(newer, {}));
    EXPECT_FALSE(conversation::holdsAll({}, base)) << "an emptied copy";
    EXPECT_TRUE(conversation::sharesEntry(newer, base));
    EXPECT_FALSE(conversation::sharesEntry(history("carl", 20, 2), base));
    EXPECT_TRUE(conversation::holdsEntryLines(newer, {header("bob", 9), "new"}));
    EXPECT_FALSE(conversation::holdsEntryLines(newer, {header("bob", 9), "other"}));

    EXPECT_TRUE(conversation::looksLikeConversation({}));
    EXPECT_TRUE(conversation::looksLikeConversation(newer));
    EXPECT_TRUE(conversation::looksLikeConversation({"bob sent \"a\" (01.02.2026   10:00:11)"}));
    EXPECT_FALSE(conversation::looksLikeConversation({"GIF89a"}));
    EXPECT_FALSE(conversation::looksLikeConversation({QString("a :") + QChar(0) + "b"}));
}

} // namespace
