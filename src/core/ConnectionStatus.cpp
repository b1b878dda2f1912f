#include "core/ConnectionStatus.h"

#include "core/uLocal.h"

ConnectionStatus::Link ConnectionStatus::link() const
{
    if (m_network == Answer::No || m_server == Answer::No)
        return Link::Unreachable;
    return m_server == Answer::Yes ? Link::Connected : Link::Connecting;
}

bool ConnectionStatus::settle(Link before, const QDateTime& at)
{
    const Link now = link();
    if (now == Link::Unreachable && before != Link::Unreachable)
        m_since = at;
    else if (now != Link::Unreachable)
        m_since = QDateTime();
    return now != before;
}

bool ConnectionStatus::networkAnswered(bool reachable, const QDateTime& at)
{
    const Link before = link();
    const Answer answer = reachable ? Answer::Yes : Answer::No;
    if (answer != m_network) {
        m_network = answer;
        // Whatever the server said belonged to the network that has just come or gone.
        m_server = Answer::None;
    }
    return settle(before, at);
}

bool ConnectionStatus::serverAnswered(bool reached, const QDateTime& at)
{
    const Link before = link();
    m_server = reached ? Answer::Yes : Answer::No;
    return settle(before, at);
}

bool ConnectionStatus::setWaiting(int messages)
{
    if (messages == m_waiting)
        return false;
    m_waiting = messages;
    return true;
}

bool ConnectionStatus::setTransport(Transport transport, const QString& tlsFailure)
{
    if (transport == m_transport && tlsFailure == m_tlsFailure)
        return false;
    m_transport = transport;
    m_tlsFailure = tlsFailure;
    return true;
}

QString ConnectionStatus::hintLine(const StringTable& strings, const QDateTime& now) const
{
    QString line;
    switch (link()) {
    case Link::Connected:
        line = strings.text(kTxtConnected);
        if (m_transport == Transport::Protected)
            line = strings.text(kTxtProtected).arg(line);
        else if (m_transport == Transport::Plain)
            line = strings.text(kTxtNotProtected).arg(line);
        break;
    case Link::Connecting:
        line = strings.text(kTxtConnecting);
        break;
    case Link::Unreachable: {
        if (!m_tlsFailure.isEmpty()) {
            line = m_tlsFailure;
            break;
        }
        const QDateTime since = m_since.toLocalTime();
        const QString time = since.toString(QStringLiteral("HH:mm"));
        line = strings.text(kTxtUnreachableSince)
                   .arg(since.date() == now.toLocalTime().date()
                            ? time
                            : since.toString(QStringLiteral("dd.MM.yyyy HH:mm")));
        break;
    }
    }
    return m_waiting > 0 ? strings.text(kTxtWaiting).arg(line, QString::number(m_waiting)) : line;
}
