#include "session/ConnectionWatch.h"

#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"

ConnectionWatch::ConnectionWatch(ClientSession& session, ConnectionUpkeep& upkeep,
                                 ClientState& state, QObject* parent)
    : QObject(parent), m_state(state)
{
    setObjectName(QStringLiteral("connectionWatch"));
    const auto server = [this](bool reached) {
        m_state.serverAnswered(reached, QDateTime::currentDateTime());
    };
    connect(&upkeep, &ConnectionUpkeep::connectivityReported, this, [this](bool reachable) {
        m_state.networkAnswered(reachable, QDateTime::currentDateTime());
    });
    connect(&session, &ClientSession::mainConnectionOpened, this, [server] { server(true); });
    // A connection that opened says whether TLS protects it; one refused for its TLS says why.
    const auto transport = [this](const ConnectResult& r) {
        if (r.opening == MainOpening::Opened || r.opening == MainOpening::AlreadyOpen)
            m_state.transportKnown(r.protectedByTls ? ConnectionStatus::Transport::Protected
                                                    : ConnectionStatus::Transport::Plain,
                                   QString());
        else if (!r.tlsFailure.isEmpty())
            m_state.transportKnown(m_state.connection().transport(), r.tlsFailure);
    };
    connect(&session, &ClientSession::connected, this, [server, transport](const ConnectResult& r) {
        transport(r);
        if (r.opening == MainOpening::Opened || r.opening == MainOpening::AlreadyOpen)
            server(true);
        else if (r.opening == MainOpening::Failed)
            server(false);
    });
    connect(&session, &ClientSession::autoSignedIn, this,
            [transport](const AutoSignInResult& r) { transport(r.connect); });
    connect(&session, &ClientSession::signedIn, this, [server, transport](const SignInResult& r) {
        transport(r.connect);
        if (r.stage == SignInResult::Stage::NoServer)
            server(false);
    });
    // A message that could not reach the server, or lost it on the way, says so as well: what
    // the user sends next waits for the server instead of trying it again at once. (Files that
    // could not reach their recipient's folder say nothing of the server.)
    connect(&session, &ClientSession::messageSent, this, [server](const MessageResult& r) {
        if (!r.reached || r.connectionLost)
            server(false);
        else if (!r.error.failed())
            server(true);
    });
    connect(&session, &ClientSession::polled, this, [server](const PollResult& r) {
        if (r.cycle.outcome == poll::Outcome::Done)
            server(true);
        else if (r.cycle.outcome == poll::Outcome::NoServer)
            server(false);
    });
}
