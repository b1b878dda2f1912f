// The user list against the local demo server: who is listed, opening a correspondent with and
// without a conversation, unread marks, the notice phrases, favourites, and directory lines
// whose names must never become paths.
#include "support/DemoPair.h"
#include "support/DemoServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "windows/FrameImage.h"
#include "windows/uNetProg.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QStringList linesOf(const QString& path)
{
    return stringlist::load(path).value_or(QStringList());
}

// Every file below a folder, with its size, to see that nothing was written.
QStringList snapshot(const QString& folder)
{
    QStringList out;
    QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        out.append(it.filePath() + u' ' + QString::number(it.fileInfo().size()));
    }
    out.sort();
    return out;
}

class Contacts : public DemoPair
{
protected:
    void SetUp() override
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return;
        // Bob's own avatar is uploaded from his folder's avax.png; it is no picture.
        starPictures(Qt::red, Qt::red);
        bob = signedIn("Bob");
        QImage stock(8, 8, QImage::Format_RGB32);
        stock.fill(Qt::blue);
        stock.save(root.path("alice/app/0rg_System/avax.png"));
        alice = signedIn("Alice");
        ASSERT_EQ(textOf(alice->w(), "User"), "Alice");
    }

    // A user registered by another client: a directory line and a folder with a record.
    void addUser(const QString& name, const QString& language)
    {
        QStringList lines = linesOf(users("lineup.xo"));
        lines.append("}" + name + "}}}.png}" + language);
        stringlist::save(users("lineup.xo"), lines);
        if (userentry::openable(name)) {
            QDir().mkpath(users(name));
            stringlist::save(users(name + "/myacc.xo"), {name, "autologin", "x", ".png"});
        }
    }
    void reload()
    {
        fire(alice->w(), "msgrld");
        alice->settle();
    }
    int row(const QString& name) const
    {
        return UserDirectory::find(alice->w()->directory().users(), name);
    }
    void open(const QString& name) { alice->open(name); }
};

} // namespace

TEST_F(Contacts, TheListShowsEveryoneButOneself)
{
    addUser("Carol", "rus/");
    reload();
    TNetwork* w = alice->w();
    QStringList listed;
    for (int i = 0; i < control<QTreeWidget>(w, "users")->topLevelItemCount(); ++i)
        listed.append(control<QTreeWidget>(w, "users")->topLevelItem(i)->text(1));
    EXPECT_EQ(listed, QStringList({"Bob", "Carol"}));
    EXPECT_GE(UserDirectory::find(w->directory().userst(), "Alice"), 0);
    EXPECT_EQ(w->directory().userst().size(), 3);
}

TEST_F(Contacts, ACorrespondentWithoutAConversationOffersTheMessageButton)
{
    reload();
    open("Bob");
    TNetwork* w = alice->w();
    EXPECT_EQ(textOf(w, "user2name"), "Bob");
    EXPECT_EQ(w->directory().sendbutHint(), "Bob");
    EXPECT_FALSE(hidden(w, "sms"));
    EXPECT_TRUE(hidden(w, "chat"));
    EXPECT_TRUE(hidden(w, "sendbut"));
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));
    // Bob's avatar is no picture: the stock one stands in for it.
    EXPECT_FALSE(hidden(w, "user2"));
    EXPECT_FALSE(control<FrameImage>(w, "user2")->picture().isNull());
}

TEST_F(Contacts, AConversationIsShownWithoutItsFileLine)
{
    stringlist::save(users("Alice/Bob.ms"), {"Bob sent the file \"report\"", "...report.txt", "",
                                             "Bob     1 :", "Hi", ""});
    reload();
    open("Bob");
    TNetwork* w = alice->w();
    EXPECT_TRUE(hidden(w, "sms"));
    EXPECT_FALSE(hidden(w, "chat"));
    EXPECT_FALSE(hidden(w, "sendbut"));
    EXPECT_EQ(w->conversation().chatLines().value(0), "Bob sent the file \"report\"");
    EXPECT_EQ(w->conversation().chatLines().value(1), "");
    EXPECT_FALSE(control<QPlainTextEdit>(w, "chat")->toPlainText().contains("..."));
    // The SeenCopy is the server's copy as downloaded.
    const QString seen = alice->ctx->folders().programDataDir + "net/Alice/Bob.ms";
    EXPECT_EQ(TempTree::read(seen), TempTree::read(users("Alice/Bob.ms")));
}

TEST_F(Contacts, OpeningRemovesTheUnreadMarkInPlace)
{
    addUser("Carol", "eng/");
    addUser("Dave", "eng/");
    reload();
    TNetwork* w = alice->w();
    const int at = row("Carol");
    ASSERT_EQ(at, 1);
    alice->markUnread(at);
    w->contacts().showUsers();
    ASSERT_EQ(control<QTreeWidget>(w, "users")->topLevelItem(at)->text(0), "(+)");
    open("Carol");
    EXPECT_EQ(row("Carol"), at);
    EXPECT_EQ(w->directory().users().at(at), "}Carol}}}.png}eng/");
    EXPECT_EQ(control<QTreeWidget>(w, "users")->topLevelItem(at)->text(0), "");
    EXPECT_EQ(control<QTreeWidget>(w, "users")->topLevelItem(at)->text(1), "Carol");
    EXPECT_EQ(control<QTreeWidget>(w, "users")->currentItem(),
              control<QTreeWidget>(w, "users")->topLevelItem(at));
}

TEST_F(Contacts, NoticePhrasesFollowTheCorrespondentsLanguage)
{
    addUser("Carol", "rus/");
    addUser("Dave", "");
    reload();
    PhraseTable rus, eng;
    rus.rebuild("rus/");
    eng.rebuild("eng/");
    ASSERT_NE(rus.phrase(0), eng.phrase(0));
    TNetwork* w = alice->w();

    open("Carol");
    ASSERT_EQ(w->contacts().peerPhrases().size(), rus.size());
    for (int n = 0; n < rus.size(); ++n)
        EXPECT_EQ(w->contacts().peerPhrases().phrase(n), rus.phrase(n)) << n;
    open("Bob");
    for (int n = 0; n < eng.size(); ++n)
        EXPECT_EQ(w->contacts().peerPhrases().phrase(n), eng.phrase(n)) << n;
    open("Dave");
    EXPECT_EQ(w->contacts().peerPhrases().size(), 0);
}

TEST_F(Contacts, FavouritesToggleTheFileAndTheIcon)
{
    reload();
    open("Bob");
    TNetwork* w = alice->w();
    const QString fav = alice->ctx->folders().programDataDir + "net/fav.xo";
    EXPECT_TRUE(QFile::exists(fav));
    EXPECT_TRUE(control<FrameImage>(w, "favs")->pictureFile().endsWith("/fav_icon_on.png"));
    click(w, "favs");
    EXPECT_EQ(linesOf(fav), QStringList({"Bob"}));
    EXPECT_TRUE(control<FrameImage>(w, "favs")->pictureFile().endsWith("/fav_icon.png"));

    // Known again after a restart and shown when Bob is opened.
    alice->restart();
    alice->goOnline();
    alice->signIn("alice-pw");
    reload();
    open("Bob");
    EXPECT_EQ(alice->state().favourites(), QStringList({"Bob"}));
    EXPECT_TRUE(control<FrameImage>(alice->w(), "favs")->pictureFile().endsWith("/fav_icon.png"));
    click(alice->w(), "favs");
    EXPECT_EQ(linesOf(fav), QStringList());
    EXPECT_TRUE(
        control<FrameImage>(alice->w(), "favs")->pictureFile().endsWith("/fav_icon_on.png"));
}

TEST_F(Contacts, HostileDirectoryLinesAreListedButNeverOpened)
{
    addUser("..", "eng/");
    addUser("a/b", "eng/");
    addUser("../x", "eng/");
    reload();
    TNetwork* w = alice->w();
    ASSERT_GE(row(".."), 0);
    ASSERT_GE(row("a/b"), 0);
    ASSERT_GE(row("../x"), 0);
    open("Bob");
    ASSERT_EQ(w->directory().sendbutHint(), "Bob");
    PhraseTable eng;
    eng.rebuild("eng/");

    const QStringList local = snapshot(root.path());
    const QStringList remote = snapshot(server->tree(""));
    for (const char* name : {"..", "a/b", "../x"}) {
        open(QString::fromLatin1(name));
        EXPECT_EQ(w->directory().sendbutHint(), "Bob") << name;
        EXPECT_EQ(textOf(w, "user2name"), "Bob") << name;
        EXPECT_TRUE(hidden(w, "LMDSimpleLabel2")) << name;
        // Bob stays open, and so do his notice phrases.
        EXPECT_EQ(w->contacts().peerPhrases().size(), eng.size()) << name;
        EXPECT_EQ(w->contacts().peerPhrases().phrase(0), eng.phrase(0)) << name;
    }
    EXPECT_EQ(snapshot(root.path()), local);
    EXPECT_EQ(snapshot(server->tree("")), remote);
}

TEST_F(Contacts, ThePopupOpensItsSenderByTheTrimmedName)
{
    addUser("Carol", "eng/");
    // The popup announces news, so the conversation is there to open.
    stringlist::save(users("Alice/Bob.ms"), {"Bob     1 :", "hello", ""});
    reload();
    TNetwork* w = alice->w();
    const int at = row("Bob");
    alice->markUnread(at);
    w->contacts().showUsers();
    w->openPopupSender("  Bob ", false);
    settleAll();
    EXPECT_EQ(alice->state().correspondent().name, "Bob");
    EXPECT_EQ(w->directory().sendbutHint(), "Bob");
    EXPECT_EQ(w->directory().selectedPeer(), "Bob");
    EXPECT_EQ(w->directory().selected(), at);
    EXPECT_FALSE(userentry::isMarked(w->directory().users().at(at)));
    EXPECT_EQ(textOf(w, "user2name"), "Bob");
    EXPECT_FALSE(hidden(w, "chat"));
    EXPECT_EQ(w->conversation().chatLines().value(1), "hello");
}

TEST_F(Contacts, ACorrespondentWhoseFolderIsGoneCannotBeWrittenTo)
{
    // Carol is still listed, but her folder went away with her account.
    addUser("Carol", "eng/");
    QDir(users("Carol")).removeRecursively();
    stringlist::save(users("Alice/Carol.ms"), {"Carol     1 :", "our history", ""});
    stringlist::save(users("Alice/Bob.ms"), {"Bob     1 :", "hello", ""});
    reload();
    open("Bob");
    TNetwork* w = alice->w();
    ASSERT_FALSE(hidden(w, "chat"));

    open("Carol");
    for (const char* c : {"chat", "msg", "sendbut", "LMDButton2"})
        EXPECT_TRUE(hidden(w, c)) << c;
    EXPECT_EQ(linesOf(users("Alice/Carol.ms")), QStringList({"Carol     1 :", "our history", ""}));
    EXPECT_EQ(linesOf(users("Alice/Bob.ms")), QStringList({"Bob     1 :", "hello", ""}));
    EXPECT_TRUE(hidden(w, "LMDSimpleLabel2"));
}

TEST_F(Contacts, ThePopupShowsItsSendersOwnAvatar)
{
    addUser("Carol", "eng/");
    QImage carol(16, 16, QImage::Format_RGB32);
    carol.fill(Qt::green);
    carol.save(users("Carol/ava.png"));
    reload();
    // Opening Bob leaves the main connection open in Alice's own folder.
    open("Bob");
    TNetwork* w = alice->w();
    w->openPopupSender("Carol", false);
    settleAll();
    EXPECT_EQ(textOf(w, "user2name"), "Carol");
    EXPECT_EQ(control<FrameImage>(w, "user2")->picture().size(), QSize(16, 16));
}

TEST_F(Contacts, ShowingTheWindowReadsTheOpenCorrespondentsMark)
{
    reload();
    open("Bob");
    TNetwork* w = alice->w();
    const int at = row("Bob");
    // A message arrived while the window was hidden.
    alice->markUnread(at);
    w->contacts().showUsers();
    w->show();
    const bool flashing = running(w, "high");
    alice->stopTimers();
    EXPECT_TRUE(flashing);
    EXPECT_FALSE(userentry::isMarked(w->directory().users().at(at)));
    EXPECT_EQ(control<QTreeWidget>(w, "users")->topLevelItem(at)->text(0), "");
}
