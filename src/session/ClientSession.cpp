#include "session/ClientSession.h"

#include "core/Limits.h"
#include "core/StringList.h"
#include "net/Correspondent.h"
#include "net/DirectoryFetch.h"
#include "net/FtpError.h"
#include "net/LocalCopy.h"
#include "net/OwnAvatar.h"
#include "net/SeenMarks.h"
#include "net/ServerAddress.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QThread>

#include <chrono>
#include <type_traits>
#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcSession, "larkspire.session")

QString seenFolderOf(const Folders& f, const QString& user)
{
    return f.programDataDir + QStringLiteral("net/") + user + u'/';
}

qint64 steadyMs(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch()).count();
}

qint64 msSince(std::chrono::steady_clock::time_point t)
{
    return steadyMs(std::chrono::steady_clock::now()) - steadyMs(t);
}

// A main connection that answered within this long holds: the keep-alive uses it every 30 s,
// and at most about twice that apart when other work came just before one of its ticks.
constexpr qint64 kHoldsMs = 60'000;

} // namespace

// What only the session's thread touches.
class ClientSession::Worker
{
public:
    explicit Worker(ClientSession& owner, const Config& config)
        : owner(owner), server(serverConfig(owner, config))
    {
    }

    static ServerSession::Config serverConfig(ClientSession& owner, const Config& config)
    {
        ServerSession::Config c;
        c.settingsServer = config.settingsServer;
        c.timeouts = config.timeouts;
        c.backoffFirstMs = config.backoffFirstMs;
        c.backoffLongestMs = config.backoffLongestMs;
        c.tlsPins = config.tlsPins;
        // Every successful opening of the main connection clears the sign-out mark.
        c.onConnected = [&owner] { emit owner.mainConnectionOpened(); };
        return c;
    }

    // Before each request: the detector's word, which the window thread keeps.
    void sync(const Folders& f)
    {
        server.setStatus(QString::fromUtf16(owner.online() ? ServerSession::kConnected
                                                           : ServerSession::kDisconnected));
        server.config().tempDataDir = f.tempDataDir;
    }

    ConnectResult connectMain(const Folders& f)
    {
        ConnectResult r;
        r.opening = server.openMainConnection();
        r.protectedByTls = server.mainProtected();
        r.tlsFailure = server.tlsFailure();
        if (r.opening != ServerSession::Opening::Opened)
            return r;
        r.directory =
            directory::fetch(server.mainConnection(), f.tempDataDir + store::local::kDirectoryCopy,
                             directory::sleepWait, directory::OnFailure::Keep);
        return r;
    }

    // Opens the main connection when it is closed, in the signed-in user's folder.
    bool openInOwnFolder()
    {
        FtpClient& ftp = server.mainConnection();
        if (ftp.connected())
            return true;
        if (!server.openMain())
            return false;
        try {
            ftp.changeFolder(store::userFolder(server.serverRoot(), sessionUser));
        } catch (const Error&) {
            server.closeMain();
            return false;
        }
        return true;
    }

    // A fresh main connection standing in `folder`, relative to the users folder; false, with the
    // connection closed, when either step fails.
    bool reopenIn(const QString& folder)
    {
        server.closeMain();
        try {
            if (!server.openMain())
                return false;
            server.mainConnection().changeFolder(folder);
            return true;
        } catch (const Error&) {
            server.closeMain();
            return false;
        }
    }

    messaging::Place place(const Folders& f)
    {
        messaging::Place p;
        p.serverRoot = server.serverRoot();
        p.sessionUser = sessionUser;
        p.seenFolder = seenFolderOf(f, sessionUser);
        p.memo = &writeMemo;
        return p;
    }

    // Writes back into both server copies of these conversations ("peer.ms") the entries that
    // one of them lost; failures wait for the next send, which unites the copies as well.
    void repair(const Folders& f, const QStringList& conversations)
    {
        for (const QString& name : conversations) {
            const QString peer = name.chopped(3);
            if (!userentry::openable(peer) || !openInOwnFolder())
                continue;
            conversationwrite::Request r;
            r.serverRoot = server.serverRoot();
            r.sender = sessionUser;
            r.recipient = peer;
            r.seenPath = seenFolderOf(f, sessionUser) + name;
            r.memo = &writeMemo;
            try {
                const auto done = conversationwrite::write(server.mainConnection(), r);
                qCInfo(lcSession) << "repaired" << done.repaired.size() << "copies of" << name;
            } catch (const Error& e) {
                qCWarning(lcSession) << "could not repair" << name << e.message();
                server.closeMain();
            }
        }
        server.closeMain();
    }

    // A server write, once more on a fresh connection when the connection broke during it.
    template <typename F> void retryingOnce(F&& write)
    {
        conversationwrite::retryingOnce(
            server.mainConnection(),
            [this] {
                server.closeMain();
                return openInOwnFolder();
            },
            write);
    }

    ClientSession& owner;
    ServerSession server;
    QString sessionUser;
    QStringList userslist; // the names in the signed-in user's server folder
    poll::Memory pollMemory;
    conversationwrite::Memo writeMemo;
    seenmarks::Watch seenWatch;     // the mark of the correspondent on screen
    seenmarks::Written seenWritten; // the marks this session put up

    // Watches `peer`'s mark from now on; what was known of another one's is forgotten.
    seenmarks::Watch& watchSeen(const QString& peer)
    {
        if (seenWatch.peer != peer || seenWatch.owner != sessionUser) {
            seenWatch = {};
            seenWatch.owner = sessionUser;
            seenWatch.peer = peer;
        }
        return seenWatch;
    }
    selfupdate::Memo updateMemo;
    // The last answer asked on the kept connection, and when: it stands for a while.
    selfupdate::Result lastAsked;
    QElapsedTimer askedAt;
};

namespace {

// Passes the poll cycle's news to the window thread as it happens.
class SessionSink : public poll::Sink
{
public:
    SessionSink(ClientSession& session, const QString& openPeer)
        : m_session(session), m_openPeer(openPeer)
    {
    }
    void playSound() override { emit m_session.newsSound(); }
    void refreshOpenChat(const QStringList& chat) override
    {
        emit m_session.openChatChanged(m_openPeer, chat);
    }
    void announce(const poll::Announcement& a) override { emit m_session.announced(a); }
    void filesFetched(const poll::Announcement& a) override { emit m_session.filesArrived(a); }

private:
    ClientSession& m_session;
    QString m_openPeer;
};

template <typename Result> void fail(Result& r, const QString& text)
{
    r.error.text = text.isEmpty() ? QStringLiteral("?") : text;
}

} // namespace

ClientSession::ClientSession(Config config, QObject* parent)
    : QObject(parent), m_config(std::move(config)),
      m_worker(std::make_unique<Worker>(*this, m_config)), m_thread(new QThread(this))
{
    m_thread->setObjectName(QStringLiteral("ClientSession"));
    m_thread->start();
}

ClientSession::~ClientSession()
{
    m_thread->quit();
    m_thread->wait();
}

void ClientSession::post(std::function<void()> job)
{
    ++m_pending;
    // A context object living on the session's thread runs the job there, after the ones
    // posted before it.
    auto* runner = new QObject;
    runner->moveToThread(m_thread);
    QMetaObject::invokeMethod(
        runner,
        [this, runner, job = std::move(job)] {
            try {
                job();
            } catch (const std::exception& e) {
                // Each request reports its own failures; this is the last line of defence.
                qCWarning(lcSession) << "request ended by" << e.what();
                m_worker->server.closeMain();
            }
            const FtpClient& main = m_worker->server.mainConnection();
            m_mainOpen = main.connected();
            m_mainAnsweredAt = main.connected() ? steadyMs(main.lastAnswer()) : -1;
            --m_pending;
            delete runner;
        },
        Qt::QueuedConnection);
}

bool ClientSession::postTimed(std::function<void()> job)
{
    if (!idle())
        return false;
    post(std::move(job));
    return true;
}

void ClientSession::setOnline(bool online)
{
    m_online = online;
}

bool ClientSession::mainAnsweredWithin(qint64 ms) const
{
    const qint64 at = m_mainAnsweredAt.load();
    return at >= 0 && steadyMs(std::chrono::steady_clock::now()) - at <= ms;
}

void ClientSession::setSessionUser(const QString& name)
{
    post([this, name] { m_worker->sessionUser = name; });
}

template <typename Arg, typename Body, typename Then>
std::function<void()> ClientSession::job(void (ClientSession::*done)(Arg), Body body, Then then)
{
    using Result = std::remove_cvref_t<Arg>;
    return [this, done, f = m_config.folders(), body = std::move(body), then = std::move(then)] {
        Worker& w = *m_worker;
        w.sync(f);
        Result r{};
        if constexpr (requires { r.error; }) {
            try {
                body(w, f, r);
            } catch (const Error& e) {
                w.server.closeMain();
                fail(r, e.message());
            }
        } else {
            // A result without room for a failure: the body handles its own.
            body(w, f, r);
        }
        emit std::invoke(done, this, r);
        if constexpr (!std::is_null_pointer_v<Then>)
            then(w, f, std::as_const(r));
    };
}

bool ClientSession::bootstrap()
{
    return runTimed(&ClientSession::bootstrapped, [this](Worker& w, const Folders&, auto& r) {
        r.outcome = w.server.bootstrapTick(&r.problem);
        r.host = w.server.mainConnection().settings().host;
        r.tlsFailure = w.server.tlsFailure();
        m_configured = w.server.mark() == 1;
    });
}

bool ClientSession::keepAlive(qint64 unusedForMs)
{
    // A waiting cycle uses the connection anyway.
    if (m_pollQueued)
        return false;
    return postTimed([this, unusedForMs] {
        const FtpClient& main = m_worker->server.mainConnection();
        // Whatever used the connection since kept it alive as well.
        if (unusedForMs > 0 && main.connected() && msSince(main.lastAnswer()) < unusedForMs)
            return;
        try {
            m_worker->server.keepAlive();
        } catch (const Error& e) {
            // Servers drop idle connections; the next piece of work connects again, so this
            // is no news for the user.
            qCInfo(lcSession) << "no-op failed:" << e.message();
            m_worker->server.closeMain();
        }
    });
}

void ClientSession::connectMain()
{
    run(&ClientSession::connected,
        [](Worker& w, const Folders& f, auto& r) { r = w.connectMain(f); });
}

bool ClientSession::reconnect()
{
    return runTimed(&ClientSession::connected, [](Worker& w, const Folders& f, auto& r) {
        const FtpClient& main = w.server.mainConnection();
        // The poll keeps the directory current on a connection that holds; a new login would
        // only cost the server.
        if (w.server.online() && main.connected() && msSince(main.lastAnswer()) <= kHoldsMs) {
            r.opening = ServerSession::Opening::AlreadyOpen;
            r.protectedByTls = w.server.mainProtected();
            return;
        }
        w.server.closeMain();
        r = w.connectMain(f);
    });
}

bool ClientSession::checkForUpdate(const selfupdate::Request& request)
{
    const qint64 askEveryMs = m_config.updateAskEveryMs;
    return runTimed(
        &ClientSession::updateChecked, [request, askEveryMs](Worker& w, const Folders&, auto& r) {
            w.server.configureMainFromSettings();
            selfupdate::Request asked = request;
            FtpClient& main = w.server.mainConnection();
            // A release is rare: on the kept connection the descriptor is asked once in a while,
            // and an answer of no update stands until then, so an idle client costs the shared
            // server little more than its poll.
            if (main.connected() && w.askedAt.isValid() && w.askedAt.elapsed() < askEveryMs &&
                w.lastAsked.outcome == selfupdate::Outcome::Current &&
                w.lastAsked.serverBuild == w.updateMemo.serverBuild) {
                r = w.lastAsked;
                return;
            }
            // Signed in, the poll keeps the main connection open and the check rides on it, in
            // whatever folder it stands. One that was lost is opened again, once, with the back-off
            // of every opening (and as the poll would, so the sign-out mark it clears is clear).
            if (main.connected() || !w.sessionUser.isEmpty()) {
                for (int pass = 0; pass < 2; ++pass) {
                    const bool wasOpen = main.connected();
                    if (!wasOpen && (!w.server.online() || !w.server.openMain())) {
                        r.outcome = selfupdate::Outcome::Failed;
                        r.detail = QStringLiteral("the main server could not be reached");
                        return;
                    }
                    asked.serverRoot = w.server.serverRoot();
                    r = selfupdate::checkOpen(main, asked, w.updateMemo);
                    w.lastAsked = r;
                    w.askedAt.start();
                    // Only a connection held from before that broke under the check is worth a
                    // second try.
                    if (r.outcome != selfupdate::Outcome::Failed || main.connected() || !wasOpen)
                        return;
                }
                return;
            }
            asked.serverRoot = w.server.settingsFile().root;
            // Nobody signed in and nothing open: a connection of its own, which the check closes.
            // It is not the main connection, so its opening does not count as one (that would
            // clear the sign-out mark).
            FtpSettings settings = main.settings();
            settings.onConnected = nullptr;
            FtpClient updates(settings);
            r = selfupdate::check(updates, asked);
        });
}

void ClientSession::closeMain()
{
    post([this] { m_worker->server.closeMain(); });
}

void ClientSession::signIn(const SignInRequest& request)
{
    const QString language = m_config.languageCode ? m_config.languageCode() : QString();
    run(&ClientSession::signedIn, [language, request](Worker& w, const Folders& f, auto& r) {
        r.record = request.record;
        try {
            r.connect = w.connectMain(f);
        } catch (const Error& e) {
            w.server.closeMain();
            fail(r.connect, e.message());
        }
        if (!w.server.online()) {
            r.stage = SignInResult::Stage::Offline;
            return;
        }
        FtpClient& ftp = w.server.mainConnection();
        if (!ftp.connected()) {
            w.server.openMain();
            r.stage =
                ftp.connected() ? SignInResult::Stage::Offline : SignInResult::Stage::NoServer;
            return;
        }
        try {
            const accounts::Paths paths{f.userDataDir, f.tempDataDir,
                                        f.programDataDir + QStringLiteral("avax.png")};
            // Whatever folder other work left the connection in, the directory is read here.
            ftp.changeFolder(w.server.usersFolder());
            const accounts::Result result =
                accounts::signInOrRegister(ftp, paths, request.name, request.password, r.record,
                                           request.adapterAddress, language);
            r.stage = SignInResult::Stage::Done;
            r.outcome = result.outcome;
            r.directory = result.directory;
            if (result.outcome == accounts::Outcome::SignedIn ||
                result.outcome == accounts::Outcome::Registered) {
                w.sessionUser = request.name;
                r.avatarFile = ownavatar::fetch(ftp, f.tempDataDir, r.record.avatarExtension);
                w.server.closeMain();
            }
        } catch (const Error& e) {
            qCInfo(lcSession) << "sign-in pass failed:" << e.message();
            // Left open in the user's folder, the next pass would find no directory there and
            // take the name for a new one: it starts from a fresh connection instead.
            w.server.closeMain();
            const auto* ftpError = dynamic_cast<const FtpError*>(&e);
            r.stage = ftpError && ftpError->kind() == FtpError::Kind::TooLarge
                          ? SignInResult::Stage::Refused
                          : SignInResult::Stage::Failed;
            fail(r, e.message());
        }
    });
}

void ClientSession::autoSignIn(const AutoSignInRequest& request)
{
    run(&ClientSession::autoSignedIn, [request](Worker& w, const Folders& f, auto& r) {
        FtpClient& ftp = w.server.mainConnection();
        r.connect = w.connectMain(f);
        if (!ftp.connected())
            return;
        const QString name = request.record.userName;
        const QStringList users = r.connect.directory.value_or(request.knownUsers);
        if (UserDirectory::find(users, name) < 0) {
            r.outcome = AutoSignInResult::Outcome::Unknown;
            return;
        }
        // The connection may have been left open in any folder; the relative name would miss.
        ftp.changeFolder(store::userFolder(w.server.serverRoot(), name));
        const QString copy = f.tempDataDir + store::local::kPasswordCopy;
        localcopy::download(ftp, store::kPasswordFile, copy, localcopy::kPrivate,
                            limits::kMaxRecordBytes);
        const QStringList server = stringlist::load(copy).value_or(QStringList());
        QFile::remove(copy);
        if (store::passwordAccepted(server, request.password)) {
            r.outcome = AutoSignInResult::Outcome::Accepted;
            w.sessionUser = name;
            r.avatarFile = ownavatar::fetch(ftp, f.tempDataDir, request.record.avatarExtension);
            w.server.closeMain();
        } else {
            r.outcome = AutoSignInResult::Outcome::Refused;
        }
    });
}

void ClientSession::openCorrespondent(const QString& name)
{
    run(
        &ClientSession::correspondentOpened,
        [name](Worker& w, const Folders& f, auto& r) {
            r.name = name;
            if (!w.reopenIn(name))
                return;
            r.reached = true;
            correspondent::open(w.server.mainConnection(), w.place(f), name, f.tempDataDir,
                                w.userslist, r);
            // The marks come with the conversation, rather than a cycle later.
            seenmarks::Watch& watch = w.watchSeen(name);
            try {
                seenmarks::look(w.server.mainConnection(), w.server.serverRoot(), w.sessionUser,
                                f.tempDataDir + store::local::kSeenMarkCopy, watch);
            } catch (const Error&) {
                // The conversation came down; the marks wait for the next cycle.
                w.server.closeMain();
            }
            r.seenMark = watch.mark;
        },
        // Once the window has the conversation, both server copies get back what they lost.
        [](Worker& w, const Folders& f, const auto& r) {
            if (r.damaged)
                w.repair(f, {store::conversationFile(r.name)});
        });
}

void ClientSession::openFromPopup(const QString& sender)
{
    run(&ClientSession::popupCorrespondentOpened, [sender](Worker& w, const Folders& f, auto& r) {
        r.name = sender;
        FtpClient& ftp = w.server.mainConnection();
        if (!ftp.connected() && !w.server.openMain())
            return;
        // An open connection may stand in any folder; the record and avatar must be the
        // sender's.
        try {
            ftp.changeFolder(store::userFolder(w.server.serverRoot(), sender));
            r.reached = true;
            r.avatarFile = correspondent::fetchAvatar(ftp, f.tempDataDir);
        } catch (const Error& e) {
            if (r.reached)
                fail(r, e.message());
        }
        w.server.closeMain();
    });
}

void ClientSession::sendMessage(const MessageRequest& request)
{
    run(&ClientSession::messageSent, [request](Worker& w, const Folders& f, auto& r) {
        r.request = request;
        r.chat = request.chat;
        if (!w.openInOwnFolder())
            return;
        r.reached = true;
        // A failure is thrown only when nothing reached the own server copy: the text stays
        // for another try.
        try {
            w.retryingOnce([&] {
                r.sent = messaging::sendMessage(w.server.mainConnection(), w.place(f), w.userslist,
                                                r.chat, request.selectedName, request.recipient,
                                                request.text, request.header, &r.failure);
            });
        } catch (const FtpError& e) {
            r.connectionLost = !w.server.mainConnection().connected() ||
                               e.kind() == FtpError::Kind::Closed ||
                               e.kind() == FtpError::Kind::Socket;
            throw;
        }
        if (r.sent == messaging::Sent::PeerCopyFailed)
            w.server.closeMain();
    });
}

void ClientSession::quickSend(const QString& recipient, const QString& text)
{
    const QDateTime now = QDateTime::currentDateTime();
    run(&ClientSession::quickSent, [recipient, text, now](Worker& w, const Folders& f, auto& r) {
        r.recipient = recipient;
        r.text = text;
        // An earlier operation may have left the connection in another folder.
        w.server.closeMain();
        if (!w.openInOwnFolder())
            return;
        r.reached = true;
        w.retryingOnce([&] {
            r.sent =
                messaging::quickSend(w.server.mainConnection(), w.place(f), recipient, text, now);
        });
        // Sends look their conversation up in this listing: one started here must be in it.
        if (r.sent.result == messaging::Sent::Sent)
            w.userslist = r.sent.listing;
        w.server.closeMain();
    });
}

void ClientSession::sendFiles(const FilesRequest& request)
{
    const QDateTime now = QDateTime::currentDateTime();
    run(&ClientSession::filesSent, [this, request, now](Worker& w, const Folders& f, auto& r) {
        r.request = request;
        r.chat = request.chat;
        if (!w.reopenIn(request.recipient))
            return;
        r.reached = true;
        emit filesReached(request);
        messaging::FileSend send;
        send.recipient = request.recipient;
        send.paths = request.paths;
        send.phrases = request.phrases;
        send.now = now;
        if (request.from != FilesRequest::From::MainWindow) {
            send.countedVerbRow = 3;
            send.fileNameLine = false;
            send.waitForSeenCopy = false;
            send.ignoreFailures = false;
        }
        int shown = -1;
        QString shownName;
        const auto progress = [&](const QString& name, qint64 done, qint64 total) {
            const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
            // One signal per step is plenty for a label.
            if (percent == shown && name == shownName)
                return;
            shown = percent;
            shownName = name;
            emit transferProgress(name, percent);
        };
        r.notSent =
            messaging::sendFiles(w.server.mainConnection(), w.place(f), r.chat, send, progress)
                .failures;
        w.server.closeMain();
    });
}

void ClientSession::signOut(const QString& name)
{
    run(&ClientSession::signedOut, [name](Worker& w, const Folders& f, auto& uploaded) {
        w.sessionUser.clear();
        w.userslist.clear();
        FtpClient& ftp = w.server.mainConnection();
        // The server's copy of the record learns the option too; failures change nothing here.
        if (w.server.online() && !ftp.connected()) {
            try {
                if (w.server.openMain()) {
                    ftp.changeFolder(name);
                    ftp.upload(f.userDataDir + store::local::kAccountRecord,
                               store::kAccountRecordFile);
                    ftp.disconnect();
                    uploaded = true;
                }
            } catch (const Error&) {
                // Signing out locally is what matters.
                w.server.closeMain();
            }
        }
    });
}

bool ClientSession::poll(const PollRequest& request)
{
    // A tick that finds other work waits behind it rather than being lost: a keep-alive or a
    // send must not cost the user a cycle of news. One waiting cycle is enough.
    if (m_pollQueued.exchange(true))
        return false;
    run(&ClientSession::polled, [this, request](Worker& w, const Folders& f, auto& r) {
        m_pollQueued = false;
        r.directory = request.directory;
        poll::Context ctx{w.server,
                          r.directory,
                          w.sessionUser,
                          f.tempDataDir,
                          seenFolderOf(f, w.sessionUser),
                          f.userDataDir + QStringLiteral("net/") + w.sessionUser + u'/',
                          f.networkDir,
                          request.mainWindowVisible,
                          {},
                          &w.pollMemory};
        const int open = request.directory.selected();
        SessionSink sink(*this, open >= 0 ? userentry::name(request.directory.users().value(open))
                                          : QString());
        // Only the conversation on screen shows marks: nobody else's is looked at.
        const QString onScreen = request.mainWindowVisible && open >= 0
                                     ? userentry::name(request.directory.users().value(open))
                                     : QString();
        if (!onScreen.isEmpty())
            ctx.seenMark = &w.watchSeen(onScreen);
        r.cycle = poll::run(ctx, sink);
        if (ctx.seenMark && w.seenWatch.looked) {
            r.seenPeer = onScreen;
            r.seenMark = w.seenWatch.mark;
        }
        // Sends look for their conversation in this listing.
        if (r.cycle.listed)
            w.userslist = r.cycle.listing;
        if (!r.cycle.damaged.isEmpty())
            w.repair(f, r.cycle.damaged);
    });
    return true;
}

void ClientSession::recordSeen(const QString& peer, const seenmark::Mark& seen)
{
    seenmark::Mark mark = seen;
    mark.at = QDateTime::currentDateTime();
    run(&ClientSession::seenRecorded, [peer, mark](Worker& w, const Folders& f, auto& r) {
        r.peer = peer;
        FtpClient& ftp = w.server.mainConnection();
        if (w.sessionUser.isEmpty() || !w.server.online())
            return;
        // Whatever folder the connection stands in: the mark's path is a full one.
        if (!ftp.connected() && !w.server.openMain())
            return;
        r.reached = true;
        r.written = seenmarks::record(ftp, w.server.serverRoot(), w.sessionUser, peer, mark,
                                      f.tempDataDir + store::local::kSeenMarkCopy, w.seenWritten);
    });
}

void ClientSession::saveProfile(const QString& region, const QString& activity)
{
    run(&ClientSession::profileSaved, [region, activity](Worker& w, const Folders& f, auto& r) {
        // Whatever folder earlier work left it in, the standard opening starts in the users
        // folder.
        w.server.closeMain();
        if (!w.server.online() || !w.server.openMain())
            return;
        r.reached = true;
        const upkeep::ProfileSaved saved = upkeep::saveProfile(
            w.server.mainConnection(), f.tempDataDir + store::local::kDirectoryCopy, w.sessionUser,
            region, activity);
        r.listed = saved.listed;
        r.directory = saved.directory;
    });
}

void ClientSession::deleteAccount()
{
    run(&ClientSession::accountDeleted, [](Worker& w, const Folders& f, auto& r) {
        w.server.closeMain();
        if (w.sessionUser.isEmpty() || !w.server.online() || !w.server.openMain())
            return;
        r.reached = true;
        r.deletion = upkeep::deleteAccount(w.server.mainConnection(),
                                           f.tempDataDir + store::local::kDeletionDirectoryCopy,
                                           w.sessionUser);
        if (r.deletion.folderRemoved) {
            w.sessionUser.clear();
            w.userslist.clear();
        }
        w.server.closeMain();
    });
}

void ClientSession::renameAccount(const RenameRequest& request)
{
    run(&ClientSession::accountRenamed, [request](Worker& w, const Folders& f, auto& r) {
        r.request = request;
        r.record = request.record;
        w.server.closeMain();
        if (request.oldName != w.sessionUser || !w.server.online() || !w.server.openMain())
            return;
        r.reached = true;
        r.rename = upkeep::renameAccount(w.server.mainConnection(),
                                         f.tempDataDir + store::local::kDirectoryCopy,
                                         request.oldName, request.newName);
        w.server.closeMain();
        if (r.rename.outcome != upkeep::Renamed::Renamed)
            return;
        w.sessionUser = request.newName;
        // The local folders named after the user: conversations seen, compared and received.
        for (const QString& base : {f.tempDataDir, f.programDataDir, f.userDataDir}) {
            const QString from = base + QStringLiteral("net/") + request.oldName;
            const QString to = base + QStringLiteral("net/") + request.newName;
            if (QFileInfo(from).isDir() && !QFileInfo::exists(to) && !QDir().rename(from, to))
                qCWarning(lcSession) << "could not rename" << from;
        }
        // "Another's computer" keeps no name.
        if (r.record.option != u"x")
            r.record.userName = request.newName;
        accounts::saveAccountRecord({f.userDataDir, f.tempDataDir, {}}, r.record);
    });
}

void ClientSession::changeAvatar(const AvatarRequest& request)
{
    run(&ClientSession::avatarChanged, [request](Worker& w, const Folders& f, auto& r) {
        r.record = request.record;
        w.server.closeMain();
        if (w.sessionUser.isEmpty() || !w.server.online() || !w.openInOwnFolder())
            return;
        r.reached = true;
        const ownavatar::Changed changed =
            ownavatar::change(w.server.mainConnection(), {f.userDataDir, f.tempDataDir, {}},
                              request.picture, request.extension, request.record);
        w.server.closeMain();
        r.record = changed.record;
        r.avatarFile = changed.avatarFile;
    });
}
