// The quick-send window's server step against a real FTP server: a first message starts both
// copies, a later one goes above the server's copy rather than the one last shown.
#include "core/Conversation.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

namespace {

class QuickSendNet : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server->makeFolder(QStringLiteral("netwrk/users/Me"));
        server->makeFolder(QStringLiteral("netwrk/users/Zoe"));
        server->write(QStringLiteral("netwrk/users/Me/Ann.ms"),
                      "Ann     01.01.2026     09:00:00 :");
        // The SeenCopy folder is made by the send itself.
        place = {QStringLiteral("/"), QStringLiteral("Me"), local.path(QStringLiteral("net/Me/"))};
        FtpSettings s = server->clientSettings();
        ftp = std::make_unique<FtpClient>(s);
        ftp->connect();
        ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    }

    QByteArray onServer(const char* relative) const
    {
        return server->read(QStringLiteral("netwrk/users/") + QString::fromLatin1(relative));
    }
    QByteArray seen() const { return TempTree::read(place.seenFolder + "Zoe.ms"); }
    QString header() const { return conversation::headerLine(QStringLiteral("Me"), now); }

    const QDateTime now{QDate(2026, 3, 7), QTime(14, 5, 7)};
    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> ftp;
    TempTree local;
    messaging::Place place;
};

} // namespace

TEST_F(QuickSendNet, AFirstMessageStartsTheConversationInBothFolders)
{
    const auto sent = messaging::quickSend(*ftp, place, "Zoe", "Привет, Zoe", now);
    ASSERT_EQ(sent.result, messaging::Sent::Sent);
    EXPECT_TRUE(sent.started);
    EXPECT_EQ(sent.chat, (QStringList{header(), "Привет, Zoe"}));
    // Header and text only: no empty line under the first entry, no line end after the last.
    const QByteArray expected = conversation::encode(sent.chat);
    EXPECT_EQ(seen(), expected);
    EXPECT_FALSE(expected.endsWith('\n'));
    EXPECT_TRUE(expected.contains("\xcf\xf0\xe8\xe2\xe5\xf2")); // windows-1251
    EXPECT_EQ(onServer("Me/Zoe.ms"), expected);
    EXPECT_EQ(onServer("Zoe/Me.ms"), expected);
    // The main window's send finds the new conversation in the listing.
    EXPECT_TRUE(sent.listing.contains("Zoe.ms"));
    EXPECT_TRUE(sent.listing.contains("Ann.ms"));
    EXPECT_EQ(ftp->currentFolder(), QStringLiteral("/netwrk/users/Zoe"));
}

TEST_F(QuickSendNet, TheMessageGoesAboveTheServersCopyNotTheStaleSeenCopy)
{
    const QByteArray old = "Me     01.03.2026     10:00:00 :\r\nHi";
    const QByteArray newer = "Zoe     02.03.2026     11:00:00 :\r\nAre you there?\r\n\r\n" + old;
    QDir().mkpath(place.seenFolder);
    local.write("net/Me/Zoe.ms", old);
    server->write(QStringLiteral("netwrk/users/Me/Zoe.ms"), newer);
    server->write(QStringLiteral("netwrk/users/Zoe/Me.ms"), newer);

    const auto sent = messaging::quickSend(*ftp, place, "Zoe", "Yes", now);
    ASSERT_EQ(sent.result, messaging::Sent::Sent);
    EXPECT_FALSE(sent.started);
    const QStringList expected{header(),
                               "Yes",
                               "",
                               "Zoe     02.03.2026     11:00:00 :",
                               "Are you there?",
                               "",
                               "Me     01.03.2026     10:00:00 :",
                               "Hi"};
    EXPECT_EQ(sent.chat, expected);
    EXPECT_EQ(conversation::decode(seen()), expected);
    EXPECT_EQ(onServer("Me/Zoe.ms"), seen());
    EXPECT_EQ(onServer("Zoe/Me.ms"), seen());
    EXPECT_EQ(sent.listing.count("Zoe.ms"), 1);
}

TEST_F(QuickSendNet, AReceivedFilesLineDoesNotEndUpUnderTheNewEntry)
{
    server->write(QStringLiteral("netwrk/users/Me/Zoe.ms"),
                  "Zoe sent file \"a\" (07.03.2026   14:00:00)\r\n...a.txt\r\n\r\nolder");
    const auto sent = messaging::quickSend(*ftp, place, "Zoe", "Thanks", now);
    EXPECT_EQ(sent.chat, (QStringList{header(), "Thanks", "",
                                      "Zoe sent file \"a\" (07.03.2026   14:00:00)", "", "older"}));
    EXPECT_EQ(conversation::decode(onServer("Zoe/Me.ms")), sent.chat);
}

TEST_F(QuickSendNet, AFailedFetchKeepsTheSeenCopyAndSendsNothing)
{
    // Listed under the conversation's name, but not a file the server hands out.
    server->makeFolder(QStringLiteral("netwrk/users/Me/Zoe.ms"));
    server->write(QStringLiteral("netwrk/users/Zoe/Me.ms"), "kept");
    local.write("net/Me/Zoe.ms", "last seen");
    EXPECT_THROW(messaging::quickSend(*ftp, place, "Zoe", "lost?", now), FtpError);
    EXPECT_EQ(seen(), "last seen");
    EXPECT_EQ(QDir(place.seenFolder).entryList(QDir::Files), QStringList{"Zoe.ms"});
    EXPECT_EQ(onServer("Zoe/Me.ms"), "kept");
}

TEST_F(QuickSendNet, ARecipientThatIsNoPlainNameIsRefusedBeforeAnyServerWork)
{
    for (const char* name : {"", "..", "../Zoe", "a\\b"}) {
        const auto sent = messaging::quickSend(*ftp, place, QString::fromUtf8(name), "x", now);
        EXPECT_EQ(sent.result, messaging::Sent::Refused) << name;
    }
    EXPECT_FALSE(QDir(place.seenFolder).exists());
    EXPECT_EQ(ftp->currentFolder(), QStringLiteral("/netwrk/users/Me"));
}
