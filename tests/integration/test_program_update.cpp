// The real program updating itself: build N runs from an installed folder, the operators' tool
// publishes build N+1, and N's own update tick fetches the updater, which puts N+1 in its place
// with the user's files and starts it.
#include "core/Helpers.h"
#include "core/StringList.h"
#include "support/AdminTool.h"
#include "support/DemoServer.h"
#include "support/FtpServerFixture.h"
#include "support/QtPrinters.h"
#include "support/ReleaseKeys.h"
#include "support/TempTree.h"
#include "update/Run.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

namespace {

const QString kBuildN = QString::number(LARKSPIRE_TEST_BUILD_N);
const QString kBuildN1 = QString::number(LARKSPIRE_TEST_BUILD_N1);
const auto kExecutable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;

// The processes of this user whose executable is `path` or lies below it.
QList<pid_t> processesFrom(const QString& path)
{
    QList<pid_t> pids;
    for (const QString& entry : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool isPid = false;
        const pid_t pid = entry.toInt(&isPid);
        if (!isPid || pid == ::getpid())
            continue;
        QString exe = QFileInfo("/proc/" + entry + "/exe").symLinkTarget();
        if (exe.endsWith(" (deleted)"))
            exe.chop(10);
        if (!exe.isEmpty() && (exe == path || exe.startsWith(path + '/')))
            pids.append(pid);
    }
    return pids;
}

void endProcessesFrom(const QString& folder)
{
    for (const pid_t pid : processesFrom(folder))
        ::kill(pid, SIGTERM);
    QDeadlineTimer deadline(10000);
    while (!processesFrom(folder).isEmpty() && !deadline.hasExpired())
        QThread::msleep(100);
    for (const pid_t pid : processesFrom(folder))
        ::kill(pid, SIGKILL);
}

bool copyProgram(const QString& from, const QString& to)
{
    QDir().mkpath(QFileInfo(to).absolutePath());
    return QFile::copy(from, to) && QFile::setPermissions(to, kExecutable);
}

class ProgramUpdate : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // The update ends every copy of the program of this user, and the updater waits for
        // all of them: a copy that is not the test's would be ended, or hold the test up.
        if (updater::runningCopies("Larkspire") > 0)
            GTEST_SKIP() << "another Larkspire of this user runs, which the update would end";
        if (const QString why = DemoServer::startFor(demo); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        settingsAccount = {"--settings-server", demo->address()};
        root = QFileInfo(local.path()).canonicalFilePath();
        dir = root + "/home/apps/Larkspire/";
    }
    void TearDown() override
    {
        // Whatever ran from the test's folder ends with the test.
        if (!root.isEmpty())
            endProcessesFrom(root);
    }

    // The settings account points the program at another main server.
    void useMainServer(const FtpServerFixture& server)
    {
        const QString file = demo->tree("../settings/fcom.xo");
        QStringList lines = stringlist::load(file).value_or(QStringList());
        ASSERT_GE(lines.size(), 9);
        lines[5] = server.address();
        lines[6] = server.user();
        lines[7] = server.password();
        lines[8] = "/";
        ASSERT_TRUE(stringlist::save(file, lines));
    }

    // Build N installed for a user who has a conversation, favourites, received files and
    // pictures of their own; the program finds itself installed, so no dialog waits.
    void install()
    {
        ASSERT_TRUE(copyProgram(LARKSPIRE_PROGRAM_N, dir + "Larkspire"));
        ASSERT_TRUE(helpers::copyTree(dataFolder(), dir + "0rg_System", true, false));
        for (auto it = userFiles.cbegin(); it != userFiles.cend(); ++it)
            local.write("home/apps/Larkspire/" + it.key(), it.value());
        local.write("config/Larkspire/Larkspire.ini", "[General]\nASt=1\n");
    }
    // The runnable folder of build N+1, as the operator has it from the build.
    QString release()
    {
        const QString folder = root + "/release";
        EXPECT_TRUE(copyProgram(LARKSPIRE_PROGRAM_N1, folder + "/Larkspire"));
        EXPECT_TRUE(helpers::copyTree(dataFolder(), folder + "/0rg_System", true, false));
        return folder;
    }
    static QString dataFolder()
    {
        return qEnvironmentVariable("LARKSPIRE_BIN_DIR") + "/0rg_System";
    }

    // A user's session of their own: no desktop, its own home and servers.
    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("HOME", root + "/home");
        env.insert("XDG_CONFIG_HOME", root + "/config");
        env.insert("XDG_STATE_HOME", root + "/state");
        env.insert("XDG_DATA_HOME", root + "/data");
        env.insert("XDG_CACHE_HOME", root + "/cache");
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("QT_LOGGING_RULES", "default.info=true;larkspire.*.info=true");
        env.insert("LARKSPIRE_SETTINGS_SERVER", demo->address());
        env.insert("LARKSPIRE_PROBE_URL", demo->address());
        return env;
    }

    QByteArray log() const { return TempTree::read(root + "/program.log"); }
    // The program, the updater and the program it starts all write to one log.
    bool waitForLog(const QByteArray& line) const
    {
        QDeadlineTimer deadline(240000);
        while (!log().contains(line)) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(100);
        }
        return true;
    }

    void updateThroughTheServer()
    {
        QString out;
        EXPECT_EQ(runAdminTool(QStringList{"check"} + settingsAccount, &out), 0);
        EXPECT_EQ(out, "") << "the operators' check found problems";

        ASSERT_NO_FATAL_FAILURE(install());
        QProcess program;
        program.setProcessEnvironment(environment());
        program.setStandardOutputFile(root + "/program.log", QIODevice::Append);
        program.setStandardErrorFile(root + "/program.log", QIODevice::Append);
        program.start(dir + "Larkspire", {});
        ASSERT_TRUE(program.waitForStarted());
        ASSERT_TRUE(waitForLog("Larkspire build " + kBuildN.toUtf8() + '\n'))
            << log().toStdString();

        local.write("release.key", testkeys::kSecretHex.toUtf8() + '\n');
        const QString folder = release();
        // Offered under another number, the release would install itself again after every
        // start: the tool refuses it.
        EXPECT_EQ(runAdminTool(QStringList{"publish-update", "--build", kBuildN, "--key",
                                           local.path("release.key"), "--updater",
                                           LARKSPIRE_TEST_UPDATER, folder} +
                                   settingsAccount,
                               &out),
                  1);
        EXPECT_TRUE(out.contains("is build " + kBuildN1 + ", not " + kBuildN)) << out.toStdString();
        ASSERT_EQ(runAdminTool(QStringList{"publish-update", "--build", kBuildN1, "--key",
                                           local.path("release.key"), "--updater",
                                           LARKSPIRE_TEST_UPDATER, folder} +
                                   settingsAccount,
                               &out),
                  0)
            << out.toStdString();

        // N ends by itself once its tick has put a verified updater in place and started it.
        ASSERT_TRUE(program.waitForFinished(240000)) << log().toStdString();
        EXPECT_TRUE(log().contains("updating to build \"" + kBuildN1.toUtf8() + '"'))
            << log().toStdString();
        ASSERT_TRUE(waitForLog("Larkspire build " + kBuildN1.toUtf8() + '\n'))
            << log().toStdString();
        // N+1 finds its own build on the server and leaves it alone.
        ASSERT_TRUE(waitForLog("up to date: the server offers build " + kBuildN1.toUtf8() + '\n'))
            << log().toStdString();

        const QString exe = dir + "Larkspire";
        EXPECT_EQ(processesFrom(exe).size(), 1) << log().toStdString();
        EXPECT_TRUE(TempTree::read(exe) == TempTree::read(LARKSPIRE_PROGRAM_N1))
            << "the installed program is not build " << kBuildN1.toStdString();
        EXPECT_FALSE(QFile::exists(dir + "LarkspireUpdate")) << "build N+1 fetched an updater";
        for (auto it = userFiles.cbegin(); it != userFiles.cend(); ++it)
            EXPECT_EQ(TempTree::read(dir + it.key()), it.value()) << it.key().toStdString();
        EXPECT_TRUE(QFile::exists(root + "/state/larkspire/update.log"));
    }

    TempTree local;
    QString root; // the test's folder, symbolic links resolved as /proc shows them
    QString dir;  // the installed folder
    std::unique_ptr<DemoServer> demo;
    QStringList settingsAccount;
    const QMap<QString, QByteArray> userFiles{
        {"0rg_System/net/anna/bob.ms", "bob     07.03.2026     14:05:07 :\r\nHello anna\r\n"},
        {"0rg_System/net/fav.xo", "bob\r\n"},
        {"Network/bob/report.pdf", "received report"},
        {"Network/My images/me.png", "own picture"},
    };
};

} // namespace

TEST_F(ProgramUpdate, OnTheDemoServer)
{
    updateThroughTheServer();
}

TEST_F(ProgramUpdate, OnVsftpd)
{
    if (const QString why = FtpServerFixture::unavailable(FtpServerKind::Vsftpd); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const auto vsftpd = FtpServerFixture::start(FtpServerKind::Vsftpd);
    ASSERT_NO_FATAL_FAILURE(useMainServer(*vsftpd));
    QString out;
    ASSERT_EQ(runAdminTool(QStringList{"init"} + settingsAccount, &out), 0) << out.toStdString();
    updateThroughTheServer();
}
