#include "net/ConversationWrite.h"

#include "core/Conversation.h"
#include "core/Error.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <algorithm>
#include <optional>
#include <thread>

namespace conversationwrite {

namespace {

constexpr int kRereadPauseMs = 200;

bool endsWith(const QStringList& lines, const QStringList& tail)
{
    if (tail.size() > lines.size())
        return false;
    return std::equal(tail.cbegin(), tail.cend(), lines.cend() - tail.size());
}

// Where `part` stands in `lines` as a run of whole lines, or -1.
qsizetype find(const QStringList& lines, const QStringList& part)
{
    if (part.isEmpty())
        return 0;
    for (qsizetype i = 0; i + part.size() <= lines.size(); ++i)
        if (std::equal(part.cbegin(), part.cend(), lines.cbegin() + i))
            return i;
    return -1;
}

void save(const QString& path, const QStringList& lines)
{
    QSaveFile file(path);
    const QByteArray bytes = conversation::encode(lines);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw Error(QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}

class Writer
{
public:
    Writer(FtpClient& ftp, const Request& r) : m_ftp(ftp), m_r(r) {}

    Result run()
    {
        const QString own = store::userFolder(m_r.serverRoot, m_r.sender);
        const QString peer = store::userFolder(m_r.serverRoot, m_r.recipient);
        const QString ownName = store::conversationFile(m_r.recipient);
        const QString peerName = store::conversationFile(m_r.sender);
        const bool ownFirst = m_r.sender < m_r.recipient;
        m_ftp.changeFolder(ownFirst ? own : peer);
        ServerLock lock(m_ftp, ownFirst ? ownName : peerName, m_r.lock);

        Result result;
        result.staleLocksBroken = lock.brokeStale();
        QStringList seen;
        if (QFileInfo::exists(m_r.seenPath)) {
            QString error;
            const auto lines = stringlist::load(m_r.seenPath, &error);
            if (!lines)
                throw Error(error);
            seen = *lines;
        }
        conversation::dropFileLine(seen);

        QStringList base;
        m_ftp.changeFolder(own);
        const bool ownMissing = m_ftp.offers(QStringLiteral("SIZE")) && m_ftp.size(ownName) < 0;
        // A copy gone since the listing is the caller's to report, not one to rebuild.
        if (ownMissing && !m_r.mayStart)
            throw FtpError(FtpError::Kind::Reply, m_ftp.lastReply().text(), m_ftp.lastReply().code);
        if (ownMissing) {
            // A new conversation, unless the other side started it meanwhile.
            try {
                base = readAny(peer, peerName).value_or(QStringList());
            } catch (const FtpError& e) {
                if (e.kind() != FtpError::Kind::Reply)
                    throw;
            }
        } else {
            std::optional<QStringList> read = readHolding(own, ownName, seen);
            if (!read)
                read = readHolding(peer, peerName, seen);
            if (!read) {
                std::optional<QStringList> cut = readAny(own, ownName);
                if (cut && !looksLikeConversation(*cut))
                    cut.reset();
                base = mergedOnto(cut.value_or(QStringList()), seen);
                result.rebuilt = true;
            } else {
                base = *read;
            }
        }

        // As stored: characters the code page lacks read back as "?".
        const auto stored = [](const QStringList& lines) {
            return conversation::decode(conversation::encode(lines));
        };
        QStringList ownLines = base;
        m_r.putOnTop(ownLines, false);
        ownLines = stored(ownLines);
        QStringList peerLines = base;
        m_r.putOnTop(peerLines, true);
        peerLines = stored(peerLines);
        // The entry as it stands in the sender's copy, to find it again on reading back.
        const QStringList entry = ownLines.mid(0, ownLines.size() - base.size());
        QStringList probe = entry;
        while (!probe.isEmpty() && probe.last().isEmpty())
            probe.removeLast();

        if (!lock.fresh())
            throw Error(QStringLiteral("The conversation with %1 was locked too long to write "
                                       "safely; nothing was sent")
                            .arg(m_r.recipient));
        replace(own, ownName, ownLines);
        save(m_r.seenPath, ownLines);
        result.chat = ownLines;
        bool peerWritten = false;
        try {
            replace(peer, peerName, peerLines);
            peerWritten = true;
        } catch (const FtpError& e) {
            if (!m_ftp.connected())
                throw;
            result.peerCopyFailure = e.message();
        }

        // A writer that does not lock may have replaced a copy in between.
        result.reapplied += reapply(own, ownName, probe, false);
        if (peerWritten)
            result.reapplied += reapply(peer, peerName, probe, true);
        return result;
    }

private:
    std::optional<QStringList> readAny(const QString& folder, const QString& name)
    {
        m_ftp.changeFolder(folder);
        QTemporaryFile local;
        if (!local.open())
            throw Error(
                QStringLiteral("Cannot make a temporary file: %1").arg(local.errorString()));
        local.close();
        // Far beyond any real conversation: refused whole rather than read into memory or
        // rebuilt from the SeenCopy over the peer's copy.
        if (m_ftp.offers(QStringLiteral("SIZE"))) {
            if (const qint64 size = m_ftp.size(name); size > limits::kMaxConversationBytes)
                throw Error(QStringLiteral("The conversation \"%1\" is %2 bytes, more than the "
                                           "%3 this program reads; nothing was written.")
                                .arg(name)
                                .arg(size)
                                .arg(limits::kMaxConversationBytes));
        }
        try {
            serverfile::read(m_ftp, name, local.fileName());
        } catch (const FtpError&) {
            // A missing copy or a transfer that kept failing; the connection's own failures
            // end the write.
            if (!m_ftp.connected())
                throw;
            return std::nullopt;
        }
        const auto lines = stringlist::load(local.fileName());
        if (!lines)
            return std::nullopt;
        QStringList copy = *lines;
        conversation::dropFileLine(copy);
        return copy;
    }

    std::optional<QStringList> readHolding(const QString& folder, const QString& name,
                                           const QStringList& seen)
    {
        for (int attempt = 0; attempt < m_r.readAttempts; ++attempt) {
            if (attempt > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(kRereadPauseMs));
            const std::optional<QStringList> copy = readAny(folder, name);
            if (copy && looksLikeConversation(*copy) && holdsSeen(*copy, seen))
                return copy;
        }
        return std::nullopt;
    }

    void replace(const QString& folder, const QString& name, const QStringList& lines)
    {
        QTemporaryFile local;
        const QByteArray bytes = conversation::encode(lines);
        if (!local.open() || local.write(bytes) != bytes.size() || !local.flush())
            throw Error(
                QStringLiteral("Cannot write a temporary file: %1").arg(local.errorString()));
        m_ftp.changeFolder(folder);
        serverfile::replace(m_ftp, local.fileName(), name);
    }

    int reapply(const QString& folder, const QString& name, const QStringList& probe,
                bool forRecipient)
    {
        int rounds = 0;
        for (; rounds <= m_r.reapplyRounds; ++rounds) {
            const std::optional<QStringList> copy = readAny(folder, name);
            if (copy && find(*copy, probe) >= 0)
                return rounds;
            if (rounds == m_r.reapplyRounds)
                break;
            QStringList lines = copy.value_or(QStringList());
            m_r.putOnTop(lines, forRecipient);
            replace(folder, name, conversation::decode(conversation::encode(lines)));
        }
        throw Error(QStringLiteral("Another program kept replacing the conversation with %1; "
                                   "the message may be missing from it")
                        .arg(m_r.recipient));
    }

    FtpClient& m_ftp;
    const Request& m_r;
};

} // namespace

bool looksLikeConversation(const QStringList& lines)
{
    if (lines.isEmpty())
        return true;
    if (std::any_of(lines.cbegin(), lines.cend(),
                    [](const QString& l) { return l.contains(QChar(u'\0')); }))
        return false;
    const QString first = lines.first().trimmed();
    return first.endsWith(u':') || first.endsWith(u')');
}

bool holdsSeen(QStringList fetched, QStringList seen)
{
    conversation::dropFileLine(fetched);
    conversation::dropFileLine(seen);
    return endsWith(fetched, seen);
}

QStringList mergedOnto(QStringList fetched, const QStringList& seen)
{
    conversation::dropFileLine(fetched);
    QStringList s = seen;
    conversation::dropFileLine(s);
    if (s.isEmpty() || endsWith(fetched, s))
        return fetched;
    // The newest entry seen marks where the copy's newer entries end.
    const qsizetype at = fetched.indexOf(s.first());
    if (at < 0)
        return s;
    return fetched.mid(0, at) + s;
}

Result write(FtpClient& ftp, const Request& request)
{
    return Writer(ftp, request).run();
}

} // namespace conversationwrite
