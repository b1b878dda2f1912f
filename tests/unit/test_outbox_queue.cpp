// The outbox's queue: what survives in its file, which entry goes next, and how waiting messages
// look in the conversation.
#include "core/Conversation.h"
#include "core/OutboxQueue.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

outbox::Entry message(const QString& sender, const QString& recipient, const QString& text,
                      int minute = 0)
{
    outbox::Entry e;
    e.kind = outbox::Entry::Kind::Message;
    e.sender = sender;
    e.recipient = recipient;
    e.header = conversation::headerLine(sender, QDateTime(QDate(2026, 12, 10), QTime(14, minute)));
    e.text = text;
    return e;
}

outbox::Entry files(const QString& sender, const QString& recipient, const QStringList& paths)
{
    outbox::Entry e;
    e.kind = outbox::Entry::Kind::Files;
    e.sender = sender;
    e.recipient = recipient;
    e.paths = paths;
    e.phrases = {"sent you", "files"};
    e.origin = 2;
    return e;
}

TEST(OutboxQueue, EntriesSurviveTheFileInOrderAndIdsAreNeverReused)
{
    outbox::Queue q;
    const quint64 first = q.add(message("anna", "boris", "one\nline two", 1));
    q.add(files("anna", "boris", {"/tmp/a b.txt", "/tmp/c"}));
    const quint64 third = q.add(message("anna", "vera", "three", 3));
    ASSERT_TRUE(q.remove(first));
    EXPECT_FALSE(q.remove(first));

    outbox::Queue back = outbox::Queue::parse(q.serialise());
    ASSERT_EQ(back.entries(), q.entries());
    // An id taken after a restart must not name a removed or kept entry: a cancel would hit it.
    const quint64 next = back.add(message("anna", "boris", "four"));
    EXPECT_GT(next, third);
}

TEST(OutboxQueue, ADamagedFileCostsOnlyTheDamagedEntries)
{
    EXPECT_TRUE(outbox::Queue::parse("not json {").isEmpty());
    EXPECT_TRUE(outbox::Queue::parse("").isEmpty());
    const QByteArray stored = R"({"format":1,"entries":[
        {"id":1,"kind":"message","sender":"anna","recipient":"boris","header":"h :","text":"ok"},
        {"id":2,"kind":"message","sender":"","recipient":"boris","header":"h :","text":"x"},
        {"id":3,"kind":"message","sender":"anna","recipient":"boris","header":"h :","text":""},
        {"id":4,"kind":"fax","sender":"anna","recipient":"boris"},
        {"id":5,"kind":"files","sender":"anna","recipient":"boris","paths":[]},
        {"id":1,"kind":"message","sender":"anna","recipient":"vera","header":"h :","text":"dup"},
        {"id":6,"kind":"files","sender":"anna","recipient":"boris","paths":["/f"],"new":true}
    ]})";
    const outbox::Queue q = outbox::Queue::parse(stored);
    ASSERT_EQ(q.entries().size(), 2);
    EXPECT_EQ(q.entries()[0].text, "ok");
    EXPECT_EQ(q.entries()[1].paths, QStringList{"/f"});
}

TEST(OutboxQueue, EachSenderSendsOnlyItsOwnEntriesOldestFirst)
{
    outbox::Queue q;
    q.add(message("boris", "anna", "from boris"));
    q.add(message("anna", "boris", "first"));
    q.add(files("anna", "vera", {"/f"}));
    q.add(message("anna", "boris", "second"));

    ASSERT_TRUE(q.next("anna"));
    EXPECT_EQ(q.next("anna")->text, "first");
    EXPECT_EQ(q.next("boris")->text, "from boris");
    EXPECT_FALSE(q.next("vera"));
    EXPECT_FALSE(q.holdsAnyOf("vera"));

    const QList<outbox::Entry> toBoris = q.messagesTo("anna", "boris");
    ASSERT_EQ(toBoris.size(), 2);
    EXPECT_EQ(toBoris[0].text, "first");
    EXPECT_EQ(toBoris[1].text, "second");
    EXPECT_TRUE(q.messagesTo("anna", "vera").isEmpty()); // a drop is no message
    EXPECT_EQ(q.messageCount("anna"), 2);
}

TEST(OutboxQueue, WaitingMessagesShowOnTopNewestFirstAndOnceWhenTheCopyHoldsThem)
{
    StringTable strings;
    strings.build(QStringLiteral("eng/"));
    const QString mark = strings.text(outbox::kTxtWaitingMark);
    ASSERT_FALSE(mark.isEmpty());

    QStringList lines;
    const outbox::Entry older = message("anna", "boris", "older", 1);
    const outbox::Entry newer = message("anna", "boris", "newer\nsecond line", 2);
    conversation::insertMessage(lines, conversation::headerLine("boris", QDateTime()), "hello");

    const QStringList shown = outbox::shownWithWaiting(lines, {older, newer}, strings);
    const QStringList expected = {newer.header + " " + mark,
                                  "newer",
                                  "second line",
                                  "",
                                  older.header + " " + mark,
                                  "older",
                                  ""};
    EXPECT_EQ(shown.mid(0, expected.size()), expected);
    EXPECT_EQ(shown.mid(expected.size()), lines);

    // Its correspondent's copy failed but the own copy holds it: no second, "waiting" copy.
    QStringList written = lines;
    conversation::insertMessage(written, older.header, older.text);
    EXPECT_EQ(outbox::shownWithWaiting(written, {older}, strings), written);
}

} // namespace
