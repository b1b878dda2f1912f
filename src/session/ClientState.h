#pragma once

#include "core/ConnectionStatus.h"
#include "core/PendingDrop.h"
#include "core/SeenMark.h"
#include "core/UnreadNews.h"
#include "core/UserDirectory.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What one client is at this moment, in one place below the windows: who is signed in, whether
// the server is there, the directory with the selection, the correspondent on screen with its
// conversation, the unread news and whether a request is under way. The session's results
// update it; every view renders from it and from nothing else, so two views can never disagree,
// and none has to read another's controls to learn what is going on.
class ClientState : public QObject
{
    Q_OBJECT

public:
    // The correspondent whose conversation the main window shows.
    struct Correspondent
    {
        QString name;       // empty: nobody is on screen
        QString avatarFile; // the local copy of the picture; empty: the stock one
        // The correspondent's folder could be read; when it could not, the view stays empty
        // so that nothing can be sent from a conversation that was never loaded.
        bool reached = false;
        bool hasConversation = false; // else the quick-send button takes the view's place
        QStringList lines;            // the conversation as shown
        bool hasReceivedFiles = false;
        // How far the correspondent has read the conversation, as their mark last said.
        std::optional<seenmark::Mark> seenMark;

        bool shown() const { return !name.isEmpty(); }
        bool operator==(const Correspondent&) const = default;
    };

    explicit ClientState(QObject* parent = nullptr);

    // The signed-in user; empty while nobody is.
    const QString& user() const { return m_user; }
    bool signedIn() const { return !m_user.isEmpty(); }
    // Signing in starts from a clean state; signing out forgets everything of the user.
    void signIn(const QString& user);
    void signOut();
    // The signed-in user's new name, everything else kept.
    void rename(const QString& user);

    // The local copy of the signed-in user's own picture; empty: the stock one.
    const QString& ownAvatarFile() const { return m_ownAvatarFile; }
    void setOwnAvatar(const QString& file);

    // Whether the server can be reached, as the connectivity check last said.
    bool online() const { return m_online; }
    void setOnline(bool online);

    // The hold on the main server as the hints tell it: the detector's answers and the server's
    // own, each at the moment it came.
    const ConnectionStatus& connection() const { return m_connection; }
    void networkAnswered(bool reachable, const QDateTime& at);
    void serverAnswered(bool reached, const QDateTime& at);
    // Whether the main connection just opened is protected, or why a server was refused.
    void transportKnown(ConnectionStatus::Transport transport, const QString& tlsFailure);
    void setWaitingMessages(int messages);

    // Who a drop would be sent as now, and whether the server is there for it.
    PendingDrop::Conditions sendConditions() const { return {m_user, m_online}; }

    const UserDirectory& directory() const { return m_directory; }
    // Changes the directory or its selection in place and tells the views once.
    void changeDirectory(const std::function<void(UserDirectory&)>& change);
    // The name of the selected entry, empty when nothing is selected.
    QString selectedName() const;

    const Correspondent& correspondent() const { return m_correspondent; }
    void showCorrespondent(const Correspondent& correspondent);
    // The conversation of the correspondent on screen changed; lines for anyone else are not
    // shown and return false.
    bool updateConversation(const QString& name, const QStringList& lines);
    void setReceivedFiles(bool present);
    // The mark of the correspondent on screen; one for anyone else is not shown.
    void setSeenMark(const QString& name, const std::optional<seenmark::Mark>& mark);
    void closeCorrespondent();

    // The favourites, as this computer keeps them.
    const QStringList& favourites() const { return m_favourites; }
    void setFavourites(const QStringList& names);
    bool isFavourite(const QString& name) const { return m_favourites.contains(name); }
    // Adds or removes the name; returns whether it is a favourite now.
    bool toggleFavourite(const QString& name);

    // Correspondents whose news came and whose conversation has not been opened since.
    const UnreadNews& unread() const { return m_unread; }
    void addNews(const QString& name);
    void readNews(const QString& name);

    // The user's requests that wait for the server, each kind on its own, so that one ending
    // does not hide the busy label while another still runs.
    enum class Work
    {
        SignIn,
        Opening, // a correspondent's conversation comes down
        Message,
        Files,
        Account // profile, rename, deletion, picture
    };
    void setWorking(Work work, bool on);
    bool busy() const { return m_working != 0; }

signals:
    void userChanged(const QString& user);
    void ownAvatarChanged();
    void onlineChanged(bool online);
    void connectionChanged();
    void directoryChanged();
    void correspondentChanged();
    void conversationChanged();
    void seenMarkChanged();
    void favouritesChanged();
    void newsChanged();
    void busyChanged(bool busy);

private:
    QString m_user;
    QString m_ownAvatarFile;
    bool m_online = false;
    ConnectionStatus m_connection;
    UserDirectory m_directory;
    Correspondent m_correspondent;
    QStringList m_favourites;
    UnreadNews m_unread;
    unsigned m_working = 0; // one bit per Work
};
