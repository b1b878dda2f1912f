#include "net/SeenMarks.h"

#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/FtpClient.h"
#include "net/FtpError.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QLoggingCategory>

namespace seenmarks {

namespace {

Q_LOGGING_CATEGORY(lcSeen, "larkspire.seen")

// Refusals of the server (a missing file) are answers; a broken connection is not.
bool refused(const FtpError& e)
{
    return e.kind() == FtpError::Kind::Reply || e.kind() == FtpError::Kind::Incomplete;
}

ftplisting::Entry factsOf(FtpClient& ftp, const QString& path)
{
    if (ftp.listsMachineReadable()) {
        if (const auto e = ftplisting::parseMlsd(ftp.fileFacts(path)); e && !e->folder)
            return *e;
        // MLST refuses a missing file; SIZE would say no more.
        return {};
    }
    ftplisting::Entry e;
    e.size = ftp.size(path);
    e.modified = e.size >= 0 ? ftp.modificationTime(path) : QDateTime();
    return e;
}

std::optional<seenmark::Mark> readMark(FtpClient& ftp, const QString& path,
                                       const QString& localCopy)
{
    serverfile::read(ftp, path, localCopy);
    const auto lines = stringlist::loadAtMost(localCopy, kMaxBytes);
    QFile::remove(localCopy);
    return lines ? seenmark::fromLines(*lines) : std::nullopt;
}

} // namespace

bool look(FtpClient& ftp, const QString& serverRoot, const QString& user, const QString& localCopy,
          Watch& watch)
{
    if (watch.peer.isEmpty() || !userentry::openable(watch.peer))
        return false;
    const QString path = store::userFolder(serverRoot, watch.peer) + store::seenMarkFile(user);
    const std::optional<seenmark::Mark> before = watch.mark;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    try {
        const ftplisting::Entry e = factsOf(ftp, path);
        const bool recent =
            !watch.lookedAt.isValid() || e.latest() >= watch.lookedAt.addSecs(-kRecentSecs);
        const bool same = watch.looked && e.sameAs(watch.file) && !recent;
        watch.lookedAt = now;
        if (e.size < 0) {
            watch.mark.reset();
        } else if (!same && e.size <= kMaxBytes) {
            watch.mark = readMark(ftp, path, localCopy);
        }
        watch.file = e;
        watch.looked = true;
    } catch (const FtpError& e) {
        if (!refused(e) || !ftp.connected())
            throw;
        qCInfo(lcSeen) << "could not read" << path << e.message();
    }
    return watch.mark != before;
}

bool record(FtpClient& ftp, const QString& serverRoot, const QString& reader, const QString& peer,
            const seenmark::Mark& mark, const QString& localCopy, Written& written)
{
    if (!userentry::openable(reader) || !userentry::openable(peer) || mark.entry.isEmpty())
        return false;
    const QString key = reader + u'\n' + peer;
    const auto sameEntry = [&](const seenmark::Mark& other) {
        return other.entry == mark.entry && other.digest == mark.digest;
    };
    const auto known = written.marks.constFind(key);
    if (known != written.marks.cend() && sameEntry(*known))
        return false;
    const QString path = store::userFolder(serverRoot, reader) + store::seenMarkFile(peer);
    if (known == written.marks.cend()) {
        // Another session of this reader may have recorded the same entry already.
        try {
            if (ftp.size(path) >= 0) {
                if (const auto there = readMark(ftp, path, localCopy); there && sameEntry(*there)) {
                    written.marks.insert(key, *there);
                    return false;
                }
            }
        } catch (const FtpError& e) {
            if (!refused(e) || !ftp.connected())
                throw;
        }
    }
    QString why;
    if (!stringlist::save(localCopy, seenmark::toLines(mark), &why))
        throw Error(why);
    const QString temporary = serverfile::uploadTemporary(ftp, localCopy, path);
    QFile::remove(localCopy);
    serverfile::commit(ftp, temporary, path);
    written.marks.insert(key, mark);
    return true;
}

} // namespace seenmarks
