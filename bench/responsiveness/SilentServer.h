#pragma once

// A server that accepts every connection on 127.0.0.1 and never says a word: no greeting, no
// reply, no close. What it is sent it reads and throws away, so the client never blocks on a
// full socket buffer and waits for answers only. It runs on its own thread, so it accepts even
// while the thread of the program under test is held.
#include <QString>

#include <atomic>
#include <thread>

class SilentServer
{
public:
    SilentServer(); // listens on a free port; port() is 0 when it could not
    ~SilentServer();
    SilentServer(const SilentServer&) = delete;
    SilentServer& operator=(const SilentServer&) = delete;

    quint16 port() const { return m_port; }
    QString address() const; // "127.0.0.1:<port>"
    int accepted() const { return m_accepted.load(); }
    // Closes the connections taken so far, so that a client ending its run is not held by them.
    void hangUpAll();

private:
    void run();

    int m_listener = -1;
    int m_wake[2] = {-1, -1};
    quint16 m_port = 0;
    std::atomic<int> m_accepted{0};
    std::atomic<bool> m_hangUp{false};
    std::thread m_thread;
};
