// The main window's comforts against the local demo server, driven with keys and clicks: a
// draft kept per correspondent through a switch and a restart, finding in the conversation,
// typing a message of several lines, and finding a user in a long list.
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/Drafts.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "windows/FindBar.h"
#include "windows/UserFilter.h"
#include "windows/uNetMenu.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class Comforts : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        bob = signedIn("Bob");
        startAlice();
    }
    void startAlice()
    {
        alice = signedIn("Alice", TestClient::Settings::File);
        ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    }

    // Directory lines of users registered elsewhere.
    void addUsers(const QStringList& lines)
    {
        QStringList lineup = stringlist::load(users("lineup.xo")).value_or(QStringList());
        lineup.append(lines);
        stringlist::save(users("lineup.xo"), lineup);
        for (const QString& line : lines) {
            const QString name = userentry::name(line);
            QDir().mkpath(users(name));
            stringlist::save(users(name + "/myacc.xo"), {name, "autologin", "x", ".png"});
        }
    }
    // The two empty conversation files that the quick-send window would lay out.
    void startConversation(const QString& name)
    {
        QFile(users("Alice/" + name + ".ms")).open(QIODevice::WriteOnly);
        QFile(users(name + "/Alice.ms")).open(QIODevice::WriteOnly);
    }
    void reload()
    {
        fire(alice->w(), "msgrld");
        settleAll();
    }
    // A right click on the open correspondent's row brings the quick-send window, faded in.
    TNetMenu* quickSend()
    {
        QTreeWidget* list = control<QTreeWidget>(alice->w(), "users");
        QTest::mouseClick(list->viewport(), Qt::RightButton, {},
                          list->visualItemRect(list->currentItem()).center());
        settleAll();
        TNetMenu* q = alice->ctx->NetMenu();
        EXPECT_TRUE(q->isVisible());
        finishFade(q);
        return q;
    }
    static void finishFade(TNetMenu* q) { fireWhileRunning(control<QTimer>(q, "fx"), 100); }
    void type(QWidget* w, const QString& text)
    {
        w->setFocus();
        QTest::keyClicks(w, text);
    }
};

QStringList shownNames(QTreeWidget* list)
{
    QStringList names;
    for (int k = 0; k < list->topLevelItemCount(); ++k)
        if (!list->topLevelItem(k)->isHidden())
            names.append(list->topLevelItem(k)->text(1));
    return names;
}

} // namespace

TEST_F(Comforts, ADraftStaysWithItsCorrespondentThroughASwitchAndARestart)
{
    addUsers({"}Carol}}}.png}eng/"});
    startConversation("Bob");
    startConversation("Carol");
    reload();
    alice->open("Bob");
    TNetwork* w = alice->w();
    ASSERT_FALSE(hidden(w, "msg"));
    type(control<QPlainTextEdit>(w, "msg"), "half a thought");

    alice->open("Carol");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "");
    type(control<QPlainTextEdit>(w, "msg"), "for Carol");
    alice->open("Bob");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "half a thought");
    // The quick-send window keeps its own: neither box overwrites the other.
    TNetMenu* q = quickSend();
    EXPECT_EQ(textOf(q, "text"), "Send message");
    QTest::keyClicks(control<QLineEdit>(q, "text"), "quick note");
    QTest::keyRelease(control<QLineEdit>(q, "text"), Qt::Key_Escape);
    finishFade(q);
    ASSERT_FALSE(q->isVisible());
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "half a thought");
    EXPECT_EQ(textOf(quickSend(), "text"), "quick note");
    QTest::keyRelease(control<QLineEdit>(q, "text"), Qt::Key_Escape);
    finishFade(q);

    // Typing on, then quitting within the moment before it is written out.
    type(control<QPlainTextEdit>(w, "msg"), " and more");
    alice.reset();

    startAlice();
    reload();
    w = alice->w();
    alice->open("Carol");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "for Carol");
    alice->open("Bob");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "half a thought and more");
    q = quickSend();
    EXPECT_EQ(textOf(q, "text"), "quick note");
    QTest::keyRelease(control<QLineEdit>(q, "text"), Qt::Key_Escape);
    finishFade(q);
    // Someone else signing in on this computer has drafts of their own.
    EXPECT_EQ(IniSettingsStore(alice->settingsFile())
                  .value(drafts::key("Bob", "Alice", drafts::Box::Message), "none"),
              "none");

    // Sent: the draft goes.
    click(w, "sendbut");
    settleAll();
    EXPECT_EQ(w->conversation().chatLines().value(1), "half a thought and more");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "");
    alice->open("Carol");
    alice->open("Bob");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), "");
    EXPECT_EQ(IniSettingsStore(alice->settingsFile())
                  .value(drafts::key("Alice", "Bob", drafts::Box::Message), "none"),
              "none");
}

TEST_F(Comforts, FindGoesRoundThreeMatchesAndEscClosesOnlyTheBar)
{
    startConversation("Bob");
    reload();
    alice->open("Bob");
    TNetwork* w = alice->w();
    auto* msgBox = control<QPlainTextEdit>(w, "msg");
    auto* chatView = control<QPlainTextEdit>(w, "chat");
    for (const char* line :
         {"Lunch at noon?", "no, after the meeting", "lunch is fine", "see you at LUNCH"}) {
        type(msgBox, line);
        QTest::keyClick(msgBox, Qt::Key_Return);
        settleAll();
    }
    const QString text = chatView->toPlainText();
    ASSERT_TRUE(text.contains("Lunch at noon?")) << text.toStdString();

    QTest::keyClick(msgBox, Qt::Key_F, Qt::ControlModifier);
    auto* bar = w->findChild<FindBar*>("findBar");
    ASSERT_TRUE(bar);
    ASSERT_TRUE(bar->isVisibleTo(w));
    auto* box = bar->findChild<QLineEdit*>("findText");
    auto* count = bar->findChild<QLabel*>("findCount");
    EXPECT_EQ(w->focusWidget(), box);
    QTest::keyClicks(box, "lunch");
    // The typing went to the bar, not to the message box.
    EXPECT_EQ(box->text(), "lunch");
    EXPECT_EQ(msgBox->toPlainText(), "");

    // The newest message comes first.
    const qsizetype first = text.indexOf("LUNCH");
    const qsizetype second = text.indexOf("lunch is");
    const qsizetype third = text.indexOf("Lunch at");
    // The current match: the marked text where the view's cursor stands, marked unlike the rest.
    const auto current = [&] {
        const QList<QTextEdit::ExtraSelection> marks = chatView->extraSelections();
        EXPECT_EQ(marks.size(), 3);
        const int at = chatView->textCursor().position();
        qsizetype found = -1;
        for (const QTextEdit::ExtraSelection& mark : marks) {
            if (mark.cursor.selectionStart() != at)
                continue;
            EXPECT_EQ(mark.cursor.selectedText().toLower(), "lunch");
            for (const QTextEdit::ExtraSelection& other : marks) {
                if (other.cursor.selectionStart() != at) {
                    EXPECT_NE(other.format.background(), mark.format.background());
                }
            }
            found = at;
        }
        return found;
    };
    EXPECT_EQ(count->text(), "1 of 3");
    EXPECT_EQ(current(), first);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(count->text(), "2 of 3");
    EXPECT_EQ(current(), second);
    QTest::keyClick(box, Qt::Key_F3);
    EXPECT_EQ(count->text(), "3 of 3");
    EXPECT_EQ(current(), third);
    QTest::keyClick(box, Qt::Key_Enter);
    EXPECT_EQ(count->text(), "1 of 3");
    EXPECT_EQ(current(), first);
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(count->text(), "3 of 3");
    QTest::keyClick(box, Qt::Key_F3, Qt::ShiftModifier);
    EXPECT_EQ(count->text(), "2 of 3");
    QTest::mouseClick(bar->findChild<QPushButton*>("findNext"), Qt::LeftButton);
    EXPECT_EQ(count->text(), "3 of 3");
    QTest::keyClicks(box, "x");
    EXPECT_EQ(count->text(), "No matches");
    EXPECT_TRUE(chatView->extraSelections().isEmpty());
    QTest::keyClick(box, Qt::Key_Backspace);
    EXPECT_EQ(count->text(), "1 of 3");

    // Esc closes the bar and its marks, not the window; the message box has the keys again.
    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_FALSE(bar->isVisibleTo(w));
    EXPECT_TRUE(chatView->extraSelections().isEmpty());
    EXPECT_FALSE(w->fading());
    EXPECT_EQ(w->focusWidget(), msgBox);
}

TEST_F(Comforts, ShiftEnterBreaksTheLineAndEnterOrCtrlEnterSends)
{
    startConversation("Bob");
    reload();
    alice->open("Bob");
    TNetwork* w = alice->w();
    auto* box = w->findChild<QPlainTextEdit*>("msg");
    ASSERT_TRUE(box);
    const auto copies = [&] {
        return QStringList{QString::fromUtf8(TempTree::read(users("Bob/Alice.ms"))),
                           QString::fromUtf8(TempTree::read(users("Alice/Bob.ms")))};
    };
    const QStringList before = copies();

    box->setFocus();
    QTest::keyClick(box, Qt::Key_A);
    QTest::keyClick(box, Qt::Key_Return, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_B);
    settleAll();
    EXPECT_EQ(box->toPlainText(), "a\nb");
    EXPECT_EQ(copies(), before) << "nothing was sent";

    QTest::keyClick(box, Qt::Key_Return);
    settleAll();
    EXPECT_EQ(box->toPlainText(), "");
    for (const QString& copy : {QString("Bob/Alice.ms"), QString("Alice/Bob.ms")}) {
        const QStringList lines = stringlist::load(users(copy)).value_or(QStringList());
        ASSERT_GE(lines.size(), 3) << copy.toStdString();
        EXPECT_TRUE(lines.at(0).startsWith("Alice")) << lines.at(0).toStdString();
        EXPECT_EQ(lines.mid(1, 2), QStringList({"a", "b"})) << copy.toStdString();
    }
    EXPECT_EQ(w->conversation().chatLines().mid(1, 2), QStringList({"a", "b"}));

    // Ctrl+Enter sends as well, the keypad's Enter with Shift breaks the line too.
    QTest::keyClick(box, Qt::Key_C);
    QTest::keyClick(box, Qt::Key_Enter, Qt::ShiftModifier | Qt::KeypadModifier);
    QTest::keyClick(box, Qt::Key_D);
    EXPECT_EQ(box->toPlainText(), "c\nd");
    QTest::keyClick(box, Qt::Key_Return, Qt::ControlModifier);
    settleAll();
    EXPECT_EQ(box->toPlainText(), "");
    EXPECT_EQ(w->conversation().chatLines().mid(1, 2), QStringList({"c", "d"}));
}

TEST_F(Comforts, TypingInTheListFindsAmongThreeHundredUsersAndAPollKeepsIt)
{
    const QStringList regions{"Москва", "Kazan", "Omsk"};
    QStringList lines;
    for (int k = 1; k <= 300; ++k)
        lines.append(QStringLiteral("}user%1}%2}%3}.png}eng/")
                         .arg(k, 3, 10, QChar(u'0'))
                         .arg(regions.at(k % 3))
                         .arg(k % 2 ? "design" : "sales"));
    addUsers(lines);
    reload();
    TNetwork* w = alice->w();
    QTreeWidget* list = control<QTreeWidget>(w, "users");
    ASSERT_EQ(list->topLevelItemCount(), 301); // and Bob
    auto* filter = w->findChild<UserFilter*>("userFilter");
    ASSERT_TRUE(filter);
    auto* line = filter->findChild<QLineEdit*>("userFilterText");
    EXPECT_FALSE(filter->isVisibleTo(w));

    type(list, "user01");
    EXPECT_TRUE(filter->isVisibleTo(w));
    EXPECT_EQ(line->text(), "user01");
    QStringList tens;
    for (int k = 10; k <= 19; ++k)
        tens.append(QStringLiteral("user0%1").arg(k));
    EXPECT_EQ(shownNames(list), tens);
    QTest::keyClick(list, Qt::Key_Backspace);
    EXPECT_EQ(line->text(), "user0");
    EXPECT_EQ(shownNames(list).size(), 99);

    // Esc clears and hides the line and brings everyone back; the window stays.
    QTest::keyClick(list, Qt::Key_Escape);
    EXPECT_FALSE(filter->isVisibleTo(w));
    EXPECT_EQ(shownNames(list).size(), 301);
    EXPECT_FALSE(w->fading());

    // By region, in any letter case, with a word of the name.
    QTest::keyClicks(list, "KAZAN user2");
    const QStringList kazan = shownNames(list);
    EXPECT_EQ(kazan.size(), 33) << kazan.join(' ').toStdString();
    for (const QString& name : kazan) {
        const int row = UserDirectory::find(w->directory().users(), name);
        EXPECT_EQ(userentry::field(w->directory().users().at(row), 2), "Kazan");
        EXPECT_TRUE(name.startsWith("user2"));
    }

    // The arrow keys walk the rows found, and the one reached is the correspondent.
    QTest::keyClick(list, Qt::Key_Down);
    settleAll();
    QTest::keyClick(list, Qt::Key_Down);
    settleAll();
    EXPECT_EQ(w->directory().sendbutHint(), kazan.at(1));

    // A poll that brings a new user keeps the filter, the selection and what is shown.
    addUsers({"}user2zz}Kazan}}.png}eng/", "}user2yy}Omsk}}.png}eng/"});
    reload();
    EXPECT_EQ(list->topLevelItemCount(), 303);
    EXPECT_EQ(line->text(), "KAZAN user2");
    EXPECT_TRUE(filter->isVisibleTo(w));
    EXPECT_EQ(shownNames(list), kazan + QStringList{"user2zz"});
    ASSERT_TRUE(list->currentItem());
    EXPECT_EQ(list->currentItem()->text(1), kazan.at(1));
    // And so does one that brings nothing.
    reload();
    EXPECT_EQ(shownNames(list), kazan + QStringList{"user2zz"});
}
