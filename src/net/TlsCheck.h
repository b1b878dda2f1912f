#pragma once

#include "net/FtpSettings.h"
#include "net/TlsChannel.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the operators' check finds out about one server's TLS.
namespace ops {

struct TlsReport
{
    QString server;       // "host:port" as configured
    QString failure;      // why the check stopped short; what came before it stands
    bool offered = false; // AUTH TLS was accepted
    QString version;      // "TLSv1.3"
    // PROT P was accepted and a protected listing went through.
    bool dataProtected = false;
    bool resumes = false; // that listing resumed the control connection's session
    // A data connection that did not resume it was refused; nullopt when that could not be
    // found out (no protected data connections, or the probe failed otherwise).
    std::optional<bool> reuseRequired;
    TlsPeer certificate;
};

// Logs in as `settings` say (trying TLS, whatever they require, and pinning nothing), lists the
// login folder over a protected data connection and again, from a second login, without
// resuming the session. Never throws.
TlsReport checkTls(FtpSettings settings);

// The report for the operator, one fact a line, each starting with `role` and the server.
QStringList describeTls(const QString& role, const TlsReport& report);
// What must be fixed: TLS not offered though `required`, a certificate that has expired.
QStringList tlsProblems(const QString& role, const TlsReport& report, bool required,
                        const QDateTime& now);

} // namespace ops
