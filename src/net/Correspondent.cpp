#include "net/Correspondent.h"

#include "core/Conversation.h"
#include "core/ConversationMerge.h"
#include "core/Error.h"
#include "core/Helpers.h"
#include "core/Limits.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/FtpError.h"
#include "net/LocalCopy.h"
#include "net/StoreLayout.h"

#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <optional>

namespace correspondent {

namespace {

// A SeenCopy another program of ours still writes is given this long before it is read.
constexpr int kSeenCopyWaitMs = 3000;

// The server copy `fetched` becomes the SeenCopy, unless it lacks entries the SeenCopy holds
// (emptied, cut, or not a conversation): then the SeenCopy keeps them and takes the copy's
// other entries. Returns the new SeenCopy's lines.
QStringList adoptedCopy(const QString& seen, const QString& fetched, bool* damaged)
{
    QStringList copy = stringlist::load(fetched).value_or(QStringList());
    const std::optional<QStringList> before =
        QFileInfo::exists(seen) ? stringlist::load(seen) : std::nullopt;
    QStringList lines = copy;
    *damaged = false;
    if (before && !conversation::holdsAll(copy, *before)) {
        const bool valid = conversation::looksLikeConversation(copy);
        if (!valid || conversation::splitEntries(copy).isEmpty() ||
            conversation::sharesEntry(copy, *before)) {
            *damaged = true;
            lines = valid ? conversation::united({copy, *before}) : *before;
        }
    }
    if (*damaged) {
        QFile::remove(fetched);
        if (!stringlist::save(seen, lines))
            throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));
    } else if (::rename(QFile::encodeName(fetched).constData(),
                        QFile::encodeName(seen).constData()) != 0) {
        QFile::remove(fetched);
        throw Error(QStringLiteral("Cannot write file \"%1\".").arg(seen));
    }
    return lines;
}

} // namespace

QString fetchAvatar(FtpClient& ftp, const QString& tempDataDir)
{
    const QString record = tempDataDir + store::local::kPeerRecordCopy;
    QString avatarType = QStringLiteral(".png");
    try {
        localcopy::download(ftp, store::kAccountRecordFile, record, localcopy::kPrivate,
                            limits::kMaxRecordBytes);
        const auto lines =
            stringlist::loadAtMost(record, limits::kMaxRecordBytes).value_or(QStringList());
        avatarType = store::AccountRecord::fromLines(lines).avatarExtension;
        QFile::remove(record);
        const QString copy = tempDataDir + store::local::peerAvatarCopy(avatarType);
        ftp.download(store::avatarFile(avatarType), copy);
        return copy;
    } catch (const FtpError&) {
        QFile::remove(record);
        return {};
    }
}

void open(FtpClient& ftp, const messaging::Place& place, const QString& peer,
          const QString& tempDataDir, QStringList& userslist, Opened& opened,
          const directory::Wait& wait)
{
    opened.avatarFile = fetchAvatar(ftp, tempDataDir);
    ftp.folderUp();
    ftp.changeFolder(place.sessionUser);
    userslist = ftp.listNames();
    const QString conversationName = store::conversationFile(peer);
    if (!userslist.contains(conversationName))
        return;
    helpers::makePrivateFolder(place.seenFolder);
    const QString seen = place.seenFolder + conversationName;
    if (helpers::fileInUse(seen))
        wait(kSeenCopyWaitMs);
    const QString fetched = seen + QStringLiteral(".open");
    localcopy::download(ftp, conversationName, fetched, localcopy::kPrivate);
    opened.lines = adoptedCopy(seen, fetched, &opened.damaged);
    conversation::dropFileLine(opened.lines);
    opened.hasConversation = true;
}

} // namespace correspondent
