#include "net/TlsCheck.h"

#include "net/FtpClient.h"
#include "net/TlsPins.h"

namespace ops {

namespace {

void closeQuietly(FtpClient& ftp)
{
    try {
        ftp.disconnect();
    } catch (const std::exception&) {
        // Closed either way.
    }
}

} // namespace

TlsReport checkTls(FtpSettings settings)
{
    TlsReport r;
    r.server = settings.host;
    settings.tls = FtpTls::Try;
    settings.tlsPins = std::make_shared<MemoryTlsPins>();
    settings.tlsResumeSession = true;
    settings.onConnected = {};
    FtpClient ftp(settings);
    try {
        ftp.connect();
        r.offered = ftp.tlsActive();
        r.version = ftp.tlsVersion();
        r.certificate = ftp.tlsPeer();
        if (ftp.dataProtected()) {
            ftp.listNames();
            r.dataProtected = true;
            r.resumes = ftp.lastDataResumed();
        }
    } catch (const FtpError& e) {
        r.failure = e.message();
    }
    closeQuietly(ftp);
    if (!r.dataProtected)
        return r;

    settings.tlsResumeSession = false;
    FtpClient fresh(settings);
    try {
        fresh.connect();
        fresh.listNames();
        r.reuseRequired = false;
    } catch (const FtpError& e) {
        // The server refused the data connection on the control connection (vsftpd 522,
        // proftpd 425); anything else says nothing about reuse.
        if (e.kind() == FtpError::Kind::Reply)
            r.reuseRequired = true;
        else
            r.failure =
                QStringLiteral("a listing without session reuse failed: %1").arg(e.message());
    }
    closeQuietly(fresh);
    return r;
}

QStringList describeTls(const QString& role, const TlsReport& r)
{
    const QString head = QStringLiteral("%1 %2: ").arg(role, r.server);
    QStringList lines;
    if (!r.offered) {
        lines << head + (r.failure.isEmpty()
                             ? QStringLiteral(
                                   "TLS not offered: the login and the files go in plain text")
                             : QStringLiteral("TLS not found out: %1").arg(r.failure));
        return lines;
    }
    lines << head + QStringLiteral("TLS offered (%1)").arg(r.version);
    lines << head + (r.dataProtected ? QStringLiteral("data connections protected")
                                     : QStringLiteral("data connections not protected"));
    if (r.reuseRequired)
        lines << head + (*r.reuseRequired
                             ? QStringLiteral("session reuse required on data connections")
                             : QStringLiteral("session reuse not required on data connections"));
    if (r.dataProtected)
        lines << head + (r.resumes ? QStringLiteral("data connections resume the session")
                                   : QStringLiteral("data connections do not resume the session"));
    const TlsPeer& c = r.certificate;
    lines << head + QStringLiteral("certificate SHA256 %1").arg(c.fingerprint);
    lines << head +
                 QStringLiteral("certificate %1, valid until %2")
                     .arg(c.subject, c.expires.toString(QStringLiteral("yyyy-MM-dd hh:mm 'UTC'")));
    lines << head + (c.trusted ? QStringLiteral("certificate trusted by the system's store")
                               : QStringLiteral("certificate not trusted by the system's store "
                                                "(%1): clients pin it on first use")
                                     .arg(c.untrustedBecause));
    if (!r.failure.isEmpty())
        lines << head + r.failure;
    return lines;
}

QStringList tlsProblems(const QString& role, const TlsReport& r, bool required,
                        const QDateTime& now)
{
    QStringList problems;
    const QString head = QStringLiteral("%1 %2: ").arg(role, r.server);
    if (required && !r.offered)
        problems << head + QStringLiteral("TLS is required but the server does not offer it");
    else if (required && r.offered && !r.dataProtected)
        problems << head + QStringLiteral("TLS is required but data connections are not protected");
    if (r.offered && r.certificate.expires.isValid() && r.certificate.expires < now)
        problems << head + QStringLiteral("the certificate expired on %1")
                               .arg(r.certificate.expires.toString(Qt::ISODate));
    return problems;
}

} // namespace ops
