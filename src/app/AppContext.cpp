#include "app/AppContext.h"

#include "core/Helpers.h"
#include "net/ServerAddress.h"
#include "net/StoreLayout.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"
#include "session/ConnectionWatch.h"
#include "session/Outbox.h"
#include "session/SettingsTlsPins.h"

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

AppContext::AppContext(UserEnvironment env, PlatformServices platform, WindowSet::Factory windows)
    : m_env(std::move(env)), m_platform(std::move(platform)), m_makeWindows(std::move(windows))
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
    // Windows go first, while the session and services they use still exist.
    if (m_windows)
        m_windows->destroy();
    m_windows.reset();
    m_outbox.reset();
    m_connectionWatch.reset();
    m_upkeep.reset();
    m_session.reset();
    m_state.reset();
}

void AppContext::createWindows()
{
    createStartWindows();
    m_windows->createMainWindow();
}

void AppContext::start()
{
    createStartWindows();
    startUp();
}

void AppContext::createStartWindows()
{
    ClientSession::Config config;
    config.settingsServer = settingsServerAddress();
    config.folders = [this] { return folders(); };
    config.languageCode = [this] { return languageCode(); };
    // A server that offered TLS once is never used in plain text again, across runs.
    config.tlsPins = std::make_shared<SettingsTlsPins>(*m_platform.settings);
    m_state = std::make_unique<ClientState>();
    m_session = std::make_unique<ClientSession>(config);
    m_upkeep = std::make_unique<ConnectionUpkeep>(*m_session, *m_state, connectivityProbeUrl());
    m_connectionWatch = std::make_unique<ConnectionWatch>(*m_session, *m_upkeep, *m_state);
    m_outbox = std::make_unique<Outbox>(
        m_env.effectiveStateHome() + QStringLiteral("larkspire/outbox.json"), *m_session, *m_state);
    m_windows = m_makeWindows();
    m_windows->create(*this);
}

void AppContext::startUp()
{
    // A first start that installed the program ends here; the installed copy takes over.
    if (m_ending)
        return;
    if (m_platform.desktop->trayAvailable()) {
        m_windows->showTrayIcon();
    } else {
        m_barStandsInForTray = true;
        for (QWidget* w : windows()) {
            if (w)
                w->installEventFilter(this);
        }
        m_windows->showMiniBar();
    }
    // Unless createWindows() made it: its making takes longer than all before, so the way in
    // is on screen first.
    m_windows->createMainWindow();
}

bool AppContext::signsInAutomatically() const
{
    return store::local::signsInAutomatically(folders().userDataDir);
}

void AppContext::windowMade(QWidget* window)
{
    if (m_barStandsInForTray)
        window->installEventFilter(this);
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
    if (!m_barStandsInForTray || !Minimized())
        return;
    for (QWidget* w : windows()) {
        if (w && w->isVisible())
            return;
    }
    m_windows->showMiniBar();
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
    return m_windows ? m_windows->all() : std::vector<QWidget*>();
}
