// Files dropped on the main window against the local demo server: the upload into the sender
// folder, the notice on top of the conversation, the recipient's fetch and its button, names
// that must stay on the server, items that cannot be sent, and a view that went stale.
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "windows/uNetProg.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

QStringList filesBelow(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(it.next());
    out.sort();
    return out;
}

class WindowFiles : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        // Alice works in Russian, Bob in English.
        root.write("alice/app/0rg_System/LC.xo", "rus/\r\n");
        bob = signedIn("Bob");
        alice = signedIn("Alice");
        ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
        fire(alice->w(), "msgrld");
        settleAll();
        fire(bob->w(), "msgrld");
        settleAll();
    }

    QString bobsNetwork() const { return bob->ctx->folders().networkDir; }

    TempTree desk; // the file manager's side
};

} // namespace

TEST_F(WindowFiles, OneFileReachesTheRecipientsFolder)
{
    alice->open("Bob");
    const QString report = desk.write("report.txt", "quarterly numbers");
    alice->w()->conversation().dropFiles({report});
    settleAll();

    EXPECT_EQ(TempTree::read(users("Bob/Alice/report.txt")), "quarterly numbers");
    PhraseTable eng;
    eng.rebuild("eng/");
    const QStringList theirs = linesOf(users("Bob/Alice.ms"));
    // A first notice: nothing below it but, in the recipient's copy, the file's line.
    ASSERT_EQ(theirs.size(), 2);
    EXPECT_TRUE(theirs.at(0).startsWith("Alice" + eng.phrase(0) + "\"report\" ("))
        << theirs.at(0).toStdString();
    EXPECT_EQ(theirs.at(1), "...report.txt");
    EXPECT_EQ(linesOf(users("Alice/Bob.ms")), QStringList({theirs.at(0)}));
    TNetwork* w = alice->w();
    EXPECT_EQ(w->conversation().chatLines().value(0), theirs.at(0));
    EXPECT_FALSE(hidden(w, "chat"));
    EXPECT_TRUE(hidden(w, "sms"));
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));

    // Bob's next cycle fetches the file and clears the sender folder on the server.
    fire(bob->w(), "msgrld");
    settleAll();
    const QString local = bobsNetwork() + "Alice/report.txt";
    EXPECT_TRUE(local.contains("/Network/Alice/"));
    EXPECT_EQ(TempTree::read(local), "quarterly numbers");
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
    EXPECT_TRUE(bob->ctx->netprog()->isVisible());
    bob->open("Alice");
    EXPECT_FALSE(hidden(bob->w(), "fbut"));
    click(bob->w(), "fbut");
    EXPECT_EQ(bob->fakes.shell->calls.value(0), "open " + bobsNetwork() + "Alice/");
}

TEST_F(WindowFiles, NamesThatCouldLeaveTheFolderStayOnTheServer)
{
    alice->open("Bob");
    alice->w()->conversation().dropFiles({desk.write("good.txt", "good")});
    settleAll();
    for (const char* hostile : {"..\\evil", "a\\b"})
        QFile(users("Bob/Alice/") + hostile).open(QIODevice::WriteOnly);

    fire(bob->w(), "msgrld");
    settleAll();
    EXPECT_EQ(TempTree::read(bobsNetwork() + "Alice/good.txt"), "good");
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice/good.txt")));
    EXPECT_TRUE(QFileInfo::exists(users("Bob/Alice/..\\evil")));
    EXPECT_TRUE(QFileInfo::exists(users("Bob/Alice/a\\b")));
    for (const QString& f : filesBelow(root.path()))
        EXPECT_FALSE(f.contains("evil") || f.endsWith("\\b")) << f.toStdString();
}

TEST_F(WindowFiles, TheNoticeGoesOnTopOfTheNewestServerCopy)
{
    stringlist::save(users("Alice/Bob.ms"), {"Bob     1 :", "first", ""});
    stringlist::save(users("Bob/Alice.ms"), {"Bob     1 :", "first", ""});
    alice->open("Bob");
    ASSERT_EQ(alice->w()->conversation().chatLines().value(1), "first");

    // Bob writes meanwhile; Alice's view has not caught up yet.
    bob->open("Alice");
    control<QPlainTextEdit>(bob->w(), "msg")->setPlainText("second");
    click(bob->w(), "sendbut");
    settleAll();
    ASSERT_TRUE(linesOf(users("Alice/Bob.ms")).contains("second"));

    alice->w()->conversation().dropFiles({desk.write("report.txt", "numbers")});
    settleAll();
    for (const QString& copy : {users("Alice/Bob.ms"), users("Bob/Alice.ms")}) {
        const QStringList lines = linesOf(copy);
        EXPECT_TRUE(lines.contains("second")) << copy.toStdString();
        EXPECT_TRUE(lines.contains("first")) << copy.toStdString();
    }
    EXPECT_TRUE(alice->w()->conversation().chatLines().contains("second"));
}

TEST_F(WindowFiles, AFolderIsNeitherSentNorAnnounced)
{
    alice->open("Bob");
    QDir().mkpath(desk.path("photos"));
    const QString file = desk.write("a.b.txt", "dots");
    alice->w()->conversation().dropFiles({desk.path("photos"), file});
    settleAll();
    EXPECT_EQ(TempTree::read(users("Bob/Alice/a.b.txt")), "dots");
    const QStringList theirs = linesOf(users("Bob/Alice.ms"));
    ASSERT_FALSE(theirs.isEmpty());
    EXPECT_TRUE(theirs.at(0).contains("\"a.b\"")) << theirs.at(0).toStdString();
    EXPECT_FALSE(theirs.at(0).contains("photos"));
    EXPECT_EQ(theirs.value(1), "...a.b.txt");
    EXPECT_FALSE(alice->fakes.desktop->errors.isEmpty());
    EXPECT_TRUE(alice->fakes.desktop->errors.join(' ').contains("photos"));
    EXPECT_TRUE(alice->fakes.desktop->errors.first().startsWith(alice->ctx->text(137)));
    EXPECT_FALSE(alice->ctx->text(137).isEmpty());

    // Nothing that can be sent: no notice, no conversation.
    QFile::remove(users("Bob/Alice.ms"));
    QFile::remove(users("Alice/Bob.ms"));
    const QStringList shown = alice->w()->conversation().chatLines();
    alice->w()->conversation().dropFiles({desk.path("photos")});
    settleAll();
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice.ms")));
    EXPECT_FALSE(QFileInfo::exists(users("Alice/Bob.ms")));
    EXPECT_EQ(alice->w()->conversation().chatLines(), shown);
    EXPECT_TRUE(hidden(alice->w(), "LMDSimpleLabel2"));
}

TEST_F(WindowFiles, ARecipientWithoutALanguageGetsTheSendersWording)
{
    QStringList lines = linesOf(users("lineup.xo"));
    lines.append("}Carol}}}.png}");
    stringlist::save(users("lineup.xo"), lines);
    QDir().mkpath(users("Carol"));
    fire(alice->w(), "msgrld");
    settleAll();
    alice->open("Carol");
    alice->w()->conversation().dropFiles({desk.write("report.txt", "numbers")});
    settleAll();
    PhraseTable rus;
    rus.rebuild("rus/");
    EXPECT_TRUE(linesOf(users("Carol/Alice.ms")).value(0).startsWith("Alice" + rus.phrase(0)));
}

TEST_F(WindowFiles, ADropWithNobodySelectedDoesNothing)
{
    const QString file = desk.write("report.txt", "numbers");
    alice->w()->conversation().dropFiles({file});
    settleAll();
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice")));
    EXPECT_FALSE(QFileInfo::exists(users("Bob/Alice.ms")));
    EXPECT_TRUE(alice->w()->conversation().chatLines().isEmpty());
}

TEST_F(WindowFiles, AfterThePopupTheNoticeSpeaksItsSendersLanguage)
{
    QStringList lines = linesOf(users("lineup.xo"));
    lines.append("}Carol}}}.png}rus/");
    stringlist::save(users("lineup.xo"), lines);
    QDir().mkpath(users("Carol"));
    fire(alice->w(), "msgrld");
    settleAll();
    alice->open("Carol");
    // Bob's message brings up the popup; Alice opens his conversation from it.
    alice->w()->openPopupSender("Bob", false);
    settleAll();
    ASSERT_EQ(alice->w()->directory().sendbutHint(), "Bob");
    alice->w()->conversation().dropFiles({desk.write("report.txt", "numbers")});
    settleAll();
    PhraseTable eng;
    eng.rebuild("eng/");
    EXPECT_TRUE(linesOf(users("Bob/Alice.ms")).value(0).startsWith("Alice" + eng.phrase(0)))
        << linesOf(users("Bob/Alice.ms")).value(0).toStdString();
}
