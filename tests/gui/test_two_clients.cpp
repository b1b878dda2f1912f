// Two complete clients in one process against the local demo server: registration, a message
// from one to the other, its announcement, and automatic sign-in after a restart.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include "core/UserDirectory.h"
#include "net/XNetDetect.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

using Client = TestClient;

class TwoClients : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (!IsSkipped())
            startBoth();
    }
};

} // namespace

TEST_F(TwoClients, RegisterWriteAnnounceAndSignInAgain)
{
    alice->goOnline();
    ASSERT_TRUE(alice->w()->session().configured());
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), QStringLiteral("Alice"));
    EXPECT_TRUE(QFile::exists(server->tree("netwrk/users/Alice/acc.xo")));

    bob->goOnline();
    bob->signIn("bob-pw");
    ASSERT_EQ(textOf(bob->w(), "User"), QStringLiteral("Bob"));
    EXPECT_EQ(bob->w()->directory().users().size(), 1); // Alice

    // The quick-send window starts conversations; here the two files are laid out as it would.
    QFile(server->tree("netwrk/users/Alice/Bob.ms")).open(QIODevice::WriteOnly);
    QFile(server->tree("netwrk/users/Bob/Alice.ms")).open(QIODevice::WriteOnly);

    // Alice's next poll learns of Bob; she opens him and writes.
    fire(alice->w(), "msgrld");
    settleAll();
    const int row = UserDirectory::find(alice->w()->directory().users(), "Bob");
    ASSERT_GE(row, 0);
    pickRow(alice->w(), row);
    settleAll();
    ASSERT_EQ(alice->w()->directory().sendbutHint(), QStringLiteral("Bob"));
    ASSERT_FALSE(hidden(alice->w(), "chat"));
    control<QPlainTextEdit>(alice->w(), "msg")->setPlainText("Hello Bob");
    click(alice->w(), "sendbut");
    settleAll();
    EXPECT_TRUE(alice->w()->conversation().chatLines().value(1) == "Hello Bob")
        << alice->w()->conversation().chatLines().join('|').toStdString();

    // Bob, with his window hidden, hears it and sees the popup.
    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(bob->fakes.sound->played, 1);
    Tnetprog* popup = bob->ctx->netprog();
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->sender(), QStringLiteral("Alice"));
    EXPECT_EQ(textOf(popup, "txt"), QStringLiteral("Hello Bob"));
    EXPECT_TRUE(textOf(popup, "cap").startsWith("Alice     "));
    EXPECT_TRUE(userentry::isMarked(bob->w()->directory().users().at(0)));

    // A click on the popup opens the conversation.
    popup->capClick();
    settleAll();
    EXPECT_EQ(bob->w()->directory().sendbutHint(), QStringLiteral("Alice"));
    EXPECT_EQ(bob->w()->conversation().chatLines().value(1), QStringLiteral("Hello Bob"));
    EXPECT_FALSE(userentry::isMarked(bob->w()->directory().users().at(0)));

    // Nothing new: nothing announced.
    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(bob->fakes.sound->played, 1);

    // Alice quits and starts again: with the autologin option the detector's answer signs her
    // in by itself once the server's settings are known.
    alice->restart();
    alice->goOnline();
    EXPECT_EQ(textOf(alice->w(), "User"), QStringLiteral("-"));
    alice->detectorSays(false);
    settleAll();
    alice->detectorSays(true);
    settleAll();
    alice->stopTimers();
    EXPECT_FALSE(running(alice->w(), "Timer2"));
    EXPECT_EQ(textOf(alice->w(), "User"), QStringLiteral("Alice"));
}

TEST_F(TwoClients, ATakenNameWithAnotherPasswordIsRefused)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), QStringLiteral("Alice"));

    Client intruder(root.path("bob"), "Alice");
    intruder.goOnline();
    intruder.signIn("guess");
    EXPECT_EQ(textOf(intruder.w(), "Button2"), QStringLiteral("Wrong password"));
    EXPECT_EQ(textOf(intruder.w(), "User"), QStringLiteral("-"));
}
