#pragma once

#include <QDateTime>
#include <QString>

class StringTable;

// Whether the client has the main server: what the connectivity detector and the server's own
// answers last said, put together as the user reads it in the hints. The detector alone cannot
// tell "connected": it probes the network, not the server, so only an opened main connection or
// a finished poll cycle counts as one.
class ConnectionStatus
{
public:
    enum class Link
    {
        Connecting, // nothing failed, yet the server has not answered since the network came
        Connected,
        Unreachable // since unreachableSince()
    };

    // Row numbers of the string table.
    static constexpr int kTxtConnected = 409;
    static constexpr int kTxtConnecting = 410;
    static constexpr int kTxtUnreachableSince = 411; // %1: the time of the first failed answer
    static constexpr int kTxtWaiting = 412;          // %1: the state, %2: how many wait
    static constexpr int kTxtProtected = 415;        // %1: the state
    static constexpr int kTxtNotProtected = 416;     // %1: the state

    // What guards the main connection on the way: TLS, nothing, or not known yet.
    enum class Transport
    {
        Unknown,
        Protected,
        Plain
    };

    // Each returns whether what the hints show changed. `at` is the moment of the answer.
    bool networkAnswered(bool reachable, const QDateTime& at);
    bool serverAnswered(bool reached, const QDateTime& at);
    // The main connection opened with this transport; a server refused for its TLS (a pinned
    // one that stopped offering it, a changed certificate) is named by `tlsFailure`, which the
    // hint shows instead of the plain "unreachable" until a connection opens.
    bool setTransport(Transport transport, const QString& tlsFailure);
    Transport transport() const { return m_transport; }

    // Messages kept until the server is back; the hint names them when there are any.
    bool setWaiting(int messages);

    Link link() const;
    // Whether the connectivity detector has answered at all.
    bool networkKnown() const { return m_network != Answer::None; }
    // The first failed answer of the present stretch without the server; invalid otherwise.
    const QDateTime& unreachableSince() const { return m_since; }
    int waiting() const { return m_waiting; }

    // "Connected", "Connecting…", "Server unreachable since 14:05", with the waiting messages
    // when there are any; a stretch that began another day names the day as well.
    QString hintLine(const StringTable& strings, const QDateTime& now) const;

    bool operator==(const ConnectionStatus&) const = default;

private:
    enum class Answer
    {
        None,
        Yes,
        No
    };
    // Keeps the start of an unreachable stretch across further failures, forgets it at the end.
    bool settle(Link before, const QDateTime& at);

    Answer m_network = Answer::None;
    // The server's last answer since the network came; a failure while the network was gone
    // says nothing about the server.
    Answer m_server = Answer::None;
    QDateTime m_since;
    int m_waiting = 0;
    Transport m_transport = Transport::Unknown;
    QString m_tlsFailure;
};
