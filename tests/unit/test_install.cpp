#include "core/Install.h"
#include "platform/linux/LinuxServices.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include <gtest/gtest.h>

namespace {

// desktop-file-validate's verdict on a written launcher: empty when it passes.
QString validate(const QString& path)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("desktop-file-validate", {path});
    if (!p.waitForFinished(30000))
        return "desktop-file-validate did not finish";
    const QString out = QString::fromUtf8(p.readAll()).trimmed();
    return p.exitCode() == 0 && out.isEmpty()
               ? QString()
               : out + " (exit " + QString::number(p.exitCode()) + ")";
}

} // namespace

TEST(InstallTarget, ChosenFolderGetsALarkspireFolderUnlessItIsOne)
{
    EXPECT_EQ(install::targetFor("/apps").dir, "/apps/Larkspire/");
    EXPECT_EQ(install::targetFor("/apps").exePath, "/apps/Larkspire/Larkspire");
    EXPECT_EQ(install::targetFor("/apps/").dir, "/apps/Larkspire/");
    EXPECT_EQ(install::targetFor("/apps/LARKSPIRE").dir, "/apps/LARKSPIRE/");
    EXPECT_EQ(install::targetFor("/apps/larkspire/").exePath, "/apps/larkspire/Larkspire");
    EXPECT_EQ(install::targetFor("/").dir, "/Larkspire/");
    // Only the whole name counts: the folder is not cut to "/apps/My".
    EXPECT_EQ(install::targetFor("/apps/MyLarkspire").dir, "/apps/MyLarkspire/Larkspire/");
    EXPECT_EQ(install::targetFor("/apps/a/../b").dir, "/apps/b/Larkspire/");
    EXPECT_TRUE(install::targetFor("apps").dir.isEmpty());
    EXPECT_TRUE(install::targetFor("").dir.isEmpty());
}

TEST(DesktopEntry, ExecQuotesOneArgumentAndRefusesLineBreaks)
{
    EXPECT_EQ(install::execValue("/opt/Larkspire/Larkspire"), "\"/opt/Larkspire/Larkspire\"");
    // Reserved characters escaped inside the quotes, then the backslashes escaped as a string.
    EXPECT_EQ(install::execValue("/a b/$x`y\\z\"/100%"),
              "\"/a b/\\\\$x\\\\`y\\\\\\\\z\\\\\"/100%%\"");
    EXPECT_TRUE(install::desktopEntry("/a\nExec=/bin/sh", {}, false).isEmpty());
    EXPECT_TRUE(install::desktopEntry("relative/Larkspire", {}, false).isEmpty());
    const QByteArray entry = install::desktopEntry("/opt/L/Larkspire", "/opt/L/i.png", true);
    EXPECT_TRUE(entry.contains("X-GNOME-Autostart-enabled=true\n"));
}

TEST(Launchers, AutostartDesktopAndMenuEntriesPassTheValidator)
{
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        GTEST_SKIP() << "desktop-file-validate missing (Debian package desktop-file-utils)";
    TempTree tmp;
    // The user has renamed the desktop folder, as other languages do.
    tmp.write("config/user-dirs.dirs", "XDG_DESKTOP_DIR=\"$HOME/Arbeitsfläche\"\n");
    const QString program = tmp.path("My Apps/100% \"Lark\"/Larkspire");
    const QString icon = tmp.path("My Apps/0rg_System/Larkspire.png");

    XdgAutostart autostart(tmp.path("config/"));
    ASSERT_TRUE(autostart.enable(program));
    XdgShortcuts shortcuts(tmp.path("home"), tmp.path("config/"), tmp.path("data/"));
    EXPECT_EQ(shortcuts.desktopFolder(), tmp.path("home/Arbeitsfläche/"));
    ASSERT_TRUE(shortcuts.createDesktopLauncher(program, icon));
    ASSERT_TRUE(shortcuts.createMenuLauncher(program, icon));

    for (const QString& file : {tmp.path("config/autostart/Larkspire.desktop"),
                                tmp.path("home/Arbeitsfläche/Larkspire.desktop"),
                                tmp.path("data/applications/Larkspire.desktop")}) {
        ASSERT_TRUE(QFile::exists(file)) << file.toStdString();
        EXPECT_EQ(validate(file), QString()) << file.toStdString();
        EXPECT_TRUE(QFile::permissions(file) & QFile::ExeOwner);
    }
    EXPECT_TRUE(TempTree::read(tmp.path("data/applications/Larkspire.desktop"))
                    .contains(("Icon=" + icon + "\n").toUtf8()));
}

TEST(Launchers, DesktopFolderFallsBackToHomeDesktop)
{
    TempTree tmp;
    // No user-dirs.dirs: xdg-user-dir names the home folder's Desktop or the home folder.
    XdgShortcuts shortcuts(tmp.path("home"), tmp.path("config/"), tmp.path("data/"));
    const QString folder = shortcuts.desktopFolder();
    EXPECT_TRUE(folder == tmp.path("home/Desktop/") || folder == tmp.path("home/"))
        << folder.toStdString();
}
