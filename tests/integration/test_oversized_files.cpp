// Shared files far larger than the program reads (anyone with the shared login can write one):
// they are refused with the reason, and never downloaded whole, let alone again and again.
#include "support/DemoServer.h"
#include "support/FaultyFtpServer.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include "core/Limits.h"
#include "core/StringList.h"
#include "net/AccountService.h"
#include "net/DirectoryFetch.h"
#include "net/FtpClient.h"
#include "session/ClientSession.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <optional>

namespace {

using Rule = FaultyFtpServer::Rule;

constexpr qint64 kHuge = 20 * 1024 * 1024;
const QByteArray kSmallDirectory = "}Zoe}Paris}Art}.png}eng/\r\n";
const QString kAdapter = QStringLiteral("02-00-00-00-00-01");

// One line of 20 MiB, as measured in the fault.
QByteArray hugeLine()
{
    return QByteArray(kHuge - 2, 'x') + "\r\n";
}

template <typename F> std::optional<FtpError> errorOf(F&& f)
{
    try {
        f();
    } catch (const FtpError& e) {
        return e;
    }
    return std::nullopt;
}

class Oversized : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (const QString why = FaultyFtpServer::unavailable(); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        server = FaultyFtpServer::start();
        server->makeFolder("netwrk/users");
        server->write("netwrk/users/lineup.xo", hugeLine());
        QDir().mkpath(local.path("temp"));
        QDir().mkpath(local.path("user"));
        copy = local.path("temp/lnplk.xo");
    }

    std::unique_ptr<FtpClient> inUsersFolder() const
    {
        auto ftp = std::make_unique<FtpClient>(server->clientSettings());
        ftp->connect();
        ftp->changeFolder("/netwrk/users");
        return ftp;
    }

    // How often the server was asked for `name`.
    int retrievals(const QString& name) const
    {
        return static_cast<int>(server->log().count("<- RETR " + name));
    }

    std::optional<QStringList> fetch(FtpClient& ftp, directory::OnFailure onFailure) const
    {
        return directory::fetch(
            ftp, copy, [](int) {}, onFailure);
    }

    std::unique_ptr<FaultyFtpServer> server;
    TempTree local;
    QString copy;
};

} // namespace

TEST_F(Oversized, ADirectoryTheServerSaysIsTooLargeIsNotDownloaded)
{
    ASSERT_TRUE(stringlist::save(copy, {"}Zoe}Paris}Art}.png}eng/"}));
    auto ftp = inUsersFolder();

    const auto refused = errorOf([&] { fetch(*ftp, directory::OnFailure::Throw); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), FtpError::Kind::TooLarge);
    EXPECT_EQ(refused->message(),
              QStringLiteral("The user directory on the server (lineup.xo) is %1 bytes, more "
                             "than the %2 this program reads.")
                  .arg(kHuge)
                  .arg(limits::kMaxDirectoryBytes));
    // A signed-in reload keeps reading the copy it has.
    EXPECT_EQ(fetch(*ftp, directory::OnFailure::Keep), QStringList({"}Zoe}Paris}Art}.png}eng/"}));
    EXPECT_EQ(retrievals("lineup.xo"), 0);
    EXPECT_EQ(TempTree::read(copy), kSmallDirectory);
}

TEST_F(Oversized, WithoutSizeTheDownloadStopsAtTheLimitAndTheConnectionGoesOn)
{
    server->addRule({.command = "SIZE", .reply = "502 Command not implemented."});
    ASSERT_TRUE(stringlist::save(copy, {"}Zoe}Paris}Art}.png}eng/"}));
    auto ftp = inUsersFolder();

    const auto refused = errorOf([&] { fetch(*ftp, directory::OnFailure::Throw); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), FtpError::Kind::TooLarge);
    EXPECT_TRUE(refused->message().contains(
        QStringLiteral("more than the %1 bytes").arg(limits::kMaxDirectoryBytes)))
        << refused->message().toStdString();
    EXPECT_EQ(retrievals("lineup.xo"), 1);
    // Neither the copy nor a part of the download is left changed or behind.
    EXPECT_EQ(TempTree::read(copy), kSmallDirectory);
    EXPECT_FALSE(QFileInfo::exists(partialDownloadPath(copy)));

    // The stopped transfer's reply was taken: the same connection answers the next command.
    ASSERT_TRUE(ftp->connected());
    server->write("netwrk/users/lineup.xo", kSmallDirectory + "}Ivan}}}.png}eng/\r\n");
    EXPECT_EQ(fetch(*ftp, directory::OnFailure::Throw)->size(), 2);
}

TEST_F(Oversized, AHugeRecordIsReplacedAndAHugePasswordFileRefusesTheSignIn)
{
    server->write("netwrk/users/lineup.xo", "}Ivan}}}.png}eng/\r\n");
    server->write("netwrk/users/Ivan/acc.xo", "pw\r\n");
    server->write("netwrk/users/Ivan/myacc.xo", hugeLine());
    const accounts::Paths paths{local.path("user/"), local.path("temp/"), {}};
    store::AccountRecord mem;
    mem.option = QStringLiteral("autologin");
    {
        auto ftp = inUsersFolder();
        const auto result =
            accounts::signInOrRegister(*ftp, paths, "Ivan", "pw", mem, kAdapter, "eng/");
        EXPECT_EQ(result.outcome, accounts::Outcome::SignedIn);
    }
    // Read as missing, so the sign-in's own record takes its place.
    EXPECT_EQ(server->read("netwrk/users/Ivan/myacc.xo"),
              "Ivan\r\nautologin\r\n" + kAdapter.toLatin1() + "\r\n.png\r\n");

    server->write("netwrk/users/Ivan/acc.xo", hugeLine());
    auto ftp = inUsersFolder();
    const auto refused = errorOf(
        [&] { accounts::signInOrRegister(*ftp, paths, "Ivan", "pw", mem, kAdapter, "eng/"); });
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->kind(), FtpError::Kind::TooLarge);
    EXPECT_TRUE(refused->message().contains("acc.xo")) << refused->message().toStdString();
    EXPECT_EQ(retrievals("acc.xo"), 1); // the first sign-in's
    EXPECT_LE(QFileInfo(paths.userDataDir + "acc2.xo").size(), limits::kMaxRecordBytes);
}

// The client session against the settings of a demo server that point at the faulty one: each
// pass of the sign-in says why it was refused, and the directory is not downloaded for it.
TEST_F(Oversized, EverySignInPassIsRefusedWithTheReasonAndDownloadsLittle)
{
    std::unique_ptr<DemoServer> demo;
    if (const QString why = DemoServer::startFor(demo); !why.isEmpty())
        GTEST_SKIP() << why.toStdString();
    const QString settings = demo->tree("../settings/fcom.xo");
    QStringList lines = stringlist::load(settings).value_or(QStringList());
    ASSERT_GE(lines.size(), 9);
    lines[5] = server->address();
    lines[6] = server->user();
    lines[7] = server->password();
    lines[8] = "/";
    ASSERT_TRUE(stringlist::save(settings, lines));

    ClientSession::Config config;
    config.settingsServer = demo->address();
    const QString base = local.path("");
    config.folders = [base] {
        Folders f;
        f.programDataDir = base + "data/";
        f.userDataDir = base + "user/";
        f.tempDataDir = base + "temp/";
        f.networkDir = base + "received/";
        return f;
    };
    config.languageCode = [] { return QStringLiteral("eng/"); };
    ClientSession session(config);
    session.setOnline(true);
    QSignalSpy booted(&session, &ClientSession::bootstrapped);
    ASSERT_TRUE(session.bootstrap());
    ASSERT_TRUE(booted.wait(60000));
    ASSERT_TRUE(session.configured());

    const auto pass = [&] {
        QSignalSpy signedIn(&session, &ClientSession::signedIn);
        session.signIn({"Anna", "pw", {}, kAdapter});
        EXPECT_TRUE(signedIn.wait(60000));
        return signedIn.isEmpty() ? SignInResult()
                                  : signedIn.takeFirst().value(0).value<SignInResult>();
    };
    for (int n = 0; n < 5; ++n) {
        const SignInResult r = pass();
        EXPECT_EQ(r.stage, SignInResult::Stage::Refused);
        EXPECT_TRUE(r.error.text.startsWith(
            QStringLiteral("The user directory on the server (lineup.xo) is %1 bytes").arg(kHuge)))
            << r.error.text.toStdString();
    }
    EXPECT_EQ(retrievals("lineup.xo"), 0);

    // A server that does not tell sizes: each pass stops its two reads at the limit.
    server->addRule({.command = "SIZE", .reply = "502 Command not implemented."});
    for (int n = 0; n < 2; ++n)
        EXPECT_EQ(pass().stage, SignInResult::Stage::Refused);
    EXPECT_LE(retrievals("lineup.xo"), 4);
    EXPECT_LE(QFileInfo(local.path("temp/lnplk.xo")).size(), limits::kMaxDirectoryBytes);
    // Nothing was registered on the way.
    EXPECT_FALSE(QFileInfo::exists(server->path("netwrk/users/Anna")));
}
