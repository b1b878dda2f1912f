#include "update/Installer.h"

#include "core/Folders.h"
#include "update/Payload.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace updater {

namespace {

QString withoutSlash(QString folder)
{
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder;
}

QString sibling(const QString& installDir, const QString& suffix)
{
    const QString dir = withoutSlash(installDir);
    const QFileInfo info(dir);
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() + suffix + u'/';
}

bool isUserEntry(const QString& relative)
{
    const QStringList entries = userEntries();
    return entries.contains(relative);
}

// Files are hard links where the filesystem allows: no space taken twice, and the previous
// version keeps them too.
bool linkOrCopyTree(const QString& from, const QString& to)
{
    const QFileInfo info(from);
    if (info.isSymLink())
        return QFile::link(info.symLinkTarget(), to);
    if (!info.isDir()) {
        if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
            return true;
        return QFile::copy(from, to);
    }
    if (!QDir().mkpath(to))
        return false;
    QFile::setPermissions(to, info.permissions());
    const auto names =
        QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool ok = true;
    for (const QString& name : names)
        ok = linkOrCopyTree(from + u'/' + name, to + u'/' + name) && ok;
    return ok;
}

bool carry(const QString& oldDir, const QString& newDir, const QString& relative)
{
    const QString from = relative.isEmpty() ? oldDir : oldDir + relative;
    const auto names =
        QDir(from).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool ok = true;
    for (const QString& name : names) {
        const QString rel = relative + name;
        if (relative.isEmpty() && updaterEntries().contains(name))
            continue;
        const QFileInfo oldEntry(oldDir + rel);
        const QFileInfo newEntry(newDir + rel);
        const bool newExists = newEntry.exists() || newEntry.isSymLink();
        if (isUserEntry(rel)) {
            if (newExists) {
                if (newEntry.isDir() && !newEntry.isSymLink())
                    QDir(newDir + rel).removeRecursively();
                else
                    QFile::remove(newDir + rel);
            }
            ok = linkOrCopyTree(oldDir + rel, newDir + rel) && ok;
        } else if (!newExists) {
            ok = linkOrCopyTree(oldDir + rel, newDir + rel) && ok;
        } else if (oldEntry.isDir() && !oldEntry.isSymLink() && newEntry.isDir()) {
            ok = carry(oldDir, newDir, rel + u'/') && ok;
        }
        // A program file that the new version brings: the new one wins.
    }
    return ok;
}

void removeFolder(const QString& folder)
{
    if (QFileInfo::exists(withoutSlash(folder)))
        QDir(folder).removeRecursively();
}

} // namespace

QStringList userEntries()
{
    // The conversation copies as last shown and the favourites ("net/"), the language file,
    // the recorded build, the region and counterparty lists, the received files and the
    // user's pictures (inside the network folder, under either language's name), and the
    // list of hidden names.
    return {QStringLiteral("0rg_System/net"),
            QStringLiteral("0rg_System/LC.xo"),
            QStringLiteral("0rg_System/vinfo.xo"),
            QStringLiteral("0rg_System/rg.ind"),
            QStringLiteral("0rg_System/st.ind"),
            QStringLiteral("Network"),
            QStringLiteral("Сеть"),
            QStringLiteral(".hidden")};
}

QStringList updaterEntries()
{
    return {QStringLiteral("LarkspireUpdate"), QStringLiteral("LarkspireUpdate.sig"),
            QStringLiteral("LarkspireUpdate.new")};
}

QString previousFolder(const QString& installDir)
{
    return sibling(installDir, QStringLiteral(".previous"));
}

QString stagingFolder(const QString& installDir)
{
    return sibling(installDir, QStringLiteral(".new"));
}

bool exchangeFolders(const QString& a, const QString& b)
{
    const QByteArray pa = QFile::encodeName(withoutSlash(a));
    const QByteArray pb = QFile::encodeName(withoutSlash(b));
#ifdef RENAME_EXCHANGE
    if (::renameat2(AT_FDCWD, pa.constData(), AT_FDCWD, pb.constData(), RENAME_EXCHANGE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // Filesystems without the exchange: two renames through a third name.
    const QByteArray aside = pa + ".swap";
    if (::rename(pa.constData(), aside.constData()) != 0)
        return false;
    if (::rename(pb.constData(), pa.constData()) != 0) {
        ::rename(aside.constData(), pa.constData());
        return false;
    }
    if (::rename(aside.constData(), pb.constData()) != 0) {
        // a holds b's folder; put everything back where it was.
        ::rename(pa.constData(), pb.constData());
        ::rename(aside.constData(), pa.constData());
        return false;
    }
    return true;
}

Result install(const Job& job, const std::function<void(const QString&)>& log)
{
    const QString installDir =
        job.installDir.endsWith(u'/') ? job.installDir : job.installDir + u'/';
    const QString staging = stagingFolder(installDir);
    const QString previous = previousFolder(installDir);
    const QString program = installDir + job.programName;
    const auto fail = [&](const QString& why) {
        log(why);
        removeFolder(staging);
        job.start(program);
        return Result::Failed;
    };

    removeFolder(staging);
    QString error;
    if (!payload::unpack(job.archive, staging, &error))
        return fail(QStringLiteral("not installed: %1").arg(error));
    if (!QFileInfo(staging + job.programName).isExecutable())
        return fail(
            QStringLiteral("not installed: the update brings no program %1").arg(job.programName));
    if (!carry(installDir, staging, QString()))
        return fail(QStringLiteral("not installed: the user's files could not be carried over"));

    if (!exchangeFolders(installDir, staging))
        return fail(QStringLiteral("not installed: %1 could not be replaced").arg(installDir));
    // The staging name now holds the old version: it becomes the one kept for a rollback.
    removeFolder(previous);
    if (::rename(QFile::encodeName(withoutSlash(staging)).constData(),
                 QFile::encodeName(withoutSlash(previous)).constData()) != 0)
        log(QStringLiteral("the previous version stays at %1").arg(staging));
    const QString kept = QFileInfo::exists(withoutSlash(previous)) ? previous : staging;
    log(QStringLiteral("installed into %1").arg(installDir));

    if (job.start(program))
        return Result::Installed;

    log(QStringLiteral("the new version did not start; the previous one is put back"));
    if (!exchangeFolders(installDir, kept)) {
        log(QStringLiteral("the previous version could not be put back; it is at %1").arg(kept));
        return Result::RolledBack;
    }
    job.start(program);
    return Result::RolledBack;
}

} // namespace updater
