#include "support/FtpServerFixture.h"

#include "support/ServerProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <arpa/inet.h>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <netinet/in.h>
#include <poll.h>
#include <pwd.h>
#include <shadow.h>
#include <stdexcept>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef LARKSPIRE_FTPSERVERS_DIR
#define LARKSPIRE_FTPSERVERS_DIR ""
#endif
#ifndef LARKSPIRE_FTP_PYFTPDLIB_SCRIPT
#define LARKSPIRE_FTP_PYFTPDLIB_SCRIPT ""
#endif

namespace {

const QString kUser = QStringLiteral("larkftp");
const QString kPassword = QStringLiteral("larkpass");
// `openssl passwd -6 -salt larkspire larkpass`: a SHA-512 crypt hash is checked in
// milliseconds, where pure-pw's default (argon2) costs seconds per login.
const QString kPasswordHash =
    QStringLiteral("$6$larkspire$a195KqeMY/G7LZDnSATaAujH6bgqQHU8JipiN0BgT2rRPLLhwBKe6T/"
                   "ki8U7NdFiH3brTPz11ZufprJCKoOWv/");
const char* const kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 15'000;

QString serversDir()
{
    const QString env = qEnvironmentVariable("LARKSPIRE_FTPSERVERS_DIR");
    return env.isEmpty() ? QStringLiteral(LARKSPIRE_FTPSERVERS_DIR) : env;
}

QString pyftpdlibScript()
{
    const QString env = qEnvironmentVariable("LARKSPIRE_FTP_PYFTPDLIB_SCRIPT");
    return env.isEmpty() ? QStringLiteral(LARKSPIRE_FTP_PYFTPDLIB_SCRIPT) : env;
}

QString binaryOf(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Pyftpdlib:
        return QString::fromLatin1(kPython);
    case FtpServerKind::Vsftpd:
        return serversDir() + QStringLiteral("/root/usr/sbin/vsftpd");
    case FtpServerKind::PureFtpd:
        return serversDir() + QStringLiteral("/root/usr/sbin/pure-ftpd");
    case FtpServerKind::Proftpd:
        return serversDir() + QStringLiteral("/root/usr/sbin/proftpd");
    }
    return {};
}

[[noreturn]] void failStart(const QString& why)
{
    throw std::runtime_error(why.toStdString());
}

void writeText(const QString& path, const QString& text, int mode = 0644)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(text.toUtf8()) < 0)
        failStart(QStringLiteral("cannot write %1").arg(path));
    f.close();
    ::chmod(QFile::encodeName(path).constData(), static_cast<mode_t>(mode));
}

quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        failStart(QStringLiteral("no free port: %1").arg(QString::fromLocal8Bit(strerror(errno))));
    ::close(fd);
    return ntohs(a.sin_port);
}

bool accepts(quint16 port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(fd);
    return ok;
}

int run(const QString& program, const QStringList& args, const QByteArray& input = {})
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted())
        return -1;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(30'000);
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}

// Runs a program and returns what it wrote on stdout; empty when it failed.
QByteArray output(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted() || !p.waitForFinished(30'000) ||
        p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return {};
    return p.readAllStandardOutput();
}

// A throwaway self-signed certificate for 127.0.0.1 and its key, as PEM files. An EC key is
// made in milliseconds where RSA takes a noticeable time for each of the many servers.
void makeCertificate(const QString& certificate, const QString& key)
{
    if (run(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
             QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
             QStringLiteral("-days"), QStringLiteral("7"), QStringLiteral("-subj"),
             QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=IP:127.0.0.1"), QStringLiteral("-keyout"), key,
             QStringLiteral("-out"), certificate}) != 0)
        failStart(QStringLiteral("openssl could not make a certificate"));
    ::chmod(QFile::encodeName(key).constData(), 0600);
}

// The system user the servers run sessions as; made once per machine, shared by all tests.
struct ServerUser
{
    int uid = -1;
    int gid = -1;
};

ServerUser ensureServerUser()
{
    // Tests may run in parallel: one process at a time edits the user database.
    const int lock = ::open("/tmp/larkspire-ftp-user.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock >= 0)
        ::flock(lock, LOCK_EX);
    const QByteArray user = kUser.toLatin1();
    if (!::getpwnam(user.constData())) {
        // Home "/" because vsftpd changes to the home folder before its local_root.
        run(QStringLiteral("useradd"),
            {QStringLiteral("--system"), QStringLiteral("--no-create-home"),
             QStringLiteral("--home-dir"), QStringLiteral("/"), QStringLiteral("--shell"),
             QStringLiteral("/usr/sbin/nologin"), kUser});
    }
    const spwd* shadow = ::getspnam(user.constData());
    if (shadow && QString::fromLatin1(shadow->sp_pwdp) != kPasswordHash)
        run(QStringLiteral("chpasswd"), {QStringLiteral("-e")},
            (kUser + u':' + kPasswordHash + u'\n').toLatin1());
    ServerUser result;
    if (const passwd* pw = ::getpwnam(user.constData())) {
        result.uid = static_cast<int>(pw->pw_uid);
        result.gid = static_cast<int>(pw->pw_gid);
    }
    if (lock >= 0)
        ::close(lock); // releases the lock
    if (result.uid < 0)
        failStart(QStringLiteral("could not create the system user %1 (useradd)").arg(kUser));
    return result;
}

} // namespace

QString ftpServerKindName(FtpServerKind kind)
{
    switch (kind) {
    case FtpServerKind::Pyftpdlib:
        return QStringLiteral("pyftpdlib");
    case FtpServerKind::Vsftpd:
        return QStringLiteral("vsftpd");
    case FtpServerKind::PureFtpd:
        return QStringLiteral("pure-ftpd");
    case FtpServerKind::Proftpd:
        return QStringLiteral("proftpd");
    }
    return {};
}

QString FtpServerFixture::unavailable(FtpServerKind kind)
{
    if (kind == FtpServerKind::Pyftpdlib) {
        static const QString why = [] {
            if (!QFileInfo::exists(QString::fromLatin1(kPython)))
                return QStringLiteral(
                    "pyftpdlib: /usr/bin/python3 is missing (apt-get install python3-pyftpdlib)");
            if (run(QString::fromLatin1(kPython),
                    {QStringLiteral("-c"), QStringLiteral("import pyftpdlib")}) != 0)
                return QStringLiteral("pyftpdlib: Debian's python3-pyftpdlib is not installed "
                                      "(apt-get install python3-pyftpdlib)");
            if (!QFileInfo::exists(pyftpdlibScript()))
                return QStringLiteral("pyftpdlib: the server script %1 is missing")
                    .arg(pyftpdlibScript());
            return QString();
        }();
        return why;
    }
    const QString binary = binaryOf(kind);
    if (!QFileInfo(binary).isExecutable())
        return QStringLiteral("%1: %2 is missing; run tools/ftpservers/fetch.sh %3")
            .arg(ftpServerKindName(kind), binary,
                 serversDir().isEmpty() ? QStringLiteral("<dest>") : serversDir());
    if (::geteuid() != 0)
        return QStringLiteral("%1: needs root (a system user, chroot and privilege separation)")
            .arg(ftpServerKindName(kind));
    return {};
}

std::unique_ptr<FtpServerFixture> FtpServerFixture::start(FtpServerKind kind)
{
    return start(kind, Options{});
}

std::unique_ptr<FtpServerFixture> FtpServerFixture::start(FtpServerKind kind,
                                                          const Options& options)
{
    if (const QString why = unavailable(kind); !why.isEmpty())
        failStart(why);
    std::unique_ptr<FtpServerFixture> s(new FtpServerFixture);
    s->m_kind = kind;
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/larkspire-ftp-" +
                         ftpServerKindName(kind).toLatin1() + "-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        failStart(QStringLiteral("mkdtemp failed"));
    s->m_base = QString::fromLocal8Bit(pattern);
    ::chmod(pattern.constData(), 0755); // the server's user must reach root/ below it
    s->m_root = s->m_base + QStringLiteral("/root");
    s->m_logPath = s->m_base + QStringLiteral("/server.log");
    QDir().mkpath(s->m_root);
    QDir().mkpath(s->m_base + QStringLiteral("/empty"));
    QDir().mkpath(s->m_base + QStringLiteral("/control"));

    if (kind != FtpServerKind::Pyftpdlib) {
        const ServerUser u = ensureServerUser();
        s->m_uid = u.uid;
        s->m_gid = u.gid;
        s->giveToServerUser(s->m_root);
    }
    const QString base = s->m_base;
    const QString root = s->m_root;
    if (options.tls) {
        s->m_certificate = base + QStringLiteral("/cert.pem");
        s->m_key = base + QStringLiteral("/key.pem");
        makeCertificate(s->m_certificate, s->m_key);
    }
    const QString yesNo[] = {QStringLiteral("NO"), QStringLiteral("YES")};

    for (int attempt = 0;; ++attempt) {
        QStringList argv;
        const quint16 port = kind == FtpServerKind::Pyftpdlib ? options.port : freePort();
        switch (kind) {
        case FtpServerKind::Pyftpdlib:
            argv = {QString::fromLatin1(kPython),   pyftpdlibScript(),
                    QStringLiteral("--root"),       root,
                    QStringLiteral("--user"),       kUser,
                    QStringLiteral("--password"),   kPassword,
                    QStringLiteral("--control"),    base + QStringLiteral("/control"),
                    QStringLiteral("--watch-stdin")};
            if (options.replyDelayMs > 0)
                argv << QStringLiteral("--reply-delay-ms") << QString::number(options.replyDelayMs);
            if (options.refuseRenameOver)
                argv << QStringLiteral("--refuse-rename-over");
            if (port != 0)
                argv << QStringLiteral("--port") << QString::number(port);
            if (!options.passivePorts.isEmpty()) {
                QStringList ports;
                for (const quint16 p : options.passivePorts)
                    ports << QString::number(p);
                argv << QStringLiteral("--passive-ports") << ports.join(u',');
            }
            if (options.tls) {
                argv << QStringLiteral("--certfile") << s->m_certificate
                     << QStringLiteral("--keyfile") << s->m_key;
                if (options.tlsRequired)
                    argv << QStringLiteral("--tls-required");
            }
            break;
        case FtpServerKind::Vsftpd: {
            const QString conf = base + QStringLiteral("/vsftpd.conf");
            writeText(
                conf,
                QStringLiteral(
                    "listen=YES\nlisten_ipv6=NO\nlisten_address=127.0.0.1\nlisten_port=%1\n"
                    "background=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
                    "local_umask=022\nlocal_root=%2\nchroot_local_user=YES\nallow_writeable_chroot="
                    "YES\n"
                    "seccomp_sandbox=NO\nisolate_network=NO\nisolate=NO\ntcp_wrappers=NO\n"
                    "pam_service_name=larkspire-test-ftp\nsecure_chroot_dir=%3/empty\n"
                    "xferlog_enable=%5\nxferlog_std_format=NO\nlog_ftp_protocol=%5\n"
                    "vsftpd_log_file=%4\nconnect_from_port_20=NO\nmax_clients=0\nmax_per_ip=0\n")
                        .arg(port)
                        .arg(root, base, s->m_logPath,
                             qEnvironmentVariableIsEmpty("LARKSPIRE_FTP_QUIET")
                                 ? QStringLiteral("YES")
                                 : QStringLiteral("NO")) +
                    (options.tls ? QStringLiteral(
                                       "ssl_enable=YES\nrsa_cert_file=%1\nrsa_private_key_file=%2\n"
                                       "ssl_ciphers=HIGH\nssl_request_cert=NO\nallow_anon_ssl=NO\n"
                                       "force_local_logins_ssl=%3\nforce_local_data_ssl=%3\n"
                                       "require_ssl_reuse=%4\n")
                                       .arg(s->m_certificate, s->m_key, yesNo[options.tlsRequired],
                                            yesNo[options.requireSessionReuse])
                                 : QString()));
            argv = {binaryOf(kind), conf};
            break;
        }
        case FtpServerKind::PureFtpd: {
            const QString passwdFile = base + QStringLiteral("/pureftpd.passwd");
            const QString pdb = base + QStringLiteral("/pureftpd.pdb");
            writeText(passwdFile,
                      QStringLiteral("%1:%2:%3:%4::%5/./::::::::::::\n")
                          .arg(kUser, kPasswordHash)
                          .arg(s->m_uid)
                          .arg(s->m_gid)
                          .arg(root),
                      0600);
            if (run(serversDir() + QStringLiteral("/root/usr/bin/pure-pw"),
                    {QStringLiteral("mkdb"), pdb, QStringLiteral("-f"), passwdFile}) != 0)
                failStart(QStringLiteral("pure-pw mkdb failed"));
            argv = {binaryOf(kind),
                    QStringLiteral("-S"),
                    QStringLiteral("127.0.0.1,%1").arg(port),
                    QStringLiteral("-l"),
                    QStringLiteral("puredb:") + pdb,
                    QStringLiteral("-E"),
                    QStringLiteral("-H"),
                    QStringLiteral("-A"),
                    QStringLiteral("-4"),
                    QStringLiteral("-c"),
                    QStringLiteral("200"),
                    QStringLiteral("-C"),
                    QStringLiteral("200")};
            // -Y 1 takes TLS and plain text, 3 only TLS for logins and data.
            if (options.tls)
                argv << QStringLiteral("-Y")
                     << (options.tlsRequired ? QStringLiteral("3") : QStringLiteral("1"))
                     << QStringLiteral("-2") << s->m_certificate + u',' + s->m_key;
            break;
        }
        case FtpServerKind::Proftpd: {
            const QString passwdFile = base + QStringLiteral("/proftpd.passwd");
            const QString groupFile = base + QStringLiteral("/proftpd.group");
            writeText(passwdFile,
                      QStringLiteral("%1:%2:%3:%4::%5:/bin/sh\n")
                          .arg(kUser, kPasswordHash)
                          .arg(s->m_uid)
                          .arg(s->m_gid)
                          .arg(root),
                      0600);
            writeText(groupFile, QStringLiteral("%1:x:%2:\n").arg(kUser).arg(s->m_gid), 0600);
            const QString conf = base + QStringLiteral("/proftpd.conf");
            writeText(
                conf,
                QStringLiteral(
                    "ServerName \"Larkspire test\"\nServerType standalone\nPort %1\n"
                    "DefaultAddress 127.0.0.1\nSocketBindTight on\nUseIPv6 off\n"
                    "User %2\nGroup %2\nPidFile %3/proftpd.pid\nScoreboardFile "
                    "%3/proftpd.scoreboard\n"
                    "WtmpLog off\nUseReverseDNS off\nAuthOrder mod_auth_file.c\n"
                    "AuthUserFile %4\nAuthGroupFile %5\nRequireValidShell off\nDefaultRoot ~\n"
                    "AllowOverwrite on\nDelayEngine off\nUmask 022\nMaxInstances 200\n"
                    "TransferLog none\nSystemLog %6\n")
                        .arg(port)
                        .arg(kUser, base, passwdFile, groupFile, s->m_logPath) +
                    (options.tls
                         ? QStringLiteral(
                               "ModulePath %1/root/usr/lib/proftpd\nLoadModule mod_tls.c\n"
                               "TLSEngine on\nTLSLog %2/tls.log\nTLSProtocol TLSv1.2 "
                               "TLSv1.3\nTLSECCertificateFile %3\nTLSECCertificateKeyFile %4\n"
                               "TLSVerifyClient off\nTLSRenegotiate none\nTLSRequired %5\n%6")
                               .arg(serversDir(), base, s->m_certificate, s->m_key,
                                    options.tlsRequired ? QStringLiteral("on")
                                                        : QStringLiteral("off"),
                                    options.requireSessionReuse
                                        ? QString()
                                        : QStringLiteral("TLSOptions NoSessionReuseRequired\n"))
                         : QString()));
            argv = {binaryOf(kind), QStringLiteral("-n"), QStringLiteral("-q"),
                    QStringLiteral("-c"), conf};
            break;
        }
        }
        s->m_port = port;
        try {
            s->launch(argv, kind == FtpServerKind::Pyftpdlib);
            return s;
        } catch (const std::runtime_error&) {
            s->stop();
            // Another process may have taken the free port in between: try a new one.
            if (attempt == 2 || kind == FtpServerKind::Pyftpdlib)
                throw;
        }
    }
}

void FtpServerFixture::launch(const QStringList& arguments, bool readPort)
{
    serverprocess::Started started;
    try {
        started = serverprocess::spawn(arguments, m_logPath, readPort, true);
    } catch (const std::runtime_error& e) {
        failStart(QString::fromLatin1(e.what()));
    }
    m_pid = started.pid;

    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    const auto gone = [&] {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return true;
        }
        return false;
    };
    if (readPort) {
        m_stdinPipe = started.stdinPipe; // the server stops when this closes
        m_port = serverprocess::readReady(started.stdoutPipe, kStartTimeoutMs);
        if (m_port == 0)
            failStart(QStringLiteral("%1 did not start: %2").arg(name(), log()));
        return;
    }
    while (!accepts(m_port)) {
        if (gone() || std::chrono::steady_clock::now() > deadline)
            failStart(QStringLiteral("%1 did not start: %2").arg(name(), log()));
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

FtpServerFixture::~FtpServerFixture()
{
    stop();
    // nftw, not QDir: names a windows-1251 server wrote are no valid UTF-8 and QDir skips them.
    if (!m_base.isEmpty() && qEnvironmentVariableIsEmpty("LARKSPIRE_FTP_KEEP"))
        ::nftw(
            QFile::encodeName(m_base).constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
}

void FtpServerFixture::stop()
{
    if (m_stdinPipe >= 0) {
        ::close(m_stdinPipe);
        m_stdinPipe = -1;
    }
    if (m_pid <= 0)
        return;
    const int group = m_pid;
    ::kill(-m_pid, SIGTERM);
    ::kill(m_pid, SIGTERM);
    for (int i = 0; i < 150; ++i) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (m_pid > 0) {
        ::kill(-m_pid, SIGKILL);
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
    // Session processes of the group that outlived the listener.
    ::kill(-group, SIGKILL);
}

QString FtpServerFixture::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString FtpServerFixture::user() const
{
    return kUser;
}

QString FtpServerFixture::password() const
{
    return kPassword;
}

void FtpServerFixture::giveToServerUser(const QString& path) const
{
    if (m_uid >= 0)
        ::chown(QFile::encodeName(path).constData(), static_cast<uid_t>(m_uid),
                static_cast<gid_t>(m_gid));
}

QString FtpServerFixture::makeFolder(const QString& relative) const
{
    QString p = m_root;
    for (const QString& part : relative.split(u'/', Qt::SkipEmptyParts)) {
        p += u'/' + part;
        if (!QFileInfo(p).isDir()) {
            QDir().mkdir(p);
            giveToServerUser(p);
        }
    }
    return p;
}

QString FtpServerFixture::write(const QString& relative, const QByteArray& bytes) const
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    if (slash > 0)
        makeFolder(relative.left(slash));
    const QString p = path(relative);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        failStart(QStringLiteral("cannot write %1").arg(p));
    f.close();
    giveToServerUser(p);
    return p;
}

QByteArray FtpServerFixture::read(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString FtpServerFixture::log() const
{
    QFile f(m_logPath);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(4000)) : QString();
}

void FtpServerFixture::refuseDownloads(const QStringList& names) const
{
    writeText(m_base + QStringLiteral("/control/refuse-retr"), names.join(u'\n') + u'\n');
}

void FtpServerFixture::refuseDeletes(const QStringList& names) const
{
    writeText(m_base + QStringLiteral("/control/refuse-dele"), names.join(u'\n') + u'\n');
}

void FtpServerFixture::refuseUploads(const QStringList& prefixes) const
{
    writeText(m_base + QStringLiteral("/control/refuse-stor"), prefixes.join(u'\n') + u'\n');
}

void FtpServerFixture::stallDownloads(const QStringList& names) const
{
    QFile::remove(m_base + QStringLiteral("/control/stalled"));
    writeText(m_base + QStringLiteral("/control/stall-retr"), names.join(u'\n') + u'\n');
}

bool FtpServerFixture::downloadWaiting() const
{
    return QFileInfo::exists(m_base + QStringLiteral("/control/stalled"));
}

void FtpServerFixture::releaseDownloads() const
{
    writeText(m_base + QStringLiteral("/control/stall-retr"), QString());
}

QString FtpServerFixture::certificateFingerprint() const
{
    if (m_certificate.isEmpty())
        return {};
    // "sha256 Fingerprint=AB:01:..."
    const QByteArray line = output(QStringLiteral("openssl"),
                                   {QStringLiteral("x509"), QStringLiteral("-in"), m_certificate,
                                    QStringLiteral("-noout"), QStringLiteral("-fingerprint"),
                                    QStringLiteral("-sha256")})
                                .trimmed();
    return QString::fromLatin1(line.mid(line.indexOf('=') + 1));
}

FtpSettings FtpServerFixture::clientSettings() const
{
    FtpSettings s;
    s.host = address();
    s.user = user();
    s.password = password();
    return s;
}

QString FtpServerFixture::startPyftpdlib(std::unique_ptr<FtpServerFixture>& server)
{
    if (QString why = unavailable(FtpServerKind::Pyftpdlib); !why.isEmpty())
        return why;
    server = start(FtpServerKind::Pyftpdlib);
    return {};
}
