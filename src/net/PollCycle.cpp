#include "net/PollCycle.h"

#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/ConversationWrite.h"
#include "net/DirectoryFetch.h"
#include "net/ReceivedFiles.h"
#include "net/ServerFile.h"
#include "net/ServerSession.h"
#include "net/StoreLayout.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTime>

namespace poll {

namespace {

Q_LOGGING_CATEGORY(lcPoll, "larkspire.poll")

constexpr int kSeenCopyWaitMs = 3000;

class Trace
{
public:
    explicit Trace(QStringList& lines) : m_lines(lines) {}
    void operator()(const QString& line)
    {
        qCDebug(lcPoll).noquote() << line;
        m_lines.append(line);
    }

private:
    QStringList& m_lines;
};

void closeMain(ServerSession& session)
{
    session.closeMain();
}

// The conversation files of the listing that belong to listed users other than oneself.
QStringList conversationsToCompare(const QStringList& listing, const UserDirectory& dir,
                                   const QString& sessionUser)
{
    QStringList names;
    for (const QString& n : listing) {
        for (const QString& entry : dir.users()) {
            const QString name = userentry::name(entry);
            if (n == store::conversationFile(name) && name != sessionUser &&
                userentry::openable(name))
                names.append(n);
        }
    }
    return names;
}

// True when an entry of `fresh` (the lines new since the last look) was written by someone
// other than `self`. An entry starts at the top and after each empty line; a blank line inside
// a message may start a false one, which only errs towards announcing.
bool othersWrote(const QStringList& fresh, const QString& self)
{
    for (qsizetype i = 0; i < fresh.size(); ++i) {
        if (fresh.at(i).isEmpty() || (i > 0 && !fresh.at(i - 1).isEmpty()))
            continue;
        if (conversation::newestEntry(fresh.mid(i)).sender != self)
            return true;
    }
    return false;
}

} // namespace

QStringList senderFolders(const QStringList& listing, const QStringList& users,
                          const QString& sessionUser)
{
    QStringList senders;
    for (const QString& entry : users) {
        const QString name = userentry::name(entry);
        if (name != sessionUser && userentry::openable(name) && listing.contains(name) &&
            !senders.contains(name))
            senders.append(name);
    }
    return senders;
}

Result run(Context& ctx, Sink& sink)
{
    Result result;
    Trace trace(result.trace);
    ServerSession& session = ctx.session;
    if (!session.online() || ctx.sessionUser.isEmpty() || session.busy())
        return result;
    const ServerSession::Busy busy(session);
    FtpClient& ftp = session.IdFTP1();
    const auto wait = ctx.wait ? ctx.wait : directory::sleepWait;

    closeMain(session);
    if (!session.openMain()) {
        result.outcome = Outcome::NoServer;
        return result;
    }
    // An open connection is always left in the signed-in user's folder between steps.
    const auto enterOwnFolder = [&] {
        if (ftp.connected())
            return true;
        if (!session.openMain())
            return false;
        ftp.changeFolder(ctx.sessionUser);
        return true;
    };
    QList<Announcement> notices; // announced notices whose files may still come down
    try {
        const QString copy = ctx.tempDataDir + store::local::kDirectoryCopy;
        ctx.directory.reload(directory::fetch(ftp, copy, wait, directory::OnFailure::Keep),
                             ctx.sessionUser);
        ftp.changeFolder(ctx.sessionUser);
        const QStringList userslist = ftp.listNames();
        result.listed = true;
        result.listing = userslist;
        QDir().mkpath(ctx.seenFolder);
        QDir().mkpath(ctx.fetchedFolder);
        trace(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));

        const QStringList names = conversationsToCompare(userslist, ctx.directory, ctx.sessionUser);
        for (const QString& n : names) {
            trace(n);
            // Complete or not at all; a writer replacing it meanwhile makes a second try.
            serverfile::read(ftp, n, ctx.fetchedFolder + n + u't');
        }
        trace(QStringLiteral("___NEXT CYCLE___"));

        for (const QString& n : names) {
            trace(n);
            const QString seen = ctx.seenFolder + n;
            const QString fetched = ctx.fetchedFolder + n + u't';
            const bool seenExists = QFile::exists(seen);
            if (seenExists && helpers::fileInUse(seen))
                wait(kSeenCopyWaitMs);
            QStringList load;
            if (seenExists && !helpers::fileInUse(seen))
                load = stringlist::load(seen).value_or(QStringList());
            QStringList preload = stringlist::load(fetched).value_or(QStringList());
            if (seenExists && load == preload) {
                closeMain(session);
                continue;
            }
            // New entries only ever go on top. A copy that lost entries seen before (cut by a
            // broken upload, emptied by a write in progress) is a broken read: only entries it
            // has above the newest seen one are news, and they are kept above what was seen. A
            // copy that shares no entry with the SeenCopy (a conversation started anew) is taken
            // as it is.
            QStringList seenTail = load;
            if (seenExists && !conversationwrite::holdsSeen(preload, load)) {
                QStringList seenLines = load;
                conversation::dropFileLine(seenLines);
                QStringList fetchedLines = preload;
                conversation::dropFileLine(fetchedLines);
                const bool shared =
                    !seenLines.isEmpty() && fetchedLines.indexOf(seenLines.first()) >= 0;
                const QStringList merged = conversationwrite::mergedOnto(preload, load);
                if (preload.isEmpty() || (shared && merged == seenLines)) {
                    trace(n + QStringLiteral(" lost entries; not news"));
                    closeMain(session);
                    continue;
                }
                if (shared) {
                    preload = merged;
                    seenTail = seenLines;
                } else {
                    seenTail.clear();
                }
            }
            // What this user wrote (from here or elsewhere) is never news to them.
            QStringList fresh = preload;
            conversation::dropFileLine(fresh);
            QStringList tail = seenTail;
            conversation::dropFileLine(tail);
            if (fresh.size() >= tail.size())
                fresh = fresh.mid(0, fresh.size() - tail.size());
            const bool news = othersWrote(fresh, ctx.sessionUser);
            ++result.changed;
            if (news)
                sink.playSound();
            if (helpers::fileInUse(seen))
                wait(kSeenCopyWaitMs);
            if (helpers::fileInUse(seen)) {
                closeMain(session);
                trace(QStringLiteral("exit"));
                result.outcome = Outcome::Abandoned;
                return result;
            }
            // Seen from now on: a change is announced once.
            if (!stringlist::save(seen, preload))
                throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));

            const QString peer = n.chopped(3);
            const int row = UserDirectory::find(ctx.directory.users(), peer);
            if (row >= 0 && row == ctx.directory.selected() && ctx.mainWindowVisible) {
                // The open chat follows even the user's own entries, silently.
                trace(ctx.directory.users().at(row) + QStringLiteral(" SELECTED"));
                QStringList chat = preload;
                if (conversation::hasFileLine(chat)) {
                    conversation::dropFileLine(chat);
                    stringlist::save(fetched, chat);
                }
                sink.refreshOpenChat(chat);
                closeMain(session);
                continue;
            }

            if (!news) {
                trace(n + QStringLiteral(" own entries only"));
                closeMain(session);
                continue;
            }
            if (row >= 0)
                ctx.directory.setUserLine(row, userentry::withMark(ctx.directory.users().at(row)));
            const conversation::Newest newest = conversation::newestEntry(preload);
            Announcement a;
            a.sender = newest.sender;
            a.isMessage = newest.isMessage;
            a.firstLine = newest.firstLine;
            a.secondLine = newest.secondLine;
            trace(QStringLiteral("AD netprog.hint ") + a.sender + u' ');
            if (!a.isMessage) {
                // The name becomes part of a local path when the popup opens the file.
                const QString file = conversation::fileLineName(preload);
                a.fileName = userentry::openable(file) ? file : QString();
                notices.append(a);
            }
            // Shown before any file comes down: a large file must not hold the news back.
            sink.announce(a);
            closeMain(session);
        }

        // Every sender folder the listing shows is fetched, whatever the newest entries say:
        // a notice followed by a message, or answered before this client saw it, must not
        // leave its files on the server for good.
        const QStringList senders =
            senderFolders(userslist, ctx.directory.users(), ctx.sessionUser);
        for (const QString& sender : senders) {
            if (!enterOwnFolder()) {
                result.outcome = Outcome::NoServer;
                return result;
            }
            const received::FetchResult got = received::fetch(
                ftp, sender, ctx.networkDir, [&](const QString&) { sink.pumpEvents(); });
            if (got.found)
                result.fetchedFrom.append(sender);
            for (Announcement& a : notices) {
                if (a.sender == sender && got.found) {
                    a.filesFetched = true;
                    sink.filesFetched(a);
                }
            }
        }
        closeMain(session);
        trace(QStringLiteral("END OF CYCLE ---"));
        result.outcome = Outcome::Done;
    } catch (const Error& e) {
        qCInfo(lcPoll) << "poll cycle ended:" << e.message();
        result.outcome = Outcome::Failed;
    }
    closeMain(session);
    return result;
}

} // namespace poll
