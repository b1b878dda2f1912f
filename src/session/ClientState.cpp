#include "session/ClientState.h"

ClientState::ClientState(QObject* parent) : QObject(parent) {}

void ClientState::signIn(const QString& user)
{
    if (user == m_user)
        return;
    if (signedIn())
        signOut();
    m_user = user;
    emit userChanged(m_user);
}

void ClientState::signOut()
{
    const bool wasSignedIn = signedIn();
    m_user.clear();
    closeCorrespondent();
    changeDirectory([](UserDirectory& d) { d.clear(); });
    if (m_unread.clear())
        emit newsChanged();
    if (wasSignedIn)
        emit userChanged(m_user);
}

void ClientState::setOwnAvatar(const QString& file)
{
    m_ownAvatarFile = file;
    emit ownAvatarChanged();
}

void ClientState::rename(const QString& user)
{
    if (!signedIn() || user == m_user)
        return;
    m_user = user;
    emit userChanged(m_user);
}

void ClientState::setOnline(bool online)
{
    if (online == m_online)
        return;
    m_online = online;
    emit onlineChanged(m_online);
}

void ClientState::networkAnswered(bool reachable, const QDateTime& at)
{
    if (m_connection.networkAnswered(reachable, at))
        emit connectionChanged();
}

void ClientState::serverAnswered(bool reached, const QDateTime& at)
{
    if (m_connection.serverAnswered(reached, at))
        emit connectionChanged();
}

void ClientState::transportKnown(ConnectionStatus::Transport transport, const QString& tlsFailure)
{
    if (m_connection.setTransport(transport, tlsFailure))
        emit connectionChanged();
}

void ClientState::setWaitingMessages(int messages)
{
    if (m_connection.setWaiting(messages))
        emit connectionChanged();
}

void ClientState::changeDirectory(const std::function<void(UserDirectory&)>& change)
{
    change(m_directory);
    emit directoryChanged();
}

QString ClientState::selectedName() const
{
    const int row = m_directory.selected();
    return row >= 0 && row < m_directory.users().size()
               ? userentry::name(m_directory.users().at(row))
               : QString();
}

void ClientState::showCorrespondent(const Correspondent& correspondent)
{
    const bool sameLines =
        correspondent.name == m_correspondent.name && correspondent.lines == m_correspondent.lines;
    if (correspondent == m_correspondent)
        return;
    m_correspondent = correspondent;
    emit correspondentChanged();
    if (!sameLines)
        emit conversationChanged();
}

bool ClientState::updateConversation(const QString& name, const QStringList& lines)
{
    if (name.isEmpty() || name != m_correspondent.name)
        return false;
    if (lines == m_correspondent.lines && m_correspondent.hasConversation)
        return true;
    const bool layoutChanges = !m_correspondent.hasConversation;
    m_correspondent.lines = lines;
    m_correspondent.hasConversation = true;
    if (layoutChanges)
        emit correspondentChanged();
    emit conversationChanged();
    return true;
}

void ClientState::setReceivedFiles(bool present)
{
    if (!m_correspondent.shown() || present == m_correspondent.hasReceivedFiles)
        return;
    m_correspondent.hasReceivedFiles = present;
    emit correspondentChanged();
}

void ClientState::setSeenMark(const QString& name, const std::optional<seenmark::Mark>& mark)
{
    if (name.isEmpty() || name != m_correspondent.name || mark == m_correspondent.seenMark)
        return;
    m_correspondent.seenMark = mark;
    emit seenMarkChanged();
}

void ClientState::closeCorrespondent()
{
    showCorrespondent({});
}

void ClientState::setFavourites(const QStringList& names)
{
    if (names == m_favourites)
        return;
    m_favourites = names;
    emit favouritesChanged();
}

bool ClientState::toggleFavourite(const QString& name)
{
    if (const int at = m_favourites.indexOf(name); at >= 0)
        m_favourites.removeAt(at);
    else
        m_favourites.append(name);
    emit favouritesChanged();
    return m_favourites.contains(name);
}

void ClientState::addNews(const QString& name)
{
    if (m_unread.add(name))
        emit newsChanged();
}

void ClientState::readNews(const QString& name)
{
    if (m_unread.remove(name))
        emit newsChanged();
}

void ClientState::setWorking(Work work, bool on)
{
    const bool was = busy();
    const unsigned bit = 1u << static_cast<unsigned>(work);
    m_working = on ? m_working | bit : m_working & ~bit;
    if (busy() != was)
        emit busyChanged(busy());
}
