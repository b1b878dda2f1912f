#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/AccountService.h"
#include "net/FtpClient.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QDir>

#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace accounts;

namespace {

constexpr auto kAdapter = "52-54-00-AB-0C-FF";

unsigned modeOf(const QString& path)
{
    struct stat st = {};
    ::stat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

class AccountsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Pyftpdlib);
            !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FtpServerFixture::start(FtpServerKind::Pyftpdlib);
        server->makeFolder(QStringLiteral("netwrk/users"));
        server->write(QStringLiteral("netwrk/users/lineup.xo"), "}Zoe}Paris}Art}.png}eng/\r\n");
        QDir().mkpath(local.path(QStringLiteral("user")));
        QDir().mkpath(local.path(QStringLiteral("temp")));
        paths.userDataDir = local.path(QStringLiteral("user/"));
        paths.tempDataDir = local.path(QStringLiteral("temp/"));
        paths.defaultAvatar = local.write(QStringLiteral("avax.png"), "PNG avatar");
    }

    // A fresh connection in the users folder, as the sign-in sequence has it.
    std::unique_ptr<FtpClient> connection()
    {
        FtpSettings s;
        s.host = server->address();
        s.user = server->user();
        s.password = server->password();
        auto ftp = std::make_unique<FtpClient>(s);
        ftp->connect();
        ftp->changeFolder(QStringLiteral("/netwrk/users/"));
        return ftp;
    }

    Result run(const QString& name, const QString& password, store::AccountRecord& mem)
    {
        auto ftp = connection();
        return signInOrRegister(*ftp, paths, name, password, mem, kAdapter, "eng/",
                                [this](int) { ++waits; });
    }

    QString onServer(const QString& relative) const
    {
        return server->path(QStringLiteral("netwrk/users/") + relative);
    }

    std::unique_ptr<FtpServerFixture> server;
    TempTree local;
    Paths paths;
    int waits = 0;
};

} // namespace

TEST(AccountNames, TrimmedTransliteratedAndCheckedForTheTree)
{
    EXPECT_EQ(normalisedName(QStringLiteral("  Щука Ёж \t")), QStringLiteral("Shchuka Yozh"));
    EXPECT_TRUE(registrableName(QStringLiteral("Shchuka Yozh")));
    for (const QString bad : {"", ".", "..", "a/b", "}x", "a{b", "what?", "a\\b", "c:d"})
        EXPECT_FALSE(registrableName(bad)) << bad.toStdString();
}

TEST_F(AccountsTest, RegistrationWritesTheNewFolderAndTheDirectoryLine)
{
    store::AccountRecord mem;
    const Result r = run(QStringLiteral("Ivan"), QStringLiteral("s3cret"), mem);
    ASSERT_EQ(r.outcome, Outcome::Registered);
    EXPECT_EQ(QDir(onServer("Ivan")).entryList(QDir::Files, QDir::Name),
              (QStringList{kAdapter, "acc.xo", "ava.png", "myacc.xo"}));
    EXPECT_EQ(TempTree::read(onServer("Ivan/acc.xo")), "s3cret\r\n");
    EXPECT_EQ(TempTree::read(onServer("Ivan/myacc.xo")),
              QByteArray("Ivan\r\nautologin\r\n") + kAdapter + "\r\n.png\r\n");
    EXPECT_EQ(TempTree::read(onServer("Ivan/ava.png")), "PNG avatar");
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")),
              "}Ivan}}}.png}eng/\r\n}Zoe}Paris}Art}.png}eng/\r\n");
    EXPECT_EQ(modeOf(paths.userDataDir + "acc.xo"), 0600u);
    EXPECT_EQ(modeOf(paths.userDataDir + "acc2.xo"), 0600u);
    EXPECT_EQ(mem.userName, QStringLiteral("Ivan"));
}

TEST_F(AccountsTest, ATakenNameWithAnotherPasswordIsAWrongPassword)
{
    store::AccountRecord mem;
    ASSERT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("first"), mem).outcome,
              Outcome::Registered);
    store::AccountRecord other;
    EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("second"), other).outcome,
              Outcome::WrongPassword);
    EXPECT_FALSE(QFile::exists(paths.userDataDir + "acc2.xo"));
    EXPECT_EQ(TempTree::read(onServer("Ivan/acc.xo")), "first\r\n");
    EXPECT_EQ(stringlist::load(onServer("lineup.xo"))->size(), 2);
}

TEST_F(AccountsTest, SignInTakesTheAvatarTypeAndHonoursTheOption)
{
    store::AccountRecord mem;
    ASSERT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome, Outcome::Registered);
    server->write(QStringLiteral("netwrk/users/Ivan/myacc.xo"),
                  "Ivan\r\nautologin\r\nX\r\n.jpg\r\n");

    store::AccountRecord elsewhere;
    elsewhere.option = QStringLiteral("x");
    const Result r = run(QStringLiteral("Ivan"), QStringLiteral("pw"), elsewhere);
    ASSERT_EQ(r.outcome, Outcome::SignedIn);
    EXPECT_EQ(elsewhere.avatarExtension, QStringLiteral(".jpg"));
    // Another's computer keeps no name, here or on the server.
    EXPECT_EQ(TempTree::read(onServer("Ivan/myacc.xo")),
              QByteArray("\r\nx\r\n") + kAdapter + "\r\n.jpg\r\n");
    EXPECT_EQ(TempTree::read(paths.userDataDir + "acc2.xo"), "pw\r\n");
    EXPECT_EQ(findUser(r.directory, QStringLiteral("Ivan")), 0);
}

TEST_F(AccountsTest, AMissingDirectoryRegistersTheFirstUser)
{
    QFile::remove(onServer("lineup.xo"));
    store::AccountRecord mem;
    EXPECT_EQ(run(QStringLiteral("First"), QStringLiteral("pw"), mem).outcome, Outcome::Registered);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), "}First}}}.png}eng/\r\n");
}

TEST_F(AccountsTest, RefusedNamesWriteNothing)
{
    const QByteArray before = TempTree::read(onServer("lineup.xo"));
    store::AccountRecord mem;
    EXPECT_EQ(run(QStringLiteral("}Evil"), QStringLiteral("pw"), mem).outcome,
              Outcome::RefusedName);
    EXPECT_EQ(run(QStringLiteral(".."), QStringLiteral("pw"), mem).outcome, Outcome::RefusedName);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), before);
    EXPECT_EQ(QDir(onServer("")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
    EXPECT_FALSE(QFile::exists(paths.userDataDir + "acc.xo"));
}

TEST_F(AccountsTest, AWorkingCopyHeldElsewhereStopsRegistration)
{
    const QString copy = local.write(QStringLiteral("temp/lnplk.xo"), "");
    helpers::FileLock held(copy);
    ASSERT_TRUE(held.locked());
    const QByteArray before = TempTree::read(onServer("lineup.xo"));
    store::AccountRecord mem;
    EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome,
              Outcome::DirectoryBusy);
    EXPECT_GE(waits, 2);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), before);
    EXPECT_FALSE(QDir(onServer("Ivan")).exists());
}

TEST_F(AccountsTest, ALostConnectionNeverRegistersOverTheDirectory)
{
    auto ftp = connection();
    server->stop();
    store::AccountRecord mem;
    EXPECT_THROW(signInOrRegister(*ftp, paths, QStringLiteral("Ivan"), QStringLiteral("pw"), mem,
                                  kAdapter, "eng/", [](int) {}),
                 FtpError);
    EXPECT_FALSE(QFile::exists(paths.userDataDir + "acc.xo"));
}
