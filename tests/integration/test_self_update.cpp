#include "net/FtpClient.h"
#include "net/Operator.h"
#include "net/SelfUpdate.h"
#include "support/AdminTool.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/ReleaseKeys.h"
#include "support/TempTree.h"
#include "update/Payload.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

class SelfUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FtpServerFixture::startPyftpdlib(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        ftp.settings() = server->clientSettings();
        QDir().mkpath(local.path("app"));
        QDir().mkpath(local.path("tmp"));
    }

    // A release as the operators publish it: an updater file and its signature.
    void offer(const QString& build, const QByteArray& updater, const QByteArray& signature)
    {
        server->write("eng/Larkspire/update.xo", build.toUtf8() + "\r\n");
        server->write("eng/Larkspire/LarkspireUpdate", updater);
        server->write("eng/Larkspire/LarkspireUpdate.sig", signature);
    }
    void offerSigned(const QString& build)
    {
        offer(build, kUpdater, signing::sign(kUpdater, testkeys::secretKey()));
    }

    selfupdate::Result check(const QString& ownBuild, const QByteArray& key = testkeys::publicKey())
    {
        selfupdate::Request r;
        r.serverRoot = "/";
        r.languageCode = "eng/";
        r.ownBuild = ownBuild;
        r.exeFolder = local.path("app/");
        r.tempDataDir = local.path("tmp/");
        r.publicKey = key;
        return selfupdate::check(ftp, r);
    }

    QStringList appFiles() const
    {
        return QDir(local.path("app")).entryList(QDir::Files | QDir::Hidden);
    }

    const QByteArray kUpdater = "#!/bin/sh\nexit 0\n";
    std::unique_ptr<FtpServerFixture> server;
    TempTree local;
    FtpClient ftp;
};

} // namespace

TEST(UpdateDecision, OnlyAStrictlyHigherDecimalBuildUpdates)
{
    EXPECT_TRUE(selfupdate::isNewer("37", "38"));
    EXPECT_TRUE(selfupdate::isNewer("37", " 38 "));
    EXPECT_FALSE(selfupdate::isNewer("37", "37"));
    EXPECT_FALSE(selfupdate::isNewer("38", "37"));
    for (const char* bad : {"", "x", "38a", "$26", "0x26", "3.8", "+38", "-1", "٣٨"})
        EXPECT_FALSE(selfupdate::isNewer("37", bad)) << bad;
    EXPECT_FALSE(selfupdate::isNewer("", "38"));
    EXPECT_FALSE(selfupdate::isNewer("37", "99999999999999999999"));
}

TEST_F(SelfUpdate, SameBuildFetchesNothingAndClosesTheConnection)
{
    offerSigned("37");
    const auto r = check("37");
    EXPECT_EQ(r.outcome, selfupdate::Outcome::Current);
    EXPECT_EQ(r.serverBuild, "37");
    EXPECT_FALSE(ftp.connected());
    EXPECT_TRUE(appFiles().isEmpty());
}

TEST_F(SelfUpdate, HigherBuildLeavesAVerifiedUpdaterExecutableByTheUserAlone)
{
    offerSigned("38");
    const auto r = check("37");
    ASSERT_EQ(r.outcome, selfupdate::Outcome::Ready) << r.detail.toStdString();
    EXPECT_EQ(r.updaterPath, local.path("app/LarkspireUpdate"));
    EXPECT_EQ(TempTree::read(r.updaterPath), kUpdater);
    EXPECT_EQ(QFile::permissions(r.updaterPath) & 0x0777,
              QFile::ExeUser | QFile::ReadUser | QFile::WriteUser);
    EXPECT_EQ(QFile::permissions(r.updaterPath) &
                  (QFile::ExeGroup | QFile::ExeOther | QFile::ReadOther | QFile::WriteOther),
              QFile::Permissions());
    EXPECT_TRUE(QFile::exists(r.updaterPath + ".sig"));
    EXPECT_FALSE(ftp.connected());
}

TEST_F(SelfUpdate, TamperedOrUnsignedUpdaterIsNeverPutInPlace)
{
    local.write("app/LarkspireUpdate", "earlier updater");
    const QByteArray good = signing::sign(kUpdater, testkeys::secretKey());
    const QByteArray evil = "#!/bin/sh\nrm -rf ~\n";
    for (const auto& [updater, signature] :
         {std::pair{evil, good}, std::pair{kUpdater, QByteArray()},
          std::pair{evil, signing::sign(evil, signing::generate().secretKey)}}) {
        offer("38", updater, signature);
        const auto r = check("37");
        EXPECT_EQ(r.outcome, selfupdate::Outcome::BadSignature);
        EXPECT_FALSE(r.detail.isEmpty());
        EXPECT_EQ(TempTree::read(local.path("app/LarkspireUpdate")), "earlier updater");
        EXPECT_EQ(appFiles(), QStringList{"LarkspireUpdate"});
    }
    QFile::remove(server->path("eng/Larkspire/LarkspireUpdate.sig"));
    EXPECT_EQ(check("37").outcome, selfupdate::Outcome::Failed); // no signature at all
    EXPECT_EQ(appFiles(), QStringList{"LarkspireUpdate"});
}

TEST_F(SelfUpdate, UnreadableNumbersAndABuildWithoutKeyNeverUpdate)
{
    offerSigned("38 beta");
    EXPECT_EQ(check("37").outcome, selfupdate::Outcome::NoRelease);
    offerSigned("38");
    EXPECT_EQ(check("Version").outcome, selfupdate::Outcome::NoRelease);
    const auto r = check("37", {});
    EXPECT_EQ(r.outcome, selfupdate::Outcome::NoKey);
    EXPECT_TRUE(appFiles().isEmpty());
    server->stop();
    EXPECT_EQ(check("37").outcome, selfupdate::Outcome::Failed);
}

namespace {

// Gives a server file an hour-old time, older than any recent-time rule.
void age(const QString& path)
{
    const qint64 old = QDateTime::currentSecsSinceEpoch() - 3600;
    const timespec t[2] = {{old, 0}, {old, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, 0), 0);
}

} // namespace

// On the connection the poll keeps open: the check leaves it open and where it stood, and the
// descriptor comes down again only once its size or time changed.
TEST_F(SelfUpdate, AnOpenConnectionStaysOpenAndAnUnchangedDescriptorStaysOnTheServer)
{
    offerSigned("37");
    age(server->path("eng/Larkspire/update.xo"));
    ftp.connect();
    ftp.changeFolder("/eng");
    selfupdate::Request r;
    r.serverRoot = "/";
    r.languageCode = "eng/";
    r.ownBuild = "37";
    r.exeFolder = local.path("app/");
    r.tempDataDir = local.path("tmp/");
    r.publicKey = testkeys::publicKey();
    selfupdate::Memo memo;
    const QString copy = local.path("tmp/") + selfupdate::kDescriptorCopy;

    auto first = selfupdate::checkOpen(ftp, r, memo);
    EXPECT_EQ(first.outcome, selfupdate::Outcome::Current) << first.detail.toStdString();
    EXPECT_EQ(first.serverBuild, "37");
    ASSERT_TRUE(ftp.connected());
    EXPECT_EQ(ftp.currentFolder(), "/eng");
    ASSERT_TRUE(QFile::remove(copy));

    const auto again = selfupdate::checkOpen(ftp, r, memo);
    EXPECT_EQ(again.outcome, selfupdate::Outcome::Current);
    EXPECT_EQ(again.serverBuild, "37");
    EXPECT_FALSE(QFile::exists(copy)) << "an unchanged descriptor came down again";

    // A release: the new descriptor comes down and the verified updater with it, from the
    // update folder by its full path.
    offerSigned("38");
    const auto release = selfupdate::checkOpen(ftp, r, memo);
    ASSERT_EQ(release.outcome, selfupdate::Outcome::Ready) << release.detail.toStdString();
    EXPECT_EQ(TempTree::read(release.updaterPath), kUpdater);
    EXPECT_TRUE(ftp.connected());
    EXPECT_EQ(ftp.currentFolder(), "/eng");

    // A rewrite that keeps the size: its time shows it.
    server->write("eng/Larkspire/update.xo", "39\r\n");
    EXPECT_EQ(selfupdate::checkOpen(ftp, r, memo).serverBuild, "39");

    // Without a connection, a failure to report; nothing is thrown.
    ftp.disconnect();
    EXPECT_EQ(selfupdate::checkOpen(ftp, r, memo).outcome, selfupdate::Outcome::Failed);
}

TEST_F(SelfUpdate, OperatorsSetUpCheckListAndPublish)
{
    QString error;
    QStringList problems = ops::checkTree(ftp, "/");
    EXPECT_TRUE(problems.join('\n').contains("the users folder /netwrk/users/ is missing"))
        << problems.join('\n').toStdString();
    ASSERT_TRUE(ops::initTree(ftp, "/", &error)) << error.toStdString();
    EXPECT_EQ(ops::checkTree(ftp, "/"), QStringList());
    EXPECT_EQ(server->read("eng/Larkspire/update.xo"), "0\r\n");

    server->write("netwrk/users/lineup.xo", "}anna}Paris}Art}.png}eng/\r\n}bob}Oslo}IT}x}rus/\r\n");
    EXPECT_EQ(ops::listUsers(ftp, "/", &error), QStringList({"anna", "bob"}));
    // init never changes what exists.
    ASSERT_TRUE(ops::initTree(ftp, "/", &error));
    EXPECT_EQ(ops::listUsers(ftp, "/", &error)->size(), 2);

    server->write("rus/Larkspire/update.xo", "5\r\n");
    problems = ops::checkTree(ftp, "/");
    EXPECT_EQ(problems.size(), 1);
    ASSERT_TRUE(ops::publish(ftp, "/", 6, kUpdater, "sig", &error)) << error.toStdString();
    EXPECT_EQ(server->read("rus/Larkspire/update.xo"), "6\r\n");
    EXPECT_EQ(server->read("eng/Larkspire/LarkspireUpdate"), kUpdater);
    EXPECT_EQ(ops::checkTree(ftp, "/"), QStringList());
    EXPECT_FALSE(ftp.connected());
}

namespace {

// Waits for a file that a started program writes; the updater has returned by then, so the
// program had its start already.
QByteArray waitForFile(const QString& path)
{
    for (int i = 0; i < 600 && TempTree::read(path).isEmpty(); ++i)
        QThread::msleep(50);
    return TempTree::read(path);
}

void endProgram(const QByteArray& marker)
{
    const qint64 pid = marker.split(' ').value(1).trimmed().toLongLong();
    if (pid > 0)
        ::kill(pid_t(pid), SIGTERM);
}

} // namespace

// The release from the operators' tool to a running update: the tool packs and signs the new
// runnable folder and publishes it, the program's check fetches and verifies the updater, and
// the updater puts the new version in place with the user's files and starts it.
TEST_F(SelfUpdate, PublishedReleaseInstallsItselfAndKeepsTheUsersFiles)
{
    const auto tree = [&](const QString& p) { return local.path("home/apps/Larkspire/" + p); };
    // The programs are scripts that say which version started (and its process), then stay;
    // "vN" carries the mark of build N.
    const QString marker = local.path("started");
    const auto program = [&](const QString& version, bool starts) {
        return ("#!/bin/sh\n# larkspire-build:" + version.mid(1) + ";\necho \"" + version +
                " $$\" > '" + marker + "'\n" + (starts ? "exec sleep 600\n" : "exit 1\n"))
            .toUtf8();
    };
    local.write("home/apps/Larkspire/Larkspire", program("v1", true));
    QFile::setPermissions(tree("Larkspire"),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    local.write("home/apps/Larkspire/0rg_System/Larkspire.jpg", "old picture");
    local.write("home/apps/Larkspire/0rg_System/net/anna/bob.ms", "conversation\r\n");
    local.write("home/apps/Larkspire/0rg_System/net/fav.xo", "bob\r\n");
    local.write("home/apps/Larkspire/Network/bob/report.pdf", "received");

    const auto release = [&](const QString& folder, const QString& version, bool starts) {
        local.write(folder + "/Larkspire", program(version, starts));
        QFile::setPermissions(local.path(folder + "/Larkspire"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        local.write(folder + "/0rg_System/Larkspire.jpg", "new picture");
        local.write(folder + "/0rg_System/net/fav.xo", "");
    };
    release("release", "v2", true);
    local.write("release.key", testkeys::kSecretHex.toUtf8() + "\n");
    const QStringList account{"--host",     server->address(),  "--user", server->user(),
                              "--password", server->password(), "--root", "/"};
    ASSERT_EQ(runAdminTool(QStringList{"init"} + account), 0);
    QString out;
    ASSERT_EQ(runAdminTool(QStringList{"publish-update", "--build", "2", "--key",
                                       local.path("release.key"), "--updater",
                                       LARKSPIRE_TEST_UPDATER, local.path("release")} +
                               account,
                           &out),
              0)
        << out.toStdString();
    ASSERT_EQ(runAdminTool(QStringList{"check"} + account, &out), 0) << out.toStdString();

    selfupdate::Request r;
    r.serverRoot = "/";
    r.languageCode = "rus/";
    r.ownBuild = "1";
    r.exeFolder = tree("");
    r.tempDataDir = local.path("tmp/");
    r.publicKey = testkeys::publicKey();
    const auto result = selfupdate::check(ftp, r);
    ASSERT_EQ(result.outcome, selfupdate::Outcome::Ready) << result.detail.toStdString();

    QProcess updater;
    updater.setProcessEnvironment([&] {
        auto env = QProcessEnvironment::systemEnvironment();
        env.insert("XDG_STATE_HOME", local.path("state"));
        return env;
    }());
    updater.start(result.updaterPath);
    ASSERT_TRUE(updater.waitForFinished(120000));
    EXPECT_EQ(updater.exitCode(), 0) << updater.readAllStandardError().toStdString();
    const QByteArray started = waitForFile(marker);
    EXPECT_TRUE(started.startsWith("v2 ")) << started.constData();
    endProgram(started);
    EXPECT_EQ(TempTree::read(tree("0rg_System/Larkspire.jpg")), "new picture");
    EXPECT_EQ(TempTree::read(tree("0rg_System/net/anna/bob.ms")), "conversation\r\n");
    EXPECT_EQ(TempTree::read(tree("0rg_System/net/fav.xo")), "bob\r\n");
    EXPECT_EQ(TempTree::read(tree("Network/bob/report.pdf")), "received");
    EXPECT_TRUE(QFile::exists(local.path("state/larkspire/update.log")));

    // A release whose program does not start: the version before it comes back.
    QFile::remove(marker);
    release("broken", "v3", false);
    ASSERT_EQ(runAdminTool(QStringList{"publish-update", "--build", "3", "--key",
                                       local.path("release.key"), "--updater",
                                       LARKSPIRE_TEST_UPDATER, local.path("broken")} +
                           account),
              0);
    r.ownBuild = "2";
    ASSERT_EQ(selfupdate::check(ftp, r).outcome, selfupdate::Outcome::Ready);
    updater.start(result.updaterPath);
    ASSERT_TRUE(updater.waitForFinished(120000));
    EXPECT_EQ(updater.exitCode(), 1);
    const QByteArray again = waitForFile(marker);
    EXPECT_TRUE(again.startsWith("v2 ")) << again.constData();
    endProgram(again);
    EXPECT_EQ(TempTree::read(tree("0rg_System/net/fav.xo")), "bob\r\n");

    // An updater changed after its check refuses to install and starts the installed program.
    QFile::remove(marker);
    QFile f(result.updaterPath);
    ASSERT_TRUE(f.open(QIODevice::Append));
    f.write("x");
    f.close();
    updater.start(result.updaterPath);
    ASSERT_TRUE(updater.waitForFinished(120000));
    EXPECT_EQ(updater.exitCode(), 2);
    endProgram(waitForFile(marker));
    EXPECT_EQ(TempTree::read(tree("0rg_System/net/anna/bob.ms")), "conversation\r\n");
}

TEST_F(SelfUpdate, CheckToolNamesAMissingUsersFolder)
{
    QString out;
    const int code = runAdminTool({"check", "--host", server->address(), "--user", server->user(),
                                   "--password", server->password()},
                                  &out);
    EXPECT_EQ(code, 1);
    EXPECT_TRUE(out.contains("the users folder /netwrk/users/ is missing")) << out.toStdString();
}
