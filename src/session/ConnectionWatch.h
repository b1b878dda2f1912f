#pragma once

#include <QObject>

class ClientSession;
class ClientState;
class ConnectionUpkeep;

// Tells the client's state what the detector and the main server answered, and when: the
// upkeep's reports and the results the session already sends, nothing asked of the server.
class ConnectionWatch : public QObject
{
    Q_OBJECT

public:
    ConnectionWatch(ClientSession& session, ConnectionUpkeep& upkeep, ClientState& state,
                    QObject* parent = nullptr);

private:
    ClientState& m_state;
};
