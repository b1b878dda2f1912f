#include "net/FtpClient.h"
#include "net/ReceivedFiles.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QCryptographicHash>
#include <QDir>

#include <gtest/gtest.h>
#include <sys/resource.h>

class ReceivedFilesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server->makeFolder(QStringLiteral("netwrk/users/Me"));
        QDir().mkpath(local.path(QStringLiteral("Network")));
        networkDir = local.path(QStringLiteral("Network/"));
        FtpSettings s = server->clientSettings();
        ftp = std::make_unique<FtpClient>(s);
        ftp->connect();
        ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    }

    QString waiting(const QString& relative) const
    {
        return QStringLiteral("netwrk/users/Me/") + relative;
    }

    std::unique_ptr<FtpServerFixture> server;
    std::unique_ptr<FtpClient> ftp;
    TempTree local;
    QString networkDir;
};

TEST_F(ReceivedFilesTest, EverythingWaitingFromOneSenderComesDown)
{
    server->write(waiting("Ivan/a.txt"), "A");
    server->write(waiting("Ivan/b.docx"), "B");
    server->write(waiting("Ivan/run.sh"), "#!/bin/sh\n");
    QFile::setPermissions(server->path(waiting("Ivan/run.sh")), QFile::ExeOwner | QFile::ReadOwner);
    server->write(waiting("Zoe/a.txt"), "Z");
    local.write(QStringLiteral("Network/Ivan/a.txt"), "old");
    EXPECT_FALSE(received::hasFiles(networkDir, QStringLiteral("Zoe")));

    int after = 0;
    const auto r =
        received::fetch(*ftp, QStringLiteral("Ivan"), networkDir, [&](const QString&) { ++after; });
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.fetched.size(), 3);
    EXPECT_EQ(after, 3);
    EXPECT_EQ(TempTree::read(networkDir + "Ivan/a.txt"), "A"); // replaces the older one
    EXPECT_EQ(TempTree::read(networkDir + "Ivan/b.docx"), "B");
    EXPECT_FALSE(QFile::permissions(networkDir + "Ivan/run.sh") & QFile::ExeOwner);
    EXPECT_FALSE(QDir(server->path(waiting("Ivan"))).exists());
    EXPECT_TRUE(QFile::exists(server->path(waiting("Zoe/a.txt"))));
    EXPECT_TRUE(received::hasFiles(networkDir, QStringLiteral("Ivan")));
    EXPECT_EQ(ftp->currentFolder(), QStringLiteral("/netwrk/users/Me"));
}

TEST_F(ReceivedFilesTest, NothingWaitingChangesNothing)
{
    const auto r = received::fetch(*ftp, QStringLiteral("Ivan"), networkDir);
    EXPECT_FALSE(r.found);
    EXPECT_FALSE(QDir(networkDir + "Ivan").exists());
    EXPECT_FALSE(received::fetch(*ftp, QStringLiteral(".."), networkDir).found);
}

TEST_F(ReceivedFilesTest, NamesThatWouldLeaveTheFolderStayOnTheServer)
{
    server->write(waiting("Ivan/ok.txt"), "ok");
    // A name with a backslash is legal on the server but would be a path on Windows peers.
    server->write(waiting("Ivan/..\\evil"), "x");
    const auto r = received::fetch(*ftp, QStringLiteral("Ivan"), networkDir);
    EXPECT_EQ(r.fetched, QStringList{"ok.txt"});
    EXPECT_EQ(r.leftThere, QStringList{"..\\evil"});
    EXPECT_TRUE(QFile::exists(server->path(waiting("Ivan/..\\evil"))));
    EXPECT_EQ(QDir(networkDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Ivan"});
}

TEST_F(ReceivedFilesTest, ABrokenFetchLeavesTheRestForLater)
{
    server->write(waiting("Ivan/a.txt"), "A");
    server->write(waiting("Ivan/b.txt"), "B");
    // The local folder cannot take "b.txt": a folder of that name is in the way.
    QDir().mkpath(networkDir + "Ivan/b.txt/inside");
    EXPECT_THROW(received::fetch(*ftp, QStringLiteral("Ivan"), networkDir), Error);
    EXPECT_FALSE(QFile::exists(server->path(waiting("Ivan/a.txt"))));
    EXPECT_TRUE(QFile::exists(server->path(waiting("Ivan/b.txt"))));
}

TEST_F(ReceivedFilesTest, WhatTheServerWillNotServeIsPassedOverAndNothingIsCut)
{
    // A subfolder answers 550 to RETR; an earlier file of the same name must stay whole and
    // the files after it must still arrive.
    server->write(waiting("Ivan/a.txt"), "A");
    server->makeFolder(waiting("Ivan/photos"));
    server->write(waiting("Ivan/photos/p.jpg"), "P");
    server->write(waiting("Ivan/z.txt"), "Z");
    local.write(QStringLiteral("Network/Ivan/photos"), "received last week");
    const auto r = received::fetch(*ftp, QStringLiteral("Ivan"), networkDir);
    EXPECT_EQ(r.fetched, (QStringList{"a.txt", "z.txt"}));
    EXPECT_EQ(r.leftThere, QStringList{"photos"});
    EXPECT_EQ(TempTree::read(networkDir + "Ivan/photos"), "received last week");
    EXPECT_EQ(TempTree::read(networkDir + "Ivan/z.txt"), "Z");
    EXPECT_EQ(QDir(networkDir + "Ivan").entryList(QDir::Files | QDir::Hidden).size(), 3);
    EXPECT_TRUE(QFile::exists(server->path(waiting("Ivan/photos/p.jpg"))));
    EXPECT_EQ(ftp->currentFolder(), QStringLiteral("/netwrk/users/Me"));
}

namespace {

long peakRssKiB()
{
    struct rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

QByteArray sha256Of(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result();
}

} // namespace

TEST_F(ReceivedFilesTest, A200MiBFileArrivesIntactWithoutFillingMemory)
{
    // Written in pieces, so the test itself never holds the file.
    const QString big = local.path(QStringLiteral("big.bin"));
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray piece(1 << 20, '\0');
        for (int i = 0; i < 200; ++i) {
            for (int j = 0; j < piece.size(); j += 4096)
                piece[j] = static_cast<char>(i + j / 4096);
            ASSERT_EQ(f.write(piece), piece.size());
        }
    }
    const QByteArray sent = sha256Of(big);
    const long before = peakRssKiB();

    ftp->changeFolder(QStringLiteral("/netwrk/users/Me"));
    ftp->makeFolder(QStringLiteral("Ivan"));
    ftp->changeFolder(QStringLiteral("Ivan"));
    ftp->upload(big, QStringLiteral("big.bin"));
    ftp->folderUp();
    const auto r = received::fetch(*ftp, QStringLiteral("Ivan"), networkDir);
    ASSERT_EQ(r.fetched, QStringList{"big.bin"});
    EXPECT_EQ(sha256Of(networkDir + "Ivan/big.bin"), sent);
    // Streaming keeps memory flat: far less growth than the file's 200 MiB.
    EXPECT_LT(peakRssKiB() - before, 32 * 1024);
}
