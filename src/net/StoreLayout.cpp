#include "net/StoreLayout.h"

#include "core/Limits.h"
#include "core/StringList.h"

#include <QFileInfo>

namespace store {

bool isFullPath(const QString& serverRoot)
{
    return serverRoot.startsWith(u'/');
}

QString treeRoot(const QString& serverRoot, const QString& loginFolder)
{
    QString root = serverRoot;
    if (!isFullPath(root)) {
        QString base = loginFolder.isEmpty() ? QStringLiteral("/") : loginFolder;
        if (!base.endsWith(u'/'))
            base += u'/';
        root = base + root;
    }
    if (!root.endsWith(u'/'))
        root += u'/';
    return root;
}

QString usersFolder(const QString& serverRoot)
{
    return serverRoot + QStringLiteral("netwrk/users/");
}

QString userFolder(const QString& serverRoot, const QString& user)
{
    return usersFolder(serverRoot) + user + u'/';
}

QString updateFolder(const QString& serverRoot, const QString& languageCode)
{
    return serverRoot + languageCode + QStringLiteral("Larkspire/");
}

QString avatarFile(const QString& extension)
{
    return QStringLiteral("ava") + extension;
}

QString conversationFile(const QString& peer)
{
    return peer + QStringLiteral(".ms");
}

QString seenMarkFile(const QString& peer)
{
    return peer + QStringLiteral("}seen");
}

QString newDirectoryLine(const QString& name, const QString& languageCode)
{
    return u'}' + name + QStringLiteral("}}}.png}") + languageCode;
}

AccountRecord AccountRecord::fromLines(const QStringList& lines)
{
    AccountRecord r;
    if (lines.size() > 0)
        r.userName = lines.at(0);
    if (lines.size() > 1)
        r.option = lines.at(1);
    if (lines.size() > 2)
        r.adapterAddress = lines.at(2);
    if (lines.size() > 3)
        r.avatarExtension = limits::avatarExtension(lines.at(3));
    return r;
}

QStringList AccountRecord::toLines() const
{
    return {userName, option, adapterAddress, avatarExtension};
}

QStringList passwordFileLines(const QString& password)
{
    return {password};
}

bool passwordAccepted(const QStringList& passwordFile, const QString& typed)
{
    return !passwordFile.isEmpty() && passwordFile.first() == typed;
}

namespace local {

bool signsInAutomatically(const QString& userDataDir)
{
    const auto record = stringlist::load(userDataDir + kAccountRecord);
    return record && AccountRecord::fromLines(*record).option == u"autologin" &&
           QFileInfo::exists(userDataDir + kPassword);
}

QString ownAvatarCopy(const QString& extension)
{
    return QStringLiteral("ava") + extension;
}

QString peerAvatarCopy(const QString& extension)
{
    return QStringLiteral("myava") + extension;
}

} // namespace local

} // namespace store
