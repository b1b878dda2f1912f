#include "BenchClient.h"

#include "UserActions.h"

#include "core/Helpers.h"
#include "net/StoreLayout.h"
#include "session/ConnectionUpkeep.h"
#include "windows/ClientWindows.h"
#include "windows/uMinimized.h"
#include "windows/uNetwork.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using namespace useractions;

BenchClient::BenchClient(const QString& root, const QString& dataFolder)
{
    const QString app = root + QStringLiteral("/app/");
    helpers::copyTree(dataFolder, app + QStringLiteral("0rg_System"), false, true);
    if (QFile lc(app + QStringLiteral("0rg_System/LC.xo")); lc.open(QIODevice::WriteOnly))
        lc.write("eng/\r\n");
    UserEnvironment env;
    env.exePath = app + QStringLiteral("Larkspire");
    env.home = root + QStringLiteral("/home");
    env.stateHome = root + QStringLiteral("/state");
    env.configHome = root + QStringLiteral("/config");
    env.dataHome = root + QStringLiteral("/data");
    m_ctx = std::make_unique<AppContext>(env, FakePlatform::make(&fakes), ClientWindows::make);
    m_ctx->createWindows();
    // A desktop without a tray: the mini bar is the way in, as the user sees it there.
    fakes.desktop->tray = false;
    m_ctx->startUp();
}

BenchClient::~BenchClient() = default;

QWidget* BenchClient::mainWindow() const
{
    return m_ctx->Network();
}

QWidget* BenchClient::miniBar() const
{
    return m_ctx->Minimized();
}

QTimer* BenchClient::mainTimer(const char* name) const
{
    // The connection's timers are the session's upkeep; the poll's are the main window's.
    QObject* upkeep = &m_ctx->upkeep();
    if (auto* timer = upkeep->findChild<QTimer*>(QString::fromLatin1(name)))
        return timer;
    return find<QTimer>(mainWindow(), name);
}

bool BenchClient::openMainWindow()
{
    QWidget* bar = miniBar();
    if (!waitUntil([bar] { return bar->isVisible(); }, 5000))
        return false;
    click(find<QWidget>(bar, "Image1"), {20, 20});
    QWidget* w = mainWindow();
    if (!waitUntil([w] { return w->isVisible(); }, 5000))
        return false;
    w->activateWindow();
    // The fade-in takes a few ticks of a 1 ms timer.
    waitUntil([w] { return w->windowOpacity() > 0.9; }, 2000);
    return true;
}

bool BenchClient::serverSettingsFetched() const
{
    return QFile::exists(m_ctx->folders().tempDataDir + store::local::kSettingsCopy) &&
           !mainTimer("FTPCSpermit")->isActive();
}

void BenchClient::pressSignIn(const QString& name, const QString& password)
{
    QWidget* w = mainWindow();
    typeInto(find<QLineEdit>(w, "username"), name);
    typeInto(find<QLineEdit>(w, "pass"), password);
    click(find<QPushButton>(w, "Button2"));
}

bool BenchClient::signedInAs(const QString& name) const
{
    const auto* user = find<QLabel>(mainWindow(), "User");
    return user->isVisible() && user->text() == name;
}
