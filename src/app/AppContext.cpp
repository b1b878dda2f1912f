#include "app/AppContext.h"

#include "core/Helpers.h"
#include "net/ServerAddress.h"
#include "session/ClientSession.h"
#include "windows/uList.h"
#include "windows/uLocal.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"
#include "windows/uPhoto.h"
#include "windows/udragform.h"

#include <QEvent>
#include <QWidget>

namespace {

// The news sound, silent while do not disturb is on. Every window that announces news plays it
// through here, so none of them needs to know.
class SoundUnlessDisturbing : public Sound
{
public:
    SoundUnlessDisturbing(std::unique_ptr<Sound> sound, const DoNotDisturb& quiet)
        : m_sound(std::move(sound)), m_quiet(quiet)
    {
    }
    void playNewMessage() override
    {
        if (m_sound && !m_quiet.isOn())
            m_sound->playNewMessage();
    }

private:
    std::unique_ptr<Sound> m_sound;
    const DoNotDisturb& m_quiet;
};

} // namespace

AppContext::AppContext(UserEnvironment env, PlatformServices platform)
    : m_env(std::move(env)), m_platform(std::move(platform))
{
    m_platform.sound =
        std::make_unique<SoundUnlessDisturbing>(std::move(m_platform.sound), m_doNotDisturb);
    m_doNotDisturb.restore(
        m_platform.settings->value(QString::fromUtf16(DoNotDisturb::kSettingsKey), QString()));
}

void AppContext::setDoNotDisturb(std::optional<DoNotDisturb::Span> span)
{
    if (span)
        m_doNotDisturb.turnOn(*span);
    else
        m_doNotDisturb.turnOff();
    const QString key = QString::fromUtf16(DoNotDisturb::kSettingsKey);
    if (m_doNotDisturb.isOn())
        m_platform.settings->setValue(key, m_doNotDisturb.stored());
    else
        m_platform.settings->remove(key);
    emit doNotDisturbChanged();
}

bool AppContext::dropExpiredDoNotDisturb()
{
    const QString key = QString::fromUtf16(DoNotDisturb::kSettingsKey);
    if (m_doNotDisturb.isOn() || m_platform.settings->value(key, QString()).isEmpty())
        return false;
    setDoNotDisturb(std::nullopt);
    return true;
}

AppContext::~AppContext()
{
    // Windows go first, in reverse order of creation, while the services they use still exist.
    m_fList.reset();
    m_Photo.reset();
    m_NetMenu.reset();
    m_netprog.reset();
    m_Network.reset();
    m_Minimized.reset();
    m_dragform.reset();
    m_session.reset();
    m_LC.reset();
}

void AppContext::createWindows()
{
    m_LC = std::make_unique<TLC>(*this);
    ClientSession::Config config;
    config.settingsServer = settingsServerAddress();
    config.folders = [this] { return folders(); };
    config.languageCode = [this] { return languageCode(); };
    m_session = std::make_unique<ClientSession>(config);
    m_dragform = std::make_unique<Tdragform>(*this);
    m_Minimized = std::make_unique<TMinimized>(*this);
    m_Network = std::make_unique<TNetwork>(*this);
    m_netprog = std::make_unique<Tnetprog>(*this);
    m_NetMenu = std::make_unique<TNetMenu>(*this);
    m_Photo = std::make_unique<TPhoto>(*this);
    m_fList = std::make_unique<TfList>(*this);
}

void AppContext::startUp()
{
    // A first start that installed the program ends here; the installed copy takes over.
    if (m_ending)
        return;
    if (m_platform.desktop->trayAvailable()) {
        m_Minimized->showTrayIcon();
        return;
    }
    m_barStandsInForTray = true;
    for (QWidget* w : windows()) {
        if (w)
            w->installEventFilter(this);
    }
    m_Minimized->show();
}

bool AppContext::eventFilter(QObject* watched, QEvent* event)
{
    // Queued: a window hiding often hands over to another that shows right after.
    if (event->type() == QEvent::Hide && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
        QMetaObject::invokeMethod(this, &AppContext::bringBackBarIfAlone, Qt::QueuedConnection);
    return QObject::eventFilter(watched, event);
}

void AppContext::bringBackBarIfAlone()
{
    if (!m_barStandsInForTray || !m_Minimized)
        return;
    for (QWidget* w : windows()) {
        if (w && w->isVisible())
            return;
    }
    m_Minimized->show();
}

void AppContext::requestQuit()
{
    m_ending = true;
    emit quitRequested();
}

QString AppContext::exeFolder() const
{
    return folderOf(m_env.exePath);
}

QString AppContext::tempFolder() const
{
    return helpers::tempFolder(m_env);
}

Folders AppContext::folders() const
{
    Folders f = Folders::derive(exeFolder(), tempFolder(), text(126), text(127));
    if (!m_localBaseDir.isEmpty()) {
        f.localBaseDir = m_localBaseDir;
        f.userDataDir = m_localBaseDir + QString::fromUtf16(kDataFolderName) + u'/';
    }
    return f;
}

std::vector<QWidget*> AppContext::windows() const
{
    return {m_LC.get(),      m_dragform.get(), m_Minimized.get(), m_Network.get(),
            m_netprog.get(), m_NetMenu.get(),  m_Photo.get(),     m_fList.get()};
}
