// The settings panel, the rename field and the own picture, driven with real events, with a
// second client that sees the effects.
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "platform/fake/FakeServices.h"
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"
#include "windows/AccountPanel.h"
#include "windows/FrameImage.h"
#include "windows/uNetwork.h"

#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class AccountUpkeepWindow : public DemoPair
{
protected:
    void SetUp() override
    {
        if (!setUpSignedIn())
            return;
        w = alice->w();
        w->show();
        alice->stopTimers();
    }

    QStringList lineup() const
    {
        return stringlist::load(users("lineup.xo")).value_or(QStringList());
    }
    QString lineOf(const QStringList& lines, const QString& name) const
    {
        const int at = UserDirectory::find(lines, name);
        return at >= 0 ? lines.at(at) : QString();
    }
    QStringList suggestions(const char* file) const
    {
        return stringlist::load(alice->ctx->folders().programDataDir + file)
            .value_or(QStringList());
    }

    // Replaces what the box shows by typing.
    void type(QWidget* box, const QString& text)
    {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_Delete);
        QTest::keyClicks(box, text);
    }

    void openPanel()
    {
        if (!shownIn(w, "savesets"))
            click(w, "more");
        ASSERT_TRUE(shownIn(w, "savesets"));
    }

    TNetwork* w = nullptr;
};

} // namespace

TEST_F(AccountUpkeepWindow, TheProfileReachesTheDirectoryAndTheSuggestions)
{
    // The built-in regions of the language came at the first start, each once.
    const QStringList regions = suggestions("rg.ind");
    ASSERT_FALSE(regions.isEmpty());
    EXPECT_EQ(regions.first(), QStringLiteral("New York"));
    QStringList folded;
    for (const QString& r : regions)
        folded.append(r.toCaseFolded());
    EXPECT_EQ(folded.removeDuplicates(), 0);
    auto* region = control<QComboBox>(w, "regionname");
    auto* activity = control<QComboBox>(w, "subjecttype");
    EXPECT_EQ(region->currentText(), alice->ctx->text(110));
    EXPECT_GT(region->count(), 100);

    openPanel();
    // The panel lies over the signed-in view, the "online" box that shares its place included.
    QWidget* onTop = w->childAt(region->geometry().center() + QPoint(40, 0));
    EXPECT_TRUE(onTop == region || region->isAncestorOf(onTop));
    type(region, "  St Ives ");
    type(activity, "Tea");
    QTest::keyClick(activity, Qt::Key_Return);
    settleAll();
    EXPECT_EQ(lineOf(lineup(), "Alice"), QStringLiteral("}Alice}  St Ives }Tea}.png}eng/"));
    EXPECT_FALSE(shownIn(w, "savesets")) << "the panel closes";
    EXPECT_TRUE(suggestions("rg.ind").contains("St Ives"));
    EXPECT_EQ(suggestions("st.ind"), QStringList({"Tea"}));

    // Bob's next reload has it.
    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(lineOf(bob->w()->directory().userst(), "Alice"),
              QStringLiteral("}Alice}  St Ives }Tea}.png}eng/"));

    // The same activity in other letter case is kept once; the save button saves too.
    openPanel();
    type(activity, "tea");
    click(w, "savesets");
    settleAll();
    EXPECT_EQ(suggestions("st.ind"), QStringList({"Tea"}));
    EXPECT_EQ(lineOf(lineup(), "Alice"), QStringLiteral("}Alice}  St Ives }tea}.png}eng/"));

    // A "}" or a line break would break the line: refused, nothing sent.
    const QStringList before = lineup();
    openPanel();
    type(region, "North}South");
    click(w, "savesets");
    settleAll();
    EXPECT_EQ(alice->fakes.desktop->errors.value(0), alice->ctx->text(373));
    EXPECT_EQ(lineup(), before);

    // Placeholders are empty fields; the next sign-in shows them again.
    region->setEditText(alice->ctx->text(110));
    activity->setEditText(alice->ctx->text(320));
    click(w, "savesets");
    settleAll();
    EXPECT_EQ(lineOf(lineup(), "Alice"), QStringLiteral("}Alice}}}.png}eng/"));
    EXPECT_EQ(lineOf(lineup(), "Bob"), QStringLiteral("}Bob}}}.png}eng/"));
}

TEST_F(AccountUpkeepWindow, ThreeQuickPressesDeleteTheAccountTwoAndAPauseDoNot)
{
    auto* button = control<QPushButton>(w, "delbut");
    openPanel();
    QTest::mouseClick(button, Qt::LeftButton);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(button->text(), alice->ctx->text(84));
    EXPECT_TRUE(running(w, "dbreset"));
    // The confirmation window ends.
    fire(w, "dbreset");
    EXPECT_EQ(button->text(), alice->ctx->text(130));
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(w->account().deletePresses(), 1) << "the next press counts as the first";
    settleAll();
    EXPECT_TRUE(QDir(users("Alice")).exists());
    fire(w, "dbreset");

    QFile(users("Bob/Alice.ms")).open(QIODevice::WriteOnly);
    QDir().mkpath(users("Alice/Bob"));
    QFile(users("Alice/Bob/file.txt")).open(QIODevice::WriteOnly);
    QFile(users("Alice/Bob.ms")).open(QIODevice::WriteOnly);
    for (int press = 0; press < 3; ++press)
        QTest::mouseClick(button, Qt::LeftButton);
    settleAll();
    EXPECT_FALSE(QDir(users("Alice")).exists());
    EXPECT_TRUE(lineOf(lineup(), "Alice").isEmpty());
    EXPECT_FALSE(lineOf(lineup(), "Bob").isEmpty());
    EXPECT_TRUE(QFile::exists(users("Bob/Alice.ms")));
    EXPECT_EQ(textOf(w, "User"), QStringLiteral("-"));
    EXPECT_TRUE(shownIn(w, "username"));
    EXPECT_EQ(textOf(w, "username"), alice->ctx->text(129));
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty())
        << alice->fakes.desktop->errors.join('|').toStdString();
}

TEST_F(AccountUpkeepWindow, RenameChangesTheNameOnlyWhenTheServerHasIt)
{
    auto* field = control<QLineEdit>(w, "rnm");
    QTest::mousePress(control<QLabel>(w, "User"), Qt::RightButton);
    ASSERT_TRUE(field->isVisibleTo(w));
    EXPECT_EQ(field->text(), QStringLiteral("Alice"));

    // A taken name: the error for a while, nothing changed.
    type(field, "Bob");
    EXPECT_EQ(textOf(w, "User"), QStringLiteral("Alice")) << "typing renames nothing";
    QTest::keyClick(field, Qt::Key_Return);
    settleAll();
    EXPECT_TRUE(shownIn(w, "usererror"));
    EXPECT_EQ(textOf(w, "usererror"), alice->ctx->text(144));
    EXPECT_TRUE(running(w, "usererrortimer"));
    EXPECT_EQ(field->text(), QStringLiteral("Alice"));
    EXPECT_TRUE(QDir(users("Alice")).exists());
    fire(w, "usererrortimer");

    // Esc leaves everything as it was.
    type(field, "Nobody");
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(field->isVisibleTo(w));
    EXPECT_EQ(textOf(w, "User"), QStringLiteral("Alice"));

    // A free name.
    const Folders f = alice->ctx->folders();
    ASSERT_TRUE(QDir(f.programDataDir + "net/Alice").exists());
    QTest::mousePress(control<QLabel>(w, "User"), Qt::RightButton);
    type(field, "Alicia");
    QTest::keyClick(field, Qt::Key_Return);
    settleAll();
    EXPECT_EQ(textOf(w, "User"), QStringLiteral("Alicia"));
    EXPECT_FALSE(field->isVisibleTo(w));
    EXPECT_TRUE(QFile::exists(users("Alicia/acc.xo")));
    EXPECT_FALSE(QDir(users("Alice")).exists());
    EXPECT_EQ(lineOf(lineup(), "Alicia"), QStringLiteral("}Alicia}}}.png}eng/"));
    EXPECT_TRUE(lineOf(lineup(), "Alice").isEmpty());
    EXPECT_TRUE(QDir(f.programDataDir + "net/Alicia").exists());
    EXPECT_FALSE(QDir(f.programDataDir + "net/Alice").exists());
    EXPECT_EQ(stringlist::load(f.userDataDir + "acc.xo").value_or(QStringList()).value(0),
              QStringLiteral("Alicia"));

    // Her own poll works under the new name; Bob's reload sees it.
    fire(alice->w(), "msgrld");
    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_TRUE(alice->fakes.desktop->errors.isEmpty());
    EXPECT_FALSE(lineOf(bob->w()->directory().userst(), "Alicia").isEmpty());
    EXPECT_TRUE(lineOf(bob->w()->directory().users(), "Alicia").isEmpty() ||
                lineOf(bob->w()->directory().users(), "Alice").isEmpty());
}

TEST_F(AccountUpkeepWindow, APictureIsCheckedScaledAndFetchedByThePeer)
{
    const Folders f = alice->ctx->folders();
    // A file that is no picture changes nothing.
    alice->fakes.desktop->nextPicture = root.write("elsewhere/broken.png", "not a picture");
    QTest::mousePress(w->findChild<FrameImage*>("ava"), Qt::RightButton);
    settleAll();
    EXPECT_EQ(alice->fakes.desktop->errors.value(0), alice->ctx->text(376));
    EXPECT_EQ(w->signIn().accountRecord().avatarExtension, QStringLiteral(".png"));
    EXPECT_FALSE(alice->fakes.desktop->pictureDialogs.value(0).contains(".emf"));

    QImage big(1400, 1000, QImage::Format_RGB32);
    big.fill(Qt::darkGreen);
    const QString picked = root.path("elsewhere/big.JPG");
    ASSERT_TRUE(big.save(picked, "JPG"));
    alice->fakes.desktop->nextPicture = picked;
    QTest::mousePress(w->findChild<FrameImage*>("ava"), Qt::RightButton);
    settleAll();
    EXPECT_EQ(alice->fakes.desktop->errors.size(), 1);
    EXPECT_EQ(w->signIn().accountRecord().avatarExtension, QStringLiteral(".JPG"));
    const QImage up(users("Alice/ava.JPG"));
    EXPECT_EQ(up.size(), QSize(700, 500));
    EXPECT_EQ(stringlist::load(users("Alice/myacc.xo")).value_or(QStringList()).value(3),
              QStringLiteral(".JPG"));
    EXPECT_EQ(QImage(QDir(f.myImagesDir).filePath("big.JPG")).size(), QSize(1400, 1000))
        << "the original stays";
    EXPECT_TRUE(QFile::exists(f.tempDataDir + "ava.JPG"));
    EXPECT_FALSE(QFile::exists(f.tempDataDir + "ava.png"));

    // Bob opens Alice and gets the new picture.
    fire(bob->w(), "msgrld");
    settleAll();
    const int row = UserDirectory::find(bob->w()->directory().users(), "Alice");
    ASSERT_GE(row, 0);
    pickRow(bob->w(), row);
    settleAll();
    EXPECT_EQ(QImage(bob->ctx->folders().tempDataDir + "myava.JPG").size(), QSize(700, 500));
}

TEST_F(AccountUpkeepWindow, AProfileSaveAndARenameOfTwoClientsAtOnceKeepBothLines)
{
    TNetwork* other = bob->w();
    other->show();
    bob->stopTimers();
    for (int round = 0; round < 3; ++round) {
        const QString region = QStringLiteral("Region %1").arg(round);
        const QString bobName = textOf(bob->w(), "User");
        const QString newName = QStringLiteral("Bob%1").arg(round);
        openPanel();
        type(control<QComboBox>(w, "regionname"), region);
        QTest::mousePress(control<QLabel>(other, "User"), Qt::RightButton);
        type(control<QLineEdit>(other, "rnm"), newName);
        // Both requests are made before either session runs: they go to the server together.
        click(w, "savesets");
        QTest::keyClick(control<QLineEdit>(other, "rnm"), Qt::Key_Return);
        settleAll();
        ASSERT_EQ(textOf(other, "User"), newName) << round;
        const QStringList lines = lineup();
        EXPECT_EQ(lines.size(), 2) << lines.join('|').toStdString();
        EXPECT_EQ(lineOf(lines, "Alice"), "}Alice}" + region + "}}.png}eng/");
        EXPECT_EQ(lineOf(lines, newName), "}" + newName + "}}}.png}eng/");
        EXPECT_TRUE(lineOf(lines, bobName).isEmpty());
    }
}
