// Files dropped while they cannot go up: which wait, for whom, and what the window says.
#include "core/PendingDrop.h"
#include "core/uLocal.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

using Verdict = PendingDrop::Verdict;

const PendingDrop::Conditions kOnline{QStringLiteral("Alice"), true};
const PendingDrop::Conditions kServerDown{QStringLiteral("Alice"), false};
const PendingDrop::Conditions kNobody{QString(), true};

PendingDrop::Files files(const char* recipient, const QStringList& paths,
                         const char* sender = "Alice")
{
    return {QString::fromLatin1(sender), QString::fromLatin1(recipient), paths};
}

StringTable table(const char* code)
{
    StringTable t;
    t.build(QString::fromLatin1(code));
    return t;
}

} // namespace

TEST(PendingDrop, OnlyASignedInUserWithTheServerUpSendsAtOnce)
{
    EXPECT_EQ(PendingDrop::decide(kOnline), Verdict::Send);
    EXPECT_EQ(PendingDrop::decide(kServerDown), Verdict::Wait);
    EXPECT_EQ(PendingDrop::decide(kNobody), Verdict::SignInFirst);
    EXPECT_EQ(PendingDrop::decide({QString(), false}), Verdict::SignInFirst);

    // Only a wait keeps anything: a sent drop is the sender's business, and nobody signed in
    // means nobody to send as later either.
    PendingDrop pending;
    EXPECT_EQ(pending.offer(files("Bob", {"/d/a"}), kOnline), Verdict::Send);
    EXPECT_EQ(pending.offer(files("Bob", {"/d/a"}, ""), kNobody), Verdict::SignInFirst);
    EXPECT_FALSE(pending.waiting());
    EXPECT_EQ(pending.offer(files("Bob", {"/d/a"}), kServerDown), Verdict::Wait);
    EXPECT_TRUE(pending.waiting());
}

TEST(PendingDrop, WaitingFilesGoOnceTheServerIsBackEachOnceAndForTheirRecipient)
{
    PendingDrop pending;
    pending.offer(files("Bob", {"/d/a", "/d/b"}), kServerDown);
    pending.offer(files("Bob", {"/d/b", "/d/c"}), kServerDown);
    pending.offer(files("Carol", {"/d/a"}), kServerDown);
    EXPECT_EQ(pending.fileCount(), 4);

    EXPECT_TRUE(pending.release(kServerDown).isEmpty());
    EXPECT_TRUE(pending.release({QString(), false}).isEmpty());
    EXPECT_EQ(pending.fileCount(), 4) << "still away: nothing is lost";

    const QList<PendingDrop::Files> ready = pending.release(kOnline);
    ASSERT_EQ(ready.size(), 2);
    EXPECT_EQ(ready.at(0).recipient, "Bob");
    EXPECT_EQ(ready.at(0).paths, QStringList({"/d/a", "/d/b", "/d/c"}));
    EXPECT_EQ(ready.at(1).recipient, "Carol");
    EXPECT_EQ(ready.at(1).paths, QStringList{"/d/a"});
    EXPECT_FALSE(pending.waiting());
    EXPECT_TRUE(pending.release(kOnline).isEmpty()) << "released once";

    // A send that found the server gone again puts its files back.
    pending.putBack(ready.at(0));
    EXPECT_EQ(pending.fileCount(), 3);
    pending.putBack(files("Dan", {}));
    EXPECT_EQ(pending.files().size(), 1) << "an empty drop waits for nothing";
}

TEST(PendingDrop, FilesNeverGoUpUnderAnotherUsersNameAndCancelForgetsThem)
{
    PendingDrop pending;
    pending.offer(files("Bob", {"/d/a"}), kServerDown);
    // Signed out meanwhile: they wait, the same user may sign in again.
    EXPECT_TRUE(pending.release(kNobody).isEmpty());
    EXPECT_TRUE(pending.waiting());
    EXPECT_TRUE(pending.release({QStringLiteral("Mallory"), true}).isEmpty());
    EXPECT_FALSE(pending.waiting());

    pending.offer(files("Bob", {"/d/a"}), kServerDown);
    pending.cancel();
    EXPECT_FALSE(pending.waiting());
    EXPECT_TRUE(pending.release(kOnline).isEmpty());
}

TEST(PendingDrop, TheWindowSaysWhyInTheUsersLanguage)
{
    const StringTable eng = table("eng/");
    const StringTable rus = table("rus/");
    PendingDrop pending;
    EXPECT_EQ(pending.waitingText(eng), QString());
    pending.offer(files("Bob", {"/d/a", "/d/b"}), kServerDown);
    EXPECT_EQ(pending.waitingText(eng), "Waiting for the server (files: 2)\nClick here to cancel");
    EXPECT_EQ(pending.waitingText(rus),
              QString::fromUtf8("Ожидание сервера (файлов: 2)\nЩёлкните здесь, чтобы отменить"));
    EXPECT_EQ(PendingDrop::reason(Verdict::SignInFirst, 1, eng), "Sign in to send files");
    EXPECT_EQ(PendingDrop::reason(Verdict::SignInFirst, 1, rus),
              QString::fromUtf8("Войдите, чтобы отправить файлы"));
    EXPECT_EQ(PendingDrop::reason(Verdict::Send, 1, eng), QString());
}

TEST(PendingDrop, FilesThatDidNotGoUpAreListedUnderNotSent)
{
    const StringTable eng = table("eng/");
    EXPECT_EQ(PendingDrop::notSentText({}, eng), QString()) << "nothing to report";
    EXPECT_EQ(PendingDrop::notSentText({"b.txt: 550 Refused", "c.txt: 552 Full"}, eng),
              "Not sent:\nb.txt: 550 Refused\nc.txt: 552 Full");
    EXPECT_EQ(PendingDrop::notSentText({"b.txt: 550"}, table("rus/")),
              QString::fromUtf8("Не отправлено:\nb.txt: 550"));
}
