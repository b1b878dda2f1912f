// The race benchmark's reading of the server copies: a loss, a duplicate or a cut history that it
// misses would make a broken write path look whole.
#include "RaceTally.h"

#include "core/Conversation.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace racetally;

namespace {

QString header(const QString& who, int second)
{
    return conversation::headerLine(who, QDateTime(QDate(2026, 3, 2), QTime(9, 0)).addSecs(second));
}

// Entries newest first, as the program writes them; the texts are the history's.
QStringList conversationOf(const QStringList& texts)
{
    QStringList lines;
    for (int k = 0; k < texts.size(); ++k)
        conversation::insertMessage(lines, header(k % 2 ? "anna" : "bob", k), texts[k]);
    return lines;
}

const QStringList kHistory{"first words", "an answer", "and more"};

QByteArray withOnTop(const QStringList& messages, const QStringList& history = kHistory)
{
    QStringList lines = conversationOf(history);
    for (int k = 0; k < messages.size(); ++k)
        conversation::insertMessage(lines, header("anna", 100 + k), messages[k]);
    return conversation::encode(lines);
}

} // namespace

TEST(RaceTally, TellsHeaderLinesFromMessageLines)
{
    EXPECT_TRUE(isHeaderLine(header("anna", 0)));
    EXPECT_TRUE(isHeaderLine("bob     01.12.2025     23:59:59 :"));
    EXPECT_TRUE(isHeaderLine("bob     01.12.2025     7:05:09 :"));
    EXPECT_FALSE(isHeaderLine("bob 01.12.2025 7:05:09 :"));
    EXPECT_FALSE(isHeaderLine("meet at 10:30:00 :"));
    EXPECT_FALSE(isHeaderLine("bob     01.12.2025     7:05:09"));
    EXPECT_FALSE(isHeaderLine(""));
}

TEST(RaceTally, SplitsAtHeadersKeepingMultiLineMessagesWhole)
{
    QStringList lines = conversationOf(kHistory);
    conversation::insertMessage(lines, header("anna", 50), "two\nlines");
    const QList<Entry> list = entries(lines);
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(list[0].header, header("anna", 50));
    EXPECT_EQ(list[0].body, "two\nlines");
    EXPECT_EQ(list[1].body, "and more");
    EXPECT_EQ(list[3].body, "first words");
    EXPECT_EQ(list[3].header, header("bob", 0));
}

TEST(RaceTally, LinesAboveTheFirstHeaderAreAnEntryOfTheirOwn)
{
    QStringList lines = conversationOf(kHistory);
    lines.prepend("half a message");
    const QList<Entry> list = entries(lines);
    ASSERT_EQ(list.size(), 4);
    EXPECT_TRUE(list[0].header.isEmpty());
    EXPECT_EQ(list[0].body, "half a message");
    EXPECT_TRUE(entries({}).isEmpty());
}

TEST(RaceTally, WholeCopiesCountNothing)
{
    const QByteArray both = withOnTop({"from anna", "from bob"});
    const Tally t = check({{"a", both}, {"b", both}}, kHistory,
                          {{"from anna", Outcome::Sent}, {"from bob", Outcome::Sent}});
    EXPECT_EQ(t.lost, 0);
    EXPECT_EQ(t.duplicated, 0);
    EXPECT_EQ(t.cut, 0);
    EXPECT_TRUE(t.findings.isEmpty()) << t.findings.join('\n').toStdString();
}

TEST(RaceTally, AMessageMissingFromOneCopyIsLostThereOnce)
{
    // The classic lost update: bob's copy was written over with anna's older view.
    const Tally t = check({{"anna's copy", withOnTop({"from anna", "from bob"})},
                           {"bob's copy", withOnTop({"from anna"})}},
                          kHistory, {{"from anna", Outcome::Sent}, {"from bob", Outcome::Sent}});
    EXPECT_EQ(t.lost, 1);
    EXPECT_EQ(t.sentButLost, 1);
    EXPECT_EQ(t.cut, 0);
    ASSERT_EQ(t.findings.size(), 1);
    EXPECT_TRUE(t.findings[0].startsWith("bob's copy")) << t.findings[0].toStdString();
}

TEST(RaceTally, AGivenUpMessageIsLostButNotReportedSent)
{
    const QByteArray plain = withOnTop({});
    const Tally t = check({{"a", plain}, {"b", plain}}, kHistory, {{"gave up", Outcome::GaveUp}});
    EXPECT_EQ(t.lost, 2);
    EXPECT_EQ(t.sentButLost, 0);
}

TEST(RaceTally, AKilledSendCountsOnlyWhenTheCopiesDisagree)
{
    const QByteArray plain = withOnTop({});
    const QByteArray with = withOnTop({"in flight"});
    const QList<Message> m{{"in flight", Outcome::Unknown}};
    EXPECT_EQ(check({{"a", plain}, {"b", plain}}, kHistory, m).lost, 0);
    EXPECT_EQ(check({{"a", with}, {"b", with}}, kHistory, m).lost, 0);
    const Tally half = check({{"a", with}, {"b", plain}}, kHistory, m);
    EXPECT_EQ(half.lost, 1);
    EXPECT_EQ(half.sentButLost, 0);
}

TEST(RaceTally, ARetryUnderANewHeaderIsADuplicate)
{
    QStringList lines = conversationOf(kHistory);
    conversation::insertMessage(lines, header("anna", 100), "pressed twice");
    conversation::insertMessage(lines, header("anna", 101), "pressed twice");
    const QByteArray twice = conversation::encode(lines);
    const Tally t = check({{"a", twice}, {"b", withOnTop({"pressed twice"})}}, kHistory,
                          {{"pressed twice", Outcome::Sent}});
    EXPECT_EQ(t.duplicated, 1);
    EXPECT_EQ(t.lost, 0);
}

TEST(RaceTally, ACopyMissingHistoryIsCutWhateverItsOrder)
{
    QStringList shorter = kHistory;
    shorter.removeFirst();
    const QList<Message> none;
    EXPECT_EQ(check({{"a", withOnTop({}, shorter)}}, kHistory, none).cut, 1);
    EXPECT_EQ(check({{"a", QByteArray()}}, kHistory, none).cut, 1);
    // Junk where the copy was: nothing of the history is in it.
    EXPECT_EQ(check({{"a", QByteArray(4096, '\0')}}, kHistory, none).cut, 1);
    // Entries put in another order by a merge lose nothing.
    const QStringList reordered{"an answer", "first words", "and more"};
    EXPECT_EQ(check({{"a", withOnTop({}, reordered)}}, kHistory, none).cut, 0);
}

TEST(RaceTally, AHistoryEntryTwiceInTheBaseMustStayTwice)
{
    const QStringList repeated{"ok", "ok", "bye"};
    const QStringList once{"ok", "bye"};
    EXPECT_EQ(check({{"a", withOnTop({}, once)}}, repeated, {}).cut, 1);
    EXPECT_EQ(check({{"a", withOnTop({}, repeated)}}, repeated, {}).cut, 0);
}

TEST(RaceTally, RowsSumTrialsAndTheTableEstimatesTheWait)
{
    Row r;
    r.name = "loopback";
    r.trials = 3;
    r.sends = 6;
    r.failed = 1;
    Tally t;
    t.lost = 2;
    t.sentButLost = 1;
    t.duplicated = 1;
    t.cut = 1;
    r.add(t);
    r.add(t);
    EXPECT_EQ(r.lost, 4);
    EXPECT_EQ(r.sentButLost, 2);
    EXPECT_EQ(r.duplicated, 2);
    EXPECT_EQ(r.cut, 2);
    r.soloMs = 40;
    r.longestMs = 250;
    Row quick;
    quick.name = "quick";
    quick.soloMs = 50;
    quick.longestMs = 30; // a failure faster than a whole send waits for nothing
    const QStringList lines = table({r, quick}).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 4);
    EXPECT_TRUE(lines[0].startsWith("| row | trials |"));
    EXPECT_EQ(lines[2], "| loopback | 3 | 6 | 1 | 0 | 4 | 2 | 2 | 2 | 210 | 250 |");
    EXPECT_EQ(lines[3], "| quick | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 0 | 30 |");
}
