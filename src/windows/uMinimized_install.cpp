// The mini bar's part in installation and autostart: the first start for a user installs a
// copy of the program's folder, every later start re-arms the autostart entry and brings the
// fonts, and two menu items switch the autostart off and on.
#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "core/Install.h"
#include "windows/TrayIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcInstall, "larkspire.install")

// A value that no store holds, to tell a missing value from an empty one.
const QString kMissing = QStringLiteral("\n");

} // namespace

bool TMinimized::installed() const
{
    return m_ctx.platform().settings->value(install::kInstalledKey, kMissing) != kMissing;
}

void TMinimized::addFonts()
{
    const QString data = m_ctx.folders().programDataDir;
    for (const QString& font : {QStringLiteral("Fontatigo 4F-Regular.ttf"),
                                QStringLiteral("calibri.ttf"), QStringLiteral("HATTEN.TTF")})
        m_ctx.platform().fonts->add(data + font);
}

void TMinimized::InstallOrRegister()
{
    PlatformServices& p = m_ctx.platform();
    if (!installed()) {
        m_tray->setSettingsShown(false);
        // The home folder stands in for the drive the program runs from: the user may write
        // there, and seldom anywhere above it.
        const QString chosen = p.desktop->chooseFolder(
            m_ctx.text(kTxtInstallFolder), m_ctx.environment().home, m_ctx.text(kTxtInstallNote));
        if (!chosen.isEmpty() && installInto(chosen))
            return;
        addFonts();
        m_tray->setSettingsShown(true);
        m_tray->setOpenItemShown(true);
        m_tray->setAutostart(false);
        return;
    }
    addFonts();
    m_tray->setOpenItemShown(true);
    m_tray->setSettingsShown(true);
    // The entry may have been removed by hand or point at an older place; it follows this copy.
    p.autostart->enable(m_ctx.environment().exePath);
    m_tray->setAutostart(true);
}

bool TMinimized::installInto(const QString& chosenFolder)
{
    PlatformServices& p = m_ctx.platform();
    const install::Target target = install::targetFor(chosenFolder);
    const QString source = QFileInfo(m_ctx.exeFolder()).canonicalFilePath();
    const QString into = QFileInfo(target.dir).absoluteFilePath();
    const bool inPlace = !source.isEmpty() && QFileInfo(target.dir).canonicalFilePath() == source;
    // Checked before anything is written: a copy into its own source would never end, and an
    // entry pointing at a copy that was never made would start nothing at the next logon.
    if (target.dir.isEmpty() || (!inPlace && (into == source || into.startsWith(source + u'/')))) {
        p.desktop->showError(
            QStringLiteral("Larkspire cannot be installed into its own folder: %1").arg(into));
        return false;
    }

    m_trayClickActive = false;
    p.settings->setValue(install::kInstalledKey, QStringLiteral("1"));
    m_tray->setSettingsShown(true);
    p.autostart->enable(target.exePath);
    // Single files that fail to copy are skipped; the start below tells whether the program
    // itself arrived.
    if (!inPlace)
        helpers::copyTree(m_ctx.exeFolder(), target.dir, false, true);

    const QString icon = install::iconFor(target.dir);
    if (!p.shortcuts->createDesktopLauncher(target.exePath, icon) ||
        !p.shortcuts->createMenuLauncher(target.exePath, icon)) {
        p.desktop->showError(QStringLiteral("The launchers of Larkspire could not be written."));
        m_trayClickActive = true;
        return false;
    }
    p.fonts->removeAll();
    if (!p.processes->startDetached(target.exePath)) {
        // Ending now would leave the user with no program at all.
        p.desktop->showError(
            QStringLiteral("The installed Larkspire could not be started: %1").arg(target.exePath));
        m_trayClickActive = true;
        return false;
    }
    qCInfo(lcInstall) << "installed into" << target.dir;
    m_ctx.requestQuit();
    return true;
}

void TMinimized::s1Click()
{
    if (!m_ctx.platform().desktop->confirm(QStringLiteral("Larkspire"),
                                           m_ctx.text(kTxtRemoveAutostart)))
        return;
    m_tray->setAutostart(false);
    m_ctx.platform().settings->remove(install::kInstalledKey);
    m_ctx.platform().autostart->disable();
}

void TMinimized::s2Click()
{
    m_tray->setAutostart(true);
    PlatformServices& p = m_ctx.platform();
    const QString exePath = m_ctx.environment().exePath;
    p.settings->setValue(install::kInstalledKey, QStringLiteral("1"));
    p.autostart->enable(exePath);
    const QString icon = install::iconFor(m_ctx.exeFolder());
    if (!p.shortcuts->createDesktopLauncher(exePath, icon) ||
        !p.shortcuts->createMenuLauncher(exePath, icon))
        p.desktop->showError(QStringLiteral("The launchers of Larkspire could not be written."));
}
