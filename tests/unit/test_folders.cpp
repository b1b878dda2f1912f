#include "core/Folders.h"
#include "core/Helpers.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

TEST(Folders, DerivedFromExecutableAndTemporaryFolder)
{
    const Folders f = Folders::derive(QStringLiteral("/opt/Larkspire"),
                                      QStringLiteral("/home/u/.local/state/larkspire/tmp/"),
                                      QStringLiteral("Network"), QStringLiteral("My images"));
    EXPECT_EQ(f.exeFolder, QStringLiteral("/opt/Larkspire/"));
    EXPECT_EQ(f.programDataDir, QStringLiteral("/opt/Larkspire/0rg_System/"));
    EXPECT_EQ(f.localBaseDir, QStringLiteral("/home/u/.local/state/larkspire/"));
    EXPECT_EQ(f.userDataDir, QStringLiteral("/home/u/.local/state/larkspire/0rg_System/"));
    EXPECT_EQ(f.tempDataDir, QStringLiteral("/home/u/.local/state/larkspire/tmp/0rg_System/"));
    EXPECT_EQ(f.networkDir, QStringLiteral("/opt/Larkspire/Network/"));
    EXPECT_EQ(f.myImagesDir, QStringLiteral("/opt/Larkspire/Network/My images/"));
}

TEST(Folders, TemporaryFolderRightBelowTheRoot)
{
    const Folders f = Folders::derive(QStringLiteral("/x/"), QStringLiteral("/tmp/"),
                                      QStringLiteral("Сеть"), QStringLiteral("Мои изображения"));
    EXPECT_EQ(f.localBaseDir, QStringLiteral("/"));
    EXPECT_EQ(f.userDataDir, QStringLiteral("/0rg_System/"));
    EXPECT_EQ(f.tempDataDir, QStringLiteral("/tmp/0rg_System/"));
    EXPECT_EQ(f.myImagesDir, QStringLiteral("/x/Сеть/Мои изображения/"));
}

TEST(Folders, NoLocalisedFoldersWithoutTexts)
{
    const Folders f = Folders::derive(QStringLiteral("/x/"), QStringLiteral("/t/tmp"), {}, {});
    EXPECT_TRUE(f.networkDir.isEmpty());
    EXPECT_TRUE(f.myImagesDir.isEmpty());
    EXPECT_EQ(f.tempDataDir, QStringLiteral("/t/tmp/0rg_System/"));
}

TEST(TempFolder, FollowsXdgStateHomeOrHome)
{
    UserEnvironment env;
    env.home = QStringLiteral("/home/u");
    EXPECT_EQ(helpers::tempFolder(env), QStringLiteral("/home/u/.local/state/larkspire/tmp/"));
    env.stateHome = QStringLiteral("/srv/state");
    EXPECT_EQ(helpers::tempFolder(env), QStringLiteral("/srv/state/larkspire/tmp/"));
    // A relative value is invalid and ignored.
    env.stateHome = QStringLiteral("relative/state");
    EXPECT_EQ(helpers::tempFolder(env), QStringLiteral("/home/u/.local/state/larkspire/tmp/"));
    env.configHome = QStringLiteral("/c/");
    EXPECT_EQ(env.effectiveConfigHome(), QStringLiteral("/c/"));
    EXPECT_EQ(env.effectiveDataHome(), QStringLiteral("/home/u/.local/share/"));
}

TEST(Folders, PathParts)
{
    EXPECT_EQ(folderOf(QStringLiteral("/a/b/Larkspire")), QStringLiteral("/a/b/"));
    EXPECT_EQ(parentFolder(QStringLiteral("/a/b/")), QStringLiteral("/a/"));
    EXPECT_EQ(parentFolder(QStringLiteral("/a")), QStringLiteral("/"));
}
