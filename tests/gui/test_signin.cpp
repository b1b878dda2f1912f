// The sign-in screen against the local demo server: names as typed, the three options across a
// restart, network outages with automatic sign-in, the "Type all fields" caption, a server
// fault that recurs, and names that may not be registered.
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "net/StoreLayout.h"

#include <QCheckBox>
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
#include <sys/stat.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

unsigned modeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

// Passwords, the server's login and conversations are readable by the user alone.
void expectPrivate(const TestClient& c, const QString& user)
{
    const Folders f = c.ctx->folders();
    for (const QString& folder :
         {f.userDataDir, f.userDataDir + "net/", f.programDataDir + "net/", f.tempDataDir,
          f.programDataDir + "net/" + user, f.userDataDir + "net/" + user})
        EXPECT_EQ(modeOf(folder), 0700u) << folder.toStdString();
    for (const QString& file : {f.userDataDir + "acc.xo", f.userDataDir + "acc2.xo",
                                f.tempDataDir + "2.x", f.tempDataDir + "lnplk.xo"}) {
        if (QFile::exists(file)) {
            EXPECT_EQ(modeOf(file), 0600u) << file.toStdString();
        }
    }
}

class SignIn : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (!IsSkipped())
            startBoth();
    }

    QString userData(const TestClient& c, const QString& name) const
    {
        return c.ctx->folders().userDataDir + name;
    }
    QString caption(const TestClient& c) const { return textOf(c.w(), "Button2"); }
    QString text(const TestClient& c, int row) const { return c.ctx->text(row); }
};

} // namespace

TEST_F(SignIn, RegistrationWritesTheFourFilesAndTheDirectoryLine)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
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
    EXPECT_EQ(textOf(bob->w(), "User"), "-");
    EXPECT_EQ(QDir(users()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList({"Alice"}));
    EXPECT_EQ(linesOf(users("lineup.xo")).size(), 1);
}

TEST_F(SignIn, ANameIsTrimmedAndTransliterated)
{
    alice->setName(QString::fromUtf8("  Иван  "));
    alice->goOnline();
    alice->signIn("pw");
    EXPECT_EQ(textOf(alice->w(), "username"), "Ivan");
    EXPECT_EQ(textOf(alice->w(), "User"), "Ivan");
    EXPECT_TRUE(QFile::exists(users("Ivan/acc.xo")));
    EXPECT_EQ(linesOf(users("lineup.xo")), QStringList({"}Ivan}}}.png}eng/"}));

    // Typed the same way again elsewhere, it finds the same account.
    bob->setName(QString::fromUtf8(" Иван"));
    bob->goOnline();
    bob->signIn("pw");
    EXPECT_EQ(textOf(bob->w(), "User"), "Ivan");
    EXPECT_EQ(linesOf(users("lineup.xo")).size(), 1);
}

TEST_F(SignIn, AutologinSignsInByItselfAfterARestart)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    // The demo server offered TLS: its certificate is pinned in the user's settings, which
    // outlive the restart, so it is never used in plain text again.
    EXPECT_TRUE(alice->fakes.settings->values.value("TlsPins").contains("127.0.0.1:"));

    expectPrivate(*alice, "Alice");
    alice->restart();
    EXPECT_EQ(alice->w()->signIn().accountRecord().option, "autologin");
    alice->goOnline();
    EXPECT_EQ(textOf(alice->w(), "User"), "-");
    // The network drops and returns: the detector's answer alone signs her in, without the
    // sign-in button's timers.
    alice->detectorSays(false);
    settleAll();
    alice->detectorSays(true);
    settleAll();
    alice->stopTimers();
    EXPECT_FALSE(running(alice->w(), "Timer2"));
    EXPECT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_EQ(alice->w()->signedInMark(), 1);

    // After the next restart the automatic press of the sign-in button does it.
    alice->restart();
    alice->goOnline();
    fire(alice->w(), "Timer4");
    settleAll();
    ASSERT_TRUE(running(alice->w(), "Timer2"));
    alice->runSequence();
    EXPECT_EQ(textOf(alice->w(), "User"), "Alice");
}

TEST_F(SignIn, NopassOffersTheNameAndWaitsForThePassword)
{
    alice->goOnline();
    control<QRadioButton>(alice->w(), "c2")->click();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"Alice", "nopass"}));
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo"))) << "the password was kept";
    expectPrivate(*alice, "Alice");

    alice->restart();
    alice->w()->show();
    alice->stopTimers();
    EXPECT_EQ(textOf(alice->w(), "username"), "Alice");
    EXPECT_EQ(alice->w()->focusWidget(), control<QLineEdit>(alice->w(), "pass"));
    EXPECT_TRUE(control<QRadioButton>(alice->w(), "c2")->isChecked());
    alice->goOnline();
    fire(alice->w(), "Timer4");
    settleAll();
    EXPECT_FALSE(running(alice->w(), "Timer2"));
    EXPECT_EQ(textOf(alice->w(), "User"), "-");

    // Signing in again keeps the choice.
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).value(1), "nopass");
}

TEST_F(SignIn, AnothersComputerKeepsNothingAlsoOnTheServerAfterSignOut)
{
    alice->goOnline();
    control<QRadioButton>(alice->w(), "c3")->click();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo"))) << "the password was kept";

    click(alice->w(), "dscn");
    settleAll();
    EXPECT_EQ(textOf(alice->w(), "User"), "-");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
    EXPECT_EQ(linesOf(users("Alice/myacc.xo")).mid(0, 2), QStringList({"", "x"}));

    alice->restart();
    alice->w()->show();
    alice->stopTimers();
    EXPECT_EQ(textOf(alice->w(), "username"), text(*alice, 129));
    EXPECT_TRUE(control<QRadioButton>(alice->w(), "c3")->isChecked());
    alice->goOnline();
    fire(alice->w(), "Timer4");
    settleAll();
    EXPECT_FALSE(running(alice->w(), "Timer2"));
    EXPECT_EQ(textOf(alice->w(), "User"), "-");

    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_EQ(linesOf(userData(*alice, "acc.xo")).mid(0, 2), QStringList({"", "x"}));
    expectPrivate(*alice, "Alice");
}

TEST_F(SignIn, AutologinRunsAgainWhenTheNetworkComesBack)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    ASSERT_TRUE(alice->w()->signIn().autoSignInDone());

    alice->detectorSays(false);
    settleAll();
    EXPECT_FALSE(alice->w()->signIn().autoSignInDone());
    alice->detectorSays(true);
    settleAll();
    EXPECT_TRUE(alice->w()->signIn().autoSignInDone());
    EXPECT_EQ(alice->w()->signedInMark(), 1);
    EXPECT_EQ(textOf(alice->w(), "User"), "Alice");
}

TEST_F(SignIn, AutologinAfterAnOutageWithACorrespondentOpen)
{
    bob->goOnline();
    bob->signIn("bob-pw");
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    // Opening Bob leaves the main connection open in Alice's own folder.
    fire(alice->w(), "msgrld");
    settleAll();
    alice->ctx->state().changeDirectory([](UserDirectory& d) {
        d.setSelectedPeer("Bob");
        d.selectPeer();
    });
    alice->w()->contacts().showUsers();
    alice->w()->contacts().onUserSelected();
    settleAll();
    ASSERT_FALSE(hidden(alice->w(), "sms"));

    alice->detectorSays(false);
    settleAll();
    alice->detectorSays(true);
    settleAll();
    EXPECT_EQ(alice->w()->signedInMark(), 1);
    EXPECT_EQ(textOf(alice->w(), "User"), "Alice");
    EXPECT_FALSE(QDir(users("Alice/Alice")).exists());
}

TEST_F(SignIn, EnterInTheNameBoxLetsTheButtonPassTypeAllFields)
{
    alice->goOnline();
    alice->w()->show();
    alice->stopTimers();
    TNetwork* w = alice->w();
    auto* name = control<QLineEdit>(w, "username");
    auto* password = control<QLineEdit>(w, "pass");
    name->setFocus();
    name->setText("Alice");
    password->setFocus();
    password->clear();
    click(w, "Button2");
    settleAll();
    ASSERT_EQ(caption(*alice), text(*alice, 134));

    QTest::keyClicks(password, "alice-pw");
    click(w, "Button2");
    settleAll();
    EXPECT_EQ(caption(*alice), text(*alice, 134)) << "a press while the caption shows is ignored";
    EXPECT_FALSE(running(w, "Timer2"));

    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    settleAll();
    EXPECT_EQ(w->focusWidget(), password);
    EXPECT_EQ(w->signIn().passTag(), 1);
    click(w, "Button2");
    settleAll();
    ASSERT_TRUE(running(w, "Timer2"));
    alice->runSequence();
    EXPECT_EQ(textOf(w, "User"), "Alice");
}

TEST_F(SignIn, AFolderWithoutItsPasswordFileWaitsAfterAFewPasses)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    ASSERT_TRUE(QFile::remove(users("Alice/acc.xo")));

    bob->setName("Alice");
    bob->goOnline();
    TNetwork* w = bob->w();
    bob->fillIn("alice-pw");
    click(w, "Button2");
    settleAll();
    int passes = 0;
    for (; passes < 50 && running(w, "Timer2"); ++passes)
        bob->runSequence();
    EXPECT_FALSE(running(w, "Timer2")) << "the sequence never stopped";
    EXPECT_LE(passes, 10);
    // The failure repeats itself: the next pass waits, and the reason is shown once.
    EXPECT_TRUE(running(w, "signInRetryTimer"));
    EXPECT_EQ(caption(*bob), text(*bob, 398));
    EXPECT_EQ(bob->fakes.desktop->errors.size(), 1);
    EXPECT_EQ(textOf(w, "User"), "-");
    for (const char* c : {"username", "pass", "Button2", "c1", "c2", "c3", "Label1"})
        EXPECT_FALSE(hidden(w, c)) << c;
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));
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
    bob->fillIn("wrong-pw");
    click(w, "Button2");
    settleAll();
    bob->runSequence();
    ASSERT_TRUE(running(w, "Timer2"));
    ASSERT_TRUE(QFile::rename(users("acc.xo.aside"), users("Alice/acc.xo")));
    bob->runSequence();
    // The password is checked on the next pass like on the first.
    EXPECT_EQ(textOf(w, "User"), "-");
    EXPECT_EQ(caption(*bob), text(*bob, 133));
    EXPECT_FALSE(QDir(users("Alice/Alice")).exists());
}

TEST_F(SignIn, AnOversizedDirectoryIsRefusedWithItsReasonAndTriedAgainAfterGrowingPauses)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    const QByteArray mended = TempTree::read(users("lineup.xo"));
    const auto retrievals = [&] {
        return server->log().count(QStringLiteral("/netwrk/users/lineup.xo completed="));
    };
    const qsizetype before = retrievals();
    ASSERT_GT(before, 0) << "the log does not show downloads";

    // Restarted with no copy of the directory to fall back on, and the server's is 20 MiB.
    alice->restart();
    QFile::remove(alice->ctx->folders().tempDataDir + "lnplk.xo");
    {
        QFile huge(users("lineup.xo"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly | QIODevice::Truncate));
        huge.write(QByteArray(20 * 1024 * 1024 - 2, 'x') + "\r\n");
    }
    alice->goOnline();
    TNetwork* w = alice->w();
    auto* sequence = control<QTimer>(w, "Timer2");
    auto* retry = control<QTimer>(w, "signInRetryTimer");
    fire(w, "Timer4");
    settleAll();
    ASSERT_TRUE(sequence->isActive());
    alice->runSequence();

    // The screen is back with the reason, and the next pass waits.
    const QString reason = "The user directory on the server (lineup.xo) is 20971520 bytes, "
                           "more than the 4194304 this program reads.";
    EXPECT_EQ(alice->fakes.desktop->errors, QStringList({reason}));
    EXPECT_FALSE(sequence->isActive());
    ASSERT_TRUE(retry->isActive());
    EXPECT_EQ(retry->interval(), 5000);
    EXPECT_EQ(caption(*alice), text(*alice, 398));
    for (const char* c : {"username", "pass", "Button2"})
        EXPECT_FALSE(hidden(w, c)) << c;
    // The automatic press of the button waits for the pause too.
    fire(w, "Timer4");
    settleAll();
    EXPECT_FALSE(sequence->isActive());

    // The pause runs out: the same refusal waits twice as long and is not shown again.
    fire(retry);
    alice->runSequence();
    ASSERT_TRUE(retry->isActive());
    EXPECT_EQ(retry->interval(), 10000);
    EXPECT_EQ(alice->fakes.desktop->errors.size(), 1);
    EXPECT_EQ(retrievals(), before);

    // Someone mends the directory: the next retry gets through.
    {
        QFile directory(users("lineup.xo"));
        ASSERT_TRUE(directory.open(QIODevice::WriteOnly | QIODevice::Truncate));
        directory.write(mended);
    }
    fire(retry);
    alice->runSequence();
    EXPECT_EQ(textOf(w, "User"), "Alice");
    EXPECT_FALSE(retry->isActive());
    EXPECT_GT(retrievals(), before);
}

TEST_F(SignIn, ANameWithABraceIsNotRegistered)
{
    alice->setName("a}b");
    alice->goOnline();
    control<QLineEdit>(alice->w(), "username")->setText("a}b");
    alice->w()->signIn().onNameEdited();
    EXPECT_EQ(caption(*alice), text(*alice, 20));
    alice->signIn("pw");
    EXPECT_EQ(textOf(alice->w(), "User"), "-");
    EXPECT_EQ(caption(*alice), text(*alice, 20));
    EXPECT_FALSE(hidden(alice->w(), "username"));
    EXPECT_FALSE(hidden(alice->w(), "Button2"));
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
    fire(alice->w(), "Timer4");
    settleAll();
    alice->runSequence();
    TNetwork* w = alice->w();
    EXPECT_FALSE(running(w, "Timer2")) << "the sequence goes round again and again";
    EXPECT_EQ(textOf(w, "User"), "Alice");
    EXPECT_EQ(w->signedInMark(), 1);
    EXPECT_TRUE(hidden(w, "username"));
    EXPECT_TRUE(hidden(w, "Button2"));
    EXPECT_FALSE(hidden(w, "users"));
}

TEST_F(SignIn, FilesOfEarlierVersionsAreMadePrivateAtStart)
{
    alice->goOnline();
    alice->signIn("alice-pw");
    const Folders f = alice->ctx->folders();
    for (const QString& file : {f.userDataDir + "acc.xo", f.userDataDir + "acc2.xo"})
        ::chmod(QFile::encodeName(file).constData(), 0644);
    for (const QString& folder : {f.userDataDir, f.programDataDir + "net/", f.tempDataDir})
        ::chmod(QFile::encodeName(folder).constData(), 0755);
    alice->restart();
    expectPrivate(*alice, "Alice");
    EXPECT_EQ(modeOf(f.userDataDir + "acc2.xo"), 0600u);
}

TEST_F(SignIn, NamesAndPasswordsOutsideTheCodePageAreRefusedWithTheirCharacters)
{
    alice->goOnline();
    alice->w()->show();
    alice->stopTimers();
    TNetwork* w = alice->w();
    auto* name = w->findChild<QLineEdit*>("username");
    auto* password = w->findChild<QLineEdit*>("pass");
    auto* button = w->findChild<QPushButton*>("Button2");
    // Typed as a keyboard layout with these letters would send them.
    const auto type = [](QWidget* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        settleAll();
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, QString(c), Qt::NoModifier);
    };
    const auto attempt = [&](const QString& n, const QString& p) {
        type(name, n);
        type(password, p);
        QTest::mouseClick(button, Qt::LeftButton);
        settleAll();
    };
    attempt(QString::fromUtf8("José"), "pw");
    EXPECT_EQ(caption(*alice), "Characters not allowed: " + QString::fromUtf8("é"));
    EXPECT_FALSE(running(w, "Timer2"));
    attempt("Ivan", QString::fromUtf8("café ☕"));
    EXPECT_EQ(caption(*alice), "Characters not allowed: " + QString::fromUtf8("é☕"));
    EXPECT_FALSE(running(w, "Timer2"));
    EXPECT_EQ(TempTree::read(users("lineup.xo")), QByteArray());
    EXPECT_EQ(QDir(users()).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    EXPECT_FALSE(QFile::exists(userData(*alice, "acc2.xo")));

    attempt("Ivan", "cafe");
    EXPECT_TRUE(running(w, "Timer2"));
}

TEST_F(SignIn, AnAutomaticSignInAfterAnOutageLeavesTheUserOutOfTheList)
{
    bob->goOnline();
    bob->signIn("bob-pw");
    alice->goOnline();
    alice->signIn("alice-pw");
    ASSERT_EQ(textOf(alice->w(), "User"), "Alice");

    alice->restart();
    alice->goOnline();
    TNetwork* w = alice->w();
    ASSERT_EQ(textOf(w, "User"), "-");
    // The detector reports the network gone and back: the lists are still empty, and the
    // automatic sign-in fills them before the name is known.
    alice->detectorSays(false);
    alice->detectorSays(true);
    alice->settle();
    alice->stopTimers();
    ASSERT_EQ(textOf(w, "User"), "Alice");
    auto* list = w->findChild<QTreeWidget*>("users");
    QStringList listed;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        listed.append(list->topLevelItem(i)->text(1));
    EXPECT_EQ(listed, QStringList{"Bob"});
    EXPECT_EQ(w->directory().users().size(), 1);
    auto* online = w->findChild<QCheckBox*>("online");
    ASSERT_NE(online, nullptr);
    EXPECT_FALSE(online->isHidden());
    EXPECT_TRUE(online->isChecked());
}

TEST_F(SignIn, NamesFromTheServerShowAsWritten)
{
    // Another client's directory may hold a name that reads as markup.
    const QString odd = "<h1>x";
    QDir().mkpath(users(odd));
    QFile line(users("lineup.xo"));
    ASSERT_TRUE(line.open(QIODevice::Append));
    line.write("}<h1>x}}}.png}eng/\r\n");
    line.close();
    for (const char* file : {"acc.xo", "myacc.xo"}) {
        QFile f(users(odd + "/" + file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(file) == "acc.xo" ? "pw\r\n" : "\r\nautologin\r\n\r\n.png\r\n");
    }
    alice->setName(odd);
    alice->goOnline();
    alice->signIn("pw");
    TNetwork* w = alice->w();
    auto* user = w->findChild<QLabel*>("User");
    ASSERT_EQ(user->text(), odd);
    // Shown as markup, the label would be as wide as one large "x".
    EXPECT_GE(user->sizeHint().width(), user->fontMetrics().horizontalAdvance(odd));
}
