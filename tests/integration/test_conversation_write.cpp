// The conversation's read-modify-write: what a cut copy, a stale base and a second writer can
// no longer do to the history.
#include "core/Conversation.h"
#include "core/Error.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "net/ConversationWrite.h"
#include "net/FtpClient.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <thread>

namespace {

QStringList entries(const QString& who, int from, int count)
{
    QStringList lines;
    for (int k = from; k < from + count; ++k)
        conversation::insertMessage(
            lines, who + "     01.02.2026     10:00:0" + QString::number(k % 10) + " :",
            QStringLiteral("entry %1").arg(k));
    return lines;
}

class ConversationWrite : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        history = conversation::encode(entries("anna", 0, 40));
        server->write("netwrk/users/anna/bob.ms", history);
        server->write("netwrk/users/bob/anna.ms", history);
        local.write("anna/bob.ms", history);
        local.write("bob/anna.ms", history);
    }

    std::unique_ptr<FtpClient> connect() const
    {
        FtpSettings s = server->clientSettings();
        auto ftp = std::make_unique<FtpClient>(s);
        ftp->connect();
        return ftp;
    }

    conversationwrite::Request request(const QString& from, const QString& to,
                                       const QString& message) const
    {
        conversationwrite::Request r;
        r.serverRoot = "/";
        r.sender = from;
        r.recipient = to;
        r.seenPath = local.path(from + "/" + to + ".ms");
        r.entry = {from + "     01.02.2026     12:00:00 :", message};
        r.memo = &memo;
        return r;
    }

    std::unique_ptr<FtpServerFixture> server;
    QByteArray history;
    TempTree local;
    mutable conversationwrite::Memo memo;
};

TEST_F(ConversationWrite, TwoWritersAtOnceKeepBothMessagesInBothCopies)
{
    for (int trial = 0; trial < 5; ++trial) {
        auto a = connect();
        auto b = connect();
        std::thread other([&] {
            conversationwrite::write(*b, request("bob", "anna", QString("bob %1").arg(trial)));
        });
        conversationwrite::write(*a, request("anna", "bob", QString("anna %1").arg(trial)));
        other.join();
    }
    for (const QString copy : {"netwrk/users/anna/bob.ms", "netwrk/users/bob/anna.ms"}) {
        const QByteArray text = server->read(copy);
        for (int trial = 0; trial < 5; ++trial) {
            EXPECT_EQ(text.count(QString("anna %1\r\n").arg(trial).toLatin1()), 1)
                << copy.toStdString();
            EXPECT_EQ(text.count(QString("bob %1\r\n").arg(trial).toLatin1()), 1)
                << copy.toStdString();
        }
        EXPECT_TRUE(text.endsWith(history)) << copy.toStdString();
    }
}

TEST_F(ConversationWrite, ACutCopyIsNeverTheBaseOfTheNextWrite)
{
    // A writer killed during its upload left anna's copy cut; bob's is whole.
    server->write("netwrk/users/anna/bob.ms", history.left(history.size() / 3));
    auto a = connect();
    const auto result = conversationwrite::write(*a, request("anna", "bob", "after the cut"));
    EXPECT_EQ(result.repaired.size(), 1);
    for (const QString copy : {"netwrk/users/anna/bob.ms", "netwrk/users/bob/anna.ms"}) {
        const QByteArray text = server->read(copy);
        EXPECT_TRUE(text.startsWith("anna     01.02.2026     12:00:00 :\r\nafter the cut\r\n\r\n"));
        EXPECT_TRUE(text.endsWith(history)) << copy.toStdString();
    }
    EXPECT_EQ(TempTree::read(local.path("anna/bob.ms")), server->read("netwrk/users/anna/bob.ms"));

    // Both damaged, one of them with an entry the SeenCopy has not seen yet: rebuilt on the
    // SeenCopy with that entry kept.
    QStringList newer = entries("anna", 0, 40);
    conversation::insertMessage(newer, "bob     01.02.2026     12:30:00 :", "unseen");
    const QByteArray cut = conversation::encode(newer).left(history.size() / 2);
    server->write("netwrk/users/anna/bob.ms", cut);
    server->write("netwrk/users/bob/anna.ms", "");
    local.write("anna/bob.ms", history);
    const auto rebuilt = conversationwrite::write(*a, request("anna", "bob", "repaired"));
    EXPECT_EQ(rebuilt.repaired.size(), 2);
    const QByteArray text = server->read("netwrk/users/bob/anna.ms");
    EXPECT_TRUE(text.contains("unseen"));
    EXPECT_TRUE(text.contains("repaired"));
    EXPECT_TRUE(text.endsWith(history));
}

TEST_F(ConversationWrite, JunkIsNeverTheBaseEvenWithoutASeenCopy)
{
    // A new computer: nothing seen yet. Someone with the shared login put a picture in place of
    // anna's copy; bob's copy is whole.
    QFile::remove(local.path("anna/bob.ms"));
    server->write("netwrk/users/anna/bob.ms", QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    auto a = connect();
    conversationwrite::write(*a, request("anna", "bob", "still here"));
    for (const QString copy : {"netwrk/users/anna/bob.ms", "netwrk/users/bob/anna.ms"}) {
        const QByteArray text = server->read(copy);
        EXPECT_TRUE(text.contains("still here")) << copy.toStdString();
        EXPECT_TRUE(text.endsWith(history)) << copy.toStdString();
    }
}

TEST_F(ConversationWrite, TheSeenCopyFollowsTheOwnCopyWhenTheOtherCannotBeWritten)
{
    auto a = connect();
    // No folder for carl: the recipient's copy cannot be written.
    auto r = request("anna", "carl", "never arrives");
    server->write("netwrk/users/anna/carl.ms", history);
    local.write("anna/carl.ms", history);
    const auto result = conversationwrite::write(*a, r);
    EXPECT_FALSE(result.peerCopyFailure.isEmpty());
    // The own copy took the message before the other failed, and the SeenCopy follows it so
    // that the next poll does not announce it.
    EXPECT_EQ(TempTree::read(local.path("anna/carl.ms")),
              server->read("netwrk/users/anna/carl.ms"));
    EXPECT_TRUE(a->listNames().filter("}").isEmpty());
}

} // namespace

TEST_F(ConversationWrite, ACopyBeyondTheSizeLimitIsRefusedNotRebuilt)
{
    // One byte over the limit: refused before it is read, and neither copy is touched.
    QByteArray huge = history;
    huge.prepend(QByteArray(limits::kMaxConversationBytes - 1 - huge.size(), 'x') + "\r\n");
    server->write("netwrk/users/anna/bob.ms", huge);
    auto a = connect();
    EXPECT_THROW(conversationwrite::write(*a, request("anna", "bob", "hello")), Error);
    EXPECT_EQ(QFileInfo(server->path("netwrk/users/anna/bob.ms")).size(), huge.size());
    EXPECT_EQ(server->read("netwrk/users/bob/anna.ms"), history);
}
