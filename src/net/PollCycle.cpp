#include "net/PollCycle.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/PollJudgement.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/DirectoryFetch.h"
#include "net/ReceivedFiles.h"
#include "net/SeenMarks.h"
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

// Whether the file behind `now` may differ from the one compared when `before` was listed.
bool mayHaveChanged(const ftplisting::Entry* before, const ftplisting::Entry& now,
                    const QDateTime& previousListing)
{
    if (!before || !before->sameAs(now) || !previousListing.isValid())
        return true;
    return now.latest() >= previousListing.addSecs(-kRecentSecs);
}

// The current folder with sizes and times; a server whose listing cannot be read gives names
// only, and then every conversation is fetched.
QList<ftplisting::Entry> listHere(FtpClient& ftp, const QDateTime& now)
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
void askSizeAndTime(FtpClient& ftp, ftplisting::Entry& e, const QString& path)
{
    e.size = ftp.size(path);
    e.modified = e.size >= 0 ? ftp.modificationTime(path) : QDateTime();
    e.precisionSecs = 1;
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

// A file read whole into a buffer of exactly its size; nullopt when it cannot be read.
std::optional<QByteArray> readWhole(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes(f.size(), Qt::Uninitialized);
    const qint64 got = f.read(bytes.data(), bytes.size());
    bytes.resize(std::max<qint64>(got, 0));
    return bytes;
}

// What one cycle's steps share.
struct Cycle
{
    Context& ctx;
    Sink& sink;
    Result& result;
    Trace trace;
    ServerSession& session;
    FtpClient& ftp;
    std::function<void(int ms)> wait;
    Memory& memory;
    bool full = false;
    QDateTime now{}; // when the own folder was listed, our clock (UTC)
    // The own folder as listed, its names in name order; sizes and times asked for where the
    // listing told none.
    QStringList listing{};
    QHash<QString, ftplisting::Entry> listed{};
    QList<Announcement> notices{}; // announced notices whose files may still come down
    // The folder this cycle last changed the connection to; empty while it changed none, when
    // the connection stands wherever earlier work left it.
    QString where{};
};

// The memory of earlier cycles when it belongs to this server and user; an empty one otherwise.
Memory& memoryFor(const Context& ctx, const FtpClient& ftp, Memory& scratch)
{
    Memory& memory = ctx.memory ? *ctx.memory : scratch;
    const QString owner =
        ftp.settings().host + u'\n' + ftp.settings().user + u'\n' + ctx.sessionUser;
    if (memory.owner != owner) {
        memory = Memory();
        memory.owner = owner;
    }
    return memory;
}

QString ownFolder(const Cycle& c)
{
    return store::userFolder(c.session.serverRoot(), c.ctx.sessionUser);
}

// A fresh opening stands in the users folder. False when the server cannot be reached.
bool reopen(Cycle& c)
{
    if (!c.session.openMain())
        return false;
    c.where = c.session.usersFolder();
    return true;
}

// The connection stays open between cycles; one that is closed is opened again. False when the
// server cannot be reached.
bool openConnection(Cycle& c)
{
    return c.ftp.connected() || reopen(c);
}

// For the steps that name files relative to a folder; a folder change only where the
// connection does not stand there already.
bool enter(Cycle& c, const QString& folder)
{
    if (!c.ftp.connected() && !reopen(c))
        return false;
    if (c.where != folder) {
        c.ftp.changeFolder(folder);
        c.where = folder;
    }
    return true;
}

void enterOrThrow(Cycle& c, const QString& folder)
{
    if (!enter(c, folder))
        throw FtpError(FtpError::Kind::Closed, QStringLiteral("The main server is out of reach"));
}

// The own folder with sizes and times, listed by its full path so that a steady cycle needs no
// folder change; a server that cannot list it so is asked from within.
QList<ftplisting::Entry> listOwnFolder(Cycle& c)
{
    try {
        const QStringList lines = c.ftp.listFolderDetails(ownFolder(c));
        const QList<ftplisting::Entry> entries =
            ftplisting::parse(lines, c.ftp.listsMachineReadable(), c.now);
        if (!entries.isEmpty() || lines.isEmpty())
            return entries;
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply || !c.ftp.connected())
            throw;
    }
    enterOrThrow(c, ownFolder(c));
    return listHere(c.ftp, c.now);
}

// The directory file's entry, or nullopt when the server does not tell: MLST or SIZE and MDTM,
// which need no data connection, else its line in a listing.
std::optional<ftplisting::Entry> directoryEntry(Cycle& c)
{
    const QString path = c.session.usersFolder() + store::kDirectoryFile;
    if (c.ftp.listsMachineReadable()) {
        const auto e = ftplisting::parseMlsd(c.ftp.fileFacts(path));
        if (e && !e->folder && e->size >= 0 && e->modified.isValid())
            return e;
    }
    ftplisting::Entry e;
    e.name = store::kDirectoryFile;
    askSizeAndTime(c.ftp, e, path);
    if (e.modified.isValid())
        return e;
    try {
        enterOrThrow(c, c.session.usersFolder());
        const QList<ftplisting::Entry> entries =
            ftplisting::parse(c.ftp.listDetails(store::kDirectoryFile), false, c.now);
        if (entries.size() == 1 && !entries.first().folder)
            return entries.first();
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply || !c.ftp.connected())
            throw;
    }
    return std::nullopt;
}

// The directory as this computer has it.
void reloadKnownDirectory(Cycle& c, const QString& copy)
{
    std::optional<QStringList> lines;
    // Read as a downloaded one is, with the same bound.
    if (!helpers::fileInUse(copy))
        lines = stringlist::loadAtMost(copy, limits::kMaxDirectoryBytes);
    c.ctx.directory.reload(lines, c.ctx.sessionUser);
}

// The directory, fetched again only when its size or time says it may have changed.
void refreshDirectory(Cycle& c)
{
    const QString copy = c.ctx.tempDataDir + store::local::kDirectoryCopy;
    const std::optional<ftplisting::Entry> lineup = directoryEntry(c);
    const bool directoryKnown = !c.full && lineup && QFile::exists(copy) &&
                                !mayHaveChanged(&c.memory.directory, *lineup, c.memory.listedAt);
    // Far beyond any real directory: the lists stay as they were, and nothing comes down.
    const bool directoryTooLarge = lineup && lineup->size > limits::kMaxDirectoryBytes;
    if (directoryTooLarge) {
        c.ctx.directory.reload(std::nullopt, c.ctx.sessionUser);
    } else if (directoryKnown) {
        reloadKnownDirectory(c, copy);
    } else {
        c.memory.directory = {};
        const QDateTime before = QFileInfo(copy).lastModified();
        enterOrThrow(c, c.session.usersFolder());
        c.ctx.directory.reload(directory::fetch(c.ftp, copy, c.wait, directory::OnFailure::Keep),
                               c.ctx.sessionUser);
        // A fetch that failed left the old copy: it is fetched again next time.
        if (lineup && QFileInfo(copy).lastModified() != before) {
            c.memory.directory = *lineup;
            c.result.directoryFetched = true;
        }
    }
}

// The own folder with the sizes and times of its files, then the directory's size and time (and
// the directory itself when it changed). A connection held since earlier that the server
// dropped is opened again once.
void list(Cycle& c, bool heldOpen)
{
    c.now = QDateTime::currentDateTimeUtc();
    QList<ftplisting::Entry> entries;
    try {
        entries = listOwnFolder(c);
    } catch (const FtpError&) {
        if (!heldOpen || c.ftp.connected() || !reopen(c))
            throw;
        entries = listOwnFolder(c);
    }
    // Compared and announced in name order, whatever order the server lists in.
    std::sort(entries.begin(), entries.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });
    for (const ftplisting::Entry& e : entries) {
        c.listing.append(e.name);
        c.listed.insert(e.name, e);
    }
    refreshDirectory(c);
    c.result.listed = true;
    c.result.listing = c.listing;
    QDir().mkpath(c.ctx.seenFolder);
    QDir().mkpath(c.ctx.fetchedFolder);
    c.trace(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

// The conversations that may differ from the copy compared last time come down; returns their
// names.
QStringList fetch(Cycle& c)
{
    QStringList names;
    for (const QString& n : conversationsToCompare(c.listing, c.ctx.directory, c.ctx.sessionUser)) {
        ftplisting::Entry& entry = c.listed[n];
        if (!entry.modified.isValid())
            askSizeAndTime(c.ftp, entry, ownFolder(c) + n);
        // Far beyond any real conversation: never read into memory, never news.
        if (entry.size > limits::kMaxConversationBytes) {
            c.trace(n + QStringLiteral(" too large"));
            continue;
        }
        const auto before = c.memory.compared.constFind(n);
        if (c.full || before == c.memory.compared.cend() ||
            mayHaveChanged(&*before, entry, c.memory.listedAt) ||
            !QFile::exists(c.ctx.seenFolder + n))
            names.append(n);
    }
    if (!names.isEmpty())
        enterOrThrow(c, ownFolder(c));
    for (const QString& n : names) {
        c.trace(n);
        // Complete or not at all; a writer replacing it meanwhile makes a second try.
        serverfile::read(c.ftp, n, c.ctx.fetchedFolder + n + u't');
        ++c.result.downloaded;
    }
    c.trace(QStringLiteral("___NEXT CYCLE___"));
    return names;
}

// The directory row of the correspondent whose conversation file is `n`, or -1.
int rowOf(const Cycle& c, const QString& n)
{
    return UserDirectory::find(c.ctx.directory.users(), n.chopped(3));
}

// The copy that came down, judged against the SeenCopy.
polljudgement::Judgement judge(Cycle& c, const QString& n)
{
    c.trace(n);
    const QString seen = c.ctx.seenFolder + n;
    polljudgement::SeenCopy seenCopy;
    seenCopy.exists = QFile::exists(seen);
    if (seenCopy.exists && helpers::fileInUse(seen))
        c.wait(kSeenCopyWaitMs);
    // One still held reads as empty, like one that cannot be read.
    if (seenCopy.exists && !helpers::fileInUse(seen))
        seenCopy.bytes = readWhole(seen);
    // An empty copy and one that cannot be read hold no entry alike: neither wipes what was seen.
    const QByteArray copy = readWhole(c.ctx.fetchedFolder + n + u't').value_or(QByteArray());
    const int row = rowOf(c, n);
    const bool open = row >= 0 && row == c.ctx.directory.selected();
    return polljudgement::judge(copy, seenCopy, c.ctx.sessionUser, open, c.ctx.mainWindowVisible);
}

// Carries out a judgement: the SeenCopy, the sound, the open chat or the mark and the popup.
// False when the SeenCopy stays held by another program, which ends the cycle.
bool apply(Cycle& c, const QString& n, const polljudgement::Judgement& j)
{
    // Remembered once compared: a cycle that ends early fetches the rest again.
    const auto remember = [&] { c.memory.compared.insert(n, c.listed.value(n)); };
    if (j.damaged) {
        c.result.damaged.append(n);
        c.trace(n + QStringLiteral(" lost entries"));
    }
    if (j.unchanged) {
        if (j.damaged)
            c.trace(n + QStringLiteral(" lost entries; not news"));
        remember();
        return true;
    }
    ++c.result.changed;
    if (j.news)
        c.sink.playSound();
    const QString seen = c.ctx.seenFolder + n;
    if (helpers::fileInUse(seen))
        c.wait(kSeenCopyWaitMs);
    if (helpers::fileInUse(seen))
        return false;
    // Seen from now on: a change is announced once.
    const bool saved =
        j.seenBytes ? stringlist::writeFile(seen, *j.seenBytes, nullptr, kSeenCopyPermissions)
                    : stringlist::save(seen, j.seenLines);
    if (!saved)
        throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));
    remember();

    const int row = rowOf(c, n);
    if (j.openChat) {
        c.trace(c.ctx.directory.users().at(row) + QStringLiteral(" SELECTED"));
        if (j.chatLostFileLine)
            stringlist::save(c.ctx.fetchedFolder + n + u't', *j.openChat);
        c.sink.refreshOpenChat(*j.openChat);
        if (!j.announcement)
            return true;
    }
    if (!j.announcement) {
        c.trace(n + QStringLiteral(" own entries only"));
        return true;
    }
    if (row >= 0)
        c.ctx.directory.setUserLine(row, userentry::withMark(c.ctx.directory.users().at(row)));
    const conversation::Newest& newest = j.announcement->newest;
    Announcement a;
    a.sender = newest.sender;
    a.correspondent = n.chopped(3);
    a.isMessage = newest.isMessage;
    a.firstLine = newest.firstLine;
    a.secondLine = newest.secondLine;
    c.trace(QStringLiteral("AD netprog.hint ") + a.sender + u' ');
    if (!a.isMessage) {
        a.fileName = j.announcement->fileName;
        c.notices.append(a);
    }
    // Shown before any file comes down: a large file must not hold the news back.
    c.sink.announce(a);
    return true;
}

// Every sender folder the listing shows is fetched, whatever the newest entries say: a notice
// followed by a message, or answered before this client saw it, must not leave its files on the
// server for good. False when the server cannot be reached again.
bool fetchFiles(Cycle& c)
{
    const QStringList senders =
        senderFolders(c.listing, c.ctx.directory.users(), c.ctx.sessionUser);
    for (const QString& sender : senders) {
        // Each sender's folder is left for the own folder again.
        if (!enter(c, ownFolder(c)))
            return false;
        received::Settling settling;
        settling.previous = &c.memory.senderFolders[sender];
        settling.wait = c.wait;
        const received::FetchResult got = received::fetchListed(
            c.ftp, sender, c.ctx.networkDir, [&](const QString&) { c.sink.pumpEvents(); }, {},
            settling);
        if (!got.fetched.isEmpty())
            c.result.fetchedFrom.append(sender);
        for (Announcement& a : c.notices) {
            if (a.sender == sender && !got.fetched.isEmpty()) {
                a.filesFetched = true;
                c.sink.filesFetched(a);
            }
        }
    }
    for (auto it = c.memory.senderFolders.begin(); it != c.memory.senderFolders.end();) {
        if (senders.contains(it.key()))
            ++it;
        else
            it = c.memory.senderFolders.erase(it);
    }
    return true;
}

// What the next cycle needs to know of this one; a connection this cycle moved is left in the
// users folder, where every other user of the open connection expects it.
void finish(Cycle& c)
{
    for (auto it = c.memory.compared.begin(); it != c.memory.compared.end();) {
        if (c.listed.contains(it.key()))
            ++it;
        else
            it = c.memory.compared.erase(it);
    }
    c.memory.listedAt = c.now;
    c.memory.cyclesToFullCheck = c.full ? kFullCheckEvery - 1 : c.memory.cyclesToFullCheck - 1;
    if (!c.where.isEmpty() && c.where != c.session.usersFolder())
        c.ftp.changeFolder(c.session.usersFolder());
    c.trace(QStringLiteral("END OF CYCLE ---"));
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
    ServerSession& session = ctx.session;
    if (!session.online() || ctx.sessionUser.isEmpty() || session.busy())
        return result;
    const ServerSession::Busy busy(session);
    FtpClient& ftp = session.mainConnection();
    Memory scratch;
    Cycle c{ctx,
            sink,
            result,
            Trace(result.trace),
            session,
            ftp,
            ctx.wait ? ctx.wait : directory::sleepWait,
            memoryFor(ctx, ftp, scratch)};
    c.full = c.memory.cyclesToFullCheck <= 0;
    result.fullCheck = c.full;
    const bool heldOpen = ftp.connected();
    if (!openConnection(c)) {
        result.outcome = Outcome::NoServer;
        return result;
    }
    try {
        list(c, heldOpen);
        for (const QString& n : fetch(c)) {
            if (!apply(c, n, judge(c, n))) {
                closeMain(session);
                c.trace(QStringLiteral("exit"));
                result.outcome = Outcome::Abandoned;
                return result;
            }
        }
        if (ctx.seenMark)
            seenmarks::look(ftp, session.serverRoot(), ctx.sessionUser,
                            ctx.tempDataDir + store::local::kSeenMarkCopy, *ctx.seenMark);
        if (!fetchFiles(c)) {
            result.outcome = Outcome::NoServer;
            return result;
        }
        finish(c);
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
