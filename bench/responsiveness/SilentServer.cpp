#include "SilentServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

SilentServer::SilentServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (m_listener < 0 || ::bind(m_listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(m_listener, 16) != 0 ||
        ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&a), &len) != 0 ||
        ::pipe2(m_wake, O_CLOEXEC) != 0)
        return;
    m_port = ntohs(a.sin_port);
    m_thread = std::thread([this] { run(); });
}

SilentServer::~SilentServer()
{
    if (m_thread.joinable()) {
        ::close(m_wake[1]); // the loop sees the end of the pipe
        m_thread.join();
    } else if (m_wake[1] >= 0) {
        ::close(m_wake[1]);
    }
    for (const int fd : {m_listener, m_wake[0]}) {
        if (fd >= 0)
            ::close(fd);
    }
}

QString SilentServer::address() const
{
    return QStringLiteral("127.0.0.1:%1").arg(m_port);
}

void SilentServer::hangUpAll()
{
    m_hangUp = true;
    const char one = 1;
    [[maybe_unused]] const auto n = ::write(m_wake[1], &one, 1);
}

void SilentServer::run()
{
    std::vector<int> clients;
    for (;;) {
        std::vector<pollfd> fds{{m_wake[0], POLLIN, 0}, {m_listener, POLLIN, 0}};
        for (const int c : clients)
            fds.push_back({c, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), -1) < 0)
            continue;
        if (fds[0].revents) {
            char b = 0;
            if (::read(m_wake[0], &b, 1) <= 0)
                break; // the owner is going
        }
        if (m_hangUp.exchange(false)) {
            for (const int c : clients)
                ::close(c);
            clients.clear();
            continue;
        }
        if (fds[1].revents & POLLIN) {
            const int c = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0) {
                clients.push_back(c);
                ++m_accepted;
            }
        }
        for (std::size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents)
                continue;
            char sink[4096];
            if (::read(fds[i].fd, sink, sizeof sink) <= 0) {
                ::close(fds[i].fd);
                std::erase(clients, fds[i].fd);
            }
        }
    }
    for (const int c : clients)
        ::close(c);
}
