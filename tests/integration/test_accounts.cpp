#include "core/Helpers.h"
#include "core/StringList.h"
#include "net/AccountService.h"
#include "net/FtpClient.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QThread>

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
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
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
        FtpSettings s = server->clientSettings();
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

    // A second user with a folder, as another client registered them.
    void addUser(const QString& name, const QByteArray& password)
    {
        const QByteArray line = "}" + name.toLatin1() + "}}}.png}eng/\r\n";
        server->write("netwrk/users/lineup.xo", server->read("netwrk/users/lineup.xo") + line);
        server->write("netwrk/users/" + name + "/acc.xo", password + "\r\n");
        server->write("netwrk/users/" + name + "/myacc.xo", "\r\nautologin\r\n\r\n.png\r\n");
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
    EXPECT_EQ(refusedCharacters(QStringLiteral("José"), QStringLiteral("café ☕ é")),
              QStringLiteral("é☕"));
    EXPECT_EQ(refusedCharacters(QStringLiteral("Їжак №1 «x»"), QStringLiteral("?")), QString());
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

// A registration killed at each of its steps: the next attempt with the same name completes it,
// and a whole account never loses its password to a second registration.
TEST_F(AccountsTest, ARegistrationCutOffAtAnyStepIsCompletedByTheNextAttempt)
{
    const QByteArray complete = "}Ivan}}}.png}eng/\r\n}Zoe}Paris}Art}.png}eng/\r\n";
    const auto registersWhole = [&](const char* step) {
        store::AccountRecord mem;
        EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("s3cret"), mem).outcome,
                  Outcome::Registered)
            << step;
        EXPECT_EQ(TempTree::read(onServer("Ivan/acc.xo")), "s3cret\r\n") << step;
        EXPECT_EQ(TempTree::read(onServer("Ivan/ava.png")), "PNG avatar") << step;
        EXPECT_EQ(TempTree::read(onServer("lineup.xo")), complete) << step;
        EXPECT_TRUE(QDir(onServer("")).entryList().filter("}").isEmpty()) << step;
        store::AccountRecord again;
        EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("s3cret"), again).outcome,
                  Outcome::SignedIn)
            << step;
        QDir(onServer("Ivan")).removeRecursively();
        server->write("netwrk/users/lineup.xo", "}Zoe}Paris}Art}.png}eng/\r\n");
    };
    // Killed after making the folder.
    server->makeFolder("netwrk/users/Ivan");
    registersWhole("empty folder");
    // Killed while uploading into it, before the password file.
    server->write("netwrk/users/Ivan/myacc.xo", "\r\nautologin\r\n\r\n.png\r\n");
    server->write("netwrk/users/Ivan/ava.png}new}k1lled", "PN");
    registersWhole("files without the password file");
    // Killed in the earlier order, with the line written before the folder.
    server->write("netwrk/users/lineup.xo", complete);
    registersWhole("a line without a folder");
    // A lock left by a program that was killed while it registered.
    server->makeFolder("netwrk/users/lineup.xo}lock");
    registersWhole("a lock left behind");
}

TEST_F(AccountsTest, AWholeAccountWhoseLineWasLostKeepsItsPassword)
{
    addUser(QStringLiteral("Kim"), "kims");
    server->write("netwrk/users/lineup.xo", "}Zoe}Paris}Art}.png}eng/\r\n"); // the line lost
    store::AccountRecord intruder;
    EXPECT_EQ(run(QStringLiteral("Kim"), QStringLiteral("guess"), intruder).outcome,
              Outcome::WrongPassword);
    EXPECT_EQ(TempTree::read(onServer("Kim/acc.xo")), "kims\r\n");
    EXPECT_EQ(stringlist::load(onServer("lineup.xo"))->size(), 1);
    store::AccountRecord owner;
    EXPECT_EQ(run(QStringLiteral("Kim"), QStringLiteral("kims"), owner).outcome, Outcome::SignedIn);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")),
              "}Kim}}}.png}eng/\r\n}Zoe}Paris}Art}.png}eng/\r\n");
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

TEST_F(AccountsTest, ARefusedDirectoryDownloadIsAFailureNotAnEmptyDirectory)
{
    addUser(QStringLiteral("Ivan"), "pw");
    const QByteArray before = TempTree::read(onServer("lineup.xo"));
    // Servers answer 550 also for a file that another session is writing.
    server->refuseDownloads({"lineup.xo"});
    store::AccountRecord mem;
    EXPECT_THROW(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem), FtpError);
    EXPECT_THROW(run(QStringLiteral("Newcomer"), QStringLiteral("pw"), mem), FtpError);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), before);
    EXPECT_FALSE(QDir(onServer("Newcomer")).exists());

    server->refuseDownloads({});
    EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome, Outcome::SignedIn);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), before);
}

TEST_F(AccountsTest, CharactersOutsideTheCodePageWriteNothing)
{
    addUser(QStringLiteral("Ivan"), "pw");
    const QByteArray before = TempTree::read(onServer("lineup.xo"));
    store::AccountRecord mem;
    EXPECT_EQ(run(QStringLiteral("José"), QStringLiteral("pw"), mem).outcome,
              Outcome::RefusedCharacters);
    EXPECT_EQ(run(QStringLiteral("Nina"), QStringLiteral("café"), mem).outcome,
              Outcome::RefusedCharacters);
    EXPECT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("café"), mem).outcome,
              Outcome::RefusedCharacters);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")), before);
    EXPECT_EQ(QDir(onServer("")).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList{"Ivan"});
    EXPECT_EQ(QDir(paths.userDataDir).entryList(QDir::Files), QStringList());
}

TEST_F(AccountsTest, RegistrationAddsItsLineToTheSortedDirectory)
{
    server->write(QStringLiteral("netwrk/users/lineup.xo"),
                  "}Zoe}Paris}Art}.png}eng/\r\n}adam}}}.png}rus/\r\n");
    store::AccountRecord mem;
    ASSERT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome, Outcome::Registered);
    EXPECT_EQ(TempTree::read(onServer("lineup.xo")),
              "}adam}}}.png}rus/\r\n}Ivan}}}.png}eng/\r\n}Zoe}Paris}Art}.png}eng/\r\n");
}

TEST_F(AccountsTest, LocalAccountFilesAreTheUsersAloneAlsoWhenTheyExisted)
{
    for (const char* name : {"user/acc.xo", "user/acc2.xo"})
        QFile::setPermissions(local.write(name, "old\r\n"), QFile::ReadOwner | QFile::WriteOwner |
                                                                QFile::ReadGroup |
                                                                QFile::ReadOther);
    store::AccountRecord mem;
    ASSERT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome, Outcome::Registered);
    EXPECT_EQ(modeOf(paths.userDataDir + "acc.xo"), 0600u);
    EXPECT_EQ(modeOf(paths.userDataDir + "acc2.xo"), 0600u);
    QFile::setPermissions(paths.userDataDir + "acc2.xo",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther);
    ASSERT_EQ(run(QStringLiteral("Ivan"), QStringLiteral("pw"), mem).outcome, Outcome::SignedIn);
    EXPECT_EQ(modeOf(paths.userDataDir + "acc.xo"), 0600u);
    EXPECT_EQ(modeOf(paths.userDataDir + "acc2.xo"), 0600u);
}

TEST_F(AccountsTest, AReloadSkipsABusyWorkingCopyWithoutWaiting)
{
    const QString copy = local.write(QStringLiteral("temp/lnplk.xo"), "}Zoe}}}.png}eng/\r\n");
    const helpers::FileLock held(copy);
    ASSERT_TRUE(held.locked());
    auto ftp = connection();
    EXPECT_EQ(directory::fetch(
                  *ftp, copy, [this](int) { ++waits; }, directory::OnFailure::Keep),
              std::nullopt);
    EXPECT_EQ(waits, 0);
}

// Started by the test below as the second copy of the program: fetches the directory while
// the server holds the transfer back.
TEST(SecondCopy, FetchesTheDirectory)
{
    const QString address = qEnvironmentVariable("LARKSPIRE_SECOND_COPY_SERVER");
    if (address.isEmpty())
        GTEST_SKIP() << "runs only as the second process of AnotherCopyWaitsWhileOneWrites";
    FtpSettings s;
    s.host = address;
    s.user = qEnvironmentVariable("LARKSPIRE_SECOND_COPY_USER");
    s.password = qEnvironmentVariable("LARKSPIRE_SECOND_COPY_PASSWORD");
    FtpClient ftp(s);
    ftp.connect();
    ftp.changeFolder(QStringLiteral("/netwrk/users/"));
    EXPECT_TRUE(directory::fetch(
        ftp, qEnvironmentVariable("LARKSPIRE_SECOND_COPY_FILE"), [](int) {},
        directory::OnFailure::Throw));
}

TEST_F(AccountsTest, AnotherCopyWaitsWhileOneWritesTheWorkingCopy)
{
    const QString copy = local.write(QStringLiteral("temp/lnplk.xo"), "}Old}}}.png}eng/\r\n");
    server->stallDownloads({"lineup.xo"});
    QProcess second;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LARKSPIRE_SECOND_COPY_SERVER", server->address());
    env.insert("LARKSPIRE_SECOND_COPY_USER", server->user());
    env.insert("LARKSPIRE_SECOND_COPY_PASSWORD", server->password());
    env.insert("LARKSPIRE_SECOND_COPY_FILE", copy);
    second.setProcessEnvironment(env);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QCoreApplication::applicationFilePath(),
                 {"--gtest_filter=SecondCopy.FetchesTheDirectory"});
    ASSERT_TRUE(second.waitForStarted());
    while (!server->downloadWaiting() && second.state() == QProcess::Running)
        QThread::msleep(10);
    ASSERT_TRUE(server->downloadWaiting()) << second.readAll().toStdString();

    // The arriving directory is the user's alone from its first byte, and the copy it replaces
    // is in use meanwhile.
    EXPECT_EQ(modeOf(partialDownloadPath(copy)), 0600u);
    ASSERT_TRUE(helpers::fileInUse(copy));
    auto ftp = connection();
    EXPECT_EQ(directory::fetch(
                  *ftp, copy, [this](int) { ++waits; }, directory::OnFailure::Throw),
              std::nullopt);
    EXPECT_EQ(waits, 1);
    EXPECT_EQ(TempTree::read(copy), "}Old}}}.png}eng/\r\n");

    server->releaseDownloads();
    ASSERT_TRUE(second.waitForFinished(-1));
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();
    EXPECT_FALSE(helpers::fileInUse(copy));
    EXPECT_EQ(TempTree::read(copy), TempTree::read(onServer("lineup.xo")));
}
