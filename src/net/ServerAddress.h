#pragma once

#include <QString>

#include <optional>

// A server address as the system writes it: a host name or IPv4 address, optionally followed by
// ":port"; a plain host means the FTP port 21.
struct HostPort
{
    QString host;
    quint16 port = 21;

    static std::optional<HostPort> parse(const QString& text, quint16 defaultPort = 21);
};

// Build-time defaults that operators and tests override through the environment.
QString settingsServerAddress(); // LARKSPIRE_SETTINGS_SERVER
// LARKSPIRE_PROBE_URL; without one, the settings server's "host:port": the program needs that
// server and no other, often on a company network without internet access.
QString connectivityProbeUrl();
// Whether every connection must use TLS: the build's LARKSPIRE_REQUIRE_TLS, or the environment
// variable LARKSPIRE_REQUIRE_TLS=1 (which cannot lift a requirement the build made).
bool tlsRequired();
