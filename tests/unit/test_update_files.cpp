#include "support/QtPrinters.h"
#include "support/ReleaseKeys.h"
#include "support/TempTree.h"
#include "update/Installer.h"
#include "update/Payload.h"
#include "update/Signature.h"

#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

void makeExecutable(const QString& path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

// An installed folder with a program, shipped data and everything a user gathers over time.
void writeInstalled(const TempTree& t)
{
    t.write("apps/Larkspire/Larkspire", "old program");
    makeExecutable(t.path("apps/Larkspire/Larkspire"));
    t.write("apps/Larkspire/0rg_System/Larkspire.jpg", "old picture");
    t.write("apps/Larkspire/0rg_System/LC.xo", "rus/\r\n");
    t.write("apps/Larkspire/0rg_System/vinfo.xo", "37\r\n");
    t.write("apps/Larkspire/0rg_System/rg.ind", "Moscow\r\n");
    t.write("apps/Larkspire/0rg_System/net/fav.xo", "bob\r\n");
    t.write("apps/Larkspire/0rg_System/net/alice/bob.ms", "conversation\r\n");
    t.write("apps/Larkspire/Сеть/bob/report.pdf", "received");
    t.write("apps/Larkspire/Сеть/Мои изображения/me.png", "picture");
    t.write("apps/Larkspire/LarkspireUpdate", "stale updater");
}

// The new runnable folder as a release carries it.
QByteArray newRelease(const TempTree& t)
{
    t.write("release/Larkspire", "new program");
    makeExecutable(t.path("release/Larkspire"));
    t.write("release/0rg_System/Larkspire.jpg", "new picture");
    t.write("release/0rg_System/LC.xo", "eng/\r\n");
    t.write("release/0rg_System/net/fav.xo", "");
    t.write("release/0rg_System/extra.png", "new file");
    return payload::packFolder(t.path("release"));
}

updater::Job job(const TempTree& t, const QByteArray& archive, QStringList* started,
                 bool startSucceeds)
{
    updater::Job j;
    j.installDir = t.path("apps/Larkspire/");
    j.archive = archive;
    j.programName = "Larkspire";
    j.start = [=](const QString& program) {
        started->append(TempTree::read(program));
        return startSucceeds || TempTree::read(program) == "old program";
    };
    return j;
}

void expectUserFilesKept(const TempTree& t)
{
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/LC.xo")), "rus/\r\n");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/vinfo.xo")), "37\r\n");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/rg.ind")), "Moscow\r\n");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/net/fav.xo")), "bob\r\n");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/net/alice/bob.ms")),
              "conversation\r\n");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/Сеть/bob/report.pdf")), "received");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/Сеть/Мои изображения/me.png")), "picture");
}

} // namespace

TEST(Signature, OnlyTheUntouchedFileWithTheRightKeyVerifies)
{
    const QByteArray file = "program bytes";
    const QByteArray signature = signing::sign(file, testkeys::secretKey());
    ASSERT_EQ(signature.size(), signing::kSignatureBytes);
    EXPECT_TRUE(signing::verify(file, signature, testkeys::publicKey()));
    EXPECT_FALSE(signing::verify("program bytes!", signature, testkeys::publicKey()));
    QByteArray flipped = signature;
    flipped[10] = char(flipped[10] ^ 1);
    EXPECT_FALSE(signing::verify(file, flipped, testkeys::publicKey()));
    EXPECT_FALSE(signing::verify(file, signature, signing::generate().publicKey));
    EXPECT_FALSE(signing::verify(file, {}, testkeys::publicKey()));
    EXPECT_FALSE(signing::verify(file, signature, {}));
    EXPECT_TRUE(signing::keyFromHex("abc", 32).isEmpty());
    EXPECT_TRUE(signing::keyFromHex(QString(64, 'g'), 32).isEmpty());
}

TEST(Payload, FolderTravelsInsideTheUpdaterWithItsExecutableMarks)
{
    TempTree t;
    const QByteArray archive = newRelease(t);
    ASSERT_FALSE(archive.isEmpty());
    const QByteArray updater = payload::attach("ELF program", archive);
    EXPECT_EQ(payload::extract(updater), archive);
    EXPECT_TRUE(payload::extract("ELF program").isEmpty());
    EXPECT_TRUE(payload::extract(updater.left(updater.size() - 1)).isEmpty());

    ASSERT_TRUE(payload::unpack(archive, t.path("out")));
    EXPECT_EQ(TempTree::read(t.path("out/0rg_System/Larkspire.jpg")), "new picture");
    EXPECT_TRUE(QFileInfo(t.path("out/Larkspire")).isExecutable());
    EXPECT_FALSE(QFileInfo(t.path("out/0rg_System/LC.xo")).isExecutable());
    EXPECT_FALSE(QFile::permissions(t.path("out/Larkspire")) & QFile::WriteOther);
    // Never into a folder that is already there.
    EXPECT_FALSE(payload::unpack(archive, t.path("out")));
}

TEST(Payload, NamesThatLeaveTheTargetAreRefused)
{
    TempTree t;
    for (const QString& name : {QString("../escape"), QString("/etc/x"), QString("a//b")}) {
        QByteArray archive = "LKSPARC1";
        QDataStream out(&archive, QIODevice::Append);
        out.setVersion(QDataStream::Qt_6_0);
        out << quint8('f') << name << false << qCompress(QByteArray("x"));
        const QString target = t.path("t" + QString::number(qHash(name)));
        EXPECT_FALSE(payload::unpack(archive, target)) << name.toStdString();
        EXPECT_FALSE(QFile::exists(t.path("escape")));
    }
    EXPECT_FALSE(payload::unpack("garbage", t.path("g")));
}

TEST(Payload, AProgramFileTellsItsBuildByItsMark)
{
    EXPECT_EQ(payload::programBuild("ELF...larkspire-build:42;..."), 42);
    // Mentions of the mark without a number are passed over.
    EXPECT_EQ(payload::programBuild("larkspire-build:%1;larkspire-build:;larkspire-build:7;"), 7);
    for (const QByteArray& bad :
         {QByteArray(), QByteArray("larkspire-build:42"), QByteArray("larkspire-build:4x;"),
          QByteArray("larkspire-build:12345678901;")})
        EXPECT_EQ(payload::programBuild(bad), std::nullopt) << bad.constData();
}

TEST(Installer, NewProgramReplacesTheOldAndEveryUserFileStays)
{
    TempTree t;
    writeInstalled(t);
    QStringList started;
    const auto result = updater::install(job(t, newRelease(t), &started, true), [](auto&&) {});
    ASSERT_EQ(result, updater::Result::Installed);
    EXPECT_EQ(started, QStringList{"new program"});
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/Larkspire")), "new program");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/Larkspire.jpg")), "new picture");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/extra.png")), "new file");
    expectUserFilesKept(t);
    EXPECT_FALSE(QFile::exists(t.path("apps/Larkspire/LarkspireUpdate")));
    // One previous version is kept, and nothing half made is left behind.
    EXPECT_EQ(TempTree::read(t.path("apps/.Larkspire.previous/Larkspire")), "old program");
    EXPECT_FALSE(QFileInfo::exists(t.path("apps/.Larkspire.new")));
    EXPECT_EQ(
        QDir(t.path("apps")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({".Larkspire.previous", "Larkspire"}));
}

TEST(Installer, ANewVersionThatDoesNotStartIsRolledBack)
{
    TempTree t;
    writeInstalled(t);
    QStringList started;
    QStringList log;
    const auto result = updater::install(job(t, newRelease(t), &started, false),
                                         [&](const QString& l) { log << l; });
    EXPECT_EQ(result, updater::Result::RolledBack);
    EXPECT_EQ(started, QStringList({"new program", "old program"}));
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/Larkspire")), "old program");
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/0rg_System/Larkspire.jpg")), "old picture");
    expectUserFilesKept(t);
    EXPECT_FALSE(log.isEmpty());
}

TEST(Installer, ADamagedOrEmptyReleaseChangesNothing)
{
    TempTree t;
    writeInstalled(t);
    QStringList started;
    EXPECT_EQ(updater::install(job(t, "LKSPARC1 broken", &started, true), [](auto&&) {}),
              updater::Result::Failed);
    t.write("empty/0rg_System/x", "");
    EXPECT_EQ(updater::install(job(t, payload::packFolder(t.path("empty")), &started, true),
                               [](auto&&) {}),
              updater::Result::Failed);
    EXPECT_EQ(started, QStringList({"old program", "old program"}));
    EXPECT_EQ(TempTree::read(t.path("apps/Larkspire/Larkspire")), "old program");
    expectUserFilesKept(t);
    EXPECT_EQ(
        QDir(t.path("apps")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        QStringList({"Larkspire"}));
}

TEST(Installer, FoldersAreExchangedBothWays)
{
    TempTree t;
    t.write("a/file", "a");
    t.write("b/file", "b");
    ASSERT_TRUE(updater::exchangeFolders(t.path("a/"), t.path("b")));
    EXPECT_EQ(TempTree::read(t.path("a/file")), "b");
    EXPECT_EQ(TempTree::read(t.path("b/file")), "a");
    EXPECT_FALSE(updater::exchangeFolders(t.path("a"), t.path("missing")));
    EXPECT_EQ(TempTree::read(t.path("a/file")), "b");
}
