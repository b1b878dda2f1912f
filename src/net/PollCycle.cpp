#include "net/PollCycle.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/DirectoryFetch.h"
#include "net/ReceivedFiles.h"
#include "net/ServerFile.h"
#include "net/ServerSession.h"
#include "net/StoreLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSet>
#include <QTime>

#include <algorithm>
#include <optional>

namespace poll {

namespace {

Q_LOGGING_CATEGORY(lcPoll, "larkspire.poll")

constexpr int kSeenCopyWaitMs = 3000;
constexpr QFileDevice::Permissions kSeenCopyPermissions =
    QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
    QFileDevice::ReadOther;

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

// Equal bytes are equal text: most comparisons end here without decoding either copy.
bool sameBytes(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    constexpr qint64 kChunk = 64 * 1024;
    while (!fa.atEnd()) {
        const QByteArray chunk = fa.read(kChunk);
        if (chunk.isEmpty() || chunk != fb.read(kChunk))
            return false;
    }
    return true;
}

// Whether the file behind `now` may differ from the one compared when `before` was listed.
bool mayHaveChanged(const ftplisting::Entry* before, const ftplisting::Entry& now,
                    const QDateTime& previousListing)
{
    if (!before || !before->sameAs(now) || !previousListing.isValid())
        return true;
    return now.latest() >= previousListing.addSecs(-kRecentSecs);
}

// The own folder with sizes and times; a server whose listing cannot be read gives names only,
// and then every conversation is fetched.
QList<ftplisting::Entry> listOwnFolder(FtpClient& ftp, const QDateTime& now)
{
    try {
        const QStringList lines = ftp.listDetails();
        const QList<ftplisting::Entry> entries =
            ftplisting::parse(lines, ftp.listsMachineReadable(), now);
        if (!entries.isEmpty() || lines.isEmpty())
            return entries;
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
            throw;
    }
    QList<ftplisting::Entry> names;
    for (const QString& n : ftp.listNames()) {
        if (n != u"." && n != u"..") {
            ftplisting::Entry e;
            e.name = n;
            names.append(e);
        }
    }
    return names;
}

// A file's size and time from SIZE and MDTM, for servers whose listing tells neither.
void askSizeAndTime(FtpClient& ftp, ftplisting::Entry& e)
{
    e.size = ftp.size(e.name);
    e.modified = e.size >= 0 ? ftp.modificationTime(e.name) : QDateTime();
    e.precisionSecs = 1;
}

// The directory file's entry, or nullopt when the server does not tell.
std::optional<ftplisting::Entry> directoryEntry(FtpClient& ftp, const QDateTime& now)
{
    try {
        const QList<ftplisting::Entry> entries =
            ftplisting::parse(ftp.listDetails(store::kDirectoryFile), false, now);
        if (entries.size() == 1 && !entries.first().folder)
            return entries.first();
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
            throw;
    }
    ftplisting::Entry e;
    e.name = store::kDirectoryFile;
    askSizeAndTime(ftp, e);
    if (e.modified.isValid())
        return e;
    return std::nullopt;
}

// The conversation files of the listing that belong to listed users other than oneself.
QStringList conversationsToCompare(const QStringList& listing, const UserDirectory& dir,
                                   const QString& sessionUser)
{
    // Looked up by name: the listing and the directory both grow with the number of users.
    QSet<QString> files;
    for (const QString& entry : dir.users()) {
        const QString name = userentry::name(entry);
        if (name != sessionUser && userentry::openable(name))
            files.insert(store::conversationFile(name));
    }
    QStringList names;
    for (const QString& n : listing) {
        if (files.contains(n))
            names.append(n);
    }
    return names;
}

// True when an entry of the lines `next` yields (those new since the last look) was written by
// someone other than `self`. An entry starts at the top and after each empty line; a blank line
// inside a message may start a false one, which only errs towards announcing. Line by line, and
// done at the first such entry: a long history new to this computer is rarely read to its end.
template <typename NextLine> bool othersWrote(NextLine next, const QString& self)
{
    QString line;
    bool entryStarts = true;
    while (next(line)) {
        if (!line.isEmpty() && entryStarts && conversation::newestEntry({line}).sender != self)
            return true;
        entryStarts = line.isEmpty();
    }
    return false;
}

bool othersWrote(const QStringList& fresh, const QString& self)
{
    qsizetype i = 0;
    return othersWrote(
        [&](QString& line) {
            if (i >= fresh.size())
                return false;
            line = fresh.at(i++);
            return true;
        },
        self);
}

// As othersWrote on decode(bytes) without the file line of a newest notice, decoding a line at
// a time.
bool othersWroteIn(QByteArrayView bytes, const QString& self)
{
    stringlist::LineReader reader(bytes);
    qsizetype index = 0;
    return othersWrote(
        [&](QString& line) {
            if (!reader.next(line))
                return false;
            if (index++ == 1 && line.startsWith(QStringLiteral("..."))) {
                ++index;
                return reader.next(line);
            }
            return true;
        },
        self);
}

// A file read whole into a buffer of exactly its size; empty when it cannot be read.
QByteArray readWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QByteArray bytes(f.size(), Qt::Uninitialized);
    const qint64 got = f.read(bytes.data(), bytes.size());
    bytes.resize(std::max<qint64>(got, 0));
    return bytes;
}

// Whether the file at `path` holds exactly `bytes`, read a chunk at a time.
bool fileHolds(const QString& path, QByteArrayView bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() != bytes.size())
        return false;
    constexpr qint64 kChunk = 64 * 1024;
    for (qsizetype at = 0; at < bytes.size();) {
        const QByteArray chunk = f.read(std::min<qint64>(kChunk, bytes.size() - at));
        if (chunk.isEmpty() || chunk != bytes.sliced(at, chunk.size()))
            return false;
        at += chunk.size();
    }
    return true;
}

// The part of a changed server copy that is new since the SeenCopy, where the bytes alone show
// it: new entries only ever go on top, so a copy that ends with the SeenCopy's bytes, starting at
// a line, holds every line seen, and only the lines above them are new. nullopt where only the
// whole text can tell: a SeenCopy not at the end (a cut copy, a conversation started anew, line
// ends written differently), or a "..." file line that the comparison of lines leaves out: the
// SeenCopy's own, or its first line when it would become the second line of the new copy.
std::optional<QByteArrayView> newAboveSeen(QByteArrayView fetched, const QString& seen)
{
    const qint64 seenSize = QFileInfo(seen).size();
    if (seenSize <= 0 || seenSize >= fetched.size())
        return std::nullopt;
    const QByteArrayView above = fetched.first(fetched.size() - seenSize);
    const QByteArrayView seenPart = fetched.sliced(above.size());
    if (!above.endsWith('\n') || !fileHolds(seen, seenPart))
        return std::nullopt;
    const QStringList seenHead = stringlist::decodeHead(seenPart, 2);
    if (conversation::hasFileLine(seenHead))
        return std::nullopt;
    if (stringlist::decodeHead(above, 2).size() == 1 &&
        seenHead.first().startsWith(QStringLiteral("...")))
        return std::nullopt;
    return above;
}

} // namespace

QStringList senderFolders(const QStringList& listing, const QStringList& users,
                          const QString& sessionUser)
{
    const QSet<QString> listed(listing.cbegin(), listing.cend());
    QStringList senders;
    for (const QString& entry : users) {
        const QString name = userentry::name(entry);
        if (name != sessionUser && userentry::openable(name) && listed.contains(name) &&
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

    Memory scratch;
    Memory& memory = ctx.memory ? *ctx.memory : scratch;
    const QString owner =
        ftp.settings().host + u'\n' + ftp.settings().user + u'\n' + ctx.sessionUser;
    if (memory.owner != owner) {
        memory = Memory();
        memory.owner = owner;
    }
    const bool full = memory.cyclesToFullCheck <= 0;
    result.fullCheck = full;

    // The connection stays open between cycles, held by the keep-alive; one the server dropped
    // is opened again.
    if (ftp.connected()) {
        try {
            ftp.changeFolder(session.usersFolder());
        } catch (const Error&) {
            closeMain(session);
        }
    }
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
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const QString copy = ctx.tempDataDir + store::local::kDirectoryCopy;
        const std::optional<ftplisting::Entry> lineup = directoryEntry(ftp, now);
        const bool directoryKnown = !full && lineup && QFile::exists(copy) &&
                                    !mayHaveChanged(&memory.directory, *lineup, memory.listedAt);
        // Far beyond any real directory: the lists stay as they were, and nothing comes down.
        const bool directoryTooLarge = lineup && lineup->size > limits::kMaxDirectoryBytes;
        if (directoryTooLarge) {
            ctx.directory.reload(std::nullopt, ctx.sessionUser);
        } else if (directoryKnown) {
            std::optional<QStringList> lines;
            // Read as a downloaded one is, with the same bound.
            if (!helpers::fileInUse(copy))
                lines = stringlist::loadAtMost(copy, limits::kMaxDirectoryBytes);
            ctx.directory.reload(lines, ctx.sessionUser);
        } else {
            memory.directory = {};
            const QDateTime before = QFileInfo(copy).lastModified();
            ctx.directory.reload(directory::fetch(ftp, copy, wait, directory::OnFailure::Keep),
                                 ctx.sessionUser);
            // A fetch that failed left the old copy: it is fetched again next time.
            if (lineup && QFileInfo(copy).lastModified() != before) {
                memory.directory = *lineup;
                result.directoryFetched = true;
            }
        }
        ftp.changeFolder(ctx.sessionUser);
        QList<ftplisting::Entry> entries = listOwnFolder(ftp, now);
        // Compared and announced in name order, whatever order the server lists in.
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        QStringList userslist;
        QHash<QString, ftplisting::Entry> listed;
        for (const ftplisting::Entry& e : entries) {
            userslist.append(e.name);
            listed.insert(e.name, e);
        }
        result.listed = true;
        result.listing = userslist;
        QDir().mkpath(ctx.seenFolder);
        QDir().mkpath(ctx.fetchedFolder);
        trace(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));

        // Only what may differ from the copy compared last time comes down.
        QStringList names;
        for (const QString& n : conversationsToCompare(userslist, ctx.directory, ctx.sessionUser)) {
            if (!listed[n].modified.isValid())
                askSizeAndTime(ftp, listed[n]);
            // Far beyond any real conversation: never read into memory, never news.
            if (listed[n].size > limits::kMaxConversationBytes) {
                trace(n + QStringLiteral(" too large"));
                continue;
            }
            const auto before = memory.compared.constFind(n);
            if (full || before == memory.compared.cend() ||
                mayHaveChanged(&*before, listed.value(n), memory.listedAt) ||
                !QFile::exists(ctx.seenFolder + n))
                names.append(n);
        }
        for (const QString& n : names) {
            trace(n);
            // Complete or not at all; a writer replacing it meanwhile makes a second try.
            serverfile::read(ftp, n, ctx.fetchedFolder + n + u't');
            ++result.downloaded;
        }
        trace(QStringLiteral("___NEXT CYCLE___"));
        // Remembered once compared: a cycle that ends early fetches the rest again.
        const auto remember = [&](const QString& n) { memory.compared.insert(n, listed.value(n)); };

        for (const QString& n : names) {
            trace(n);
            const QString seen = ctx.seenFolder + n;
            const QString fetched = ctx.fetchedFolder + n + u't';
            const bool seenExists = QFile::exists(seen);
            if (seenExists && helpers::fileInUse(seen))
                wait(kSeenCopyWaitMs);
            // One still held reads as empty, like one that cannot be read.
            const bool seenReadable = seenExists && !helpers::fileInUse(seen);
            if (seenReadable && sameBytes(seen, fetched)) {
                remember(n);
                continue;
            }
            const QByteArray fetchedBytes = readWhole(fetched);
            // Only the lines above what was seen are decoded, or of a copy new to this computer
            // only as many as the news needs: a long history costs no memory while it is read.
            std::optional<QByteArrayView> freshBytes;
            if (!fetchedBytes.isEmpty()) {
                if (!seenReadable || QFileInfo(seen).size() == 0)
                    freshBytes = fetchedBytes;
                else
                    freshBytes = newAboveSeen(fetchedBytes, seen);
            }
            QStringList preload;   // the text that becomes the SeenCopy, once decoded
            bool asFetched = true; // that text is the server copy's
            bool news = false;
            if (freshBytes) {
                news = othersWroteIn(*freshBytes, ctx.sessionUser);
            } else {
                QStringList load;
                if (seenReadable)
                    load = stringlist::load(seen).value_or(QStringList());
                preload = stringlist::decode(fetchedBytes);
                if (conversation::dropStaleFileLines(preload))
                    asFetched = false;
                if (seenExists && load == preload) {
                    remember(n);
                    continue;
                }
                // A copy that lacks entries seen before (cut by a broken upload, emptied, or
                // overwritten with something that is not a conversation) is a damaged copy, not
                // the new state: the SeenCopy keeps all it holds, and the entries the copy has
                // beyond it are news. A copy that shares no entry with the SeenCopy (a
                // conversation started anew) is taken as it is.
                QStringList fresh = preload;
                conversation::dropFileLine(fresh);
                QStringList tail = load;
                conversation::dropFileLine(tail);
                bool extracted = false;
                if (seenExists && !conversation::holdsAll(preload, load)) {
                    const bool valid = conversation::looksLikeConversation(preload);
                    const bool shared = valid && conversation::sharesEntry(preload, load);
                    if (!valid || conversation::splitEntries(preload).isEmpty() || shared) {
                        result.damaged.append(n);
                        trace(n + QStringLiteral(" lost entries"));
                        const QStringList merged =
                            valid ? conversation::united({load, preload}) : load;
                        QList<QStringList> added;
                        for (const QStringList& e : conversation::splitEntries(merged))
                            if (!conversation::holdsEntryLines(load, e))
                                added.append(e);
                        if (added.isEmpty()) {
                            trace(n + QStringLiteral(" lost entries; not news"));
                            remember(n);
                            continue;
                        }
                        preload = merged;
                        asFetched = false;
                        fresh = conversation::joinEntries(added);
                        extracted = true;
                    } else {
                        tail.clear();
                    }
                }
                // What this user wrote (from here or elsewhere) is never news to them.
                if (!extracted && fresh.size() >= tail.size())
                    fresh = fresh.mid(0, fresh.size() - tail.size());
                news = othersWrote(fresh, ctx.sessionUser);
            }
            // The newest entry, and the file line of a notice, are all an announcement reads.
            const QStringList head =
                freshBytes ? stringlist::decodeHead(fetchedBytes, 2) : preload.mid(0, 2);
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
            // Seen from now on: a change is announced once. The server's bytes when they hold
            // `preload`, so that the next comparison of an unchanged copy ends at the bytes.
            const bool saved =
                asFetched ? stringlist::writeFile(seen, fetchedBytes, nullptr, kSeenCopyPermissions)
                          : stringlist::save(seen, preload);
            if (!saved)
                throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));
            remember(n);

            const QString peer = n.chopped(3);
            const int row = UserDirectory::find(ctx.directory.users(), peer);
            if (row >= 0 && row == ctx.directory.selected() && ctx.mainWindowVisible) {
                // The open chat follows even the user's own entries, silently.
                trace(ctx.directory.users().at(row) + QStringLiteral(" SELECTED"));
                // The open chat shows the whole text.
                QStringList chat = freshBytes ? stringlist::decode(fetchedBytes) : preload;
                if (conversation::hasFileLine(chat)) {
                    conversation::dropFileLine(chat);
                    stringlist::save(fetched, chat);
                }
                sink.refreshOpenChat(chat);
                continue;
            }

            if (!news) {
                trace(n + QStringLiteral(" own entries only"));
                continue;
            }
            if (row >= 0)
                ctx.directory.setUserLine(row, userentry::withMark(ctx.directory.users().at(row)));
            const conversation::Newest newest = conversation::newestEntry(head);
            Announcement a;
            a.sender = newest.sender;
            a.correspondent = peer;
            a.isMessage = newest.isMessage;
            a.firstLine = newest.firstLine;
            a.secondLine = newest.secondLine;
            trace(QStringLiteral("AD netprog.hint ") + a.sender + u' ');
            if (!a.isMessage) {
                // The name becomes part of a local path when the popup opens the file.
                const QString file = conversation::fileLineName(head);
                a.fileName = userentry::openable(file) ? file : QString();
                notices.append(a);
            }
            // Shown before any file comes down: a large file must not hold the news back.
            sink.announce(a);
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
            received::Settling settling;
            settling.previous = &memory.senderFolders[sender];
            settling.wait = wait;
            const received::FetchResult got = received::fetchListed(
                ftp, sender, ctx.networkDir, [&](const QString&) { sink.pumpEvents(); }, {},
                settling);
            if (!got.fetched.isEmpty())
                result.fetchedFrom.append(sender);
            for (Announcement& a : notices) {
                if (a.sender == sender && !got.fetched.isEmpty()) {
                    a.filesFetched = true;
                    sink.filesFetched(a);
                }
            }
        }
        for (auto it = memory.senderFolders.begin(); it != memory.senderFolders.end();) {
            if (senders.contains(it.key()))
                ++it;
            else
                it = memory.senderFolders.erase(it);
        }
        for (auto it = memory.compared.begin(); it != memory.compared.end();) {
            if (listed.contains(it.key()))
                ++it;
            else
                it = memory.compared.erase(it);
        }
        memory.listedAt = now;
        memory.cyclesToFullCheck = full ? kFullCheckEvery - 1 : memory.cyclesToFullCheck - 1;
        // Left where every other user of the open connection expects it.
        ftp.changeFolder(session.usersFolder());
        trace(QStringLiteral("END OF CYCLE ---"));
        result.outcome = Outcome::Done;
        return result;
    } catch (const Error& e) {
        qCInfo(lcPoll) << "poll cycle ended:" << e.message();
        result.outcome = Outcome::Failed;
    }
    closeMain(session);
    return result;
}

} // namespace poll
