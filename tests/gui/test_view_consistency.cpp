// What the main window shows after ordinary events that touch more than one of its parts: news
// that came while the window was hidden, a network outage, signing out and in again, and a
// click in the list while the server is away. Every part on screen must speak of one person.
#include "support/Controls.h"
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "net/XNetDetect.h"
#include "windows/FrameImage.h"
#include "windows/uMinimized.h"
#include "windows/uNetProg.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

// Drops the files on `target` as a file manager does.
void dropOn(QWidget* target, const QStringList& paths)
{
    QMimeData data;
    QList<QUrl> urls;
    for (const QString& p : paths)
        urls.append(QUrl::fromLocalFile(p));
    data.setUrls(urls);
    const QPoint at = target->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDragMoveEvent move(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &move);
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
}

class ViewConsistency : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        // The two star pictures differ, so that the one on screen tells which state it shows.
        starPictures(Qt::red, Qt::gray);
        alice = signedIn("Alice");
        bob = signedIn("Bob");
        poll(*alice);
        poll(*bob);
    }

    // Alice opens Bob and drops a file on her message box.
    void aliceDropsAFileForBob()
    {
        showFromTray(*alice);
        select(*alice, "Bob");
        dropOn(control<QPlainTextEdit>(alice->w(), "msg")->viewport(),
               {m_desk.write("report.txt", "numbers")});
        settleAll();
    }
    TempTree m_desk;

    // A conversation both copies of which hold one message of Bob's.
    void startConversation()
    {
        for (const char* copy : {"Alice/Bob.ms", "Bob/Alice.ms"})
            stringlist::save(users(copy), {"Bob     1 :", "Hi", ""});
    }

    // One tick of the poll timer, and what it brings.
    static void poll(TestClient& c)
    {
        fire(c.w(), "msgrld");
        settleAll();
    }

    // A double click on the tray icon brings up the main window; its fade runs to the end.
    static void showFromTray(TestClient& c)
    {
        auto* tray = control<QSystemTrayIcon>(c.ctx->Minimized(), "Tray1");
        emit tray->activated(QSystemTrayIcon::Trigger);
        emit tray->activated(QSystemTrayIcon::DoubleClick);
        fireWhileRunning(control<QTimer>(c.w(), "fx"));
        settleAll();
        c.stopTimers();
        ASSERT_TRUE(c.w()->isVisible());
    }

    // The minimise picture fades the main window away.
    static void minimise(TestClient& c)
    {
        click(c.w(), "Image2");
        fireWhileRunning(control<QTimer>(c.w(), "fx"));
        settleAll();
        c.stopTimers();
        ASSERT_FALSE(c.w()->isVisible());
    }

    // A click on `name` in the user list, and the opening it starts.
    static void select(TestClient& c, const QString& name)
    {
        ASSERT_TRUE(clickUser(c.w(), name)) << name.toStdString();
        settleAll();
    }

    // The detector probes `address` and reports what it found; the window takes the answer.
    static void detect(TestClient& c, const QString& address, bool reachable)
    {
        auto* detector = control<TXNetDetect>(c.upkeep(), "XNetDetect1");
        detector->setUrl(address);
        QSignalSpy said(detector, &TXNetDetect::ConnectionStatus);
        detector->requestCheck();
        ASSERT_TRUE(said.wait(10000));
        ASSERT_EQ(said.first().at(1).toBool(), reachable);
        settleAll();
        c.stopTimers();
    }

    // The window's visible state of the correspondent panel, for messages.
    static std::string layout(TestClient& c)
    {
        const TNetwork* w = c.w();
        const auto shown = [w](const char* name) {
            return control<QWidget>(w, name)->isVisibleTo(w) ? "+" : "-";
        };
        std::string out = "users h=" + std::to_string(control<QWidget>(w, "users")->height());
        for (const char* name : {"chat", "msg", "sendbut", "user2", "user2name", "favs", "fbut"})
            out += std::string(" ") + name + shown(name);
        return out + " user2name=" + textOf(w, "user2name").toStdString();
    }
};

} // namespace

// News that came while the window was hidden is on screen when the window comes back.
TEST_F(ViewConsistency, TheOpenConversationShowsANoticeThatCameWhileHidden)
{
    startConversation();
    showFromTray(*bob);
    select(*bob, "Alice");
    auto* chat = control<QPlainTextEdit>(bob->w(), "chat");
    ASSERT_TRUE(chat->isVisible());
    ASSERT_TRUE(chat->toPlainText().contains("Hi"));
    minimise(*bob);

    // Alice drops a file on her conversation with Bob.
    aliceDropsAFileForBob();
    const QString notice = linesOf(users("Alice/Bob.ms")).value(0);
    ASSERT_TRUE(notice.contains("report")) << notice.toStdString();

    // Bob's next cycle announces it; he brings the window back from the tray.
    poll(*bob);
    ASSERT_TRUE(bob->ctx->netprog()->isVisible());
    ASSERT_EQ(textOf(bob->ctx->netprog(), "txt"), notice);
    showFromTray(*bob);
    EXPECT_EQ(textOf(bob->w(), "user2name"), "Alice");
    EXPECT_TRUE(chat->isVisible());
    EXPECT_TRUE(chat->toPlainText().startsWith(notice)) << chat->toPlainText().toStdString();
    // Nor does it come with the cycles after.
    poll(*bob);
    poll(*bob);
    EXPECT_TRUE(chat->toPlainText().startsWith(notice)) << chat->toPlainText().toStdString();
}

// After an outage the window shows the conversation as before, or the plain list; never the
// list at full height under the correspondent's panel.
TEST_F(ViewConsistency, AnOutageLeavesTheLayoutWhole)
{
    startConversation();
    showFromTray(*alice);
    select(*alice, "Bob");
    TNetwork* w = alice->w();
    auto* list = control<QTreeWidget>(w, "users");
    const int conversationHeight = list->height();
    ASSERT_TRUE(control<QWidget>(w, "msg")->isVisible()) << layout(*alice);
    ASSERT_EQ(textOf(w, "user2name"), "Bob");

    // The network goes for about 75 s: five poll ticks, two keep-alives, one reconnection tick.
    detect(*alice, "127.0.0.1:9", false);
    for (int second = 15; second <= 75; second += 15) {
        poll(*alice);
        if (second % 30 == 0)
            fire(alice->upkeep(), "nooper");
        if (second == 60)
            fire(alice->upkeep(), "longtimer");
        settleAll();
    }
    detect(*alice, server->address(), true);
    poll(*alice);
    alice->stopTimers();

    const bool conversation = list->height() == conversationHeight;
    const char* panel[] = {"chat", "msg", "sendbut", "user2", "user2name", "favs"};
    for (const char* name : panel)
        EXPECT_EQ(control<QWidget>(w, name)->isVisible(), conversation)
            << name << ": " << layout(*alice);
    if (conversation) {
        EXPECT_EQ(list->currentItem(), userItem(list, "Bob")) << layout(*alice);
        EXPECT_EQ(textOf(w, "user2name"), "Bob");
    }
}

// With nobody on screen, the received-files button of the last correspondent is gone.
TEST_F(ViewConsistency, AfterSigningOutAndInNoFilesButtonFloatsOverTheList)
{
    startConversation();
    aliceDropsAFileForBob();

    showFromTray(*bob);
    poll(*bob);
    select(*bob, "Alice");
    TNetwork* w = bob->w();
    auto* files = control<QPushButton>(w, "fbut");
    ASSERT_TRUE(files->isVisible()) << layout(*bob);

    click(w, "more");
    ASSERT_TRUE(control<QWidget>(w, "dscn")->isVisible());
    click(w, "dscn");
    settleAll();
    ASSERT_EQ(textOf(w, "User"), "-");
    bob->signIn("bob-pw");
    ASSERT_EQ(textOf(w, "User"), "Bob");
    poll(*bob);

    auto* list = control<QTreeWidget>(w, "users");
    if (list->selectedItems().isEmpty()) {
        EXPECT_FALSE(files->isVisible()) << layout(*bob);
        EXPECT_FALSE(control<QWidget>(w, "user2name")->isVisible()) << layout(*bob);
    } else {
        // Whoever the window opens again is the one on the panel.
        EXPECT_EQ(textOf(w, "user2name"), list->selectedItems().first()->text(1)) << layout(*bob);
    }
}

// A click in the list while the server is away: the star acts on the person the panel shows.
TEST_F(ViewConsistency, WithTheServerAwayThePanelAndTheStarNameOnePerson)
{
    QStringList lines = linesOf(users("lineup.xo"));
    lines.append("}Carol}}}.png}eng/");
    stringlist::save(users("lineup.xo"), lines);
    QDir().mkpath(users("Carol"));
    stringlist::save(users("Carol/myacc.xo"), {"Carol", "autologin", "x", ".png"});
    poll(*alice);
    showFromTray(*alice);
    select(*alice, "Bob");
    TNetwork* w = alice->w();
    auto* name = control<QLabel>(w, "user2name");
    ASSERT_EQ(name->text(), "Bob");
    const QString favFile = alice->ctx->folders().programDataDir + "net/fav.xo";
    ASSERT_EQ(linesOf(favFile), QStringList());

    // The server stops; the detector finds it gone.
    const QString address = server->address();
    server.reset();
    detect(*alice, address, false);
    select(*alice, "Carol");
    auto* list = control<QTreeWidget>(w, "users");
    ASSERT_EQ(list->currentItem(), userItem(list, "Carol"));

    const QString shown = name->text();
    auto* star = control<FrameImage>(w, "favs");
    ASSERT_TRUE(star->isVisible());
    click(star);
    // The person on the panel became a favourite, and the star says so.
    EXPECT_EQ(linesOf(favFile), QStringList({shown})) << "the panel shows " << shown.toStdString();
    EXPECT_TRUE(star->pictureFile().endsWith("/fav_icon.png")) << star->pictureFile().toStdString();
}
