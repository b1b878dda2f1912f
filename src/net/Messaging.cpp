#include "net/Messaging.h"

#include "core/Conversation.h"
#include "core/Helpers.h"
#include "core/StringList.h"
#include "core/UserDirectory.h"
#include "net/FtpClient.h"
#include "net/StoreLayout.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace messaging {

namespace {

constexpr int kBeforeChangeWaitMs = 1000;
constexpr int kBeforeSaveWaitMs = 3000;

void waitIfInUse(const QString& path, int ms, const directory::Wait& wait)
{
    if (helpers::fileInUse(path))
        wait(ms);
}

void save(const QString& path, const QStringList& lines)
{
    QString error;
    if (!saveConversation(path, lines, &error))
        throw Error(error);
}

QString withoutSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// Downloads the own copy of a conversation from the current folder into the SeenCopy and
// returns its lines. A broken transfer leaves a partial file behind; only a whole one replaces
// the copy.
QStringList fetchOwnCopy(FtpClient& ftp, const QString& name, const QString& seen)
{
    const QString part = seen + QStringLiteral(".part");
    try {
        ftp.download(name, part);
    } catch (const FtpError&) {
        QFile::remove(part);
        throw;
    }
    QFile::remove(seen);
    if (!QFile::rename(part, seen)) {
        QFile::remove(part);
        throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));
    }
    QString error;
    const auto lines = stringlist::load(seen, &error);
    if (!lines)
        throw Error(error);
    QStringList chat = *lines;
    // The file line belongs to the newest notice alone; under a new entry every view would
    // show it.
    conversation::dropFileLine(chat);
    return chat;
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
    // The message goes on top of the newest copy, so an entry the correspondent wrote since
    // the view was loaded is kept in both copies instead of being overwritten.
    try {
        chat = fetchOwnCopy(ftp, name, seen);
    } catch (const FtpError& e) {
        // Gone since the listing (an account deleted on the other side): say so, not "550".
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
            throw;
        userslist = ftp.listNames();
        if (!userslist.contains(name))
            return Sent::NoConversation;
        throw;
    }
    if (!conversation::holdsEntry(chat, header, message))
        conversation::insertMessage(chat, header, message);
    waitIfInUse(seen, kBeforeSaveWaitMs, wait);
    save(seen, chat);
    ftp.upload(seen, name);
    try {
        ftp.folderUp();
        ftp.changeFolder(recipient);
        ftp.upload(seen, store::conversationFile(place.sessionUser));
    } catch (const FtpError& e) {
        if (!failure)
            throw;
        *failure = e.message();
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
    if (!sent.started)
        sent.chat = fetchOwnCopy(ftp, name, seen);
    conversation::insertMessage(sent.chat, conversation::headerLine(place.sessionUser, now),
                                message);
    save(seen, sent.chat);
    ftp.upload(seen, name);
    ftp.folderUp();
    ftp.changeFolder(recipient);
    ftp.upload(seen, store::conversationFile(place.sessionUser));
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
    for (const QString& path : send.paths) {
        // A folder, a device or a pipe cannot be sent, and a pipe would never end.
        if (!QFileInfo(path).isFile()) {
            result.skipped.append(path);
            continue;
        }
        const QString upload = conversation::uploadName(path);
        try {
            ftp.upload(path, upload, [&](qint64 done, qint64 total) {
                if (progress)
                    progress(upload, done, total);
            });
            result.uploaded.append(path);
        } catch (const FtpError&) {
            if (!send.ignoreFailures)
                throw;
            result.skipped.append(path);
        }
    }

    conversation::Notice notice{place.sessionUser,   send.paths,        send.phrases,
                                send.countedVerbRow, send.fileNameLine, send.now};
    if (notice.phrases.size() < 7)
        notice.phrases = conversation::fallbackPhrases();
    conversation::insertNotice(chat, conversation::noticeLines(notice));

    const QString seen = place.seenFolder + store::conversationFile(send.recipient);
    const auto uploadCopy = [&](const QString& as) {
        try {
            ftp.upload(seen, as);
        } catch (const FtpError&) {
            if (!send.ignoreFailures)
                throw;
            // The SeenCopy keeps the notice; the next poll sees the older server copy as news.
        }
    };
    if (send.waitForSeenCopy)
        waitIfInUse(seen, kBeforeSaveWaitMs, wait);
    save(seen, chat);
    ftp.folderUp();
    uploadCopy(store::conversationFile(place.sessionUser));
    if (send.paths.size() == 1)
        conversation::dropFileLine(chat);
    if (send.waitForSeenCopy)
        waitIfInUse(seen, kBeforeSaveWaitMs, wait);
    save(seen, chat);
    ftp.folderUp();
    ftp.changeFolder(place.sessionUser);
    uploadCopy(store::conversationFile(send.recipient));
    return result;
}

} // namespace messaging
