#include "net/ServerSession.h"

#include "core/StringList.h"
#include "net/LocalCopy.h"
#include "net/StoreLayout.h"
#include "net/TlsPins.h"

#include <QDeadlineTimer>
#include <QDebug>
#include <QFile>
#include <QLoggingCategory>

namespace {

Q_LOGGING_CATEGORY(lcSession, "larkspire.session")

QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

} // namespace

std::optional<SettingsFile> parseSettingsFile(const QStringList& lines)
{
    if (lines.size() < SettingsFile::kLines)
        return std::nullopt;
    return SettingsFile{lines.at(5), lines.at(6), lines.at(7), lines.at(8)};
}

ServerSession::ServerSession(Config config)
    : m_config(std::move(config)), m_backoff(m_config.backoffFirstMs, m_config.backoffLongestMs)
{
    const FtpInstances instances = FtpInstances::ofMainWindow(
        m_config.mainServer, m_config.settingsServer, m_config.onConnected);
    m_main.settings() = instances.idFtp1;
    m_settings.settings() = instances.fcommandftp;
    m_main.settings().timeouts = m_config.timeouts;
    m_settings.settings().timeouts = m_config.timeouts;
    if (!m_config.tlsPins)
        m_config.tlsPins = std::make_shared<MemoryTlsPins>();
    for (FtpClient* c : {&m_main, &m_settings}) {
        c->settings().tls = m_config.requireTls ? FtpTls::Require : FtpTls::Try;
        c->settings().tlsPins = m_config.tlsPins;
    }
}

QString ServerSession::serverRoot() const
{
    return store::treeRoot(m_settingsFile.root, m_loginFolder);
}

QString ServerSession::usersFolder() const
{
    return store::usersFolder(serverRoot());
}

bool ServerSession::applySettings(const QStringList& lines)
{
    const std::optional<SettingsFile> file = parseSettingsFile(lines);
    if (!file)
        return false;
    m_settingsFile = *file;
    m_main.settings().host = file->host;
    m_main.settings().user = file->user;
    m_main.settings().password = file->password;
    m_loginFolder.clear(); // another account may start elsewhere
    return true;
}

ServerSession::Bootstrap ServerSession::bootstrapTick(QString* problem)
{
    m_mark = 0;
    if (!online())
        return Bootstrap::Offline;

    const QString copy = m_config.tempDataDir + store::local::kSettingsCopy;
    FtpSettings& s = m_settings.settings();
    s.host = m_config.settingsServer;
    s.user = m_config.settingsUser;
    s.password = m_config.settingsPassword;
    bool fetched = false;
    try {
        if (!m_settings.connected())
            m_settings.connect();
        // It holds the main server's login: the user's alone. A failed download keeps an
        // earlier run's copy.
        localcopy::download(m_settings, QStringLiteral("fcom.xo"), copy, localcopy::kPrivate);
        fetched = true;
        m_settingsTlsFailure.clear();
    } catch (const FtpError& e) {
        qCInfo(lcSession) << "settings server:" << e.message();
        if (e.kind() == FtpError::Kind::Tls)
            m_settingsTlsFailure = e.message();
    }
    // A failed download would leave the connection open and make the next Connect fail.
    try {
        m_settings.disconnect();
    } catch (const FtpError&) {
        // Closing is all that matters here.
    }

    // Without a fresh file, the copy an earlier run left behind lets the user work on.
    const auto lines = stringlist::load(copy);
    if (lines && applySettings(*lines)) {
        m_mark = 1;
        return fetched ? Bootstrap::Fetched : Bootstrap::EarlierCopy;
    }
    if (fetched && problem && !m_shortFileReported) {
        m_shortFileReported = true;
        *problem = QStringLiteral("The server settings file \"fcom.xo\" has %1 lines; %2 are "
                                  "needed. Larkspire keeps trying.")
                       .arg(lines ? lines->size() : 0)
                       .arg(SettingsFile::kLines);
    }
    return Bootstrap::Retry;
}

void ServerSession::configureMainFromSettings()
{
    if (!online() || m_mark == 0 || !m_main.settings().host.isEmpty())
        return;
    m_main.settings().host = m_settingsFile.host;
    m_main.settings().user = m_settingsFile.user;
    m_main.settings().password = m_settingsFile.password;
}

void ServerSession::connectMain(bool always)
{
    const qint64 now = QDeadlineTimer::current().deadline();
    if (!m_backoff.mayTry(now))
        throw FtpError(FtpError::Kind::Usage,
                       QStringLiteral("The last attempt failed; the next one in %1 ms")
                           .arg(m_backoff.waitLeftMs(now)));
    try {
        m_main.connect();
        if (always) {
            // The login folder is learnt only when the root is relative to it.
            if (!store::isFullPath(m_settingsFile.root) && m_loginFolder.isEmpty())
                m_loginFolder = m_main.currentFolder();
            m_main.changeFolder(usersFolder());
        } else {
            // Servers name folders without the trailing "/" the tree's paths carry.
            const QString current = m_main.currentFolder();
            if (m_loginFolder.isEmpty())
                m_loginFolder = current;
            if (withoutTrailingSlash(current) != withoutTrailingSlash(usersFolder()))
                m_main.changeFolder(usersFolder());
        }
    } catch (const FtpError& e) {
        // A refused folder or login is as final as a dead server until someone changes it.
        if (e.kind() != FtpError::Kind::Usage)
            m_backoff.failed(QDeadlineTimer::current().deadline());
        if (e.kind() == FtpError::Kind::Tls)
            m_mainTlsFailure = e.message();
        throw;
    }
    m_mainTlsFailure.clear();
    m_backoff.succeeded();
}

bool ServerSession::openMain()
{
    try {
        if (!m_main.connected()) {
            configureMainFromSettings();
            connectMain(true);
        }
        return true;
    } catch (const FtpError& e) {
        qCInfo(lcSession) << "main server:" << e.message();
        closeMain();
        return false;
    }
}

ServerSession::Opening ServerSession::openMainConnection()
{
    if (m_mark == 0)
        return Opening::NotReady;
    if (!online()) {
        closeMain();
        return Opening::WentOffline;
    }
    if (m_main.connected())
        return Opening::AlreadyOpen;
    try {
        configureMainFromSettings();
        connectMain(false);
        return Opening::Opened;
    } catch (const FtpError& e) {
        qCInfo(lcSession) << "main server:" << e.message();
        closeMain();
        return Opening::Failed;
    }
}

// A connection left open in the wrong folder would let the next feature write there, so
// failed openings close it too.
void ServerSession::closeMain()
{
    try {
        m_main.disconnect();
    } catch (const FtpError&) {
        // The connection is closed either way, which is all that is wanted.
    }
}

void ServerSession::keepAlive()
{
    if (m_main.connected())
        m_main.noop();
}
