// Desktop notifications against a real notification server (dunst) on a session bus and an X
// display of the test's own, with clients on the demo server: one notification per
// conversation, replaced in place as more news comes, its click opening the conversation in the
// main window; the popup where no server answers.
#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "platform/linux/DbusNotifications.h"
#include "session/ClientState.h"
#include "support/Controls.h"
#include "support/DemoPair.h"
#include "support/QtPrinters.h"
#include "support/TestClient.h"
#include "windows/uMinimized.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QAction>
#include <QDBusConnection>
#include <QDBusError>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <memory>
#include <sys/prctl.h>

namespace {

// Waits, taking the bus's answers and the sessions' results, until `done` holds.
bool waitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        settleAll();
        QThread::msleep(5);
    }
    return true;
}

// A child that ends with this process, also when a test crashes.
std::unique_ptr<QProcess> child(const QProcessEnvironment& env)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env);
    p->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    return p;
}

// The first line a child writes on its standard output, or empty.
QString firstLine(QProcess& p)
{
    QElapsedTimer waited;
    waited.start();
    while (!p.canReadLine() && waited.elapsed() < 10000 && p.state() != QProcess::NotRunning)
        p.waitForReadyRead(200);
    return QString::fromUtf8(p.readLine()).trimmed();
}

void stop(std::unique_ptr<QProcess>& p)
{
    if (!p)
        return;
    p->terminate();
    if (!p->waitForFinished(5000))
        p->kill();
    p->waitForFinished(2000);
    p.reset();
}

class DesktopNotifications : public DemoPair
{
protected:
    // The bus and the display serve every test; each test starts a server of its own.
    static void SetUpTestSuite()
    {
        for (const char* tool : {"dbus-daemon", "dunst", "dunstctl", "dbus-send"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
                s_missing = QString::fromLatin1(tool) +
                            " is not installed (Debian packages dbus-daemon, dbus-bin, dunst)";
                return;
            }
        }
        s_dir = std::make_unique<QTemporaryDir>();
        s_env = QProcessEnvironment::systemEnvironment();
        // A display of its own, so that no notification reaches the developer's screen; the
        // one the test runs on only where there is no Xvfb.
        if (!QStandardPaths::findExecutable("Xvfb").isEmpty()) {
            s_display = child(s_env);
            s_display->start(
                "Xvfb", {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
            const QString number = firstLine(*s_display);
            if (number.isEmpty()) {
                s_missing = "Xvfb did not start";
                return;
            }
            s_env.insert("DISPLAY", ":" + number);
        } else if (qEnvironmentVariableIsEmpty("DISPLAY")) {
            s_missing = "neither Xvfb (Debian package xvfb) nor a DISPLAY for the server";
            return;
        }
        const QString config = s_dir->filePath("bus.conf");
        QFile f(config);
        f.open(QIODevice::WriteOnly);
        f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\""
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig><type>session</type><listen>unix:dir=" +
                QFile::encodeName(s_dir->path()) +
                "</listen><policy context=\"default\"><allow send_destination=\"*\"/>"
                "<allow receive_sender=\"*\"/>"
                "<allow own=\"*\"/></policy></busconfig>\n");
        f.close();
        s_bus = child(s_env);
        s_bus->start("dbus-daemon",
                     {"--config-file=" + config, "--nofork", "--print-address=1", "--nopidfile"});
        const QString address = firstLine(*s_bus);
        if (address.isEmpty()) {
            s_missing = "dbus-daemon did not start";
            return;
        }
        s_env.insert("DBUS_SESSION_BUS_ADDRESS", address);
        // Before anything in this process touches the session bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address.toUtf8());
        QFile rc(s_dir->filePath("dunstrc"));
        rc.open(QIODevice::WriteOnly);
        // Nothing goes away by itself while the test looks.
        rc.write("[global]\n    monitor = 0\n    follow = none\n    notification_limit = 0\n"
                 "[urgency_low]\n    timeout = 0\n[urgency_normal]\n    timeout = 0\n"
                 "[urgency_critical]\n    timeout = 0\n");
    }
    static void TearDownTestSuite()
    {
        stop(s_bus);
        stop(s_display);
        s_dir.reset();
    }

    void SetUp() override
    {
        if (!s_missing.isEmpty())
            GTEST_SKIP() << s_missing.toStdString();
        ASSERT_TRUE(QDBusConnection::sessionBus().isConnected())
            << qgetenv("DBUS_SESSION_BUS_ADDRESS").constData() << ": "
            << QDBusConnection::sessionBus().lastError().message().toStdString();
        DemoPair::SetUp();
        // Bob's client talks to the session bus.
        platformOf = [](const QString& name, PlatformServices& p) {
            if (name == "Bob")
                p.notifications = std::make_unique<DbusNotifications>();
        };
    }
    void TearDown() override
    {
        // The clients go before the server they showed their notifications on.
        carol.reset();
        alice.reset();
        bob.reset();
        stop(m_server);
    }

    void startServer()
    {
        m_server = child(s_env);
        m_server->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_server->start("dunst", {"-config", s_dir->filePath("dunstrc")});
        ASSERT_TRUE(waitFor([] {
            return dunstctl({"count", "displayed"}) == "0";
        })) << "dunst did not come up on the test's bus";
    }
    void stopServer() { stop(m_server); }
    // What dunstctl prints; "failed" when it fails.
    static QString dunstctl(const QStringList& arguments)
    {
        QProcess p;
        p.setProcessEnvironment(s_env);
        p.start("dunstctl", arguments);
        p.waitForFinished(10000);
        if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return "failed";
        return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    }
    // The number of notifications on the screen, once it is `expected` or time is up.
    static int displayed(int expected)
    {
        waitFor(
            [&] {
                return dunstctl({"count", "displayed"}) == QString::number(expected);
            },
            5000);
        return dunstctl({"count", "displayed"}).toInt();
    }
    // The summary and body of each notification that left the screen, the newest first.
    static QStringList history()
    {
        QStringList shown;
        const QJsonObject all = QJsonDocument::fromJson(dunstctl({"history"}).toUtf8()).object();
        for (const QJsonValue& n : all["data"].toArray().at(0).toArray()) {
            const QJsonObject o = n.toObject();
            shown.append(o["summary"].toObject()["data"].toString() + " | " +
                         o["body"].toObject()["data"].toString());
        }
        return shown;
    }

    // Bob turns the tray menu's item on.
    void bobUsesTheBus()
    {
        auto* item = control<QAction>(bob->ctx->Minimized(), "desktopNotices");
        ASSERT_FALSE(item->isChecked());
        item->trigger();
        ASSERT_TRUE(item->isChecked());
    }
    bool serverAnswersBob() { return bob->ctx->platform().notifications->serverAnswers(); }

    // Both copies of a new conversation, as the quick-send window lays them out.
    void startConversation(const QString& a, const QString& b)
    {
        for (const QString& file : {a + "/" + b + ".ms", b + "/" + a + ".ms"}) {
            QFile f(users(file));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        }
    }
    // `from` opens `to` and types a message, as a person does.
    static void say(TestClient& from, const QString& to, const QString& text)
    {
        from.open(to);
        auto* msg = control<QPlainTextEdit>(from.w(), "msg");
        msg->setPlainText(text);
        click(from.w(), "sendbut");
        settleAll();
        ASSERT_EQ(from.w()->conversation().chatLines().value(1), text);
    }
    void pollBob()
    {
        fire(bob->w(), "msgrld");
        settleAll();
    }

    std::unique_ptr<TestClient> carol;

    static inline QString s_missing;
    static inline std::unique_ptr<QTemporaryDir> s_dir;
    static inline QProcessEnvironment s_env;
    static inline std::unique_ptr<QProcess> s_display;
    static inline std::unique_ptr<QProcess> s_bus;

private:
    std::unique_ptr<QProcess> m_server;
};

} // namespace

TEST_F(DesktopNotifications, OnePerConversationReplacedInPlaceAndItsClickOpensTheConversation)
{
    startServer();
    prepareClientFolder(root, "carol");
    signInBoth();
    carol = signedIn("Carol");
    startConversation("Alice", "Bob");
    startConversation("Carol", "Bob");
    // Alice signed in before the others: her poll lists them.
    fire(alice->w(), "msgrld");
    pollBob();
    bobUsesTheBus();
    ASSERT_TRUE(waitFor([&] { return serverAnswersBob(); })) << "dunst did not answer";

    say(*alice, "Bob", "One");
    pollBob();
    EXPECT_EQ(displayed(1), 1);
    EXPECT_FALSE(bob->ctx->netprog()->isVisible());
    // The same conversation: the notification on screen takes the news.
    say(*alice, "Bob", "Two");
    pollBob();
    say(*alice, "Bob", "Three");
    pollBob();
    EXPECT_EQ(displayed(1), 1);
    // Another conversation has one of its own.
    say(*carol, "Bob", "Hi Bob");
    pollBob();
    EXPECT_EQ(displayed(2), 2);
    EXPECT_FALSE(bob->ctx->netprog()->isVisible());
    EXPECT_EQ(bob->state().unread().names(), (QStringList{"Alice", "Carol"}));

    // Bob reads Carol in the main window: her notification goes.
    bob->w()->show();
    bob->open("Carol");
    EXPECT_EQ(displayed(1), 1);
    EXPECT_EQ(history(), QStringList{"New message from Carol | Hi Bob"});
    bob->w()->hide();

    // The click on Alice's opens her conversation in the main window, which reads it.
    ASSERT_NE(dunstctl({"action", "0"}), "failed");
    ASSERT_TRUE(waitFor([&] { return bob->state().correspondent().name == "Alice"; }))
        << bob->state().correspondent().name.toStdString();
    EXPECT_TRUE(bob->w()->isVisible());
    EXPECT_EQ(bob->w()->conversation().chatLines().value(1), QStringLiteral("Three"));
    EXPECT_EQ(displayed(0), 0);
    EXPECT_TRUE(bob->state().unread().names().isEmpty());
    // Replaced in place: one notification of three messages, never three of one.
    QStringList left = history();
    left.sort();
    EXPECT_EQ(left, (QStringList{"3 new from Alice | Three", "New message from Carol | Hi Bob"}));
    EXPECT_FALSE(bob->ctx->netprog()->isVisible());
}

TEST_F(DesktopNotifications, WithoutANotificationServerThePopupShows)
{
    signInBoth();
    startConversation("Alice", "Bob");
    fire(alice->w(), "msgrld");
    pollBob();
    bobUsesTheBus();
    // The bus answers that nobody serves notifications; give it the time to say so.
    waitFor([&] { return false; }, 500);
    EXPECT_FALSE(serverAnswersBob());

    say(*alice, "Bob", "Anyone there?");
    pollBob();
    Tnetprog* popup = bob->ctx->netprog();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(textOf(popup, "txt"), QStringLiteral("Anyone there?"));

    // A server that comes up later is found, and the popup stays away from then on.
    popup->hide();
    startServer();
    ASSERT_TRUE(waitFor([&] { return serverAnswersBob(); })) << "dunst was not found";
    say(*alice, "Bob", "Now?");
    pollBob();
    EXPECT_EQ(displayed(1), 1);
    EXPECT_FALSE(popup->isVisible());

    // The server goes away: the popup again.
    stopServer();
    ASSERT_TRUE(waitFor([&] { return !serverAnswersBob(); })) << "dunst was not missed";
    say(*alice, "Bob", "Gone?");
    pollBob();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(textOf(popup, "txt"), QStringLiteral("Gone?"));

    // The choice outlives a restart.
    bob->restart();
    EXPECT_TRUE(control<QAction>(bob->ctx->Minimized(), "desktopNotices")->isChecked());
}
