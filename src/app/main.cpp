#include "app/AppContext.h"
#include "app/BuildInfo.h"
#include "app/LarkspireApplication.h"
#include "update/Signature.h"
#include "windows/ClientWindows.h"

#include <malloc.h>

int main(int argc, char** argv)
{
    // One heap for every thread. The client's threads allocate little and seldom at once, and
    // an arena of its own kept the server thread's start-up peak resident for the whole run.
    mallopt(M_ARENA_MAX, 1);
    // The windows sit at absolute screen positions, which only X11 (or XWayland) allows.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "xcb");

    LarkspireApplication app(argc, argv);
    LarkspireApplication::setApplicationName(QStringLiteral("Larkspire"));
    LarkspireApplication::setApplicationDisplayName(QStringLiteral("Larkspire"));
    LarkspireApplication::setApplicationVersion(QStringLiteral(LARKSPIRE_VERSION));
    // Only the mini bar ends the program; the other windows merely hide.
    LarkspireApplication::setQuitOnLastWindowClosed(false);

    const UserEnvironment env = UserEnvironment::fromProcess();
    AppContext ctx(env, PlatformServices::forLinux(env), ClientWindows::make);
    app.setErrorReport([&ctx](const QString& text) { ctx.platform().desktop->showError(text); });
    QObject::connect(&ctx, &AppContext::quitRequested, &app, &QCoreApplication::quit,
                     Qt::QueuedConnection);
    // Said first, so that a log shows which build ran, also after an update.
    qInfo("Larkspire build %d", buildinfo::buildNumber());
    ctx.setBuildNumber(buildinfo::buildNumber());
    ctx.setUpdatePublicKey(
        signing::keyFromHex(buildinfo::updatePublicKeyHex(), signing::kPublicKeyBytes));
    if (ctx.updatePublicKey().isEmpty())
        qInfo("This build has no release key: it never updates itself.");
    ctx.start();
    return LarkspireApplication::exec();
}
