#include "net/ServerAddress.h"

#include <QProcessEnvironment>

#ifndef LARKSPIRE_DEFAULT_SETTINGS_SERVER
#define LARKSPIRE_DEFAULT_SETTINGS_SERVER "127.0.0.1:2121"
#endif
#ifndef LARKSPIRE_DEFAULT_PROBE_URL
#define LARKSPIRE_DEFAULT_PROBE_URL ""
#endif
#ifndef LARKSPIRE_DEFAULT_REQUIRE_TLS
#define LARKSPIRE_DEFAULT_REQUIRE_TLS 0
#endif

std::optional<HostPort> HostPort::parse(const QString& text, quint16 defaultPort)
{
    const QString t = text.trimmed();
    if (t.isEmpty())
        return std::nullopt;
    HostPort hp;
    hp.port = defaultPort;
    const qsizetype colon = t.lastIndexOf(u':');
    if (colon < 0 || t.indexOf(u':') != colon) {
        // No port, or an IPv6 address without brackets: the whole text is the host.
        hp.host = t;
        return hp;
    }
    bool ok = false;
    const uint port = t.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535 || colon == 0)
        return std::nullopt;
    hp.host = t.left(colon);
    hp.port = static_cast<quint16>(port);
    return hp;
}

QString settingsServerAddress()
{
    const QString env = qEnvironmentVariable("LARKSPIRE_SETTINGS_SERVER");
    return env.isEmpty() ? QStringLiteral(LARKSPIRE_DEFAULT_SETTINGS_SERVER) : env;
}

QString connectivityProbeUrl()
{
    if (const QString env = qEnvironmentVariable("LARKSPIRE_PROBE_URL"); !env.isEmpty())
        return env;
    if (const QString built = QStringLiteral(LARKSPIRE_DEFAULT_PROBE_URL); !built.isEmpty())
        return built;
    // A TCP connection to the settings server's FTP port answers the question.
    const auto server = HostPort::parse(settingsServerAddress());
    return server ? QStringLiteral("%1:%2").arg(server->host).arg(server->port) : QString();
}

bool tlsRequired()
{
    if (LARKSPIRE_DEFAULT_REQUIRE_TLS)
        return true;
    const QString env = qEnvironmentVariable("LARKSPIRE_REQUIRE_TLS").trimmed().toLower();
    return env == u"1" || env == u"yes" || env == u"true" || env == u"on";
}
