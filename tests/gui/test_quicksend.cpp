// The quick-send window: its own behaviour offscreen, then two complete clients against the demo
// server, where Alice's first message to Bob starts their conversation from it.
#include "app/AppContext.h"
#include "core/Conversation.h"
#include "core/UserDirectory.h"
#include "net/XNetDetect.h"
#include "platform/fake/FakeServices.h"
#include "session/ClientState.h"
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using Client = TestClient;

int finishFade(TNetMenu* q)
{
    int ticks = 0;
    for (; running(q, "fx") && ticks < 100; ++ticks)
        q->fxTimer();
    return ticks;
}

// The window's controls, by their names.
QLineEdit* textBox(TNetMenu* q)
{
    return control<QLineEdit>(q, "text");
}
QPushButton* button(TNetMenu* q, const char* name)
{
    return control<QPushButton>(q, name);
}
QLabel* title(TNetMenu* q)
{
    return control<QLabel>(q, "LMDLabel1");
}

// One client without a server, for what the window does by itself.
class QuickSendWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        root.write("c/app/0rg_System/LC.xo", "eng/\r\n");
        c = std::make_unique<Client>(root.path("c"), "Me");
        // The main window's recipient, as opening Zoe there makes her.
        c->ctx->state().changeDirectory([](UserDirectory& d) { d.setSendbutHint("Zoe"); });
    }
    void show()
    {
        c->quickSend()->ShowModal();
        finishFade(c->quickSend());
    }
    TempTree root;
    std::unique_ptr<Client> c;
};

} // namespace

TEST(QuickSendPlacement, BesideThePointerOnTheSideThatFits)
{
    EXPECT_EQ(TNetMenu::placement({1000, 300}, 700), QPoint(305, 295));
    EXPECT_EQ(TNetMenu::placement({400, 300}, 700), QPoint(405, 295));
    // A pointer exactly one width from the left still opens to its right.
    EXPECT_EQ(TNetMenu::placement({700, 5}, 700), QPoint(705, 0));
}

TEST_F(QuickSendWindow, OpensModalNamedFadedInWithThePlaceholderSelected)
{
    TNetMenu* q = c->quickSend();
    EXPECT_EQ(q->size(), QSize(700, 134));
    EXPECT_EQ(button(q, "Button2")->text(), QStringLiteral("Send"));
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Send file"));
    click(c->w(), "sms");
    settleAll();
    EXPECT_TRUE(q->isVisible());
    EXPECT_EQ(q->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(title(q)->text(), QStringLiteral("For Zoe"));
    EXPECT_EQ(q->fade().alpha(), 0);
    EXPECT_EQ(finishFade(q), 8); // seven steps, and the tick that stops
    EXPECT_EQ(q->fade().alpha(), 245);
    EXPECT_EQ(textBox(q)->text(), QStringLiteral("Send message"));
    EXPECT_EQ(textBox(q)->selectedText(), textBox(q)->text());
}

TEST_F(QuickSendWindow, TheFileButtonFollowsOnlyTheUsersEdits)
{
    show();
    TNetMenu* q = c->quickSend();
    QTest::keyClicks(textBox(q), "Hi");
    EXPECT_EQ(textBox(q)->text(), QStringLiteral("Hi"));
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Attach file"));
    textBox(q)->selectAll();
    QTest::keyClick(textBox(q), Qt::Key_Backspace);
    settleAll();
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Send file"));
    QTest::keyClicks(textBox(q), "Send message");
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Send file"));
    QTest::keyClicks(textBox(q), "!");
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Attach file"));

    // Closing empties the edit but leaves the caption; showing again puts the placeholder back.
    q->StartFadeOut();
    finishFade(q);
    EXPECT_FALSE(q->isVisible());
    EXPECT_TRUE(textBox(q)->text().isEmpty());
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Attach file"));
    show();
    EXPECT_EQ(textBox(q)->text(), QStringLiteral("Send message"));
    EXPECT_EQ(button(q, "LMDButton1")->text(), QStringLiteral("Attach file"));
}

TEST_F(QuickSendWindow, EnterWithNothingTypedSendsNothingAndEscCloses)
{
    show();
    TNetMenu* q = c->quickSend();
    // The untouched placeholder, then an empty text: the connection is not even tried.
    QTest::keyRelease(textBox(q), Qt::Key_Return);
    settleAll();
    textBox(q)->clear();
    QTest::keyRelease(textBox(q), Qt::Key_Enter);
    settleAll();
    EXPECT_TRUE(q->isVisible());
    EXPECT_FALSE(running(q, "fx"));
    EXPECT_FALSE(c->w()->session().mainOpen());
    EXPECT_TRUE(c->fakes.desktop->errors.isEmpty());

    textBox(q)->setText("typed");
    QTest::keyRelease(textBox(q), Qt::Key_Escape);
    settleAll();
    EXPECT_TRUE(running(q, "fx"));
    EXPECT_EQ(q->fade().alpha(), 245);
    EXPECT_EQ(finishFade(q), 8);
    EXPECT_FALSE(q->isVisible());
    EXPECT_TRUE(textBox(q)->text().isEmpty());
}

TEST_F(QuickSendWindow, EveryOtherWayOutFadesTheWindow)
{
    TNetMenu* q = c->quickSend();
    const auto closedBy = [&](const std::function<void()>& how) {
        show();
        how();
        finishFade(q);
        return !q->isVisible();
    };
    EXPECT_TRUE(closedBy([&] { button(q, "LMDButton2")->click(); }));
    EXPECT_TRUE(closedBy([&] { button(q, "LMDButton1")->click(); }));
    EXPECT_TRUE(closedBy([&] { QTest::keyRelease(button(q, "Button2"), Qt::Key_Escape); }));
    EXPECT_TRUE(
        closedBy([&] { QTest::mouseRelease(title(q), Qt::RightButton, {}, QPoint(10, 10)); }));
    // Esc in the main window, which sees every key before its controls.
    EXPECT_TRUE(closedBy([&] {
        QWidget* main = c->w();
        QTest::keyPress(main->focusWidget() ? main->focusWidget() : main, Qt::Key_Escape);
    }));
    EXPECT_TRUE(closedBy([&] { c->w()->signIn().showSignInView(); }));
    // A left click on the title does not close.
    EXPECT_FALSE(closedBy([&] { QTest::mouseClick(title(q), Qt::LeftButton); }));
}

TEST_F(QuickSendWindow, DraggingTheTitleMovesTheWindowWithThePointer)
{
    show();
    TNetMenu* q = c->quickSend();
    q->move(100, 100);
    const QPoint start = q->pos();
    const auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButton button,
                          Qt::MouseButtons buttons) {
        QMouseEvent e(type, QPointF(local), QPointF(title(q)->mapToGlobal(local)), button, buttons,
                      Qt::NoModifier);
        QApplication::sendEvent(title(q), &e);
    };
    send(QEvent::MouseButtonPress, {50, 20}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {80, 30}, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(q->pos(), start + QPoint(30, 10));
    send(QEvent::MouseButtonRelease, {50, 20}, Qt::LeftButton, Qt::NoButton);
    const QPoint after = q->pos();
    send(QEvent::MouseMove, {90, 40}, Qt::NoButton, Qt::NoButton);
    EXPECT_EQ(q->pos(), after);
    EXPECT_TRUE(q->isVisible());
}

// Two clients

namespace {

class QuickSendTwoClients : public DemoPair
{
protected:
    void SetUp() override
    {
        if (!setUpSignedIn())
            return;
        // Alice's poll learns of Bob, who signed up after her.
        fire(alice->w(), "msgrld");
        settleAll();
    }

    QByteArray onServer(const QString& relative) const { return TempTree::read(users(relative)); }
    static QStringList lines(const QByteArray& bytes) { return conversation::decode(bytes); }
};

} // namespace

TEST_F(QuickSendTwoClients, AFirstMessageStartsTheConversationAndBobHearsOfIt)
{
    TNetwork* a = alice->w();
    alice->open("Bob");
    ASSERT_EQ(a->directory().sendbutHint(), QStringLiteral("Bob"));
    ASSERT_FALSE(hidden(a, "sms")); // no conversation yet
    ASSERT_TRUE(hidden(a, "chat"));

    click(a, "sms");
    settleAll();
    TNetMenu* q = alice->quickSend();
    ASSERT_TRUE(q->isVisible());
    finishFade(q);
    EXPECT_EQ(title(q)->text(), QStringLiteral("For Bob"));
    QTest::keyClicks(textBox(q), "Hello Bob");
    QTest::keyRelease(textBox(q), Qt::Key_Return);
    settleAll();

    // Header and text, no trailing empty line, the same in both folders.
    const QByteArray own = onServer("Alice/Bob.ms");
    EXPECT_EQ(onServer("Bob/Alice.ms"), own);
    const QStringList sent = lines(own);
    ASSERT_EQ(sent.size(), 2) << sent.join('|').toStdString();
    EXPECT_TRUE(sent[0].startsWith("Alice     ") && sent[0].endsWith(" :"));
    EXPECT_EQ(sent[1], QStringLiteral("Hello Bob"));
    EXPECT_FALSE(own.endsWith('\n'));
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join(u'|').toStdString();

    // The main window shows the conversation; the window fades out, emptied.
    EXPECT_EQ(a->conversation().chatLines(), sent);
    EXPECT_TRUE(hidden(a, "sms"));
    EXPECT_FALSE(hidden(a, "chat"));
    EXPECT_FALSE(hidden(a, "msg"));
    EXPECT_FALSE(hidden(a, "sendbut"));
    EXPECT_FALSE(a->session().mainOpen());
    EXPECT_TRUE(textBox(q)->text().isEmpty());
    EXPECT_TRUE(running(q, "fx"));
    finishFade(q);
    EXPECT_FALSE(q->isVisible());

    // Bob's poll cycle announces it.
    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(bob->fakes.sound->played, 1);
    Tnetprog* popup = bob->ctx->netprog();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->sender(), QStringLiteral("Alice"));
    EXPECT_EQ(textOf(popup, "txt"), QStringLiteral("Hello Bob"));
    EXPECT_TRUE(userentry::isMarked(bob->w()->directory().users().at(0)));

    // The main window's send goes on in the new conversation without opening Bob again.
    control<QPlainTextEdit>(a, "msg")->setPlainText("Second");
    click(a, "sendbut");
    settleAll();
    EXPECT_EQ(lines(onServer("Bob/Alice.ms")).value(1), QStringLiteral("Second"));
    EXPECT_EQ(lines(onServer("Alice/Bob.ms")).size(), 5);
}

TEST_F(QuickSendTwoClients, ARightClickOnTheListSendsAboveBobsNewerReply)
{
    TNetwork* a = alice->w();
    auto* userList = control<QTreeWidget>(a, "users");
    alice->open("Bob");
    click(a, "sms");
    settleAll();
    QTest::keyClicks(textBox(alice->quickSend()), "Hello Bob");
    alice->quickSend()->Button2Click();
    settleAll();
    finishFade(alice->quickSend());
    ASSERT_EQ(a->conversation().chatLines().size(), 2);

    // Bob answers from his main window; Alice's view does not show it yet.
    fire(bob->w(), "msgrld");
    settleAll();
    bob->ctx->netprog()->capClick();
    settleAll();
    control<QPlainTextEdit>(bob->w(), "msg")->setPlainText("Hi Alice");
    click(bob->w(), "sendbut");
    settleAll();
    ASSERT_EQ(lines(onServer("Alice/Bob.ms")).value(1), QStringLiteral("Hi Alice"));
    ASSERT_EQ(a->conversation().chatLines().size(), 2);

    // Without a selection the right button does nothing; over the selected Bob it opens.
    QWidget* list = userList->viewport();
    const auto rightRelease = [&] {
        QMouseEvent e(QEvent::MouseButtonRelease, QPointF(20, 10),
                      QPointF(list->mapToGlobal(QPoint(20, 10))), Qt::RightButton, Qt::NoButton,
                      Qt::NoModifier);
        QApplication::sendEvent(list, &e);
    };
    {
        const QSignalBlocker quiet(userList);
        userList->clearSelection();
    }
    rightRelease();
    EXPECT_FALSE(alice->quickSend()->isVisible());
    {
        // Selected again without opening, so the view stays as it was.
        const QSignalBlocker quiet(userList);
        pickRow(a, 0);
        settleAll();
    }
    rightRelease();
    ASSERT_TRUE(alice->quickSend()->isVisible());
    QTest::keyClicks(textBox(alice->quickSend()), "Got it");
    QTest::keyRelease(textBox(alice->quickSend()), Qt::Key_Enter);
    settleAll();

    const QStringList both = lines(onServer("Bob/Alice.ms"));
    EXPECT_EQ(lines(onServer("Alice/Bob.ms")), both);
    ASSERT_EQ(both.size(), 8) << both.join('|').toStdString();
    EXPECT_EQ(both[1], QStringLiteral("Got it"));
    EXPECT_EQ(both[2], QString());
    EXPECT_TRUE(both[3].startsWith("Bob     "));
    EXPECT_EQ(both[4], QStringLiteral("Hi Alice"));
    EXPECT_EQ(both[7], QStringLiteral("Hello Bob"));
    EXPECT_EQ(a->conversation().chatLines(), both);
}

namespace {

int finishPopupFade(Tnetprog* p)
{
    int ticks = 0;
    for (; running(p, "fx") && ticks < 200; ++ticks)
        p->fxTimer();
    return ticks;
}

// Types into the message box as a person does: a click into it, then the keys.
void typeMessage(TNetwork* w, const QString& text)
{
    auto* box = w->findChild<QPlainTextEdit*>(QStringLiteral("msg"));
    ASSERT_TRUE(box);
    QTest::mouseClick(box->viewport(), Qt::LeftButton);
    settleAll();
    ASSERT_EQ(w->focusWidget(), box);
    QTest::keyClicks(box, text);
}

void pressSend(TNetwork* w)
{
    auto* send = w->findChild<QPushButton*>(QStringLiteral("sendbut"));
    ASSERT_TRUE(send);
    QTest::mouseClick(send, Qt::LeftButton);
    settleAll();
}

} // namespace

TEST_F(QuickSendTwoClients, BobAnswersWithThePlusOnScreenAndFilesArriveBehindAMessage)
{
    TNetwork* a = alice->w();
    TNetwork* b = bob->w();
    alice->open("Bob");
    click(a, "sms");
    settleAll();
    QTest::keyClicks(textBox(alice->quickSend()), "Hello Bob");
    QTest::keyRelease(textBox(alice->quickSend()), Qt::Key_Return);
    settleAll();
    finishFade(alice->quickSend());

    // Bob's popup announces it and shrinks to its "+", which stays until clicked.
    fire(b, "msgrld");
    settleAll();
    Tnetprog* popup = bob->ctx->netprog();
    ASSERT_TRUE(popup->isVisible());
    finishPopupFade(popup);
    popup->Timer1Timer();
    finishPopupFade(popup);
    ASSERT_TRUE(control<QLabel>(popup, "maximize")->isVisible());

    // He opens his main window, picks Alice and answers by typing.
    b->show();
    bob->open("Alice");
    typeMessage(b, "Hi Alice");
    EXPECT_EQ(control<QPlainTextEdit>(b, "msg")->toPlainText(), QStringLiteral("Hi Alice"));
    pressSend(b);
    EXPECT_TRUE(bob->fakes.desktop->errors.isEmpty())
        << bob->fakes.desktop->errors.join(u'|').toStdString();
    EXPECT_TRUE(control<QPlainTextEdit>(b, "msg")->toPlainText().isEmpty());
    const QStringList both = lines(onServer("Alice/Bob.ms"));
    EXPECT_EQ(lines(onServer("Bob/Alice.ms")), both);
    ASSERT_EQ(both.size(), 5) << both.join('|').toStdString();
    EXPECT_EQ(both.count(QStringLiteral("Hi Alice")), 1);
    EXPECT_EQ(both.count(QStringLiteral("Hello Bob")), 1);

    // Alice's next cycle announces the answer.
    fire(a, "msgrld");
    settleAll();
    EXPECT_EQ(textOf(alice->ctx->netprog(), "txt"), QStringLiteral("Hi Alice"));
    EXPECT_EQ(alice->fakes.sound->played, 1);

    // Alice drops a file and writes within one poll period; Bob's window is closed again.
    b->hide();
    TempTree desk;
    a->conversation().dropFiles({desk.write("report.txt", "numbers")});
    settleAll();
    typeMessage(a, "see the report");
    pressSend(a);
    ASSERT_EQ(lines(onServer("Bob/Alice.ms")).value(1), QStringLiteral("see the report"));
    fire(b, "msgrld");
    settleAll();
    EXPECT_EQ(TempTree::read(root.path("bob/app/Network/Alice/report.txt")), "numbers");
    EXPECT_FALSE(QFileInfo::exists(server->tree("netwrk/users/Bob/Alice")));
}

TEST_F(QuickSendTwoClients, AnAnswerInAConversationStartedAfterOpeningIsSent)
{
    TNetwork* b = bob->w();
    auto* msgBox = control<QPlainTextEdit>(b, "msg");
    // Bob has Alice open before she has ever written.
    b->show();
    bob->open("Alice");
    ASSERT_TRUE(hidden(b, "chat"));

    alice->open("Bob");
    click(alice->w(), "sms");
    settleAll();
    QTest::keyClicks(textBox(alice->quickSend()), "Hello Bob");
    QTest::keyRelease(textBox(alice->quickSend()), Qt::Key_Return);
    settleAll();

    fire(b, "msgrld"); // shows her message in his open conversation
    settleAll();
    ASSERT_FALSE(hidden(b, "msg"));
    typeMessage(b, "Hi");
    QTest::keyClick(msgBox, Qt::Key_Return);
    settleAll();
    EXPECT_EQ(lines(onServer("Bob/Alice.ms")).value(1), QStringLiteral("Hi"));
    EXPECT_EQ(lines(onServer("Alice/Bob.ms")).value(1), QStringLiteral("Hi"));

    // The conversation is gone from the server: the send says so and keeps the text.
    QFile::remove(server->tree("netwrk/users/Bob/Alice.ms"));
    typeMessage(b, "Still there?");
    pressSend(b);
    EXPECT_EQ(msgBox->toPlainText(), QStringLiteral("Still there?"));
    // No button to start one shows here, and it was there: most likely the account went.
    EXPECT_EQ(bob->fakes.desktop->errors,
              QStringList{"Not sent: this conversation is no longer on the server. The user may "
                          "have deleted their account"});

    // A press of Send while a poll cycle runs waits for it and is sent after it: the text shows
    // until it went, with the busy label meanwhile.
    bob->fakes.desktop->errors.clear();
    QFile::copy(server->tree("netwrk/users/Alice/Bob.ms"),
                server->tree("netwrk/users/Bob/Alice.ms"));
    fire(b, "msgrld");
    QTest::mouseClick(b->findChild<QPushButton*>(QStringLiteral("sendbut")), Qt::LeftButton);
    EXPECT_EQ(msgBox->toPlainText(), QStringLiteral("Still there?"));
    EXPECT_TRUE(shownIn(b, "LMDSimpleLabel2"));
    settleAll();
    EXPECT_TRUE(bob->fakes.desktop->errors.isEmpty())
        << bob->fakes.desktop->errors.join(u'|').toStdString();
    EXPECT_TRUE(msgBox->toPlainText().isEmpty());
    EXPECT_FALSE(shownIn(b, "LMDSimpleLabel2"));
    EXPECT_EQ(lines(onServer("Bob/Alice.ms")).value(1), QStringLiteral("Still there?"));
    EXPECT_EQ(lines(onServer("Alice/Bob.ms")).value(1), QStringLiteral("Still there?"));
}

TEST_F(QuickSendTwoClients, HostileFilesFromTheServerAreShownWithinLimits)
{
    // Anyone with the shared login can write these: a conversation with a 3 MB line, a record
    // whose avatar extension is a path, and a directory line far longer than any real one.
    const auto put = [](const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    };
    const QByteArray longLine(3 * 1024 * 1024, 'x');
    const QByteArray conversation = "Bob     07.03.2026     14:05:07 :\r\n" + longLine;
    for (const char* copy : {"Alice/Bob.ms", "Bob/Alice.ms"})
        put(server->tree(QStringLiteral("netwrk/users/") + copy), conversation);
    put(server->tree("netwrk/users/Bob/myacc.xo"),
        "Bob\r\nautologin\r\n\r\n/../../../../tmp/evil" + QByteArray(50000, 'e'));
    QByteArray directory = TempTree::read(server->tree("netwrk/users/lineup.xo"));
    directory += "}" + QByteArray(5000, 'Z') + "}}}.png}eng/\r\n";
    put(server->tree("netwrk/users/lineup.xo"), directory);

    TNetwork* a = alice->w();
    fire(a, "msgrld");
    settleAll();
    EXPECT_EQ(a->directory().users().size(), 1); // Bob; the long line is not listed
    alice->open("Bob");
    const QStringList shown = control<QPlainTextEdit>(a, "chat")->toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[1].size(), 2001);
    EXPECT_TRUE(shown[1].endsWith(QChar(0x2026)));
    EXPECT_FALSE(QFileInfo::exists("/tmp/evil"));

    // Sending keeps the long line whole in both copies.
    typeMessage(a, "ok");
    pressSend(a);
    const QByteArray stored = onServer("Bob/Alice.ms");
    EXPECT_TRUE(stored.endsWith(longLine));
    EXPECT_EQ(onServer("Alice/Bob.ms"), stored);
}

// The windows hidden at start are made when first needed, connected to the main window.
TEST_F(QuickSendTwoClients, TheQuickSendWindowAndThePopupAreMadeWhenFirstNeeded)
{
    const auto made = [](const TestClient& c, const char* name) {
        for (const QWidget* w : c.ctx->windows()) {
            if (w && w->objectName() == QLatin1String(name))
                return true;
        }
        return false;
    };
    for (const char* name : {"netprog", "NetMenu", "Photo", "fList"}) {
        EXPECT_FALSE(made(*alice, name)) << name;
        EXPECT_FALSE(made(*bob, name)) << name;
    }

    TNetwork* a = alice->w();
    alice->open("Bob");
    click(a, "sms");
    settleAll();
    ASSERT_TRUE(made(*alice, "NetMenu"));
    TNetMenu* q = alice->quickSend();
    EXPECT_TRUE(q->isVisible());
    finishFade(q);
    EXPECT_EQ(title(q)->text(), QStringLiteral("For Bob"));
    QTest::keyClicks(textBox(q), "Hello Bob");
    QTest::keyRelease(textBox(q), Qt::Key_Return);
    settleAll();
    finishFade(q);
    EXPECT_EQ(lines(onServer("Bob/Alice.ms")).value(1), QStringLiteral("Hello Bob"));

    EXPECT_FALSE(made(*bob, "netprog"));
    fire(bob->w(), "msgrld");
    settleAll();
    ASSERT_TRUE(made(*bob, "netprog"));
    Tnetprog* popup = bob->ctx->netprog();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->sender(), QStringLiteral("Alice"));
    // Its click opens Bob's main window on the sender's conversation.
    ASSERT_FALSE(bob->w()->isVisible());
    QTest::mouseClick(control<QLabel>(popup, "txt"), Qt::LeftButton);
    settleAll();
    EXPECT_TRUE(bob->w()->isVisible());
    EXPECT_EQ(bob->ctx->state().correspondent().name, QStringLiteral("Alice"));
    EXPECT_EQ(bob->w()->conversation().chatLines().value(1), QStringLiteral("Hello Bob"));

    // Nothing else was made on the way.
    for (const char* name : {"Photo", "fList"}) {
        EXPECT_FALSE(made(*alice, name)) << name;
        EXPECT_FALSE(made(*bob, name)) << name;
    }
    EXPECT_FALSE(made(*bob, "NetMenu"));
    EXPECT_FALSE(made(*alice, "netprog"));
}
