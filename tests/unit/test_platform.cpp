#include "core/Drafts.h"
#include "platform/linux/LinuxServices.h"
#include "support/QtPrinters.h"
#include "support/TempTree.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(AdapterAddress, FormatsSixPairsOrReportsNone)
{
    EXPECT_EQ(formatAdapterAddress("52:54:00:ab:0c:ff"), QStringLiteral("52-54-00-AB-0C-FF"));
    EXPECT_EQ(formatAdapterAddress("00:00:00:00:00:00"), QStringLiteral("mac not found"));
    EXPECT_EQ(formatAdapterAddress(""), QStringLiteral("mac not found"));
    EXPECT_EQ(formatAdapterAddress("00:11:22:33:44:55:66:77"), QStringLiteral("mac not found"));
    const QString real = SysNetworkAdapter().adapterAddress();
    EXPECT_TRUE(real == u"mac not found" || real.size() == 17) << real.toStdString();
}

TEST(Processes, MatchByFileNameOrWholePathIgnoringCase)
{
    EXPECT_TRUE(processMatches(QStringLiteral("/opt/x/Larkspire"), QStringLiteral("larkspire")));
    EXPECT_TRUE(
        processMatches(QStringLiteral("/opt/x/Larkspire (deleted)"), QStringLiteral("Larkspire")));
    EXPECT_TRUE(
        processMatches(QStringLiteral("/opt/x/Larkspire"), QStringLiteral("/OPT/x/larkspire")));
    EXPECT_FALSE(
        processMatches(QStringLiteral("/opt/x/LarkspireUpdate"), QStringLiteral("Larkspire")));
}

TEST(Processes, EndsEveryProcessOfTheName)
{
    const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    ASSERT_FALSE(sleep.isEmpty());
    TempTree tmp;
    // A copy under a name no other process on the machine carries.
    const QString name = QStringLiteral("LkSleeper%1").arg(QCoreApplication::applicationPid());
    const QString exe = tmp.path(name);
    ASSERT_TRUE(QFile::copy(sleep, exe));
    QProcess a, b;
    a.start(exe, {QStringLiteral("60")});
    b.start(exe, {QStringLiteral("60")});
    ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());
    ProcProcesses processes;
    EXPECT_TRUE(processes.killProcessesNamed(name.toLower()));
    EXPECT_TRUE(a.waitForFinished(10000));
    EXPECT_TRUE(b.waitForFinished(10000));
    EXPECT_EQ(a.exitStatus(), QProcess::CrashExit); // ended by a signal
    EXPECT_FALSE(processes.killProcessesNamed(name));
}

TEST(Processes, EndsOnlyTheCopiesOfOneInstallationWhenGivenItsPath)
{
    const QString sleep = QStandardPaths::findExecutable(QStringLiteral("sleep"));
    ASSERT_FALSE(sleep.isEmpty());
    TempTree tmp;
    // Two installations of one program, as two users try it on one machine.
    const QString name = QStringLiteral("LkInstalled%1").arg(QCoreApplication::applicationPid());
    const QString mine = tmp.path(QStringLiteral("one/") + name);
    const QString other = tmp.path(QStringLiteral("two/") + name);
    QDir().mkpath(tmp.path(QStringLiteral("one")));
    QDir().mkpath(tmp.path(QStringLiteral("two")));
    ASSERT_TRUE(QFile::copy(sleep, mine) && QFile::copy(sleep, other));
    QProcess a, b;
    a.start(mine, {QStringLiteral("60")});
    b.start(other, {QStringLiteral("60")});
    ASSERT_TRUE(a.waitForStarted() && b.waitForStarted());
    ProcProcesses processes;
    EXPECT_TRUE(processes.killProcessesNamed(mine));
    EXPECT_TRUE(a.waitForFinished(10000));
    EXPECT_FALSE(b.waitForFinished(300)) << "the other installation runs on";
    b.kill();
    b.waitForFinished(10000);
}

TEST(Autostart, EntryIsWrittenQuotedAndRemoved)
{
    TempTree tmp;
    XdgAutostart autostart(tmp.path(QStringLiteral("config/")));
    EXPECT_FALSE(autostart.isEnabled());
    ASSERT_TRUE(autostart.enable(QStringLiteral("/home/u/My Apps/100% \"Lark\"/Larkspire")));
    EXPECT_TRUE(autostart.isEnabled());
    const QByteArray entry =
        TempTree::read(tmp.path(QStringLiteral("config/autostart/Larkspire.desktop")));
    EXPECT_TRUE(entry.startsWith("[Desktop Entry]\n")) << entry.constData();
    EXPECT_TRUE(entry.contains("Exec=\"/home/u/My Apps/100%% \\\\\"Lark\\\\\"/Larkspire\"\n"))
        << entry.constData();
    EXPECT_TRUE(autostart.disable());
    EXPECT_FALSE(autostart.isEnabled());
    EXPECT_TRUE(autostart.disable());
}

TEST(Autostart, EntryFollowsTheProgramAndIsLeftAloneWhenItAlreadyDoes)
{
    TempTree tmp;
    XdgAutostart autostart(tmp.path(QStringLiteral("config/")));
    const QString path = tmp.path(QStringLiteral("config/autostart/Larkspire.desktop"));
    const auto inode = [&path] {
        struct stat st
        {
        };
        ::stat(QFile::encodeName(path).constData(), &st);
        return st.st_ino;
    };
    ASSERT_TRUE(autostart.enable(QStringLiteral("/opt/A/Larkspire")));
    const ino_t written = inode();
    ASSERT_TRUE(autostart.enable(QStringLiteral("/opt/A/Larkspire")));
    EXPECT_EQ(inode(), written) << "an entry that says the same is not written again";
    // The program moved, or the entry lost its execute bit by hand: written anew.
    ASSERT_TRUE(autostart.enable(QStringLiteral("/opt/B/Larkspire")));
    EXPECT_TRUE(TempTree::read(path).contains("/opt/B/Larkspire"))
        << TempTree::read(path).constData();
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(autostart.enable(QStringLiteral("/opt/B/Larkspire")));
    EXPECT_TRUE(QFile::permissions(path) & QFile::ExeOwner);
}

TEST(Launchers, MenuLauncherIsExecutable)
{
    TempTree tmp;
    XdgShortcuts shortcuts(tmp.path(QStringLiteral("home")), tmp.path(QStringLiteral("config/")),
                           tmp.path(QStringLiteral("data/")));
    ASSERT_TRUE(shortcuts.createMenuLauncher(QStringLiteral("/opt/L/Larkspire"),
                                             QStringLiteral("/opt/L/0rg_System/Larkspire.png")));
    const QString path = tmp.path(QStringLiteral("data/applications/Larkspire.desktop"));
    EXPECT_TRUE(QFile::permissions(path) & QFile::ExeOwner);
    EXPECT_TRUE(TempTree::read(path).contains("Icon=/opt/L/0rg_System/Larkspire.png\n"));
}

TEST(SettingsStore, ValuesSurviveANewStore)
{
    TempTree tmp;
    const QString file = tmp.path(QStringLiteral("Larkspire/Larkspire.ini"));
    IniSettingsStore(file).setValue(QStringLiteral("ASt"), QStringLiteral("1"));
    IniSettingsStore again(file);
    EXPECT_EQ(again.value(QStringLiteral("ASt"), {}), QStringLiteral("1"));
    again.remove(QStringLiteral("ASt"));
    EXPECT_EQ(IniSettingsStore(file).value(QStringLiteral("ASt"), QStringLiteral("none")),
              QStringLiteral("none"));
}

TEST(Shell, OnlyWebLinksAreOpened)
{
    // A message text such as "file:///bin/sh" must never reach the desktop's opener.
    DesktopShell shell;
    EXPECT_FALSE(shell.openLink(QStringLiteral("file:///bin/sh")));
    EXPECT_FALSE(shell.openLink(QStringLiteral("javascript:alert(1)")));
}

TEST(Fonts, ShippedFilesStandInForTheFamiliesTheWindowsAskFor)
{
    EXPECT_EQ(fontAlias(QStringLiteral("/x/0rg_System/calibri.ttf")), QStringLiteral("Calibri"));
    EXPECT_EQ(fontAlias(QStringLiteral("HATTEN.TTF")), QStringLiteral("Haettenschweiler"));
    EXPECT_EQ(fontAlias(QStringLiteral("Fontatigo 4F-Regular.ttf")),
              QStringLiteral("Fontatigo 4F"));
    EXPECT_TRUE(fontAlias(QStringLiteral("other.ttf")).isEmpty());
    const QString carlito = qEnvironmentVariable("LARKSPIRE_BIN_DIR") + "/0rg_System/calibri.ttf";
    if (!QFile::exists(carlito))
        GTEST_SKIP() << "no built data folder";
    AppFonts fonts;
    ASSERT_TRUE(fonts.add(carlito));
    EXPECT_EQ(QFontInfo(QFont(QStringLiteral("Calibri"))).family(), QStringLiteral("Carlito"));
}

namespace {

bool ownerOnly(const QString& file)
{
    const QFile::Permissions others = QFile::ReadGroup | QFile::WriteGroup | QFile::ExeGroup |
                                      QFile::ReadOther | QFile::WriteOther | QFile::ExeOther;
    const QFile::Permissions p = QFile::permissions(file);
    return (p & QFile::ReadOwner) && (p & QFile::WriteOwner) && !(p & others);
}

} // namespace

TEST(SettingsStore, DraftsKeepTheirTextUnderAnyNamesAndStayPrivate)
{
    TempTree tmp;
    const QString file = tmp.path(QStringLiteral("config/Larkspire/Larkspire.ini"));
    using drafts::Box;
    // Names that a store could take for groups, fold together or mix up.
    const QStringList peers{"Bob", "bob", "a/b", "a\\b", "[x]=1;#", "Ёжик", ""};
    QString longDraft;
    for (int k = 0; k < 20000; ++k)
        longDraft += QStringLiteral("строка %1; \"quoted\" = \\ tab\t\r\n").arg(k);
    {
        IniSettingsStore store(file);
        for (const QString& peer : peers)
            store.setValue(drafts::key("Alice", peer, Box::Message), "to " + peer + "\nline 2");
        // The store's own markers, typed as text.
        store.setValue(drafts::key("Alice", "Bob", Box::QuickSend), "@ByteArray(quick)");
        store.setValue(drafts::key("Al", "iceBob", Box::Message), longDraft);
    }
    IniSettingsStore again(file);
    for (const QString& peer : peers)
        EXPECT_EQ(again.value(drafts::key("Alice", peer, Box::Message), {}),
                  "to " + peer + "\nline 2")
            << peer.toStdString();
    EXPECT_EQ(again.value(drafts::key("Alice", "Bob", Box::QuickSend), {}), "@ByteArray(quick)");
    EXPECT_EQ(again.value(drafts::key("Al", "iceBob", Box::Message), {}), longDraft);
    EXPECT_EQ(again.value(drafts::key("Bob", "Alice", Box::Message), "none"), "none");
    // Unsent messages are the user's alone.
    EXPECT_TRUE(ownerOnly(file));
}

TEST(SettingsStore, AStoreReadableByOthersIsTightenedAtTheNextWrite)
{
    TempTree tmp;
    const QString file = tmp.write(QStringLiteral("Larkspire.ini"), "[General]\nASt=1\n");
    QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther |
                                    QFile::ReadGroup);
    IniSettingsStore(file).setValue(drafts::key("Alice", "Bob", drafts::Box::Message), "hi");
    EXPECT_TRUE(ownerOnly(file));
    EXPECT_EQ(IniSettingsStore(file).value(QStringLiteral("ASt"), {}), QStringLiteral("1"));
}
