// The account's upkeep against a real server: profile, deletion, rename and picture, and each
// directory writer racing another client's registration.
#include "core/StringList.h"
#include "net/AccountService.h"
#include "net/AccountUpkeep.h"
#include "net/FtpClient.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <thread>

using namespace upkeep;

namespace {

constexpr auto kLineup = "netwrk/users/lineup.xo";

class AccountUpkeep : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server->write(kLineup, "}Ann}Oslo}Fish}.png}eng/\r\n"
                               "}Annette}Rome}Wine}.jpg}eng/\r\n"
                               "}Zoe}Paris}Art}.png}rus/\r\n");
        for (const char* who : {"Ann", "Annette", "Zoe"}) {
            server->write(QStringLiteral("netwrk/users/%1/acc.xo").arg(who), "pw\r\n");
            server->write(QStringLiteral("netwrk/users/%1/myacc.xo").arg(who),
                          "\r\nautologin\r\n\r\n.png\r\n");
        }
        for (const char* folder : {"user", "temp", "user2", "temp2"})
            QDir().mkpath(local.path(folder));
    }

    std::unique_ptr<FtpClient> connection()
    {
        auto ftp = std::make_unique<FtpClient>(server->clientSettings());
        ftp->connect();
        ftp->changeFolder(QStringLiteral("/netwrk/users/"));
        return ftp;
    }

    QString copy(const char* folder = "temp") const
    {
        return local.path(folder) + QStringLiteral("/lnplk.xo");
    }

    QStringList lineup() const { return stringlist::decode(server->read(kLineup)); }
    bool onServer(const QString& relative) const
    {
        return QFileInfo::exists(server->path(QStringLiteral("netwrk/users/") + relative));
    }

    // Another client registers `name` on its own connection and folders.
    void registerElsewhere(const QString& name)
    {
        auto ftp = connection();
        accounts::Paths paths{local.path("user2/"), local.path("temp2/"),
                              local.write("avax.png", "PNG")};
        store::AccountRecord mem;
        const auto r = accounts::signInOrRegister(*ftp, paths, name, "pw", mem, "AA-BB", "eng/");
        ASSERT_EQ(r.outcome, accounts::Outcome::Registered);
    }

    std::unique_ptr<FtpServerFixture> server;
    TempTree local;
};

} // namespace

TEST_F(AccountUpkeep, AProfileRewritesOnlyTheUsersOwnLinesAsTyped)
{
    // A name on two lines gets both; a longer name that begins with it is another user.
    server->write(kLineup, server->read(kLineup) + "}Ann}}}.png}eng/\r\n");
    auto ftp = connection();
    const ProfileSaved saved = saveProfile(*ftp, copy(), "Ann", "  St Ives ", "Tea");
    EXPECT_TRUE(saved.listed);
    EXPECT_EQ(lineup(),
              QStringList({"}Ann}  St Ives }Tea}.png}eng/", "}Annette}Rome}Wine}.jpg}eng/",
                           "}Zoe}Paris}Art}.png}rus/", "}Ann}  St Ives }Tea}.png}eng/"}));
    EXPECT_EQ(saved.directory, lineup());

    // Empty boxes clear the fields; an unlisted name uploads nothing.
    saveProfile(*ftp, copy(), "Ann", "", "");
    EXPECT_EQ(lineup().first(), QStringLiteral("}Ann}}}.png}eng/"));
    const QByteArray before = server->read(kLineup);
    EXPECT_FALSE(saveProfile(*ftp, copy(), "Nobody", "X", "Y").listed);
    EXPECT_EQ(server->read(kLineup), before);
}

TEST_F(AccountUpkeep, DirectoryWritersRacingARegistrationLoseNoLine)
{
    for (int trial = 0; trial < 4; ++trial) {
        const QString newcomer = QStringLiteral("New%1").arg(trial);
        const QString region = QStringLiteral("Region %1").arg(trial);
        auto ftp = connection();
        std::thread other([&] { registerElsewhere(newcomer); });
        saveProfile(*ftp, copy(), "Zoe", region, "Art");
        other.join();
        const QStringList now = lineup();
        EXPECT_GE(accounts::findUser(now, newcomer), 0) << trial;
        EXPECT_TRUE(now.contains("}Zoe}" + region + "}Art}.png}rus/")) << trial;
    }
    // A rename at the same time as a registration.
    auto ftp = connection();
    std::thread other([&] { registerElsewhere("Late"); });
    const Rename renamed = renameAccount(*ftp, copy(), "Ann", "Anya");
    other.join();
    EXPECT_EQ(renamed.outcome, Renamed::Renamed);
    const QStringList now = lineup();
    EXPECT_GE(accounts::findUser(now, "Late"), 0);
    EXPECT_GE(accounts::findUser(now, "Anya"), 0);
    EXPECT_LT(accounts::findUser(now, "Ann"), 0);
    EXPECT_EQ(now.size(), 3 + 4 + 1);
}

TEST_F(AccountUpkeep, DeletionRemovesTheWholeFolderAndOnlyTheOwnLine)
{
    server->write("netwrk/users/Ann/Zoe.ms", "hello\r\n");
    server->write("netwrk/users/Ann/ava.png", "PNG");
    server->write("netwrk/users/Ann/Zoe/sent.txt", "file");
    server->write("netwrk/users/Ann/Zoe/deeper/more.bin", "file");
    // Hidden files go too, and a folder with a dot in its name is still a folder.
    server->write("netwrk/users/Ann/.hidden", "");
    server->write("netwrk/users/Ann/v1.0/x", "");
    server->write("netwrk/users/Zoe/Ann.ms", "hello\r\n");
    server->write("netwrk/users/Zoe/Ann/sent.txt", "file");
    auto ftp = connection();
    const Deletion d = deleteAccount(*ftp, copy(), "Ann");
    EXPECT_TRUE(d.folderRemoved);
    EXPECT_TRUE(d.lineRemoved);
    EXPECT_TRUE(d.remaining.isEmpty()) << d.remaining.join(", ").toStdString();
    EXPECT_FALSE(onServer("Ann"));
    EXPECT_EQ(lineup(), QStringList({"}Annette}Rome}Wine}.jpg}eng/", "}Zoe}Paris}Art}.png}rus/"}));
    EXPECT_TRUE(onServer("Zoe/Ann.ms"));
    EXPECT_TRUE(onServer("Zoe/Ann/sent.txt"));
    EXPECT_TRUE(onServer("Annette/acc.xo"));
}

TEST_F(AccountUpkeep, ADeletionStoppedPartWayTellsWhatRemainsAndKeepsTheLine)
{
    server->write("netwrk/users/Ann/Zoe/kept.txt", "file");
    server->write("netwrk/users/Ann/Zoe.ms", "hello\r\n");
    server->refuseDeletes({"kept.txt"});
    auto ftp = connection();
    const Deletion d = deleteAccount(*ftp, copy(), "Ann");
    EXPECT_FALSE(d.folderRemoved);
    EXPECT_FALSE(d.lineRemoved);
    EXPECT_EQ(d.remaining, QStringList({"Ann/Zoe/kept.txt"}));
    EXPECT_TRUE(onServer("Ann/Zoe/kept.txt"));
    EXPECT_FALSE(onServer("Ann/Zoe.ms"));
    EXPECT_EQ(lineup().size(), 3);

    // Once the server lets go, deleting again finishes it.
    server->refuseDeletes({});
    const Deletion again = deleteAccount(*ftp, copy(), "Ann");
    EXPECT_TRUE(again.folderRemoved && again.lineRemoved);
    EXPECT_EQ(lineup().size(), 2);
}

TEST_F(AccountUpkeep, RenameTakesAFreeNameWithTheChecksOfARegistration)
{
    auto ftp = connection();
    // Taken by a line, by a folder without a line, or not a name at all: nothing changes.
    server->makeFolder("netwrk/users/Ghost");
    const QByteArray before = server->read(kLineup);
    EXPECT_EQ(renameAccount(*ftp, copy(), "Ann", "Zoe").outcome, Renamed::Taken);
    EXPECT_EQ(renameAccount(*ftp, copy(), "Ann", "Ghost").outcome, Renamed::Taken);
    for (const QString& bad : QStringList{"a/b", "..", "", "Ann*", QString::fromUtf8("Ann\u263A")})
        EXPECT_EQ(renameAccount(*ftp, copy(), "Ann", bad).outcome, Renamed::RefusedName)
            << bad.toStdString();
    EXPECT_EQ(server->read(kLineup), before);
    EXPECT_TRUE(onServer("Ann/acc.xo"));

    const Rename r = renameAccount(*ftp, copy(), "Ann", "Bea");
    ASSERT_EQ(r.outcome, Renamed::Renamed);
    EXPECT_FALSE(onServer("Ann"));
    EXPECT_TRUE(onServer("Bea/acc.xo"));
    // Sorted again, fields kept.
    EXPECT_EQ(lineup(), QStringList({"}Annette}Rome}Wine}.jpg}eng/", "}Bea}Oslo}Fish}.png}eng/",
                                     "}Zoe}Paris}Art}.png}rus/"}));
    EXPECT_EQ(r.directory, lineup());
}

TEST_F(AccountUpkeep, ARenameWhoseDirectoryCannotBeWrittenPutsTheFolderBack)
{
    server->refuseUploads({"lineup.xo"});
    auto ftp = connection();
    const QByteArray before = server->read(kLineup);
    const Rename r = renameAccount(*ftp, copy(), "Ann", "Bea");
    EXPECT_EQ(r.outcome, Renamed::RolledBack);
    EXPECT_FALSE(r.failure.isEmpty());
    EXPECT_TRUE(onServer("Ann/acc.xo"));
    EXPECT_FALSE(onServer("Bea"));
    EXPECT_EQ(server->read(kLineup), before);
    // The lock was given back: the next writer is not kept waiting.
    server->refuseUploads({});
    EXPECT_EQ(renameAccount(*ftp, copy(), "Ann", "Bea").outcome, Renamed::Renamed);
}

TEST_F(AccountUpkeep, APictureGoesUpBeforeTheRecordThatNamesIt)
{
    const QString picture = local.write("picked.JPG", "JPEG bytes");
    const QString record = local.write("acc.xo", "Ann\r\nautologin\r\nAA-BB\r\n.JPG\r\n");
    auto ftp = connection();
    ftp->changeFolder("Ann");
    changeAvatar(*ftp, picture, ".JPG", record, "AA-BB");
    EXPECT_EQ(server->read("netwrk/users/Ann/ava.JPG"), "JPEG bytes");
    EXPECT_EQ(server->read("netwrk/users/Ann/myacc.xo"), "Ann\r\nautologin\r\nAA-BB\r\n.JPG\r\n");
    EXPECT_EQ(server->read("netwrk/users/Ann/AA-BB"), server->read("netwrk/users/Ann/myacc.xo"));

    // A refused picture leaves the record naming the old one.
    server->refuseUploads({"ava.png"});
    const QString png = local.write("next.png", "PNG bytes");
    const QString record2 = local.write("acc2.xo", "Ann\r\nautologin\r\nAA-BB\r\n.png\r\n");
    EXPECT_THROW(changeAvatar(*ftp, png, ".png", record2, "AA-BB"), Error);
    EXPECT_EQ(server->read("netwrk/users/Ann/myacc.xo"), "Ann\r\nautologin\r\nAA-BB\r\n.JPG\r\n");
}
