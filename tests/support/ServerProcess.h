#pragma once

#include <QByteArray>
#include <QFile>
#include <QStringList>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

// Starting a test server as a child process: the part every server fixture shares.
namespace serverprocess {

struct Started
{
    pid_t pid = -1;      // also its process group
    int stdinPipe = -1;  // with pipes: the server stops when this closes
    int stdoutPipe = -1; // with pipes: where it says "READY <port>"
};

// Forks `arguments` (the program first) into a process group of its own, its stderr appended to
// `logPath`. With `pipes` its stdin and stdout are pipes to this process, else stdout goes to
// the log too. `dieWithParent` ends it with the thread that forks it, so only for servers that
// cannot watch a pipe. Throws std::runtime_error when it cannot be started.
inline Started spawn(const QStringList& arguments, const QString& logPath, bool pipes,
                     bool dieWithParent)
{
    std::vector<QByteArray> args;
    for (const QString& a : arguments)
        args.push_back(QFile::encodeName(a));
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    const int logFd = ::open(QFile::encodeName(logPath).constData(),
                             O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    int out[2] = {-1, -1};
    int in[2] = {-1, -1};
    if (pipes && (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0))
        throw std::runtime_error("pipe failed");

    const pid_t pid = ::fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        ::setpgid(0, 0);
        if (dieWithParent)
            ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (pipes) {
            ::dup2(out[1], STDOUT_FILENO);
            ::dup2(in[0], STDIN_FILENO);
        } else if (logFd >= 0) {
            ::dup2(logFd, STDOUT_FILENO);
        }
        if (logFd >= 0)
            ::dup2(logFd, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    if (logFd >= 0)
        ::close(logFd);
    Started started;
    if (pipes) {
        ::close(out[1]);
        ::close(in[0]);
        started.stdoutPipe = out[0];
        started.stdinPipe = in[1];
    }
    if (pid < 0) {
        if (pipes) {
            ::close(out[0]);
            ::close(in[1]);
        }
        throw std::runtime_error("fork failed");
    }
    started.pid = pid;
    return started;
}

// The port of the "READY <port>" line the server writes to `fd` within `timeoutMs`, or 0.
// Closes `fd`.
inline quint16 readReady(int fd, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    QByteArray line;
    while (!line.contains('\n')) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                              deadline - std::chrono::steady_clock::now())
                              .count();
        pollfd p{fd, POLLIN, 0};
        char chunk[256];
        ssize_t n = 0;
        if (left <= 0 || ::poll(&p, 1, static_cast<int>(left)) <= 0 ||
            (n = ::read(fd, chunk, sizeof chunk)) <= 0)
            break;
        line.append(chunk, n);
    }
    ::close(fd);
    if (!line.startsWith("READY "))
        return 0;
    return static_cast<quint16>(line.mid(6).trimmed().toUInt());
}

} // namespace serverprocess
