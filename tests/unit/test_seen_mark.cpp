// The seen mark: its file, what a reader records, and which of a writer's entries it covers.
#include "core/Conversation.h"
#include "core/SeenMark.h"
#include "core/StringList.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QDateTime at(int day, int hour, int minute, int second = 0)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute, second));
}

QString header(const QString& sender, const QDateTime& when)
{
    return conversation::headerLine(sender, when);
}

// A conversation as both copies hold it, newest first: (sender, text, when) oldest first.
struct Said
{
    QString sender;
    QString text;
    QDateTime when;
};
QStringList conversationOf(const QList<Said>& said)
{
    QStringList lines;
    for (const Said& s : said)
        conversation::insertMessage(lines, header(s.sender, s.when), s.text);
    return lines;
}

StringTable table(const char* code)
{
    StringTable t;
    t.build(QString::fromLatin1(code));
    return t;
}

} // namespace

TEST(SeenMark, TheFileIsThreeLinesInTheSystemsTextFormat)
{
    const seenmark::Mark mark{header("Алиса", at(5, 14, 5, 7)), "0123456789abcdef",
                              at(5, 14, 7, 9)};
    const QStringList lines = seenmark::toLines(mark);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.at(0), "Алиса     05.03.2026     14:05:07 :");
    EXPECT_EQ(lines.at(1), "05.03.2026     14:07:09");
    EXPECT_EQ(lines.at(2), "0123456789abcdef");
    // Windows-1251 with CR LF, as every text file of the system.
    const QByteArray bytes = stringlist::encode(lines);
    EXPECT_EQ(bytes, QByteArray("\xC0\xEB\xE8\xF1\xE0     05.03.2026     14:05:07 :\r\n"
                                "05.03.2026     14:07:09\r\n0123456789abcdef\r\n"));
    EXPECT_EQ(seenmark::fromLines(stringlist::decode(bytes)), mark);
    // A morning time has no leading zero, as in the headers.
    EXPECT_EQ(seenmark::toLines({"x", "d", at(5, 9, 1, 2)}).at(1), "05.03.2026     9:01:02");
    EXPECT_EQ(seenmark::fromLines({"x", "05.03.2026     9:01:02"})->at, at(5, 9, 1, 2));
    // Without a digest the first line alone names the entry.
    EXPECT_EQ(seenmark::toLines({"x", {}, at(5, 9, 1, 2)}).size(), 2);
    EXPECT_EQ(seenmark::fromLines({"x", "05.03.2026     9:01:02"})->digest, QString());
}

TEST(SeenMark, AnythingElseIsNoMark)
{
    EXPECT_FALSE(seenmark::fromLines({}));
    EXPECT_FALSE(seenmark::fromLines({"Alice     05.03.2026     14:05:07 :"}));
    EXPECT_FALSE(seenmark::fromLines({"", "05.03.2026     14:07:09"}));
    EXPECT_FALSE(seenmark::fromLines({"x", "yesterday"}));
    EXPECT_FALSE(seenmark::fromLines({"x", "05.03.2026     14:07:09", "d", "more"}));
}

TEST(SeenMark, TheReaderRecordsTheNewestEntryOfTheOtherSide)
{
    const QStringList lines = conversationOf({{"Alice", "hi", at(5, 14, 0)},
                                              {"Bob", "hello\n\nthere", at(5, 14, 1)},
                                              {"Alice", "how are you", at(5, 14, 2)},
                                              {"Bob", "fine", at(5, 14, 3)}});
    const auto fromAlice = seenmark::newestFrom(lines, "Bob");
    ASSERT_TRUE(fromAlice);
    EXPECT_EQ(fromAlice->entry, header("Alice", at(5, 14, 2)));
    EXPECT_EQ(fromAlice->digest,
              seenmark::digestOf({header("Alice", at(5, 14, 2)), "how are you"}));
    EXPECT_FALSE(fromAlice->at.isValid()) << "the time is the recording's";
    EXPECT_EQ(seenmark::newestFrom(lines, "Alice")->entry, header("Bob", at(5, 14, 3)));
    // A message of several lines, empty ones among them, is one entry.
    EXPECT_EQ(seenmark::newestFrom(lines.mid(3), "Alice")->digest,
              seenmark::digestOf({header("Bob", at(5, 14, 1)), "hello", "", "there"}));
    // Nothing of the other side: nothing to record.
    EXPECT_FALSE(seenmark::newestFrom(conversationOf({{"Bob", "anyone?", at(5, 14, 0)}}), "Bob"));
    EXPECT_FALSE(seenmark::newestFrom({}, "Bob"));

    // A file notice is an entry of its sender too; its file line is not part of it.
    QStringList withNotice = lines;
    conversation::Notice notice;
    notice.sender = "Alice";
    notice.paths = {"/tmp/plan.txt"};
    notice.phrases = conversation::fallbackPhrases();
    notice.when = at(5, 14, 4);
    conversation::insertNotice(withNotice, conversation::noticeLines(notice));
    EXPECT_TRUE(conversation::hasFileLine(withNotice));
    EXPECT_EQ(seenmark::newestFrom(withNotice, "Bob")->entry, withNotice.at(0));
    EXPECT_EQ(seenmark::newestFrom(withNotice, "Bob")->digest,
              seenmark::digestOf({withNotice.at(0)}));
}

TEST(SeenMark, TheWritersNewestEntriesUpToTheMarkedOneAreSeen)
{
    const QDateTime read = at(5, 14, 7);
    const QStringList lines = conversationOf({{"Bob", "hello", at(5, 14, 0)},
                                              {"Alice", "one", at(5, 14, 1)},
                                              {"Alice", "two", at(5, 14, 2)},
                                              {"Alice", "three", at(5, 14, 3)}});
    using seenmark::judge;
    const auto mark = [&](const QDateTime& entryTime, const QString& sender = "Alice") {
        return std::optional<seenmark::Mark>(seenmark::Mark{header(sender, entryTime), {}, read});
    };

    // No mark: all three are in both copies, none seen.
    EXPECT_EQ(judge(lines, "Alice", std::nullopt), (seenmark::Shown{3, 0, {}}));
    // Read down to the newest: all seen, when the mark says.
    EXPECT_EQ(judge(lines, "Alice", mark(at(5, 14, 3))), (seenmark::Shown{3, 3, read}));
    EXPECT_TRUE(judge(lines, "Alice", mark(at(5, 14, 3))).allSeen());
    // Read before the last two came: the oldest of them only.
    EXPECT_EQ(judge(lines, "Alice", mark(at(5, 14, 1))), (seenmark::Shown{3, 1, read}));
    EXPECT_FALSE(judge(lines, "Alice", mark(at(5, 14, 1))).allSeen());
    // A mark from before any of them, or of an entry the conversation does not hold.
    EXPECT_EQ(judge(lines, "Alice", mark(at(5, 14, 0), "Bob")), (seenmark::Shown{3, 0, {}}));
    EXPECT_EQ(judge(lines, "Alice", mark(at(4, 9, 0))), (seenmark::Shown{3, 0, {}}));

    // The other side wrote last: nothing of the writer's is newest, nothing to mark.
    EXPECT_EQ(judge(lines, "Bob", mark(at(5, 14, 3))), (seenmark::Shown{0, 0, {}}));
    EXPECT_EQ(judge({}, "Alice", mark(at(5, 14, 3))), (seenmark::Shown{0, 0, {}}));
}

TEST(SeenMark, TwoMessagesOfOneSecondAreToldApartByTheirDigest)
{
    const QDateTime second = at(5, 14, 1);
    const QStringList lines = conversationOf(
        {{"Bob", "hello", at(5, 14, 0)}, {"Alice", "one", second}, {"Alice", "two", second}});
    ASSERT_EQ(lines.at(0), lines.at(3)) << "both headers alike";
    const auto readOne = seenmark::newestFrom(lines.mid(3), "Bob");
    ASSERT_TRUE(readOne);
    EXPECT_EQ(
        seenmark::judge(lines, "Alice", seenmark::Mark{readOne->entry, readOne->digest, second}),
        (seenmark::Shown{2, 1, second}));
    const auto readBoth = seenmark::newestFrom(lines, "Bob");
    EXPECT_EQ(
        seenmark::judge(lines, "Alice", seenmark::Mark{readBoth->entry, readBoth->digest, second}),
        (seenmark::Shown{2, 2, second}));
    // A mark without a digest goes by the newest entry of that first line.
    EXPECT_EQ(seenmark::judge(lines, "Alice", seenmark::Mark{readOne->entry, {}, second}),
              (seenmark::Shown{2, 2, second}));
}

TEST(SeenMark, TheLabelSaysSeenWithTheTimeOrDelivered)
{
    const StringTable eng = table("eng/");
    const StringTable rus = table("rus/");
    const QDateTime now = at(5, 16, 0);
    EXPECT_EQ(seenmark::label({2, 2, at(5, 14, 7)}, eng, now), "Seen 14:07");
    EXPECT_EQ(seenmark::label({2, 2, at(5, 14, 7)}, rus, now), "Прочитано 14:07");
    EXPECT_EQ(seenmark::label({2, 2, at(4, 23, 50)}, eng, now), "Seen 04.03.2026 23:50");
    EXPECT_EQ(seenmark::label({2, 1, at(5, 14, 7)}, eng, now), "Delivered");
    EXPECT_EQ(seenmark::label({1, 0, {}}, rus, now), "Доставлено");
    EXPECT_EQ(seenmark::label({0, 0, {}}, eng, now), QString());
}
