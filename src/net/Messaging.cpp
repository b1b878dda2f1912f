#include "net/Messaging.h"

#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/ConversationWrite.h"
#include "net/FtpClient.h"
#include "net/ServerFile.h"
#include "net/StoreLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>

namespace messaging {

namespace {

constexpr int kBeforeChangeWaitMs = 1000;
constexpr int kBeforeSaveWaitMs = 3000;

void waitIfInUse(const QString& path, int ms, const directory::Wait& wait)
{
    if (helpers::fileInUse(path))
        wait(ms);
}

QString withoutSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// The request that puts one entry on top of both copies of the conversation with `recipient`.
conversationwrite::Request writeRequest(const Place& place, const QString& recipient,
                                        const QStringList& entry,
                                        const QStringList& recipientEntry = {})
{
    conversationwrite::Request r;
    r.serverRoot = place.serverRoot;
    r.sender = place.sessionUser;
    r.recipient = recipient;
    r.seenPath = place.seenFolder + store::conversationFile(recipient);
    r.entry = entry;
    r.recipientEntry = recipientEntry;
    r.memo = place.memo;
    r.lock = place.lock;
    return r;
}

QStringList messageEntry(const QString& header, const QString& message)
{
    QStringList lines;
    conversation::insertMessage(lines, header, message);
    return lines;
}

} // namespace

bool saveConversation(const QString& path, const QStringList& lines, QString* error)
{
    QSaveFile file(path);
    const QByteArray bytes = conversation::encode(lines);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

Sent sendMessage(FtpClient& ftp, const Place& place, QStringList& userslist, QStringList& chat,
                 const QString& selectedName, const QString& recipient, const QString& message,
                 const QString& header, QString* failure, const directory::Wait& wait)
{
    // Both names become parts of local and server paths.
    if (!userentry::openable(selectedName) || !userentry::openable(recipient))
        return Sent::Refused;
    // The connection may be left in the correspondent's folder by the previous send.
    const QString own = store::userFolder(place.serverRoot, place.sessionUser);
    if (withoutSlash(ftp.currentFolder()) != withoutSlash(own))
        ftp.changeFolder(own);
    const QString name = store::conversationFile(selectedName);
    // A conversation the correspondent started after the last listing is there all the same.
    if (!userslist.contains(name))
        userslist = ftp.listNames();
    if (!userslist.contains(name))
        return Sent::NoConversation;
    const QString seen = place.seenFolder + name;
    waitIfInUse(seen, kBeforeChangeWaitMs, wait);
    // A retry after an unknown outcome carries the same header: the entry it finds in a copy is
    // not written twice.
    conversationwrite::Result written;
    try {
        written = conversationwrite::write(
            ftp, writeRequest(place, recipient, messageEntry(header, message)));
    } catch (const FtpError& e) {
        // Gone since the listing (an account deleted on the other side): say so, not "550".
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
            throw;
        ftp.changeFolder(own);
        userslist = ftp.listNames();
        if (!userslist.contains(name))
            return Sent::NoConversation;
        throw;
    }
    chat = written.chat;
    if (!written.peerCopyFailure.isEmpty()) {
        if (!failure)
            throw Error(written.peerCopyFailure);
        *failure = written.peerCopyFailure;
        return Sent::PeerCopyFailed;
    }
    return Sent::Sent;
}

QuickSent quickSend(FtpClient& ftp, const Place& place, const QString& recipient,
                    const QString& message, const QDateTime& now)
{
    QuickSent sent;
    // Both names become parts of local and server paths.
    if (!userentry::openable(recipient) || !userentry::openable(place.sessionUser))
        return sent;
    sent.listing = ftp.listNames();
    const QString name = store::conversationFile(recipient);
    const QString seen = place.seenFolder + name;
    QDir().mkpath(place.seenFolder);
    sent.started = !sent.listing.contains(name);
    const QString header = conversation::headerLine(place.sessionUser, now);
    auto request = writeRequest(place, recipient, messageEntry(header, message));
    request.mayStart = true;
    const conversationwrite::Result written = conversationwrite::write(ftp, request);
    if (!written.peerCopyFailure.isEmpty())
        throw Error(written.peerCopyFailure);
    sent.chat = written.chat;
    if (sent.started)
        sent.listing.append(name);
    sent.result = Sent::Sent;
    return sent;
}

FileSendResult sendFiles(FtpClient& ftp, const Place& place, QStringList& chat,
                         const FileSend& send, const Progress& progress,
                         const directory::Wait& wait)
{
    FileSendResult result;
    const QStringList listed = ftp.listNames();
    if (!listed.contains(place.sessionUser)) {
        try {
            ftp.makeFolder(place.sessionUser);
        } catch (const FtpError&) {
            if (!send.ignoreFailures)
                throw;
            // Entering it below tells whether it is there after all.
        }
    }
    ftp.changeFolder(place.sessionUser);
    QStringList failed;
    for (const QString& path : send.paths) {
        // A folder, a device or a pipe cannot be sent, and a pipe would never end.
        if (!QFileInfo(path).isFile()) {
            result.skipped.append(path);
            continue;
        }
        const QString upload = conversation::uploadName(path);
        // Under a temporary name until it is whole: a receiver never takes a part of it.
        try {
            const QString temporary =
                serverfile::uploadTemporary(ftp, path, upload, [&](qint64 done, qint64 total) {
                    if (progress)
                        progress(upload, done, total);
                });
            serverfile::commit(ftp, temporary, upload);
            result.uploaded.append(path);
        } catch (const FtpError& e) {
            if (!send.ignoreFailures || !ftp.connected())
                throw;
            result.skipped.append(path);
            result.failures.append(QFileInfo(path).fileName() + QStringLiteral(": ") + e.message());
            failed.append(path);
        }
    }
    // What a killed upload of an earlier send left behind.
    try {
        const QStringList names = ftp.listNames();
        if (!result.uploaded.isEmpty() &&
            std::any_of(names.cbegin(), names.cend(),
                        [](const QString& n) { return serverfile::isTemporary(n); })) {
            const QDateTime now =
                ftp.modificationTime(conversation::uploadName(result.uploaded.last()));
            if (now.isValid())
                serverfile::removeLeftovers(ftp, names, now);
        }
    } catch (const FtpError&) {
        // Tidying up only; the next send tries again.
        if (!ftp.connected())
            throw;
    }
    // Files that did not go up get no notice; with none gone up there is nothing to tell.
    if (result.uploaded.isEmpty() && !failed.isEmpty()) {
        ftp.changeFolder(store::userFolder(place.serverRoot, place.sessionUser));
        return result;
    }
    QStringList counted;
    for (const QString& p : send.paths)
        if (!failed.contains(p))
            counted.append(p);

    conversation::Notice notice{place.sessionUser,   counted,           send.phrases,
                                send.countedVerbRow, send.fileNameLine, send.now};
    if (notice.phrases.size() < 7)
        notice.phrases = conversation::fallbackPhrases();
    const QStringList recipientNotice = conversation::noticeLines(notice);
    QStringList ownNotice = recipientNotice;
    // Only the recipient's copy carries the file line of a one-file notice.
    if (ownNotice.size() > 1 && ownNotice.at(1).startsWith(QStringLiteral("...")))
        ownNotice.removeAt(1);

    const QString seen = place.seenFolder + store::conversationFile(send.recipient);
    if (send.waitForSeenCopy)
        waitIfInUse(seen, kBeforeSaveWaitMs, wait);
    try {
        auto request = writeRequest(place, send.recipient, ownNotice, recipientNotice);
        // Files may be the first thing sent to someone.
        request.mayStart = true;
        const conversationwrite::Result written = conversationwrite::write(ftp, request);
        chat = written.chat;
        if (!written.peerCopyFailure.isEmpty() && !send.ignoreFailures)
            throw Error(written.peerCopyFailure);
    } catch (const FtpError&) {
        if (!send.ignoreFailures || !ftp.connected())
            throw;
        // The files are up; the view shows the notice, and the SeenCopy stays as the server
        // has it, so the poll never announces a notice that was not stored.
        conversation::insertNotice(chat, ownNotice);
    }
    // Callers go on from the signed-in user's folder, where the pipeline always ended.
    ftp.changeFolder(store::userFolder(place.serverRoot, place.sessionUser));
    return result;
}

} // namespace messaging
