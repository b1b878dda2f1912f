// Seen marks between two clients on the demo server: the reader's client records how far the
// conversation on its screen was read, and the writer's view marks its newest messages.
#include "core/Conversation.h"
#include "core/SeenMark.h"
#include "core/StringList.h"
#include "support/DemoPair.h"
#include "support/QtPrinters.h"
#include "support/Screenshots.h"
#include "support/TestClient.h"
#include "windows/ConversationView.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

class SeenMarks : public DemoPair
{
protected:
    void SetUp() override
    {
        if (!setUpSignedIn())
            return;
        writeBothCopies();
        poll(*alice);
        poll(*bob);
        // Alice writes with her window open on Bob.
        show(*alice);
        alice->open("Bob");
    }

    static void poll(TestClient& c)
    {
        fire(c.w(), "msgrld");
        settleAll();
    }
    static void show(TestClient& c)
    {
        c.w()->show();
        c.stopTimers();
        settleAll();
    }
    // `c` types a message to the correspondent on screen and sends it.
    static void say(TestClient& c, const QString& text)
    {
        auto* msg = control<QPlainTextEdit>(c.w(), "msg");
        QTest::keyClicks(msg, text);
        QTest::mouseClick(control<QPushButton>(c.w(), "sendbut"), Qt::LeftButton);
        settleAll();
        ASSERT_EQ(c.w()->conversation().chatLines().value(1), text);
    }
    // The mark under the conversation, empty while it is hidden.
    static QString markOf(const TestClient& c)
    {
        auto* label = control<QLabel>(c.w(), "seenMark");
        return label->isVisibleTo(c.w()) ? label->text() : QString();
    }
    // What Bob's client put up for Alice; nullopt while there is nothing.
    std::optional<seenmark::Mark> bobsMark(const QString& reader = "Bob") const
    {
        const auto lines = stringlist::load(users(reader + "/Alice}seen"));
        return lines ? seenmark::fromLines(*lines) : std::nullopt;
    }
    QString seenText(const seenmark::Mark& mark) const
    {
        return "Seen " + mark.at.toString("HH:mm");
    }
};

} // namespace

TEST_F(SeenMarks, TheWriterSeesTheMarkOnceTheReaderHasTheConversationOnScreen)
{
    say(*alice, "Hello Bob");
    const QString hello = alice->w()->conversation().chatLines().value(0);
    EXPECT_EQ(markOf(*alice), "Delivered");

    // Bob's window is hidden: the news is announced, not shown, and nothing is recorded.
    poll(*bob);
    ASSERT_FALSE(bob->w()->isVisible());
    EXPECT_EQ(bobsMark(), std::nullopt);
    EXPECT_FALSE(QFile::exists(users("Bob/Alice}seen")));
    poll(*alice);
    EXPECT_EQ(markOf(*alice), "Delivered");

    // Bob opens the conversation in his window.
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    show(*bob);
    bob->open("Alice");
    const auto seen = bobsMark();
    ASSERT_TRUE(seen);
    EXPECT_EQ(seen->entry, hello);
    EXPECT_GE(seen->at, before);
    EXPECT_LE(seen->at, QDateTime::currentDateTime());
    EXPECT_EQ(markOf(*bob), QString()) << "Bob wrote nothing to mark";

    // Alice's next cycle finds it.
    poll(*alice);
    EXPECT_EQ(markOf(*alice), seenText(*seen));
    shoot(alice->w(), "seen-mark.png");
    shootHint(alice->ctx->Minimized(), "connection-hint.png");
    // The mark is the view's only: no copy of the conversation holds it.
    EXPECT_FALSE(control<QPlainTextEdit>(alice->w(), "chat")->toPlainText().contains("Seen"));
    for (const char* file : {"Alice/Bob.ms", "Bob/Alice.ms"}) {
        const QByteArray text = TempTree::read(users(file));
        EXPECT_FALSE(text.contains("Seen") || text.contains("Delivered")) << file;
    }

    // A second message is delivered, not seen, until Bob's screen shows it.
    say(*alice, "Are you there?");
    EXPECT_EQ(markOf(*alice), "Delivered");
    poll(*alice);
    EXPECT_EQ(markOf(*alice), "Delivered");
    poll(*bob);
    const auto again = bobsMark();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->entry, alice->w()->conversation().chatLines().value(0));
    poll(*alice);
    EXPECT_EQ(markOf(*alice), seenText(*again));

    // Bob answers: the newest entry is his, there is nothing of Alice's to mark.
    say(*bob, "Yes");
    poll(*alice);
    EXPECT_EQ(markOf(*alice), QString());
    EXPECT_EQ(markOf(*bob), "Delivered");
}

TEST_F(SeenMarks, NoMarkForAConversationTheReaderHasNotShown)
{
    say(*alice, "Hello Bob");
    // Bob has it selected, yet with his window hidden it was on nobody's screen.
    bob->open("Alice");
    ASSERT_FALSE(bob->w()->isVisible());
    poll(*bob);
    poll(*bob);
    EXPECT_FALSE(QFile::exists(users("Bob/Alice}seen")));

    // On screen with someone else, Alice's news is not shown either.
    QStringList lines = stringlist::load(users("lineup.xo")).value_or(QStringList());
    lines.append("}Carol}}}.png}eng/");
    stringlist::save(users("lineup.xo"), lines);
    QDir().mkpath(users("Carol"));
    stringlist::save(users("Carol/myacc.xo"), {"Carol", "autologin", "x", ".png"});
    stringlist::save(users("Bob/Carol.ms"),
                     {conversation::headerLine("Carol", QDateTime::currentDateTime()), "hi"});
    poll(*bob);
    bob->open("Carol");
    show(*bob);
    say(*alice, "Still there?");
    poll(*bob);
    poll(*bob);
    EXPECT_FALSE(QFile::exists(users("Bob/Alice}seen")));
    EXPECT_TRUE(QFile::exists(users("Bob/Carol}seen"))) << "Carol's was on screen";
    poll(*alice);
    EXPECT_EQ(markOf(*alice), "Delivered");
}

TEST_F(SeenMarks, TheMarkGoesWithTheReadersAccount)
{
    say(*alice, "Hello Bob");
    show(*bob);
    bob->open("Alice");
    ASSERT_TRUE(bobsMark());

    // Renamed, the account keeps it under its new name.
    TNetwork* w = bob->w();
    QTest::mousePress(control<QLabel>(w, "User"), Qt::RightButton);
    auto* field = control<QLineEdit>(w, "rnm");
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, "Bobby");
    QTest::keyClick(field, Qt::Key_Return);
    settleAll();
    ASSERT_EQ(textOf(w, "User"), "Bobby");
    EXPECT_TRUE(bobsMark("Bobby"));
    EXPECT_FALSE(QDir(users("Bob")).exists());

    // Deleted, the account takes it along.
    if (!shownIn(w, "savesets"))
        click(w, "more");
    for (int press = 0; press < 3; ++press)
        QTest::mouseClick(control<QPushButton>(w, "delbut"), Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(QDir(users("Bobby")).exists());
    EXPECT_FALSE(QFile::exists(users("Bobby/Alice}seen")));
}
