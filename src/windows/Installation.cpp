#include "windows/Installation.h"

#include "app/AppContext.h"
#include "core/Helpers.h"
#include "core/Install.h"
#include "core/StringList.h"

#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcInstall, "larkspire.install")

// A value that no store holds, to tell a missing value from an empty one.
const QString kMissing = QStringLiteral("\n");
const QString kLaunchersFailed = QStringLiteral("The launchers of Larkspire could not be written.");

} // namespace

Installation::Installation(AppContext& ctx) : m_ctx(ctx) {}

QString Installation::ownBuild(const AppContext& ctx)
{
    // The version resource of the other platform holds sixteen bits of it.
    return QString::number(ctx.buildNumber() & 0xFFFF);
}

QStringList Installation::recordBuild() const
{
    const QStringList record{ownBuild(m_ctx)};
    const QString file = m_ctx.folders().programDataDir + QStringLiteral("vinfo.xo");
    // The updater may have put its own record there; it is never replaced.
    if (!QFile::exists(file))
        stringlist::save(file, record);
    return record;
}

bool Installation::installed() const
{
    return m_ctx.platform().settings->value(install::kInstalledKey, kMissing) != kMissing;
}

void Installation::loadFonts()
{
    if (m_fontsLoaded || m_handingOver)
        return;
    m_fontsLoaded = true;
    const QString data = m_ctx.folders().programDataDir;
    for (const QString& font : {QStringLiteral("Fontatigo 4F-Regular.ttf"),
                                QStringLiteral("calibri.ttf"), QStringLiteral("HATTEN.TTF")})
        m_ctx.platform().fonts->add(data + font);
}

Installation::Start Installation::start()
{
    PlatformServices& p = m_ctx.platform();
    if (!installed()) {
        // The home folder stands in for the drive the program runs from: the user may write
        // there, and seldom anywhere above it.
        const QString chosen = p.desktop->chooseFolder(
            m_ctx.text(kTxtInstallFolder), m_ctx.environment().home, m_ctx.text(kTxtInstallNote));
        if (!chosen.isEmpty() && installInto(chosen))
            return Start::HandedOver;
        return Start::NotInstalled;
    }
    // The entry may have been removed by hand or point at an older place; it follows this copy.
    p.autostart->enable(m_ctx.environment().exePath);
    return Start::Installed;
}

bool Installation::installInto(const QString& chosenFolder)
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

    m_handingOver = true;
    p.settings->setValue(install::kInstalledKey, QStringLiteral("1"));
    p.autostart->enable(target.exePath);
    // Single files that fail to copy are skipped; the start below tells whether the program
    // itself arrived.
    if (!inPlace)
        helpers::copyTree(m_ctx.exeFolder(), target.dir, false, true);

    const QString icon = install::iconFor(target.dir);
    if (!p.shortcuts->createDesktopLauncher(target.exePath, icon) ||
        !p.shortcuts->createMenuLauncher(target.exePath, icon)) {
        p.desktop->showError(kLaunchersFailed);
        m_handingOver = false;
        return false;
    }
    p.fonts->removeAll();
    if (!p.processes->startDetached(target.exePath)) {
        // Ending now would leave the user with no program at all.
        p.desktop->showError(
            QStringLiteral("The installed Larkspire could not be started: %1").arg(target.exePath));
        m_handingOver = false;
        return false;
    }
    qCInfo(lcInstall) << "installed into" << target.dir;
    m_ctx.requestQuit();
    return true;
}

bool Installation::removeAutostart()
{
    PlatformServices& p = m_ctx.platform();
    if (!p.desktop->confirm(QStringLiteral("Larkspire"), m_ctx.text(kTxtRemoveAutostart)))
        return false;
    p.settings->remove(install::kInstalledKey);
    p.autostart->disable();
    return true;
}

void Installation::addAutostart()
{
    PlatformServices& p = m_ctx.platform();
    const QString exePath = m_ctx.environment().exePath;
    p.settings->setValue(install::kInstalledKey, QStringLiteral("1"));
    p.autostart->enable(exePath);
    const QString icon = install::iconFor(m_ctx.exeFolder());
    if (!p.shortcuts->createDesktopLauncher(exePath, icon) ||
        !p.shortcuts->createMenuLauncher(exePath, icon))
        p.desktop->showError(kLaunchersFailed);
}
