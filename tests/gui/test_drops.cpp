// Sending files without the main window on the demo server: the drop zone that the "Send file"
// buttons open, the user picker, and files dropped on the mini bar; also files dropped on the
// main window and its message box, with the server there, away, or refusing a file.
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/Fades.h"
#include "support/FileDrags.h"
#include "support/OfflineClient.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "windows/FrameImage.h"
#include "windows/uList.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/udragform.h"

#include <QCursor>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

// The opacity steps of a fade run to its end: the last tick, which closes, changes nothing.
int fadeSteps(const QList<int>& seen)
{
    int steps = 0;
    for (int i = 0; i < seen.size(); ++i)
        steps += i == 0 || seen.at(i) != seen.at(i - 1) ? 1 : 0;
    return steps;
}

// The hint of the mini bar's tray icon.
QString trayTip(QWidget* bar)
{
    return control<QSystemTrayIcon>(bar, "Tray1")->toolTip();
}

// The hints' line while the client has not reached the server since the first failure.
QString unreachable(const TestClient& c)
{
    return "Server unreachable since " +
           c.state().connection().unreachableSince().toString("HH:mm");
}

class Drops : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        root.write("carol/app/0rg_System/avax.png", "avatar");
        bob = signedIn("Bob");
        alice = signedIn("Alice");
        ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
        fire(alice->w(), "msgrld");
        settleAll();
        ASSERT_GE(UserDirectory::find(alice->w()->directory().users(), "Bob"), 0);
        fire(bob->w(), "msgrld");
        settleAll();
    }

    void startConversation()
    {
        stringlist::save(users("Alice/Bob.ms"), {"Bob     1 :", "first", ""});
        stringlist::save(users("Bob/Alice.ms"), {"Bob     1 :", "first", ""});
    }
    // Alice's main window, opened on Bob, hands over to the drop zone through its button.
    Tdragform* openZone()
    {
        TNetwork* w = alice->w();
        w->show();
        settleAll();
        runFade(w);
        click(w, "LMDButton2");
        Tdragform* zone = alice->ctx->dragform();
        runFade(w);
        runFade(zone);
        return zone;
    }
    QStringList noticeOf(const QString& copy) const { return linesOf(users(copy)); }

    TempTree desk; // the file manager's side
};

} // namespace

// The drop zone

TEST_F(Drops, TwoFilesOnTheDropZoneReachBobWithTheirNotice)
{
    startConversation();
    alice->open("Bob");
    Tdragform* zone = openZone();
    ASSERT_TRUE(zone->isVisible());
    EXPECT_FALSE(alice->w()->isVisible());
    EXPECT_EQ(zone->size(), QSize(220, 180));
    EXPECT_EQ(control<QLabel>(zone, "LMDSimpleLabel2")->text(), "Uploading...");

    const QString a = desk.write("plan.txt", "the plan");
    const QString b = desk.write("budget.csv", "1,2,3");
    // The zone goes while the files go up: the mini bar's hint tells how far they got.
    TMinimized* bar = alice->ctx->Minimized();
    QStringList hints;
    QObject::connect(&alice->session(), &ClientSession::transferProgress, bar,
                     [&] { hints.append(bar->toolTip()); });
    ASSERT_TRUE(dropOn(zone, {a, b}));
    settleAll();
    ASSERT_FALSE(hints.isEmpty());
    EXPECT_TRUE(hints.last().contains("budget.csv 100%")) << hints.last().toStdString();
    EXPECT_EQ(bar->toolTip(), "Connected, protected (TLS)");
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)");

    EXPECT_EQ(TempTree::read(users("Bob/Alice/plan.txt")), "the plan");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/budget.csv")), "1,2,3");
    const QStringList theirs = noticeOf("Bob/Alice.ms");
    ASSERT_EQ(theirs.size(), 4) << theirs.join('|').toStdString();
    EXPECT_TRUE(theirs.at(0).startsWith("Alice sent \"plan\" and \"budget\" ("))
        << theirs.at(0).toStdString();
    EXPECT_EQ(theirs.at(1), "");
    EXPECT_EQ(theirs.at(3), "first");
    EXPECT_EQ(noticeOf("Alice/Bob.ms"), theirs);

    // The zone went while the files went up, and the main window came back with the notice.
    EXPECT_TRUE(zone->fade().running());
    EXPECT_EQ(fadeSteps(runFade(zone)), 7);
    EXPECT_FALSE(zone->isVisible());
    EXPECT_TRUE(zone->dropfiles().isEmpty());
    TNetwork* w = alice->w();
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->conversation().chatLines().value(0), theirs.at(0));
    EXPECT_FALSE(hidden(w, "chat"));
    EXPECT_TRUE(hidden(w, "sms"));
    EXPECT_EQ(control<FrameImage>(w, "bg")->hint(), QString())
        << "the resume mark holds for one show";

    fire(bob->w(), "msgrld");
    settleAll();
    const QString network = bob->ctx->folders().networkDir + "Alice/";
    EXPECT_EQ(TempTree::read(network + "plan.txt"), "the plan");
    EXPECT_EQ(TempTree::read(network + "budget.csv"), "1,2,3");
}

TEST_F(Drops, EscDoubleClickAndTheStripCloseTheZoneAndTheMainWindowReturns)
{
    startConversation();
    alice->open("Bob");
    const QList<std::function<void(Tdragform*)>> triggers = {
        [](Tdragform* zone) { QTest::keyRelease(zone, Qt::Key_Escape); },
        [](Tdragform* zone) {
            QTest::mouseDClick(control<FrameImage>(zone, "Image1"), Qt::LeftButton, {},
                               QPoint(150, 100));
        },
        [](Tdragform* zone) {
            QTest::mouseClick(control<FrameImage>(zone, "Image2"), Qt::LeftButton, {},
                              QPoint(10, 5));
        },
    };
    for (int i = 0; i < triggers.size(); ++i) {
        Tdragform* zone = openZone();
        ASSERT_TRUE(zone->isVisible()) << i;
        ASSERT_FALSE(alice->w()->isVisible()) << i;
        triggers.at(i)(zone);
        EXPECT_EQ(fadeSteps(runFade(zone)), 7) << i;
        EXPECT_FALSE(zone->isVisible()) << i;
        EXPECT_TRUE(alice->w()->isVisible()) << i;
    }
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
}

TEST_F(Drops, TheZoneMovesWithAnyButtonAndTheQuickSendButtonOpensIt)
{
    startConversation();
    alice->open("Bob");
    Tdragform* zone = openZone();
    auto* picture = control<FrameImage>(zone, "Image1");
    const QPoint before = zone->pos();
    QTest::mousePress(picture, Qt::RightButton, {}, QPoint(50, 50));
    QMouseEvent move(QEvent::MouseMove, QPointF(80, 70), picture->mapToGlobal(QPointF(80, 70)),
                     Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QApplication::sendEvent(picture, &move);
    QTest::mouseRelease(picture, Qt::RightButton, {}, QPoint(80, 70));
    EXPECT_EQ(zone->pos(), before + QPoint(30, 20));
    EXPECT_TRUE(zone->isVisible()) << "a single press does not close";
    QTest::keyRelease(zone, Qt::Key_Escape);
    runFade(zone);

    // The quick-send window's file button goes the same way.
    TNetMenu* quick = alice->ctx->NetMenu();
    quick->ShowModal();
    runFade(quick);
    QTest::mouseClick(control<QPushButton>(quick, "LMDButton1"), Qt::LeftButton);
    runFade(quick);
    runFade(alice->w());
    EXPECT_FALSE(quick->isVisible());
    EXPECT_TRUE(zone->isVisible());
    EXPECT_TRUE(zone->sendsToNetwork());
}

TEST_F(Drops, ADropOnTheZoneWithTheServerDownWaitsForItWithoutSigningOut)
{
    startConversation();
    alice->open("Bob");
    Tdragform* zone = openZone();
    TNetwork* w = alice->w();
    alice->detectorSays(false);
    alice->stopTimers();
    ASSERT_TRUE(dropOn(zone, {desk.write("plan.txt", "the plan")}));
    settleAll();
    EXPECT_TRUE(zone->isVisible());
    EXPECT_FALSE(zone->fade().running());
    auto* state = control<QLabel>(zone, "dropState");
    EXPECT_FALSE(state->isHidden());
    EXPECT_EQ(state->text(), "Waiting for the server (files: 1)\nClick here to cancel");
    EXPECT_EQ(zone->waitingFiles().fileCount(), 1);
    EXPECT_TRUE(w->signedIn());
    EXPECT_EQ(textOf(w, "User"), "Alice");
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));

    // The detector finds the server again: the files go, and the zone with them.
    alice->detectorSays(true);
    alice->stopTimers();
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/plan.txt")), "the plan");
    EXPECT_TRUE(state->isHidden());
    runFade(zone);
    EXPECT_FALSE(zone->isVisible());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(textOf(w, "User"), "Alice");
}

TEST_F(Drops, WaitingFilesOfTheZoneAreGivenUpByAClickOnTheirStateOrByEsc)
{
    startConversation();
    alice->open("Bob");
    TNetwork* w = alice->w();
    const QList<std::function<void(Tdragform*)>> cancels = {
        [](Tdragform* zone) {
            QTest::mouseClick(control<QLabel>(zone, "dropState"), Qt::LeftButton);
        },
        [](Tdragform* zone) {
            QTest::keyRelease(zone, Qt::Key_Escape);
            runFade(zone);
        },
    };
    for (int i = 0; i < cancels.size(); ++i) {
        Tdragform* zone = openZone();
        alice->detectorSays(false);
        alice->stopTimers();
        ASSERT_TRUE(dropOn(zone, {desk.write("plan.txt", "the plan")})) << i;
        ASSERT_TRUE(zone->waitingFiles().waiting()) << i;
        cancels.at(i)(zone);
        EXPECT_FALSE(zone->waitingFiles().waiting()) << i;
        EXPECT_TRUE(control<QLabel>(zone, "dropState")->isHidden()) << i;
        alice->detectorSays(true);
        alice->stopTimers();
        settleAll();
        EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice/plan.txt"))) << i;
        if (zone->isVisible()) {
            QTest::keyRelease(zone, Qt::Key_Escape);
            runFade(zone);
        }
        runFade(w);
    }
}

TEST_F(Drops, FilesDroppedOnTheMessageBoxAreSentNotTyped)
{
    startConversation();
    alice->open("Bob");
    QPlainTextEdit* msg = control<QPlainTextEdit>(alice->w(), "msg");
    ASSERT_TRUE(dropOn(msg->viewport(), {desk.write("notes.txt", "notes")}));
    settleAll();
    EXPECT_EQ(msg->toPlainText(), QString());
    EXPECT_EQ(TempTree::read(users("Bob/Alice/notes.txt")), "notes");

    // The rest of the window sends the same way.
    ASSERT_TRUE(dropOn(alice->w(), {desk.write("more.txt", "more")}));
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/more.txt")), "more");
}

// The main window with the server away

namespace {

// Alice's main window on screen, opened on Bob.
TNetwork* showMainWindow(TestClient& c)
{
    c.open("Bob");
    TNetwork* w = c.w();
    w->show();
    runFade(w);
    return w;
}

void serverLost(TestClient& c, bool lost = true)
{
    c.detectorSays(!lost);
    c.stopTimers();
}

} // namespace

TEST_F(Drops, AMainWindowDropWithTheServerDownWaitsWithoutSigningOutAndGoesWhenItIsBack)
{
    startConversation();
    TNetwork* w = showMainWindow(*alice);
    serverLost(*alice);
    ASSERT_TRUE(dropOn(w, {desk.write("plan.txt", "the plan"), desk.write("budget.csv", "1,2,3")}));
    settleAll();
    auto* state = control<QLabel>(w, "dropState");
    ASSERT_TRUE(state);
    EXPECT_TRUE(state->isVisible());
    EXPECT_EQ(state->text(), "Waiting for the server (files: 2)\nClick here to cancel");
    EXPECT_EQ(w->conversation().waitingFiles().fileCount(), 2);
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2")) << "nothing is on its way";
    EXPECT_TRUE(w->signedIn());
    EXPECT_EQ(textOf(w, "User"), "Alice");
    EXPECT_TRUE(hidden(w, "Button2"));
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join('|').toStdString();

    // A drop on the message box waits beside them.
    ASSERT_TRUE(
        dropOn(control<QPlainTextEdit>(w, "msg")->viewport(), {desk.write("notes.txt", "notes")}));
    settleAll();
    EXPECT_EQ(state->text(), "Waiting for the server (files: 3)\nClick here to cancel");
    EXPECT_EQ(control<QPlainTextEdit>(w, "msg")->toPlainText(), QString());

    serverLost(*alice, false);
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/plan.txt")), "the plan");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/budget.csv")), "1,2,3");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/notes.txt")), "notes");
    const QString notice = noticeOf("Bob/Alice.ms").value(0);
    for (const char* name : {"\"plan\"", "\"budget\"", "\"notes\""})
        EXPECT_TRUE(notice.contains(name)) << notice.toStdString();
    EXPECT_EQ(w->conversation().chatLines().value(0), notice);
    EXPECT_FALSE(state->isVisible());
    EXPECT_FALSE(w->conversation().waitingFiles().waiting());
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));
    EXPECT_EQ(textOf(w, "User"), "Alice");
}

TEST_F(Drops, WaitingFilesOfTheMainWindowAreGivenUpByAClickOnTheirStateOrByEsc)
{
    startConversation();
    TNetwork* w = showMainWindow(*alice);
    auto* message = control<QPlainTextEdit>(w, "msg");
    const QList<std::function<void()>> cancels = {
        [&] { QTest::mouseClick(control<QLabel>(w, "dropState"), Qt::LeftButton); },
        [&] {
            message->setFocus();
            QTest::keyClick(message, Qt::Key_Escape);
        },
    };
    for (int i = 0; i < cancels.size(); ++i) {
        // Finding the server again reads the directory afresh, which leaves nobody selected.
        alice->open("Bob");
        serverLost(*alice);
        ASSERT_TRUE(dropOn(w, {desk.write("plan.txt", "the plan")})) << i;
        ASSERT_TRUE(w->conversation().waitingFiles().waiting()) << i;
        cancels.at(i)();
        EXPECT_FALSE(w->conversation().waitingFiles().waiting()) << i;
        EXPECT_FALSE(control<QLabel>(w, "dropState")->isVisible()) << i;
        EXPECT_FALSE(w->fading()) << "the window stays: " << i;
        serverLost(*alice, false);
        settleAll();
        EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice/plan.txt"))) << i;
    }
    // With nothing waiting, Esc is the window's again.
    message->setFocus();
    QTest::keyClick(message, Qt::Key_Escape);
    EXPECT_TRUE(w->fading());
    runFade(w);
}

TEST_F(Drops, AMainWindowSendThatFindsNoServerPutsItsFilesBackToWait)
{
    startConversation();
    TNetwork* w = showMainWindow(*alice);
    // The detector says the server is there, but the send cannot get into Bob's folder.
    ASSERT_TRUE(QDir().rename(users("Bob"), users("Bob.away")));
    ASSERT_TRUE(dropOn(w, {desk.write("plan.txt", "the plan")}));
    settleAll();
    auto* state = control<QLabel>(w, "dropState");
    EXPECT_TRUE(state->isVisible());
    EXPECT_EQ(state->text(), "Waiting for the server (files: 1)\nClick here to cancel");
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join('|').toStdString();

    ASSERT_TRUE(QDir().rename(users("Bob.away"), users("Bob")));
    serverLost(*alice, false);
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/plan.txt")), "the plan");
    EXPECT_FALSE(state->isVisible());
}

TEST_F(Drops, AFileTheServerRefusesIsNamedAndLeftOutOfTheNotice)
{
    startConversation();
    TNetwork* w = showMainWindow(*alice);
    // A folder stands where b.txt would go: the server cannot rename the upload over it.
    ASSERT_TRUE(QDir().mkpath(users("Bob/Alice/b.txt/inside")));
    ASSERT_TRUE(dropOn(w, {desk.write("a.txt", "A"), desk.write("b.txt", "B")}));
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/a.txt")), "A");
    const QStringList errors = alice->fakes.desktop->errors;
    ASSERT_EQ(errors.size(), 1) << errors.join('|').toStdString();
    EXPECT_TRUE(errors.first().startsWith("Not sent:\nb.txt: ")) << errors.first().toStdString();
    EXPECT_EQ(errors.first().count('\n'), 1) << "one line for the one file";
    const QString notice = noticeOf("Bob/Alice.ms").value(0);
    EXPECT_TRUE(notice.contains("\"a\"")) << notice.toStdString();
    EXPECT_FALSE(notice.contains("\"b\"")) << notice.toStdString();
    EXPECT_FALSE(w->conversation().waitingFiles().waiting()) << "a refusal is no reason to wait";
    EXPECT_FALSE(control<QLabel>(w, "dropState")->isVisible());
}

// The mini bar and the picker

namespace {

QListWidget* pickerList(TestClient& c)
{
    return control<QListWidget>(c.ctx->fList(), "users");
}

QStringList pickerNames(TestClient& c)
{
    QStringList names;
    QListWidget* list = pickerList(c);
    for (int i = 0; i < list->count(); ++i)
        names.append(list->item(i)->text());
    return names;
}

void clickName(TestClient& c, const QString& name)
{
    QListWidget* list = pickerList(c);
    list->doItemsLayout();
    const QList<QListWidgetItem*> found = list->findItems(name, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name.toStdString();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.first()).center());
    runFade(c.ctx->fList());
    settleAll();
}

// Drops the files on the bar and waits for the picker.
void dropOnBar(TestClient& c, const QStringList& paths)
{
    TMinimized* bar = c.ctx->Minimized();
    bar->show();
    runFade(bar);
    // The test folders hold no picture for the bar, which it reports once.
    settleAll();
    c.fakes.desktop->errors.clear();
    ASSERT_TRUE(dropOn(bar, paths));
    settleAll();
}

} // namespace

TEST_F(Drops, TheBarSendsToAPickedCorrespondentAndBecomesTheirConversation)
{
    startConversation();
    dropOnBar(*alice, {desk.write("a.txt", "A"), desk.write("b.txt", "B")});
    TfList* picker = alice->ctx->fList();
    ASSERT_TRUE(picker->isVisible());
    EXPECT_EQ(pickerNames(*alice), QStringList{"Bob"});
    clickName(*alice, "Bob");
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->Hint(), "Bob");

    EXPECT_EQ(TempTree::read(users("Bob/Alice/a.txt")), "A");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/b.txt")), "B");
    const QStringList theirs = noticeOf("Bob/Alice.ms");
    ASSERT_GE(theirs.size(), 4);
    EXPECT_TRUE(theirs.at(0).startsWith("Alice sent \"a\" and \"b\" ("))
        << theirs.at(0).toStdString();
    EXPECT_EQ(theirs.at(1), "");
    EXPECT_EQ(theirs.at(3), "first");

    TNetwork* w = alice->w();
    EXPECT_EQ(w->directory().sendbutHint(), "Bob");
    EXPECT_EQ(textOf(w, "user2name"), "Bob");
    EXPECT_FALSE(hidden(w, "user2name"));
    EXPECT_EQ(w->conversation().chatLines().value(0), theirs.at(0));
    EXPECT_TRUE(w->conversation().chatLines().contains("first"));
    EXPECT_FALSE(hidden(w, "chat"));
    EXPECT_TRUE(alice->ctx->Minimized()->dropfiles().isEmpty());
    EXPECT_TRUE(control<QTimer>(alice->ctx->Minimized(), "closetimer")->isActive());
    EXPECT_EQ(trayTip(alice->ctx->Minimized()), "Larkspire\nConnected, protected (TLS)");

    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(TempTree::read(bob->ctx->folders().networkDir + "Alice/a.txt"), "A");
    EXPECT_EQ(TempTree::read(bob->ctx->folders().networkDir + "Alice/b.txt"), "B");
}

TEST_F(Drops, AFirstSendFromTheBarStartsTheConversation)
{
    dropOnBar(*alice, {desk.write("a.txt", "A")});
    clickName(*alice, "Bob");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/a.txt")), "A");
    // The counted wording of the small windows, no file line, nothing below the notice.
    const QStringList theirs = noticeOf("Bob/Alice.ms");
    ASSERT_EQ(theirs.size(), 1) << theirs.join('|').toStdString();
    EXPECT_TRUE(theirs.at(0).startsWith("Alice sent \"a\" (")) << theirs.at(0).toStdString();
    EXPECT_EQ(noticeOf("Alice/Bob.ms"), theirs);
    EXPECT_EQ(alice->w()->conversation().chatLines(), theirs);
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join('|').toStdString();
}

TEST_F(Drops, AFavouriteWhoIsNotListedIsRefusedByName)
{
    startConversation();
    alice->open("Bob");
    const QStringList shown = alice->w()->conversation().chatLines();
    alice->ctx->state().setFavourites({"Ghost"});
    dropOnBar(*alice, {desk.write("a.txt", "A")});
    EXPECT_EQ(pickerNames(*alice), QStringList{"Ghost"});
    clickName(*alice, "Ghost");
    EXPECT_FALSE(QFileInfo::exists(users("Ghost")));
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
    EXPECT_EQ(noticeOf("Alice/Bob.ms").value(1), "first");
    EXPECT_EQ(alice->w()->conversation().chatLines(), shown);
    ASSERT_EQ(alice->fakes.desktop->errors.size(), 1);
    EXPECT_TRUE(alice->fakes.desktop->errors.first().contains("Ghost"));
}

TEST_F(Drops, EscInThePickerSendsNothingEvenAfterAnEarlierPick)
{
    dropOnBar(*alice, {desk.write("a.txt", "A")});
    clickName(*alice, "Bob");
    ASSERT_EQ(alice->ctx->fList()->Hint(), "Bob");
    QFile::remove(users("Bob/Alice/a.txt"));
    const QStringList before = noticeOf("Bob/Alice.ms");

    dropOnBar(*alice, {desk.write("c.txt", "C")});
    TfList* picker = alice->ctx->fList();
    ASSERT_TRUE(picker->isVisible());
    QTest::keyPress(pickerList(*alice), Qt::Key_Escape);
    EXPECT_EQ(fadeSteps(runFade(picker)), 7);
    settleAll();
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->Hint(), QString());
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice/c.txt")));
    EXPECT_EQ(noticeOf("Bob/Alice.ms"), before);
    EXPECT_TRUE(alice->ctx->Minimized()->dropfiles().isEmpty());

    // The right button cancels as well.
    dropOnBar(*alice, {desk.write("c.txt", "C")});
    QListWidget* list = pickerList(*alice);
    list->doItemsLayout();
    QTest::mousePress(list->viewport(), Qt::RightButton, {},
                      list->visualItemRect(list->item(0)).center());
    runFade(picker);
    settleAll();
    EXPECT_EQ(picker->Hint(), QString());
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice/c.txt")));
}

TEST_F(Drops, ABarDropWithTheServerDownWaitsWithoutSigningOutAndGoesWhenItIsBack)
{
    startConversation();
    TNetwork* w = alice->w();
    TMinimized* bar = alice->ctx->Minimized();
    alice->detectorSays(false);
    alice->stopTimers();
    dropOnBar(*alice, {desk.write("a.txt", "A"), desk.write("b.txt", "B")});
    clickName(*alice, "Bob");

    // Still signed in, no sign-in screen; the bar says why nothing went.
    EXPECT_TRUE(w->signedIn());
    EXPECT_EQ(textOf(w, "User"), "Alice");
    EXPECT_TRUE(hidden(w, "Button2"));
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(bar->isVisible());
    EXPECT_FALSE(control<QLabel>(bar, "waitingMark")->isHidden());
    EXPECT_EQ(control<QLabel>(bar, "waitingMark")->text(), QString::fromUtf8("2 \u2715"));
    EXPECT_EQ(bar->toolTip(), unreachable(*alice) + "\nWaiting for the server (files: 2)");
    EXPECT_EQ(trayTip(bar),
              "Larkspire\n" + unreachable(*alice) + "\nWaiting for the server (files: 2)");
    EXPECT_EQ(bar->waitingFiles().fileCount(), 2);
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join('|').toStdString();

    // A second drop waits beside the first.
    dropOnBar(*alice, {desk.write("c.txt", "C")});
    clickName(*alice, "Bob");
    EXPECT_EQ(control<QLabel>(bar, "waitingMark")->text(), QString::fromUtf8("3 \u2715"));

    alice->detectorSays(true);
    alice->stopTimers();
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/a.txt")), "A");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/b.txt")), "B");
    EXPECT_EQ(TempTree::read(users("Bob/Alice/c.txt")), "C");
    EXPECT_TRUE(noticeOf("Bob/Alice.ms").value(0).startsWith("Alice sent \"a\", \"b\" and \"c\""))
        << noticeOf("Bob/Alice.ms").join('|').toStdString();
    EXPECT_TRUE(control<QLabel>(bar, "waitingMark")->isHidden());
    EXPECT_FALSE(bar->waitingFiles().waiting());
    EXPECT_EQ(trayTip(bar), "Larkspire\nConnected, protected (TLS)");
    EXPECT_EQ(textOf(w, "User"), "Alice");
}

TEST_F(Drops, AClickOnTheBarsWaitingMarkGivesUpItsFiles)
{
    TMinimized* bar = alice->ctx->Minimized();
    alice->detectorSays(false);
    alice->stopTimers();
    dropOnBar(*alice, {desk.write("a.txt", "A")});
    clickName(*alice, "Bob");
    ASSERT_TRUE(bar->waitingFiles().waiting());
    EXPECT_EQ(control<QLabel>(bar, "waitingMark")->toolTip(),
              "Waiting for the server (files: 1)\nClick here to cancel");
    QTest::mouseClick(control<QLabel>(bar, "waitingMark"), Qt::LeftButton);
    EXPECT_FALSE(bar->waitingFiles().waiting());
    EXPECT_TRUE(control<QLabel>(bar, "waitingMark")->isHidden());
    EXPECT_EQ(bar->toolTip(), unreachable(*alice));
    EXPECT_TRUE(bar->isVisible()) << "the click is the mark's, not the bar's";

    alice->detectorSays(true);
    alice->stopTimers();
    settleAll();
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
}

TEST_F(Drops, ADropOnTheBarWhileSignedOutSaysWhyAndOpensTheSignInScreen)
{
    prepareClientFolder(root, "carol");
    TestClient carol(root.path("carol"), "Carol");
    carol.goOnline();
    dropOnBar(carol, {desk.write("a.txt", "A")});
    EXPECT_FALSE(carol.ctx->fList()->isVisible());
    EXPECT_EQ(carol.ctx->Minimized()->toolTip(),
              QString::fromUtf8("Connecting\u2026\nSign in to send files"));
    EXPECT_FALSE(carol.ctx->Minimized()->waitingFiles().waiting());
    EXPECT_TRUE(carol.w()->isVisible());
    EXPECT_EQ(textOf(carol.w(), "User"), "-");
    EXPECT_FALSE(hidden(carol.w(), "Button2"));
    EXPECT_TRUE(carol.ctx->Minimized()->dropfiles().isEmpty());
    settleAll();
    EXPECT_FALSE(QFileInfo::exists(users("Alice/-")));
}

// What every window takes

TEST(DropAnswers, OnlyLocalFilesAreTakenAndOnlyAsACopy)
{
    OfflineClient c;
    TempTree desk;
    const QString file = desk.write("a.txt", "A");
    c.bar()->show();
    runFade(c.bar());
    const QList<QWidget*> targets = {c.w(), control<QPlainTextEdit>(c.w(), "msg")->viewport(),
                                     c.bar(), c.ctx->dragform()};
    for (QWidget* target : targets) {
        SCOPED_TRACE(target->objectName().toStdString());
        // Nobody is signed in and there is no server: still a copy, and the file stays.
        EXPECT_TRUE(dropOn(target, {file}));

        // Text and links are typed in the message box, and the windows refuse them.
        if (target != control<QPlainTextEdit>(c.w(), "msg")->viewport()) {
            QMimeData text;
            text.setText("file:///etc/passwd");
            EXPECT_FALSE(drag(target, text).entered);
            QMimeData link;
            link.setUrls({QUrl("https://example.org/a.txt")});
            EXPECT_FALSE(drag(target, link).entered);
        }

        // A source that allows only a move is refused rather than answered with one.
        const std::unique_ptr<QMimeData> files(filesData({file}));
        const DragAnswers moveOnly = drag(target, *files, Qt::MoveAction);
        EXPECT_FALSE(moveOnly.dropped);
        EXPECT_NE(moveOnly.onDrop, Qt::CopyAction);
        EXPECT_TRUE(QFileInfo::exists(file));
    }
    EXPECT_EQ(control<QPlainTextEdit>(c.w(), "msg")->toPlainText(), QString())
        << "files are never typed";
    settleAll();
}

TEST(DropReports, EachWindowNamesTheFilesOfItsOwnSendThatDidNotGoUp)
{
    OfflineClient c;
    // Files go up only for a signed-in user, whose main window exists.
    ASSERT_NE(c.w(), nullptr);
    const QList<FilesRequest::From> windows = {
        FilesRequest::From::DropZone, FilesRequest::From::MiniBar, FilesRequest::From::MainWindow};
    for (const FilesRequest::From from : windows) {
        c.fakes.desktop->errors.clear();
        FilesResult result;
        result.request.from = from;
        result.request.recipient = "Bob";
        result.request.paths = {"/desk/a.txt", "/desk/b.txt", "/desk/c.txt"};
        result.reached = true;
        result.notSent = {"b.txt: 550 Is a directory.", "c.txt: 552 Quota exceeded."};
        emit c.ctx->session().filesSent(result);
        // Once, by the window the files were dropped on.
        EXPECT_EQ(c.fakes.desktop->errors,
                  QStringList{"Not sent:\nb.txt: 550 Is a directory.\nc.txt: 552 Quota exceeded."})
            << int(from);

        result.notSent.clear();
        emit c.ctx->session().filesSent(result);
        EXPECT_EQ(c.fakes.desktop->errors.size(), 1) << "nothing more to tell: " << int(from);
    }
}

// The picker on its own

namespace {

class Picker : public ::testing::Test
{
protected:
    void SetUp() override
    {
        client = std::make_unique<TestClient>(root.path("c"), "Me");
        bar = client->ctx->Minimized();
        // Away from the screen's edges, with room for the picker above and to the left.
        QCursor::setPos(600, 500);
        bar->show();
        runFade(bar);
    }
    void list(const QStringList& names)
    {
        QStringList lines;
        for (const QString& n : names)
            lines.append("}" + n + "}r}a}.png}eng/");
        client->ctx->state().changeDirectory([&](UserDirectory& d) { d.firstFill(lines, "Me"); });
    }
    TfList* open()
    {
        TfList* picker = client->ctx->fList();
        picker->Pick(bar->frameGeometry());
        runFade(picker);
        return picker;
    }

    TempTree root;
    std::unique_ptr<TestClient> client;
    TMinimized* bar = nullptr;
};

} // namespace

TEST_F(Picker, OneFavouriteIsAllItOffersAboveAndLeftOfTheBar)
{
    list({"Ann", "Bea", "Cy", "Dot"});
    client->ctx->state().setFavourites({"Cy"});
    TfList* picker = open();
    EXPECT_EQ(pickerNames(*client), QStringList{"Cy"});
    QListWidget* names = pickerList(*client);
    names->doItemsLayout();
    EXPECT_EQ(names->visualItemRect(names->item(0)).height(), 44);
    EXPECT_EQ(picker->height(), 44);
    EXPECT_EQ(picker->width(), 50) << "a short name keeps the narrow column";
    EXPECT_EQ(picker->frameGeometry().right() + 1, bar->frameGeometry().left());
    EXPECT_EQ(picker->frameGeometry().bottom() + 1 + 16, bar->frameGeometry().top());
    EXPECT_TRUE(picker->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(picker->windowModality(), Qt::ApplicationModal);
    EXPECT_EQ(qRound(picker->windowOpacity() * 255), 245);

    // Without favourites: everyone in the directory's order.
    QTest::keyRelease(names, Qt::Key_Escape);
    runFade(picker);
    client->ctx->state().setFavourites({});
    open();
    EXPECT_EQ(pickerNames(*client), QStringList({"Ann", "Bea", "Cy", "Dot"}));
    EXPECT_EQ(picker->height(), 4 * 44);
}

TEST_F(Picker, AnEmptyDirectoryGivesNoHeightAndEscCloses)
{
    TfList* picker = open();
    EXPECT_EQ(pickerList(*client)->count(), 0);
    EXPECT_EQ(picker->height(), 0);
    QTest::keyPress(picker, Qt::Key_Escape);
    EXPECT_EQ(fadeSteps(runFade(picker)), 7);
    EXPECT_FALSE(picker->isVisible());
    EXPECT_EQ(picker->Hint(), QString());
}

TEST_F(Picker, BesideABarInTheTopLeftCornerItStaysOnScreen)
{
    list({"Ann", "Bea"});
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    bar->move(area.topLeft());
    TfList* picker = open();
    EXPECT_EQ(picker->pos(), area.topLeft());
}

TEST_F(Picker, ALongNameWidensThePickerToItsLeft)
{
    const QString longName = "Maximiliana-Konstantinopolskaya";
    list({"Al", longName});
    TfList* picker = open();
    const int text = QFontMetrics(pickerList(*client)->font()).horizontalAdvance(longName);
    ASSERT_GT(text, 50);
    EXPECT_EQ(picker->width(), text + 25);
    EXPECT_EQ(pickerList(*client)->width(), picker->width());
    EXPECT_EQ(picker->frameGeometry().right() + 1, bar->frameGeometry().left());
}
