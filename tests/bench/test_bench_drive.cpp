// The responsiveness benchmark's own parts: the stall figures, the probe on a held thread, the
// server that never answers, and the user's actions that the harness drives the windows with.
#include "LatencyProbe.h"
#include "SilentServer.h"
#include "UserActions.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

using namespace useractions;

TEST(StallSummary, LongestPercentileAndNoticeableStalls)
{
    std::vector<double> lateness;
    for (int i = 100; i >= 1; --i)
        lateness.push_back(i);
    const StallSummary s = summariseStalls(lateness, 20'000);
    EXPECT_EQ(s.samples, 100);
    EXPECT_DOUBLE_EQ(s.longestMs, 100);
    EXPECT_DOUBLE_EQ(s.p99Ms, 99);
    // 50 to 100: the stalls a user notices, and how long they held the window together.
    EXPECT_EQ(s.noticeable, 51);
    EXPECT_DOUBLE_EQ(s.noticeableMs, 3825);
    EXPECT_DOUBLE_EQ(s.spanMs, 20'000);

    // One stall among few samples is its own 99th percentile.
    const StallSummary few = summariseStalls({0, 0, 700}, 1000);
    EXPECT_DOUBLE_EQ(few.p99Ms, 700);
    const StallSummary none = summariseStalls({}, 0);
    EXPECT_EQ(none.samples, 0);
    EXPECT_DOUBLE_EQ(none.longestMs, 0);
}

TEST(LatencyProbe, AHeldThreadShowsAsOneStall)
{
    LatencyProbe probe;
    probe.start();
    idle(50);
    QThread::msleep(300);
    idle(50);
    probe.stop();
    const StallSummary s = probe.summary();
    // The sleep lasts at least its time, so the timeout after it came at least that late.
    EXPECT_GE(s.longestMs, 300 - LatencyProbe::kPeriodMs);
    EXPECT_GT(s.samples, 2);
    EXPECT_FALSE(probe.running());

    // A stall that is still going on when the measurement ends counts as well.
    probe.start();
    QThread::msleep(200);
    probe.stop();
    EXPECT_GE(probe.summary().longestMs, 200 - LatencyProbe::kPeriodMs);
    EXPECT_GE(probe.summary().samples, 1);
}

TEST(SilentServer, AcceptsReadsAndNeverAnswers)
{
    SilentServer server;
    ASSERT_NE(server.port(), 0);
    EXPECT_EQ(server.address(), QStringLiteral("127.0.0.1:%1").arg(server.port()));
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(socket.waitForConnected(5000));
    EXPECT_TRUE(waitUntil([&] { return server.accepted() == 1; }, 5000));
    // What a client says is taken in; nothing comes back, not even a greeting.
    socket.write(QByteArray("USER someone\r\n").repeated(1000));
    EXPECT_TRUE(socket.waitForBytesWritten(5000));
    EXPECT_FALSE(socket.waitForReadyRead(300));
    EXPECT_EQ(socket.state(), QAbstractSocket::ConnectedState);

    server.hangUpAll();
    EXPECT_TRUE(socket.state() == QAbstractSocket::UnconnectedState ||
                socket.waitForDisconnected(5000));
    // It goes on accepting after hanging up.
    QTcpSocket again;
    again.connectToHost(QHostAddress::LocalHost, server.port());
    ASSERT_TRUE(again.waitForConnected(5000));
    EXPECT_TRUE(waitUntil([&] { return server.accepted() == 2; }, 5000));
}

TEST(UserActions, WaitingRunsTheEventLoopUntilTheStateShows)
{
    bool fired = false;
    QTimer::singleShot(30, [&] { fired = true; });
    EXPECT_TRUE(waitUntil([&] { return fired; }, 60'000));
    EXPECT_FALSE(waitUntil([] { return false; }, 100));
}

TEST(UserActions, ControlsAreFoundByNameAndKind)
{
    QWidget window;
    auto* label = new QLabel(&window);
    label->setObjectName(QStringLiteral("User"));
    auto* box = new QLineEdit(&window);
    box->setObjectName(QStringLiteral("username"));
    EXPECT_EQ(find<QLabel>(&window, "User"), label);
    EXPECT_EQ(find<QLineEdit>(&window, "username"), box);
    // Found by name alone the harness would work the wrong control.
    EXPECT_THROW(find<QLineEdit>(&window, "User"), MissingControl);
    try {
        find<QTimer>(&window, "msgrld");
        ADD_FAILURE() << "a missing timer was found";
    } catch (const MissingControl& e) {
        EXPECT_NE(std::string(e.what()).find("msgrld"), std::string::npos) << e.what();
    }
}

TEST(UserActions, TypingReplacesWhatTheBoxHeld)
{
    QWidget window;
    auto* box = new QLineEdit(QStringLiteral("Your name"), &window);
    box->setGeometry(10, 10, 200, 24);
    window.show();
    typeInto(box, QStringLiteral("Alice"));
    EXPECT_EQ(box->text(), QStringLiteral("Alice"));

    auto* list = new QTreeWidget(&window);
    list->setGeometry(10, 40, 300, 200);
    list->setColumnCount(2);
    for (const char* name : {"Bob", "Carol"})
        list->addTopLevelItem(new QTreeWidgetItem({QString(), QString::fromLatin1(name)}));
    EXPECT_TRUE(clickRow(list, QStringLiteral("Carol"), 1));
    ASSERT_EQ(list->selectedItems().size(), 1);
    EXPECT_EQ(list->selectedItems().first()->text(1), QStringLiteral("Carol"));
    EXPECT_FALSE(clickRow(list, QStringLiteral("Dave"), 1));
}

namespace {

class DropTarget : public QWidget
{
public:
    DropTarget() { setAcceptDrops(true); }
    QList<QUrl> dropped;
    QStringList formats;

protected:
    void dragEnterEvent(QDragEnterEvent* event) override
    {
        if (event->mimeData()->hasUrls())
            event->acceptProposedAction();
    }
    void dropEvent(QDropEvent* event) override
    {
        dropped = event->mimeData()->urls();
        formats = event->mimeData()->formats();
        event->acceptProposedAction();
    }
};

} // namespace

TEST(UserActions, AFileDropReachesTheWindowNotTheTextBoxOverIt)
{
    DropTarget window;
    window.resize(400, 300);
    // An editable box takes drops itself and would insert the file's name.
    auto* box = new QPlainTextEdit(&window);
    box->setGeometry(0, 0, 400, 280);
    window.show();

    const QPoint at = windowDropPoint(&window);
    ASSERT_FALSE(at.isNull());
    EXPECT_FALSE(box->geometry().contains(at));
    ASSERT_TRUE(dropFiles(&window, at, {QStringLiteral("/tmp/a b.txt")}));
    ASSERT_EQ(window.dropped.size(), 1);
    EXPECT_EQ(window.dropped.first().toLocalFile(), QStringLiteral("/tmp/a b.txt"));
    EXPECT_TRUE(window.formats.contains(QStringLiteral("text/uri-list")));
    EXPECT_TRUE(box->toPlainText().isEmpty());

    // Over the box the box has it, as on a desktop.
    window.dropped.clear();
    dropFiles(&window, {100, 100}, {QStringLiteral("/tmp/c.txt")});
    EXPECT_TRUE(window.dropped.isEmpty());
    EXPECT_TRUE(box->toPlainText().contains(QStringLiteral("c.txt")));
}
