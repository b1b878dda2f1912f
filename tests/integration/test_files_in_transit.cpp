// Files in transit arrive whole or not at all: uploads under a temporary name, receivers that
// take only what is complete, and failures that are reported instead of announced.
#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "net/FtpClient.h"
#include "net/Messaging.h"
#include "net/ReceivedFiles.h"
#include "net/ServerFile.h"
#include "support/FaultyFtpServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <utime.h>

namespace {

const QString kNotice = QStringLiteral("anna sent \"old\" (01.03.2026   10:00:00)");

class FilesInTransit : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FaultyFtpServer::start();
        const QByteArray history = conversation::encode({kNotice});
        server->write("netwrk/users/anna/bob.ms", history);
        server->write("netwrk/users/bob/anna.ms", history);
        local.write("anna/seen/bob.ms", history);
        QDir().mkpath(local.path("bob/Network"));
        QByteArray bytes(2 * 1024 * 1024, '\0');
        for (qsizetype i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<char>(i * 7 % 251);
        file = local.write("anna/report.bin", bytes);
        content = bytes;
    }

    std::unique_ptr<FtpClient> connect() const
    {
        auto ftp = std::make_unique<FtpClient>(server->clientSettings());
        ftp->connect();
        return ftp;
    }

    // Anna's send of `paths` to bob, as the main window makes it.
    messaging::FileSendResult send(FtpClient& ftp, const QStringList& paths,
                                   bool ignoreFailures = true) const
    {
        messaging::Place place;
        place.serverRoot = "/";
        place.sessionUser = "anna";
        place.seenFolder = local.path("anna/seen/");
        messaging::FileSend s;
        s.recipient = "bob";
        s.paths = paths;
        s.phrases = conversation::fallbackPhrases();
        s.ignoreFailures = ignoreFailures;
        s.now = QDateTime::currentDateTime();
        ftp.changeFolder("/netwrk/users/bob");
        QStringList chat;
        return messaging::sendFiles(ftp, place, chat, s);
    }

    // Bob's fetch, with the memory his poll keeps between cycles.
    received::FetchResult fetch(FtpClient& ftp, int settleMs = 300)
    {
        ftp.changeFolder("/netwrk/users/bob");
        received::Settling settling;
        settling.previous = &bobsMemory;
        settling.settleMs = settleMs;
        return received::fetch(ftp, "anna", local.path("bob/Network/"), {}, {}, settling);
    }

    QStringList notices() const
    {
        QStringList found;
        for (const QStringList& e : conversation::splitEntries(
                 conversation::decode(server->read("netwrk/users/bob/anna.ms"))))
            if (e.first() != kNotice)
                found.append(e.first());
        return found;
    }

    QStringList waitingOnServer() const
    {
        return QDir(server->path("netwrk/users/bob/anna")).entryList(QDir::Files);
    }

    std::unique_ptr<FaultyFtpServer> server;
    TempTree local;
    QString file;
    QByteArray content;
    QHash<QString, ftplisting::Entry> bobsMemory;
};

TEST_F(FilesInTransit, APollDuringASlowUploadTakesNothingAndTheFileArrivesWhole)
{
    auto anna = connect();
    auto bob = connect();
    server->setRates(0, 200 * 1024); // about ten seconds for the file
    std::thread upload([&] { EXPECT_TRUE(send(*anna, {file}).failures.isEmpty()); });
    // Bob's cycles while it goes up: the part under its temporary name is left alone.
    for (int cycle = 0; cycle < 3; ++cycle) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        const auto got = fetch(*bob);
        EXPECT_TRUE(got.fetched.isEmpty()) << "cycle " << cycle;
    }
    EXPECT_FALSE(QFile::exists(local.path("bob/Network/anna/report.bin")));
    upload.join();
    server->setRates(0, 0);
    EXPECT_EQ(notices().size(), 1);
    const auto got = fetch(*bob);
    EXPECT_EQ(got.fetched, QStringList{"report.bin"});
    EXPECT_EQ(TempTree::read(local.path("bob/Network/anna/report.bin")), content);
    EXPECT_FALSE(QDir(server->path("netwrk/users/bob/anna")).exists());
}

TEST_F(FilesInTransit, AKilledSendersPartIsNeverDeliveredAndItsNextSendRemovesIt)
{
    server->setRates(0, 100 * 1024);
    const pid_t child = ::fork();
    if (child == 0) {
        auto ftp = connect();
        send(*ftp, {file});
        ::_exit(0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2000));
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    server->setRates(0, 0);
    const QStringList left = waitingOnServer();
    ASSERT_EQ(left.size(), 1);
    EXPECT_TRUE(serverfile::isTemporary(left.first()));

    auto bob = connect();
    EXPECT_TRUE(fetch(*bob).fetched.isEmpty());
    EXPECT_FALSE(QFile::exists(local.path("bob/Network/anna/report.bin")));
    EXPECT_TRUE(notices().isEmpty()) << "no notice for what did not go up";

    // Anna's next send to bob, once the part is old enough to be nobody's upload in progress.
    const QString part = server->path("netwrk/users/bob/anna/" + left.first());
    const utimbuf old{::time(nullptr) - 3600, ::time(nullptr) - 3600};
    ASSERT_EQ(::utime(QFile::encodeName(part).constData(), &old), 0);
    auto anna = connect();
    const QString small = local.write("anna/note.txt", "short");
    EXPECT_TRUE(send(*anna, {small}).failures.isEmpty());
    EXPECT_EQ(waitingOnServer(), QStringList{"note.txt"});
}

TEST_F(FilesInTransit, ABrokenUploadIsReportedWithItsNameAndGetsNoNotice)
{
    auto anna = connect();
    server->addRule({.command = "STOR", .name = "report.bin*", .dropAfter = 512 * 1024});
    const QString small = local.write("anna/note.txt", "short");
    const auto result = send(*anna, {file, small});
    ASSERT_EQ(result.failures.size(), 1);
    EXPECT_TRUE(result.failures.first().startsWith("report.bin: "));
    EXPECT_EQ(result.uploaded, QStringList{small});
    EXPECT_EQ(waitingOnServer(), QStringList{"note.txt"}) << "the part was removed";
    // The notice tells of the file that went up, and only of it.
    ASSERT_EQ(notices().size(), 1);
    EXPECT_TRUE(notices().first().contains("note")) << notices().first().toStdString();
    EXPECT_FALSE(notices().first().contains("report"));

    // Every file failing: nothing to announce at all. The drop zone's send says so by failing.
    EXPECT_THROW(send(*anna, {file}, false), FtpError);
    EXPECT_EQ(notices().size(), 1);
}

TEST_F(FilesInTransit, AFileAnotherWriterPutsUnderItsFinalNameIsTakenOnlyWhenItStopsGrowing)
{
    auto bob = connect();
    // Another client of the system writes straight into the final name, slowly.
    const QString path = "netwrk/users/bob/anna/growing.bin";
    server->write(path, content.left(1000));
    std::atomic<bool> writing = true;
    std::thread writer([&] {
        for (qsizetype n = 2000; writing && n <= content.size(); n += 1000) {
            server->write(path, content.left(n));
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    const auto during = fetch(*bob, 500);
    EXPECT_TRUE(during.fetched.isEmpty());
    EXPECT_EQ(during.waiting, QStringList{"growing.bin"});
    writing = false;
    writer.join();
    EXPECT_TRUE(QFile::exists(server->path(path)));
    const QByteArray whole = server->read(path);

    // Unchanged since the last listing: taken at once, whole, and only then deleted.
    const auto after = fetch(*bob, 500);
    EXPECT_EQ(after.fetched, QStringList{"growing.bin"});
    EXPECT_EQ(TempTree::read(local.path("bob/Network/anna/growing.bin")), whole);
}

} // namespace
