#pragma once

#include "core/Folders.h"
#include "net/PollCycle.h"
#include "net/SelfUpdate.h"
#include "net/ServerSession.h"
#include "session/SessionRequests.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

class QThread;

// One signed-in client's work on the servers: the main connection, the listing of the own
// folder, what earlier poll cycles saw, and every sequence of server steps the windows need. Each
// request runs on the session's own thread, one at a time in the order made, so no two
// operations ever overlap on the main connection and no window waits for the network. Requests
// are made on the window thread; results come back there as signals.
class ClientSession : public QObject
{
    Q_OBJECT

public:
    struct Config
    {
        QString settingsServer;
        std::function<Folders()> folders;      // read on the window thread when a request is made
        std::function<QString()> languageCode; // likewise
        FtpTimeouts timeouts;                  // tests shorten them
        qint64 backoffFirstMs = ConnectBackoff::kFirstWaitMs;
        qint64 backoffLongestMs = ConnectBackoff::kLongestWaitMs;
        // How long an answer of no update, asked on the kept connection, stands.
        qint64 updateAskEveryMs = 60'000;
        // Where the servers that offered TLS are pinned (SettingsTlsPins over the user's
        // settings); null pins them for the life of the session only.
        std::shared_ptr<TlsPins> tlsPins;
    };

    explicit ClientSession(Config config, QObject* parent = nullptr);
    ~ClientSession() override;

    // What the connectivity detector says; requests that need the internet wait for it.
    void setOnline(bool online);
    bool online() const { return m_online.load(); }
    // The main server's address and login are known.
    bool configured() const { return m_configured.load(); }
    // The main connection was open when the last request ended.
    bool mainOpen() const { return m_mainOpen.load(); }
    // No request waits or runs.
    bool idle() const { return m_pending.load() == 0; }
    // The main connection was open when the last request ended, and its server had completed
    // a reply within the last `ms`: the network answers.
    bool mainAnsweredWithin(qint64 ms) const;
    // Sends go to the signed-in user's folder; set on the window thread at sign-in and sign-out.
    void setSessionUser(const QString& name);

    // Timer-driven requests skip their turn when other work waits or runs: false then. A poll
    // is queued behind such work instead, unless one is queued already; the keep-alive stands
    // aside while one is.
    bool bootstrap();
    // A no-op on the open main connection, unless something else used it within the last
    // `unusedForMs` (0: sent whenever the connection is open).
    bool keepAlive(qint64 unusedForMs = 0);
    bool poll(const PollRequest& request);
    // Closes the main connection and opens it again with the directory, unless it is open and
    // answered within the last minute: a connection that holds is kept, with no new login.
    bool reconnect();
    // Asks the server for a newer build; the server root comes from the session's settings.
    // Signed in, or with the main connection open, the check rides on the main connection.
    bool checkForUpdate(const selfupdate::Request& request);

    // User requests are queued, never dropped.
    void connectMain();
    void closeMain();
    void signIn(const SignInRequest& request);
    void autoSignIn(const AutoSignInRequest& request);
    void openCorrespondent(const QString& name);
    void openFromPopup(const QString& sender);
    void sendMessage(const MessageRequest& request);
    void quickSend(const QString& recipient, const QString& text);
    void sendFiles(const FilesRequest& request);
    // Tells the server's copy of the record the sign-in option chosen at sign-out.
    void signOut(const QString& name);
    // The signed-in user's account.
    void saveProfile(const QString& region, const QString& activity);
    void deleteAccount();
    void renameAccount(const RenameRequest& request);
    void changeAvatar(const AvatarRequest& request);
    // The conversation with `peer` was on the signed-in user's screen down to the newest entry
    // `peer` wrote, which `seen` names (its time is now): the mark goes up once it changed.
    void recordSeen(const QString& peer, const seenmark::Mark& seen);

signals:
    void bootstrapped(const BootstrapResult& result);
    void connected(const ConnectResult& result);
    void mainConnectionOpened();
    void signedIn(const SignInResult& result);
    void autoSignedIn(const AutoSignInResult& result);
    void correspondentOpened(const CorrespondentResult& result);
    void popupCorrespondentOpened(const CorrespondentResult& result);
    void messageSent(const MessageResult& result);
    void quickSent(const QuickSendResult& result);
    // The recipient's folder was reached: the uploads begin.
    void filesReached(const FilesRequest& request);
    void filesSent(const FilesResult& result);
    // The file being sent or received and how far it got.
    void transferProgress(const QString& name, int percent);
    void signedOut(bool recordUploaded);
    void profileSaved(const ProfileResult& result);
    void accountDeleted(const DeletionResult& result);
    void accountRenamed(const RenameResult& result);
    void avatarChanged(const AvatarResult& result);
    void seenRecorded(const SeenResult& result);
    void updateChecked(const selfupdate::Result& result);
    void polled(const PollResult& result);
    // The poll cycle's news, as it happens.
    void newsSound();
    void openChatChanged(const QString& peer, const QStringList& chat);
    void announced(const poll::Announcement& announcement);
    void filesArrived(const poll::Announcement& announcement);

private:
    class Worker;
    // Runs job on the session's thread after everything requested before it.
    void post(std::function<void()> job);
    bool postTimed(std::function<void()> job);
    // A request whose result `done` carries back: `body(worker, folders, result)` runs on the
    // session's thread with the folders of the moment the request was made. A failure thrown
    // by a server step ends the body: the main connection is closed and the failure becomes
    // the result's error. `then` runs once the result has gone out.
    template <typename Arg, typename Body, typename Then = std::nullptr_t>
    std::function<void()> job(void (ClientSession::*done)(Arg), Body body, Then then = nullptr);
    // A user request: queued, never dropped.
    template <typename Arg, typename Body, typename Then = std::nullptr_t>
    void run(void (ClientSession::*done)(Arg), Body body, Then then = nullptr)
    {
        post(job(done, std::move(body), std::move(then)));
    }
    // A timer-driven request: false, and nothing queued, when other work waits or runs.
    template <typename Arg, typename Body>
    bool runTimed(void (ClientSession::*done)(Arg), Body body)
    {
        return postTimed(job(done, std::move(body)));
    }

    Config m_config;
    std::unique_ptr<Worker> m_worker;
    QThread* m_thread = nullptr;
    std::atomic<int> m_pending{0};
    std::atomic<bool> m_online{false};
    std::atomic<bool> m_configured{false};
    std::atomic<bool> m_mainOpen{false};
    std::atomic<bool> m_pollQueued{false};
    // The steady clock's milliseconds of the main server's last reply, while the connection
    // stays open; -1 otherwise.
    std::atomic<qint64> m_mainAnsweredAt{-1};
};
