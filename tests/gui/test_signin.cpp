// The sign-in screen against the local demo server: names as typed, the three options across a
// restart, network outages with automatic sign-in, the "Type all fields" caption, a server
// fault that recurs, and names that may not be registered.
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "net/ServerSession.h"
#include "net/StoreLayout.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

class SignIn : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        for (const char* who : {"alice", "bob"}) {
            root.write(QString::fromLatin1(who) + "/app/0rg_System/LC.xo", "eng/\r\n");
            root.write(QString::fromLatin1(who) + "/app/0rg_System/avax.png", "avatar");
        }
        alice = std::make_unique<TestClient>(root.path("alice"), "Alice");
        bob = std::make_unique<TestClient>(root.path("bob"), "Bob");
    }

    QString users(const QString& relative = {}) const
    {
        return server->tree("netwrk/users/" + relative);
    }
    QString userData(const TestClient& c, const QString& name) const
    {
        return c.ctx->folders().userDataDir + name;
    }
    QString caption(const TestClient& c) const { return c.w()->Button2->text(); }
    QString text(const TestClient& c, int row) const { return c.ctx->text(row); }

    TempTree root;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<TestClient> alice;
    std::unique_ptr<TestClient> bob;
};

} // namespace

TEST_F(SignIn, RegistrationWritesTheFourFilesAndTheDirectoryLine)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    QStringList files = QDir(users("Alice")).entryList(QDir::Files);
    files.sort();
    EXPECT_EQ(files, QStringList({"02-00-00-00-00-01", "acc.xo", "ava.png", "myacc.xo"}));
    EXPECT_EQ(linesOf(users("Alice/acc.xo")), QStringList({"alice-pw"}));
    EXPECT_EQ(linesOf(users("Alice/myacc.xo")).value(1), "autologin");
    EXPECT_EQ(linesOf(users("lineup.xo")), QStringList({"}Alice}}}.png}eng/"}));

    // The same name with another password is a failed sign-in, not a second account.
    bob->setName("Alice");
    bob->goOnline();
    bob->signIn("guess");
    EXPECT_EQ(caption(*bob), text(*bob, 133));
    EXPECT_EQ(bob->w()->User->text(), "-");
    EXPECT_EQ(QDir(users()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"Alice"}));
    EXPECT_EQ(linesOf(users("lineup.xo")).size(), 1);
}

TEST_F(SignIn, ANameIsTrimmedAndTransliterated)
{
    alice->setName(QString::fromUtf8("  Иван  "));
    alice->goOnline();
    alice->signIn("pw");
    EXPECT_EQ(alice->w()->username->text(), "Ivan");
    EXPECT_EQ(alice->w()->User->text(), "Ivan");
    EXPECT_TRUE(QFile::exists(users("Ivan/acc.xo")));
    EXPECT_EQ(linesOf(users("lineup.xo")), QStringList({"}Ivan}}}.png}eng/"}));

    // Typed the same way again elsewhere, it finds the same account.
    bob->setName(QString::fromUtf8(" Иван"));
    bob->goOnline();
    bob->signIn("pw");
    EXPECT_EQ(bob->w()->User->text(), "Ivan");
    EXPECT_EQ(linesOf(users("lineup.xo")).size(), 1);
}

TEST_F(SignIn, AutologinSignsInByItselfAfterARestart)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");

    alice->restart();
    EXPECT_EQ(alice->w()->mem.option, "autologin");
    alice->goOnline();
    EXPECT_EQ(alice->w()->User->text(), "-");
    // The network drops and returns: the detector's answer alone signs her in, without the
    // sign-in button's timers.
    alice->w()->XNetDetect1ConnectionStatus(false);
    alice->w()->XNetDetect1ConnectionStatus(true);
    alice->stopTimers();
    EXPECT_FALSE(alice->w()->Timer2->isActive());
    EXPECT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_EQ(alice->w()->signedInMark, 1);

    // After the next restart the automatic press of the sign-in button does it.
    alice->restart();
    alice->goOnline();
    alice->w()->Timer4Timer();
    ASSERT_TRUE(alice->w()->Timer2->isActive());
    alice->runSequence();
    EXPECT_EQ(alice->w()->User->text(), "Alice");
}

TEST_F(SignIn, NopassOffersTheNameAndWaitsForThePassword)
{
    alice->goOnline();
    alice->w()->c2->click();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"Alice", "nopass"}));
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo"))) << "the password was kept";

    alice->restart();
    alice->w()->show();
    alice->stopTimers();
    EXPECT_EQ(alice->w()->username->text(), "Alice");
    EXPECT_EQ(alice->w()->focusWidget(), alice->w()->pass);
    EXPECT_TRUE(alice->w()->c2->isChecked());
    alice->goOnline();
    alice->w()->Timer4Timer();
    EXPECT_FALSE(alice->w()->Timer2->isActive());
    EXPECT_EQ(alice->w()->User->text(), "-");

    // Signing in again keeps the choice.
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).value(1), "nopass");
}

TEST_F(SignIn, AnothersComputerKeepsNothingAlsoOnTheServerAfterSignOut)
{
    alice->goOnline();
    alice->w()->c3->click();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo"))) << "the password was kept";

    alice->w()->dscnClick();
    EXPECT_EQ(alice->w()->User->text(), "-");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
    EXPECT_EQ(linesOf(users("Alice/myacc.xo")).mid(0, 2), QStringList({"", "x"}));

    alice->restart();
    alice->w()->show();
    alice->stopTimers();
    EXPECT_EQ(alice->w()->username->text(), text(*alice, 129));
    EXPECT_TRUE(alice->w()->c3->isChecked());
    alice->goOnline();
    alice->w()->Timer4Timer();
    EXPECT_FALSE(alice->w()->Timer2->isActive());
    EXPECT_EQ(alice->w()->User->text(), "-");

    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
}

TEST_F(SignIn, AutologinRunsAgainWhenTheNetworkComesBack)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    alice->w()->AutologinDone = true;

    alice->w()->XNetDetect1ConnectionStatus(false);
    EXPECT_FALSE(alice->w()->AutologinDone);
    alice->w()->XNetDetect1ConnectionStatus(true);
    EXPECT_TRUE(alice->w()->AutologinDone);
    EXPECT_EQ(alice->w()->signedInMark, 1);
    EXPECT_EQ(alice->w()->User->text(), "Alice");
}

TEST_F(SignIn, AutologinAfterAnOutageWithACorrespondentOpen)
{
    bob->goOnline();
    bob->signIn("bob-pw");
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    // Opening Bob leaves the main connection open in Alice's own folder.
    alice->w()->msgrldTimer();
    alice->w()->directory().setSelectedPeer("Bob");
    alice->w()->directory().selectPeer();
    alice->w()->showUsers();
    alice->w()->usersSelect();
    ASSERT_FALSE(alice->w()->sms->isHidden());

    alice->w()->XNetDetect1ConnectionStatus(false);
    alice->w()->XNetDetect1ConnectionStatus(true);
    EXPECT_EQ(alice->w()->signedInMark, 1);
    EXPECT_EQ(alice->w()->User->text(), "Alice");
    EXPECT_FALSE(QDir(users("Alice/Alice")).exists());
}

TEST_F(SignIn, EnterInTheNameBoxLetsTheButtonPassTypeAllFields)
{
    alice->goOnline();
    alice->w()->show();
    alice->stopTimers();
    TNetwork* w = alice->w();
    w->username->setFocus();
    w->username->setText("Alice");
    w->pass->setFocus();
    w->pass->clear();
    w->Button2Click();
    ASSERT_EQ(caption(*alice), text(*alice, 134));

    QTest::keyClicks(w->pass, "alice-pw");
    w->Button2Click();
    EXPECT_EQ(caption(*alice), text(*alice, 134)) << "a press while the caption shows is ignored";
    EXPECT_FALSE(w->Timer2->isActive());

    w->username->setFocus();
    QTest::keyClick(w->username, Qt::Key_Return);
    EXPECT_EQ(w->focusWidget(), w->pass);
    EXPECT_EQ(w->passTag, 1);
    w->Button2Click();
    ASSERT_TRUE(w->Timer2->isActive());
    alice->runSequence();
    EXPECT_EQ(w->User->text(), "Alice");
}

TEST_F(SignIn, AFolderWithoutItsPasswordFileStopsAfterAFewPasses)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(alice->w()->User->text(), "Alice");
    ASSERT_TRUE(QFile::remove(users("Alice/acc.xo")));

    bob->setName("Alice");
    bob->goOnline();
    TNetwork* w = bob->w();
    w->username->setText("Alice");
    w->pass->setEchoMode(QLineEdit::Password);
    w->pass->setText("alice-pw");
    w->Button2Click();
    int passes = 0;
    for (; passes < 50 && w->Timer2->isActive(); ++passes)
        bob->runSequence();
    EXPECT_FALSE(w->Timer2->isActive()) << "the sequence never stopped";
    EXPECT_LE(passes, 10);
    EXPECT_EQ(caption(*bob), text(*bob, 136));
    EXPECT_EQ(w->User->text(), "-");
    for (QWidget* c : std::initializer_list<QWidget*>{w->username, w->pass, w->Button2, w->c1,
                                                      w->c2, w->c3, w->Label1})
        EXPECT_FALSE(c->isHidden()) << c->objectName().toStdString();
    EXPECT_TRUE(w->LMDSimpleLabel2->isHidden());
    // Nothing was made up on the server meanwhile.
    EXPECT_EQ(QDir(users()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"Alice"}));
    EXPECT_EQ(QDir(users("Alice")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(linesOf(users("lineup.xo")).size(), 1);
}

TEST_F(SignIn, AFaultThatGoesAwayLetsTheNextPassThrough)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_TRUE(QFile::rename(users("Alice/acc.xo"), users("acc.xo.aside")));

    bob->setName("Alice");
    bob->goOnline();
    TNetwork* w = bob->w();
    w->username->setText("Alice");
    w->pass->setEchoMode(QLineEdit::Password);
    w->pass->setText("wrong-pw");
    w->Button2Click();
    bob->runSequence();
    ASSERT_TRUE(w->Timer2->isActive());
    ASSERT_TRUE(QFile::rename(users("acc.xo.aside"), users("Alice/acc.xo")));
    bob->runSequence();
    // The password is checked on the next pass like on the first.
    EXPECT_EQ(w->User->text(), "-");
    EXPECT_EQ(caption(*bob), text(*bob, 133));
    EXPECT_FALSE(QDir(users("Alice/Alice")).exists());
}

TEST_F(SignIn, ANameWithABraceIsNotRegistered)
{
    alice->setName("a}b");
    alice->goOnline();
    alice->w()->username->setText("a}b");
    alice->w()->usernameChange();
    EXPECT_EQ(caption(*alice), text(*alice, 20));
    alice->signIn("pw");
    EXPECT_EQ(alice->w()->User->text(), "-");
    EXPECT_EQ(caption(*alice), text(*alice, 20));
    EXPECT_FALSE(alice->w()->username->isHidden());
    EXPECT_FALSE(alice->w()->Button2->isHidden());
    EXPECT_EQ(QDir(users()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(TempTree::read(users("lineup.xo")), QByteArray());
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo")));
}

TEST_F(SignIn, AMissingOwnAvatarDoesNotKeepTheUserOut)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_TRUE(QFile::remove(users("Alice/ava.png")));

    alice->restart();
    alice->goOnline();
    alice->w()->Timer4Timer();
    alice->runSequence();
    TNetwork* w = alice->w();
    EXPECT_FALSE(w->Timer2->isActive()) << "the sequence goes round again and again";
    EXPECT_EQ(w->User->text(), "Alice");
    EXPECT_EQ(w->signedInMark, 1);
    EXPECT_TRUE(w->username->isHidden());
    EXPECT_TRUE(w->Button2->isHidden());
    EXPECT_FALSE(w->users->isHidden());
}
