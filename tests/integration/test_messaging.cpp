#include "core/Conversation.h"
#include "core/uLocal.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

QStringList phrases(const char* code)
{
    PhraseTable t;
    t.rebuild(QString::fromLatin1(code));
    QStringList list;
    for (int i = 0; i < t.size(); ++i)
        list.append(t.phrase(i));
    return list;
}

class MessagingTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server->write(QStringLiteral("netwrk/users/Me/Zoe.ms"), kOld);
        server->write(QStringLiteral("netwrk/users/Zoe/Me.ms"), kOld);
        QDir().mkpath(local.path(QStringLiteral("net/Me")));
        place = {QStringLiteral("/"), QStringLiteral("Me"), local.path(QStringLiteral("net/Me/"))};
        FtpSettings s = server->clientSettings();
        ftp = std::make_unique<FtpClient>(s);
        ftp->connect();
    }

    QByteArray onServer(const char* relative) const
    {
        return server->read(QStringLiteral("netwrk/users/") + QString::fromLatin1(relative));
    }

    QString header() const { return conversation::headerLine(QStringLiteral("Me"), now); }

    static constexpr const char* kOld = "Zoe     01.01.2026     10:00:00 :\r\nHi";
    const QDateTime now{QDate(2026, 3, 7), QTime(14, 5, 7)};
    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> ftp;
    TempTree local;
    messaging::Place place;
    int waits = 0;
    directory::Wait counting = [this](int) { ++waits; };
};

} // namespace

TEST_F(MessagingTest, AMessageLandsInTheSeenCopyAndBothServerCopies)
{
    ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    QStringList userslist;
    QStringList chat = conversation::decode(kOld);
    ASSERT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "Hello\nthere",
                                     header(), nullptr, counting),
              messaging::Sent::Sent);
    EXPECT_EQ(chat, (QStringList{header(), "Hello", "there", "",
                                 "Zoe     01.01.2026     10:00:00 :", "Hi"}));
    const QByteArray seen = TempTree::read(place.seenFolder + "Zoe.ms");
    EXPECT_EQ(seen, conversation::encode(chat));
    EXPECT_FALSE(seen.endsWith("\r\n"));
    EXPECT_EQ(onServer("Me/Zoe.ms"), seen);
    EXPECT_EQ(onServer("Zoe/Me.ms"), seen);
    EXPECT_EQ(ftp->currentFolder(), QStringLiteral("/netwrk/users/Zoe"));
    EXPECT_EQ(waits, 0);
}

TEST_F(MessagingTest, NothingIsSentWithoutAConversationOrToAnUnsafeName)
{
    ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    QStringList userslist;
    QStringList chat;
    EXPECT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "Ann", "Ann", "x", header()),
              messaging::Sent::NoConversation);
    EXPECT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "..", "..", "x", header()),
              messaging::Sent::Refused);
    EXPECT_TRUE(chat.isEmpty());
}

TEST_F(MessagingTest, OneDroppedFileForARussianReader)
{
    const QString file = local.write(QStringLiteral("docs/отчёт.docx"), "report");
    QDir().mkpath(local.path(QStringLiteral("a folder")));
    ftp->changeFolder(QStringLiteral("/netwrk/users/Zoe"));
    QStringList chat = conversation::decode(kOld);
    messaging::FileSend send;
    send.recipient = QStringLiteral("Zoe");
    send.paths = {file};
    send.phrases = phrases("rus/");
    send.now = now;
    const auto r = messaging::sendFiles(*ftp, place, chat, send, {}, counting);
    EXPECT_EQ(r.uploaded, QStringList{file});
    EXPECT_EQ(onServer("Zoe/Me/otchyot.docx"), "report");

    const QStringList recipient = conversation::decode(onServer("Zoe/Me.ms"));
    ASSERT_GE(recipient.size(), 4);
    EXPECT_TRUE(
        recipient[0].startsWith(QStringLiteral("Me отправляет файл \"отчёт\" (07.03.2026   ")))
        << recipient[0].toStdString();
    EXPECT_EQ(recipient[1], QStringLiteral("...otchyot.docx"));
    EXPECT_EQ(recipient[2], QString());
    const QStringList own = conversation::decode(onServer("Me/Zoe.ms"));
    EXPECT_EQ(own, (QStringList{recipient[0], "", "Zoe     01.01.2026     10:00:00 :", "Hi"}));
    EXPECT_EQ(chat, own);
    EXPECT_EQ(TempTree::read(place.seenFolder + "Zoe.ms"), onServer("Me/Zoe.ms"));
}

TEST_F(MessagingTest, ManyFilesAreCountedFoldersIncluded)
{
    QStringList paths;
    for (int i = 0; i < 4; ++i)
        paths.append(local.write(QStringLiteral("f%1.txt").arg(i), "x"));
    QDir().mkpath(local.path(QStringLiteral("a folder")));
    paths.append(local.path(QStringLiteral("a folder")));
    ftp->changeFolder(QStringLiteral("/netwrk/users/Zoe"));
    QStringList chat;
    messaging::FileSend send;
    send.recipient = QStringLiteral("Zoe");
    send.paths = paths;
    send.phrases = phrases("eng/");
    send.now = now;
    const auto r = messaging::sendFiles(*ftp, place, chat, send, {}, counting);
    EXPECT_EQ(r.uploaded.size(), 4);
    EXPECT_EQ(r.skipped, QStringList{paths.last()});
    // The notice goes on top of the server's copy, not of the empty view.
    ASSERT_EQ(chat.size(), 4);
    EXPECT_TRUE(chat[0].startsWith(QStringLiteral("Me sent 5 files (07.03.2026   ")));
    EXPECT_EQ(chat.mid(1), (QStringList{"", "Zoe     01.01.2026     10:00:00 :", "Hi"}));
    EXPECT_EQ(
        QDir(server->path(QStringLiteral("netwrk/users/Zoe/Me"))).entryList(QDir::Files).size(), 4);
}

TEST_F(MessagingTest, TwoWritersInOnePollPeriodKeepBothMessages)
{
    // Zoe has written since Me's view was loaded: both server copies carry her entry.
    const QByteArray zoes =
        QByteArray("Zoe     07.03.2026     14:00:00 :\r\nAre you there?\r\n\r\n") + kOld;
    server->write(QStringLiteral("netwrk/users/Me/Zoe.ms"), zoes);
    server->write(QStringLiteral("netwrk/users/Zoe/Me.ms"), zoes);
    ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    QStringList userslist;
    QStringList staleView = conversation::decode(kOld);
    ASSERT_EQ(messaging::sendMessage(*ftp, place, userslist, staleView, "Zoe", "Zoe", "Yes",
                                     header(), nullptr, counting),
              messaging::Sent::Sent);
    const QStringList both = conversation::decode(onServer("Me/Zoe.ms"));
    EXPECT_EQ(both.mid(1, 4),
              (QStringList{"Yes", "", "Zoe     07.03.2026     14:00:00 :", "Are you there?"}));
    EXPECT_EQ(onServer("Zoe/Me.ms"), onServer("Me/Zoe.ms"));
    EXPECT_EQ(staleView, both);
}

TEST_F(MessagingTest, AConversationStartedAfterTheLastListingIsFound)
{
    // The listing was taken before Zoe's conversation existed, and the connection was left in
    // another folder by the previous send.
    ftp->changeFolder(QStringLiteral("/netwrk/users/Zoe"));
    QStringList userslist{QStringLiteral("acc.xo")};
    QStringList chat;
    ASSERT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "Hi", header()),
              messaging::Sent::Sent);
    EXPECT_TRUE(userslist.contains(QStringLiteral("Zoe.ms")));
    EXPECT_EQ(conversation::decode(onServer("Zoe/Me.ms")).value(1), QStringLiteral("Hi"));
}

TEST_F(MessagingTest, ARetryAfterTheCorrespondentsCopyFailedWritesTheMessageOnce)
{
    // Zoe's folder refuses the upload: a folder stands where her copy would go.
    QFile::remove(server->path(QStringLiteral("netwrk/users/Zoe/Me.ms")));
    server->makeFolder(QStringLiteral("netwrk/users/Zoe/Me.ms"));
    ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    QStringList userslist;
    QStringList chat;
    QString failure;
    const QString h = header();
    ASSERT_EQ(
        messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "Once", h, &failure),
        messaging::Sent::PeerCopyFailed);
    EXPECT_FALSE(failure.isEmpty());
    EXPECT_EQ(conversation::decode(onServer("Me/Zoe.ms")).mid(0, 2), (QStringList{h, "Once"}));

    // The way is clear again; the same entry is sent again.
    QDir(server->path(QStringLiteral("netwrk/users/Zoe/Me.ms"))).removeRecursively();
    server->write(QStringLiteral("netwrk/users/Zoe/Me.ms"), kOld);
    ASSERT_EQ(
        messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "Once", h, &failure),
        messaging::Sent::Sent);
    for (const char* copy : {"Me/Zoe.ms", "Zoe/Me.ms"}) {
        const QStringList lines = conversation::decode(onServer(copy));
        EXPECT_EQ(lines.count(h), 1) << copy;
        EXPECT_EQ(lines, (QStringList{h, "Once", "", "Zoe     01.01.2026     10:00:00 :", "Hi"}))
            << copy;
    }
    // Typed characters the code page lacks are stored as "?" and still recognised.
    ASSERT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "caf\u00e9 \u2603",
                                     h + "x", &failure),
              messaging::Sent::Sent);
    ASSERT_EQ(messaging::sendMessage(*ftp, place, userslist, chat, "Zoe", "Zoe", "caf\u00e9 \u2603",
                                     h + "x", &failure),
              messaging::Sent::Sent);
    EXPECT_EQ(conversation::decode(onServer("Zoe/Me.ms")).count(h + "x"), 1);
}
