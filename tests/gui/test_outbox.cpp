// The outbox between two clients on the demo server: what Alice writes while the server is away
// waits on her side, survives a restart, and goes up once, in order, when the server is back.
#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/OutboxQueue.h"
#include "core/StringList.h"
#include "net/ConnectBackoff.h"
#include "session/ClientState.h"
#include "session/Outbox.h"
#include "support/DemoPair.h"
#include "support/FileDrags.h"
#include "support/QtPrinters.h"
#include "support/Screenshots.h"
#include "support/TestClient.h"
#include "windows/ConversationView.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

namespace {

// A message's header, not a notice of files, which also starts with the sender's name.
bool isAlicesMessage(const QStringList& entry)
{
    return entry.value(0).startsWith("Alice ") && entry.value(0).endsWith(" :");
}

class OutboxTest : public DemoPair
{
protected:
    void SetUp() override
    {
        if (!setUpSignedIn())
            return;
        writeBothCopies();
        openBob();
    }

    void openBob()
    {
        fire(alice->w(), "msgrld");
        settleAll();
        alice->w()->show();
        alice->stopTimers();
        alice->open("Bob");
        settleAll();
    }
    // Alice types a message to the correspondent on screen and presses Send.
    void say(const QString& text)
    {
        QTest::keyClicks(control<QPlainTextEdit>(alice->w(), "msg"), text);
        QTest::mouseClick(control<QPushButton>(alice->w(), "sendbut"), Qt::LeftButton);
        settleAll();
    }
    // The server is back: her next poll cycle tells her client so.
    void serverBack()
    {
        server->start();
        // The failed send spaced out the next attempt to connect.
        QTest::qWait(ConnectBackoff::kFirstWaitMs + 100);
        for (int i = 0; i < 2; ++i) {
            fire(alice->w(), "msgrld");
            settleAll();
        }
    }
    QString waitingLabel() const
    {
        auto* label = control<QLabel>(alice->w(), "waitingMessages");
        return label->isVisibleTo(alice->w()) ? label->text() : QString();
    }
    QString chat() const { return alice->w()->conversation().chatLines().join(u'\n'); }
    QString shownChat() const { return textOf(alice->w(), "chat"); }
    // The texts of Alice's messages in one copy, oldest first.
    QStringList alicesTexts(const QString& copy) const
    {
        const auto lines = stringlist::load(users(copy));
        QStringList texts;
        if (!lines)
            return texts;
        for (const QStringList& entry : conversation::splitEntries(*lines)) {
            if (isAlicesMessage(entry))
                texts.prepend(entry.mid(1).join(u'\n'));
        }
        return texts;
    }
    // The first lines of the entries in Bob's copy, oldest first: what Bob reads, in order.
    QStringList bobsEntries() const
    {
        QStringList firsts;
        for (const QStringList& entry : conversation::splitEntries(
                 stringlist::load(users("Bob/Alice.ms")).value_or(QStringList())))
            firsts.prepend(isAlicesMessage(entry) ? entry.value(1) : entry.value(0));
        return firsts;
    }
    void expectBothCopiesHold(const QStringList& texts)
    {
        EXPECT_EQ(alicesTexts("Alice/Bob.ms"), texts);
        EXPECT_EQ(alicesTexts("Bob/Alice.ms"), texts);
    }
};

} // namespace

TEST_F(OutboxTest, MessagesWrittenDuringAnOutageGoUpOnceInOrderWhenTheServerIsBack)
{
    say("before");
    server->stop();
    say("first");
    say("second");

    // Kept, not lost: the box is free for the next one, the conversation shows them waiting.
    EXPECT_TRUE(control<QPlainTextEdit>(alice->w(), "msg")->toPlainText().isEmpty());
    EXPECT_EQ(waitingLabel().section(u'\n', 0, 0), "Waiting to be sent: 2");
    EXPECT_EQ(shownChat().count("(waiting to be sent)"), 2);
    EXPECT_LT(shownChat().indexOf("second"), shownChat().indexOf("first"));
    EXPECT_EQ(alice->state().connection().waiting(), 2);
    shootHint(alice->ctx->Minimized(), "outbox-hint.png");
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join(" | ").toStdString();

    serverBack();
    expectBothCopiesHold({"before", "first", "second"});
    EXPECT_TRUE(waitingLabel().isEmpty());
    EXPECT_FALSE(shownChat().contains("(waiting to be sent)"));
    EXPECT_TRUE(shownChat().contains("second"));
    EXPECT_EQ(alice->state().connection().waiting(), 0);
}

TEST_F(OutboxTest, WaitingMessagesOutliveARestartAndGoUpAfterTheNextSignIn)
{
    server->stop();
    say("first");
    say("second");
    const QString kept = alice->ctx->environment().effectiveStateHome() + "larkspire/outbox.json";
    EXPECT_EQ(QFileInfo(kept).permissions() & (QFileDevice::ReadGroup | QFileDevice::ReadOther),
              QFileDevice::Permissions())
        << "what the user wrote, for nobody else to read";
    alice->restart();
    EXPECT_EQ(alice->ctx->outbox().queue().entries().size(), 2);

    // The program came up while the server was still away: its first attempt failed too.
    server->start();
    QTest::qWait(ConnectBackoff::kFirstWaitMs + 100);
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->state().user(), "Alice");
    settleAll();
    settleAll();
    expectBothCopiesHold({"first", "second"});
    EXPECT_TRUE(alice->ctx->outbox().queue().isEmpty());

    // Sent once also when the client went down after the write and before it knew: the same
    // entry, sent again, is found in both copies.
    alice->restart();
    EXPECT_TRUE(alice->ctx->outbox().queue().isEmpty());
}

TEST_F(OutboxTest, AnEntryThatLandedBeforeACrashIsNotWrittenTwice)
{
    say("landed");
    ASSERT_EQ(alicesTexts("Bob/Alice.ms"), QStringList{"landed"});
    // The client went down between the write and taking the entry out: it is still queued.
    const QString header = alice->state().correspondent().lines.value(0);
    ASSERT_TRUE(header.startsWith("Alice "));
    server->stop();
    say("later");
    outbox::Queue queue;
    outbox::Entry landed;
    landed.sender = "Alice";
    landed.recipient = "Bob";
    landed.header = header;
    landed.text = "landed";
    queue.add(landed);
    for (const outbox::Entry& e : alice->ctx->outbox().queue().entries())
        queue.add(e);
    const QString file = alice->ctx->environment().effectiveStateHome() + "larkspire/outbox.json";
    ASSERT_TRUE(QFile::exists(file));
    alice->ctx.reset();
    {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(queue.serialise());
    }
    server->start();
    alice->start();
    alice->goOnline();
    alice->signIn("alice-pw");
    settleAll();
    settleAll();
    expectBothCopiesHold({"landed", "later"});
}

TEST_F(OutboxTest, AWaitingMessageCanBeGivenUpAndComesBackToTheBox)
{
    server->stop();
    say("keep");
    say("oops");
    auto* label = control<QLabel>(alice->w(), "waitingMessages");
    ASSERT_TRUE(label->isVisibleTo(alice->w()));
    QTest::mouseClick(label, Qt::LeftButton);
    EXPECT_EQ(control<QPlainTextEdit>(alice->w(), "msg")->toPlainText(), "oops");
    EXPECT_EQ(waitingLabel().section(u'\n', 0, 0), "Waiting to be sent: 1");
    EXPECT_FALSE(shownChat().contains("oops"));

    control<QPlainTextEdit>(alice->w(), "msg")->clear();
    serverBack();
    expectBothCopiesHold({"keep"});
}

TEST_F(OutboxTest, NothingIsKeptForAnotherUserToSend)
{
    server->stop();
    say("alice's");
    // Bob signs in on Alice's computer later; Alice's message is hers alone to send.
    alice->restart();
    server->start();
    alice->setName("Bob");
    alice->goOnline();
    alice->signIn("bob-pw");
    settleAll();
    EXPECT_TRUE(alicesTexts("Bob/Alice.ms").isEmpty());
    EXPECT_EQ(alice->ctx->outbox().queue().entries().size(), 1);
    EXPECT_EQ(alice->state().connection().waiting(), 0);
}

TEST_F(OutboxTest, ADropDuringAnOutageOutlivesARestartAndGoesInOrderWithTheMessages)
{
    TempTree desk;
    server->stop();
    say("see the plan");
    ASSERT_TRUE(dropOn(alice->w(), {desk.write("plan.txt", "the plan")}));
    settleAll();
    say("and tell me");
    EXPECT_EQ(alice->w()->conversation().waitingFiles().fileCount(), 1);
    EXPECT_TRUE(control<QLabel>(alice->w(), "dropState")->isVisibleTo(alice->w()));
    shoot(alice->w(), "outbox.png");

    alice->restart();
    server->start();
    QTest::qWait(ConnectBackoff::kFirstWaitMs + 100);
    alice->goOnline();
    alice->signIn("alice-pw");
    settleAll();
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/plan.txt")), "the plan");
    const QStringList read = bobsEntries();
    ASSERT_EQ(read.size(), 3) << read.join(" | ").toStdString();
    EXPECT_EQ(read[0], "see the plan");
    EXPECT_TRUE(read[1].contains("\"plan\"")) << read[1].toStdString();
    EXPECT_EQ(read[2], "and tell me");
    EXPECT_EQ(alicesTexts("Alice/Bob.ms"), (QStringList{"see the plan", "and tell me"}));
    EXPECT_TRUE(alice->ctx->outbox().queue().isEmpty());
}
