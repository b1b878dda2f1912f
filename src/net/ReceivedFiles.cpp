#include "net/ReceivedFiles.h"

#include "core/Helpers.h"
#include "core/UserDirectory.h"
#include "net/FtpClient.h"
#include "net/ServerFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <thread>

namespace received {

namespace {

// The entries of the current folder with their sizes and times, asked one by one where the
// listing tells neither.
QList<ftplisting::Entry> entriesHere(FtpClient& ftp)
{
    QList<ftplisting::Entry> entries;
    try {
        const QStringList lines = ftp.listDetails();
        entries =
            ftplisting::parse(lines, ftp.listsMachineReadable(), QDateTime::currentDateTimeUtc());
        if (!entries.isEmpty() || lines.isEmpty())
            return entries;
    } catch (const FtpError& e) {
        if (e.kind() != FtpError::Kind::Reply || !ftp.connected())
            throw;
    }
    for (const QString& n : ftp.listNames()) {
        if (n == u"." || n == u"..")
            continue;
        ftplisting::Entry e;
        e.name = n;
        e.size = ftp.size(n);
        e.modified = e.size >= 0 ? ftp.modificationTime(n) : QDateTime();
        entries.append(e);
    }
    return entries;
}

// Listed alike twice; a server that tells neither size nor time gives nothing to wait for.
bool unchanged(const ftplisting::Entry& now, const ftplisting::Entry& then)
{
    if (now.size < 0 && !now.modified.isValid())
        return then.name == now.name;
    return now.sameAs(then);
}

QHash<QString, ftplisting::Entry> byName(const QList<ftplisting::Entry>& entries)
{
    QHash<QString, ftplisting::Entry> named;
    for (const ftplisting::Entry& e : entries)
        named.insert(e.name, e);
    return named;
}

} // namespace

FetchResult fetch(FtpClient& ftp, const QString& sender, const QString& networkDir,
                  const AfterFile& afterFile, const Progress& progress, const Settling& settling)
{
    FetchResult result;
    // A sender's name becomes a local folder name; a hostile one is left alone entirely.
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return result;
    if (!ftp.listNames().contains(sender))
        return result;
    return fetchListed(ftp, sender, networkDir, afterFile, progress, settling);
}

FetchResult fetchListed(FtpClient& ftp, const QString& sender, const QString& networkDir,
                        const AfterFile& afterFile, const Progress& progress,
                        const Settling& settling)
{
    FetchResult result;
    if (networkDir.isEmpty() || !userentry::openable(sender))
        return result;
    result.found = true;
    ftp.changeFolder(sender);
    const QString local = folderFor(networkDir, sender);
    QDir().mkdir(local);

    QList<ftplisting::Entry> listed = entriesHere(ftp);
    const QHash<QString, ftplisting::Entry> before =
        settling.previous ? *settling.previous : QHash<QString, ftplisting::Entry>();
    bool temporaries = false;
    bool young = false;
    for (const ftplisting::Entry& e : listed) {
        if (serverfile::isTemporary(e.name))
            temporaries = true;
        else if (!e.folder && !unchanged(e, before.value(e.name)))
            young = true;
    }
    QHash<QString, ftplisting::Entry> settled = byName(listed);
    if (young) {
        // New to this client: whole only if it stays as it is for a while.
        const auto wait = settling.wait ? settling.wait : [](int ms) {
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        };
        wait(settling.settleMs);
        const QHash<QString, ftplisting::Entry> first = settled;
        listed = entriesHere(ftp);
        settled = byName(listed);
        for (auto it = settled.begin(); it != settled.end();) {
            const auto was = first.constFind(it.key());
            const bool known = unchanged(*it, before.value(it.key()));
            if (known || (was != first.cend() && unchanged(*it, *was)))
                ++it;
            else
                it = settled.erase(it);
        }
    }
    if (settling.previous)
        *settling.previous = byName(listed);
    // In name order, whatever order the server lists in.
    std::sort(listed.begin(), listed.end(),
              [](const auto& a, const auto& b) { return a.name < b.name; });

    for (const ftplisting::Entry& e : listed) {
        const QString& name = e.name;
        if (serverfile::isTemporary(name))
            continue; // an upload of this program's that is not complete yet
        if (e.folder || !userentry::openable(name)) {
            result.leftThere.append(name);
            continue;
        }
        if (!settled.contains(name)) {
            result.waiting.append(name);
            continue;
        }
        const QString path = local + name;
        const QString incoming = path + QStringLiteral(".incoming");
        try {
            ftp.download(name, incoming, [&](qint64 done, qint64 total) {
                if (progress)
                    progress(name, done, total);
            });
        } catch (const FtpError& ex) {
            QFile::remove(incoming);
            // A subfolder, or a file the server will not serve: the rest still comes down.
            if (ex.kind() != FtpError::Kind::Reply || !ftp.connected())
                throw;
            result.leftThere.append(name);
            continue;
        }
        // Changed since it was listed: another try later, and nothing deleted now.
        if (e.size >= 0 && QFileInfo(incoming).size() != e.size) {
            QFile::remove(incoming);
            result.waiting.append(name);
            continue;
        }
        // Received files are data, never programs.
        QFile::setPermissions(incoming,
                              QFile::permissions(incoming) & ~(QFile::ExeOwner | QFile::ExeUser |
                                                               QFile::ExeGroup | QFile::ExeOther));
        if (std::rename(QFile::encodeName(incoming).constData(),
                        QFile::encodeName(path).constData()) != 0) {
            QFile::remove(incoming);
            throw Error(QStringLiteral("Cannot write file \"%1\".").arg(path));
        }
        ftp.deleteFile(name);
        result.fetched.append(name);
        if (afterFile)
            afterFile(name);
    }
    ftp.folderUp();
    if (result.leftThere.isEmpty() && result.waiting.isEmpty() && !temporaries)
        ftp.removeFolder(sender);
    return result;
}

} // namespace received
