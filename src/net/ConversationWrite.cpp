#include "net/ConversationWrite.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Error.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"

#include <QFileInfo>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QTemporaryFile>

#include <chrono>
#include <optional>
#include <thread>

namespace conversationwrite {

namespace {

using Clock = std::chrono::steady_clock;

constexpr qsizetype kMemoCopies = 16;

QString joined(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

void save(const QString& path, const QStringList& lines)
{
    QSaveFile file(path);
    const QByteArray bytes = conversation::encode(lines);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

// As stored: characters the code page lacks read back as "?".
QStringList stored(const QStringList& lines)
{
    return conversation::decode(conversation::encode(lines));
}

// One server copy as read in this round.
struct Copy
{
    QString path;    // absolute; empty when its folder is out of reach
    CopyState state; // as it was before it was read
    bool exists = false;
    bool valid = true; // text in the shape of a conversation
    QStringList lines; // as read, the file line included
    QString temporary; // uploaded and waiting to be renamed over it
    qint64 uploaded = -1;
    QStringList written;
};

class Writer
{
public:
    Writer(FtpClient& ftp, const Request& r) : m_ftp(ftp), m_r(r) {}

    Result run()
    {
        m_canStat = m_ftp.offers(QStringLiteral("SIZE")) && m_ftp.offers(QStringLiteral("MDTM"));
        QStringList seen;
        if (QFileInfo::exists(m_r.seenPath)) {
            QString error;
            const auto lines = stringlist::load(m_r.seenPath, &error);
            if (!lines)
                throw Error(error);
            seen = *lines;
        }
        Copy own;
        Copy peer;
        own.path = joined(absolute(store::userFolder(m_r.serverRoot, m_r.sender)),
                          store::conversationFile(m_r.recipient));
        try {
            peer.path = joined(absolute(store::userFolder(m_r.serverRoot, m_r.recipient)),
                               store::conversationFile(m_r.sender));
        } catch (const FtpError& e) {
            // An account deleted on the other side: the sender's copy still takes the entry.
            if (e.kind() != FtpError::Kind::Reply)
                throw;
            m_result.peerCopyFailure = e.message();
        }
        const bool ownFirst = m_r.sender < m_r.recipient;
        const Copy& lockSide = ownFirst || peer.path.isEmpty() ? own : peer;
        const QString lockFolder = lockSide.path.section(u'/', 0, -2);
        const QString lockTarget = lockSide.path.section(u'/', -1);

        for (int round = 1; round <= m_r.rounds; ++round) {
            m_result.rounds = round;
            if (round > 1)
                pause(round);
            // Writers that keep changing the copies faster than this one reads and uploads
            // them: the last round holds the lock from the reads on, renewing it between steps,
            // so it cannot be overtaken.
            std::optional<ServerLock> held;
            if (round == m_r.rounds && round > 1)
                takeLock(held, lockFolder, lockTarget);
            readCopy(own);
            if (!own.exists && !m_r.mayStart)
                throw FtpError(FtpError::Kind::Reply, m_ftp.lastReply().text(),
                               m_ftp.lastReply().code);
            if (!peer.path.isEmpty())
                readCopy(peer);
            prepare(own, peer, seen);
            if (own.written == own.lines && (peer.path.isEmpty() || peer.written == peer.lines)) {
                // Both hold it already: an earlier try landed.
                m_result.alreadyThere = true;
                save(m_r.seenPath, own.written);
                m_result.chat = own.written;
                endIn(peer.path.isEmpty() ? own.path : peer.path);
                return m_result;
            }
            upload(own);
            try {
                upload(peer);
            } catch (const FtpError& e) {
                // Refused in the recipient's folder: the sender's copy still takes the entry.
                if (!m_ftp.connected() || e.kind() != FtpError::Kind::Reply) {
                    dropTemporaries(own, peer);
                    throw;
                }
                m_result.peerCopyFailure = e.message();
                peer = Copy();
            }
            if (held)
                held->confirm();
            if (!commitUnderLock(lockFolder, lockTarget, own, peer, held))
                continue; // a copy changed since it was read
            held.reset();
            if (verified(own) && verified(peer)) {
                m_result.chat = own.written;
                endIn(peer.path.isEmpty() ? own.path : peer.path);
                return m_result;
            }
        }
        throw Error(QStringLiteral("The conversation with %1 kept changing while it was being "
                                   "written; nothing more was sent. Please try again.")
                        .arg(m_r.recipient));
    }

private:
    QString absolute(const QString& folder)
    {
        m_ftp.changeFolder(folder);
        return m_ftp.currentFolder();
    }

    // Callers go on from the recipient's folder, where a send has always left the connection.
    void endIn(const QString& copyPath) { m_ftp.changeFolder(copyPath.section(u'/', 0, -2)); }

    static void pause(int round)
    {
        // Apart, so that two writers that met do not meet again.
        const int ms = 100 * round + static_cast<int>(QRandomGenerator::global()->bounded(400));
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    CopyState stat(const QString& path)
    {
        CopyState s;
        if (!m_canStat)
            return s;
        s.size = m_ftp.size(path);
        // Only "no such file" means missing: a busy or broken server must not make a copy
        // that is there look new.
        if (s.size < 0 && m_ftp.lastReply().code != 550)
            throw FtpError(FtpError::Kind::Reply, m_ftp.lastReply().text(), m_ftp.lastReply().code);
        if (s.size >= 0)
            s.time = m_ftp.modificationTime(path);
        return s;
    }

    // The copy whole, or an exception: a read that fails is never an empty copy.
    void readCopy(Copy& copy)
    {
        copy.temporary.clear();
        copy.state = stat(copy.path);
        if (m_canStat && copy.state.size < 0) {
            copy.exists = false;
            copy.valid = true;
            copy.lines.clear();
            return;
        }
        if (copy.state.size > limits::kMaxConversationBytes)
            throw Error(QStringLiteral("The conversation \"%1\" is %2 bytes, more than the %3 "
                                       "this program reads; nothing was written.")
                            .arg(copy.path)
                            .arg(copy.state.size)
                            .arg(limits::kMaxConversationBytes));
        if (m_r.memo && m_canStat) {
            const auto known = m_r.memo->copies.constFind(copy.path);
            if (known != m_r.memo->copies.cend() && known->state == copy.state) {
                copy.exists = true;
                copy.lines = known->lines;
                copy.valid = conversation::looksLikeConversation(copy.lines);
                return;
            }
        }
        QTemporaryFile local;
        if (!local.open())
            throw Error(
                QStringLiteral("Cannot make a temporary file: %1").arg(local.errorString()));
        local.close();
        try {
            serverfile::read(m_ftp, copy.path, local.fileName());
        } catch (const FtpError& e) {
            if (!m_ftp.connected())
                throw;
            if (!m_canStat && e.kind() == FtpError::Kind::Reply) {
                copy.exists = false; // no SIZE to ask: a refused download is a missing copy
                copy.valid = true;
                copy.lines.clear();
                return;
            }
            throw Error(QStringLiteral("The conversation with %1 could not be read from the "
                                       "server (%2); nothing was sent.")
                            .arg(m_r.recipient, e.message()));
        }
        QString error;
        const auto lines = stringlist::load(local.fileName(), &error);
        if (!lines)
            throw Error(error);
        copy.exists = true;
        copy.lines = *lines;
        copy.valid = conversation::looksLikeConversation(copy.lines);
        remember(copy.path, copy.state, copy.lines);
    }

    // What each copy is to hold: every entry any input has, the new one on top unless it is
    // in already.
    void prepare(Copy& own, Copy& peer, const QStringList& seen)
    {
        QList<QStringList> inputs;
        bool anyExists = false;
        bool shares = false;
        for (const Copy* c : {&own, &peer}) {
            if (c->path.isEmpty() || !c->exists)
                continue;
            anyExists = true;
            if (!c->valid)
                continue;
            inputs.append(c->lines);
            shares = shares || conversation::sharesEntry(c->lines, seen);
        }
        bool anyEntries = false;
        for (const QStringList& in : inputs)
            anyEntries = anyEntries || !conversation::splitEntries(in).isEmpty();
        // The SeenCopy counts unless the conversation was started anew on the server (its
        // copies share nothing with it) or is new (no copy at all).
        const bool useSeen = anyExists && (shares || !anyEntries);
        if (useSeen)
            inputs.append(seen);
        QStringList base = conversation::united(inputs);
        m_result.repaired.clear();
        for (const Copy* c : {&own, &peer}) {
            if (c->exists && !c->path.isEmpty() &&
                (!c->valid || (useSeen && !conversation::holdsAll(c->lines, seen))))
                m_result.repaired.append(c->path);
        }

        const QStringList entry = stored(m_r.entry);
        const QStringList forPeer =
            stored(m_r.recipientEntry.isEmpty() ? m_r.entry : m_r.recipientEntry);
        QStringList ownLines = base;
        bool onTop = false;
        if (entry.isEmpty()) {
            // A repair: the copies only take what the others hold.
        } else if (!conversation::holdsEntryLines(base, entry)) {
            ownLines = conversation::joinEntries(QList<QStringList>{entry} +
                                                 conversation::splitEntries(base));
            onTop = true;
        } else {
            const auto entries = conversation::splitEntries(base);
            onTop = !entries.isEmpty() && conversation::holdsEntryLines(entries.first(), entry);
        }
        own.written = stored(ownLines);
        QStringList peerLines = own.written;
        // Only the recipient's copy carries the file line, and only while the notice is newest.
        if (onTop && forPeer != entry) {
            auto entries = conversation::splitEntries(peerLines);
            entries.first() = forPeer;
            peerLines = conversation::joinEntries(entries);
        }
        peer.written = stored(peerLines);
    }

    void upload(Copy& copy)
    {
        copy.temporary.clear();
        copy.uploaded = -1;
        if (copy.path.isEmpty() || (copy.exists && copy.written == copy.lines))
            return;
        QTemporaryFile local;
        const QByteArray bytes = conversation::encode(copy.written);
        if (!local.open() || local.write(bytes) != bytes.size() || !local.flush())
            throw Error(
                QStringLiteral("Cannot write a temporary file: %1").arg(local.errorString()));
        copy.temporary = serverfile::uploadTemporary(m_ftp, local.fileName(), copy.path);
        copy.uploaded = bytes.size();
    }

    void takeLock(std::optional<ServerLock>& lock, const QString& folder, const QString& target)
    {
        m_ftp.changeFolder(folder);
        const auto asked = Clock::now();
        lock.emplace(m_ftp, target, m_r.lock);
        const qint64 waited =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
        m_result.lockWaitMs = std::max(m_result.lockWaitMs, waited);
        m_result.staleLocksBroken += lock->brokeStale();
        m_result.tookBackOwnLock = m_result.tookBackOwnLock || lock->tookBackOwn();
    }

    // Under the lock (`held`, or taken now): the copies are as they were read, then the
    // temporaries take their place.
    bool commitUnderLock(const QString& folder, const QString& target, Copy& own, Copy& peer,
                         std::optional<ServerLock>& held)
    {
        std::optional<ServerLock>& lock = held;
        if (!lock) {
            try {
                takeLock(lock, folder, target);
            } catch (const FtpError&) {
                dropTemporaries(own, peer);
                throw;
            }
        }
        try {
            if (!unchanged(own) || (!peer.path.isEmpty() && !unchanged(peer))) {
                lock->release();
                dropTemporaries(own, peer);
                return false;
            }
            if (!own.temporary.isEmpty()) {
                lock->confirm();
                serverfile::commit(m_ftp, own.temporary, own.path);
                own.temporary.clear();
            }
            // The sender's copy holds the entry from here on.
            save(m_r.seenPath, own.written);
            if (!peer.temporary.isEmpty()) {
                lock->confirm();
                try {
                    serverfile::commit(m_ftp, peer.temporary, peer.path);
                } catch (const FtpError& e) {
                    // Refused in the recipient's folder: the sender's copy holds the entry.
                    if (!m_ftp.connected() || e.kind() != FtpError::Kind::Reply)
                        throw;
                    m_result.peerCopyFailure = e.message();
                    peer.uploaded = -1;
                }
                peer.temporary.clear();
            }
        } catch (const FtpError&) {
            lock->release();
            dropTemporaries(own, peer);
            throw;
        }
        lock->release();
        return true;
    }

    bool unchanged(const Copy& copy)
    {
        if (m_canStat)
            return stat(copy.path) == copy.state;
        // Without SIZE and MDTM only the text itself tells.
        Copy now;
        now.path = copy.path;
        readCopy(now);
        return now.exists == copy.exists && now.lines == copy.lines;
    }

    void dropTemporaries(Copy& own, Copy& peer)
    {
        for (Copy* c : {&own, &peer}) {
            if (!c->temporary.isEmpty())
                serverfile::dropTemporary(m_ftp, c->temporary);
            c->temporary.clear();
        }
    }

    // After the lock: a writer that takes no lock may have replaced a copy in between. It
    // holds the entry, or another round puts it back.
    bool verified(const Copy& copy)
    {
        if (copy.path.isEmpty() || copy.uploaded < 0)
            return true;
        const CopyState after = stat(copy.path);
        if (m_canStat && after.size == copy.uploaded) {
            remember(copy.path, after, copy.written);
            return true;
        }
        Copy now;
        now.path = copy.path;
        readCopy(now);
        const QStringList entry = stored(m_r.entry);
        return now.exists && (entry.isEmpty() || conversation::holdsEntryLines(now.lines, entry));
    }

    void remember(const QString& path, const CopyState& state, const QStringList& lines)
    {
        if (!m_r.memo || !m_canStat)
            return;
        // The conversations being written now; older ones are read again when written.
        if (m_r.memo->copies.size() >= kMemoCopies && !m_r.memo->copies.contains(path))
            m_r.memo->copies.clear();
        m_r.memo->copies.insert(path, {state, lines});
    }

    FtpClient& m_ftp;
    const Request& m_r;
    Result m_result;
    bool m_canStat = false;
};

} // namespace

Result write(FtpClient& ftp, const Request& request)
{
    return Writer(ftp, request).run();
}

void retryingOnce(FtpClient& ftp, const std::function<bool()>& reconnect,
                  const std::function<void()>& write)
{
    try {
        write();
    } catch (const FtpError& e) {
        const bool lost = !ftp.connected() || e.kind() == FtpError::Kind::Closed ||
                          e.kind() == FtpError::Kind::Socket;
        if (!lost || !reconnect())
            throw;
        write();
    }
}

} // namespace conversationwrite
