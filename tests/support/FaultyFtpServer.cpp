#include "support/FaultyFtpServer.h"

#include "support/ServerProcess.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef LARKSPIRE_FTP_FAULTY_SCRIPT
#define LARKSPIRE_FTP_FAULTY_SCRIPT ""
#endif

namespace {

const QString kUser = QStringLiteral("larkftp");
const QString kPassword = QStringLiteral("larkpass");
const char* const kPython = "/usr/bin/python3";
constexpr int kStartTimeoutMs = 15'000;

QString script()
{
    const QString env = qEnvironmentVariable("LARKSPIRE_FTP_FAULTY_SCRIPT");
    return env.isEmpty() ? QStringLiteral(LARKSPIRE_FTP_FAULTY_SCRIPT) : env;
}

[[noreturn]] void fail(const QString& why)
{
    throw std::runtime_error(why.toStdString());
}

// Written beside the target and renamed over it: the server never reads half a file.
void writeAtomically(const QString& path, const QByteArray& bytes)
{
    const QString temporary = path + QStringLiteral(".new");
    QFile f(temporary);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(temporary));
    f.close();
    if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(path).constData()) !=
        0)
        fail(QStringLiteral("cannot replace %1").arg(path));
}

} // namespace

QString FaultyFtpServer::unavailable()
{
    static const QString why = [] {
        if (!QFileInfo::exists(QString::fromLatin1(kPython)))
            return QStringLiteral(
                "pyftpdlib: /usr/bin/python3 is missing (apt-get install python3-pyftpdlib)");
        QProcess p;
        p.start(QString::fromLatin1(kPython),
                {QStringLiteral("-c"), QStringLiteral("import pyftpdlib.servers")});
        if (!p.waitForFinished(30'000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0)
            return QStringLiteral("pyftpdlib: Debian's python3-pyftpdlib is not installed "
                                  "(apt-get install python3-pyftpdlib)");
        if (!QFileInfo::exists(script()))
            return QStringLiteral("pyftpdlib: the server script %1 is missing").arg(script());
        return QString();
    }();
    return why;
}

std::unique_ptr<FaultyFtpServer> FaultyFtpServer::start()
{
    if (const QString why = unavailable(); !why.isEmpty())
        fail(why);
    std::unique_ptr<FaultyFtpServer> s(new FaultyFtpServer);
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/larkspire-ftp-faulty-XXXXXX";
    if (!::mkdtemp(pattern.data()))
        fail(QStringLiteral("mkdtemp failed"));
    s->m_base = QString::fromLocal8Bit(pattern);
    s->m_root = s->m_base + QStringLiteral("/root");
    s->m_control = s->m_base + QStringLiteral("/control");
    s->m_logPath = s->m_base + QStringLiteral("/server.log");
    QDir().mkpath(s->m_root);
    QDir().mkpath(s->m_control);
    s->writeFaults();
    s->launch(0);
    return s;
}

void FaultyFtpServer::launch(quint16 port)
{
    const QStringList arguments = {QString::fromLatin1(kPython),   script(),
                                   QStringLiteral("--root"),       m_root,
                                   QStringLiteral("--control"),    m_control,
                                   QStringLiteral("--port"),       QString::number(port),
                                   QStringLiteral("--user"),       kUser,
                                   QStringLiteral("--password"),   kPassword,
                                   QStringLiteral("--watch-stdin")};
    // No parent-death signal: it follows the thread that forks, and a restart may come from a
    // short-lived one; the closed stdin pipe ends the server with the test.
    serverprocess::Started started;
    try {
        started = serverprocess::spawn(arguments, m_logPath, true, false);
    } catch (const std::runtime_error& e) {
        fail(QString::fromLatin1(e.what()));
    }
    m_pid = started.pid;
    m_stdinPipe = started.stdinPipe;
    const quint16 ready = serverprocess::readReady(started.stdoutPipe, kStartTimeoutMs);
    if (ready == 0) {
        stop();
        fail(QStringLiteral("the faulty FTP server did not start: %1").arg(log()));
    }
    m_port = ready;
}

FaultyFtpServer::~FaultyFtpServer()
{
    stop();
    // nftw, not QDir: a name that is no valid UTF-8 would be skipped.
    if (!m_base.isEmpty() && qEnvironmentVariableIsEmpty("LARKSPIRE_FTP_KEEP"))
        ::nftw(
            QFile::encodeName(m_base).constData(),
            [](const char* path, const struct stat*, int, FTW*) { return ::remove(path); }, 16,
            FTW_DEPTH | FTW_PHYS);
}

void FaultyFtpServer::stop()
{
    if (m_stdinPipe >= 0) {
        ::close(m_stdinPipe);
        m_stdinPipe = -1;
    }
    if (m_pid <= 0)
        return;
    ::kill(-m_pid, SIGTERM);
    for (int i = 0; i < 150; ++i) {
        if (::waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    kill();
}

void FaultyFtpServer::kill()
{
    if (m_stdinPipe >= 0) {
        ::close(m_stdinPipe);
        m_stdinPipe = -1;
    }
    if (m_pid <= 0)
        return;
    ::kill(-m_pid, SIGKILL);
    ::waitpid(m_pid, nullptr, 0);
    m_pid = -1;
}

void FaultyFtpServer::restart()
{
    kill();
    // The port is free the moment the process is gone, unless another program took it since:
    // then give it a moment.
    for (int attempt = 0;; ++attempt) {
        try {
            launch(m_port);
            return;
        } catch (const std::runtime_error&) {
            if (attempt == 20)
                throw;
            std::this_thread::sleep_for(std::chrono::milliseconds(250));
        }
    }
}

QString FaultyFtpServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

QString FaultyFtpServer::user() const
{
    return kUser;
}

QString FaultyFtpServer::password() const
{
    return kPassword;
}

FtpSettings FaultyFtpServer::clientSettings() const
{
    FtpSettings s;
    s.host = address();
    s.user = user();
    s.password = password();
    return s;
}

QString FaultyFtpServer::makeFolder(const QString& relative) const
{
    const QString p = path(relative);
    QDir().mkpath(p);
    return p;
}

QString FaultyFtpServer::write(const QString& relative, const QByteArray& bytes) const
{
    const qsizetype slash = relative.lastIndexOf(u'/');
    if (slash > 0)
        makeFolder(relative.left(slash));
    const QString p = path(relative);
    QFile f(p);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(p));
    return p;
}

QByteArray FaultyFtpServer::read(const QString& relative) const
{
    QFile f(path(relative));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString FaultyFtpServer::log() const
{
    QFile f(m_logPath);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll().right(8000)) : QString();
}

int FaultyFtpServer::addRule(const Rule& rule)
{
    const int id = m_nextId++;
    m_rules.push_back({id, rule});
    writeFaults();
    return id;
}

int FaultyFtpServer::matched(int id) const
{
    QFile f(m_control + QStringLiteral("/matched.json"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    return QJsonDocument::fromJson(f.readAll()).object().value(QString::number(id)).toInt();
}

void FaultyFtpServer::clearRules()
{
    m_rules.clear();
    writeFaults();
}

void FaultyFtpServer::setRates(qint64 downBytesPerSecond, qint64 upBytesPerSecond)
{
    m_rateDown = downBytesPerSecond;
    m_rateUp = upBytesPerSecond;
    writeFaults();
}

void FaultyFtpServer::setMdtmShift(int seconds)
{
    m_mdtmShift = seconds;
    writeFaults();
}

void FaultyFtpServer::writeFaults() const
{
    QJsonArray rules;
    for (const StoredRule& r : m_rules)
        rules.append(QJsonObject{{QStringLiteral("id"), r.id},
                                 {QStringLiteral("command"), r.rule.command},
                                 {QStringLiteral("name"), r.rule.name},
                                 {QStringLiteral("delay_ms"), r.rule.delayMs},
                                 {QStringLiteral("drop_after"), r.rule.dropAfter},
                                 {QStringLiteral("short_after"), r.rule.shortAfter},
                                 {QStringLiteral("reply"), r.rule.reply},
                                 {QStringLiteral("times"), r.rule.times}});
    const QJsonObject faults{{QStringLiteral("rules"), rules},
                             {QStringLiteral("rate_down"), m_rateDown},
                             {QStringLiteral("rate_up"), m_rateUp},
                             {QStringLiteral("mdtm_shift_s"), m_mdtmShift}};
    writeAtomically(m_control + QStringLiteral("/faults.json"), QJsonDocument(faults).toJson());
}
