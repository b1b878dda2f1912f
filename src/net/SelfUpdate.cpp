#include "net/SelfUpdate.h"

#include "core/Error.h"
#include "core/StringList.h"
#include "net/FtpClient.h"
#include "net/StoreLayout.h"
#include "update/Signature.h"

#include <QFile>
#include <QSaveFile>

namespace selfupdate {

std::optional<int> parseBuild(const QString& line)
{
    const QString text = line.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    for (const QChar c : text) {
        if (!c.isDigit() || c.unicode() > 0x7f)
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? std::optional<int>(value) : std::nullopt;
}

bool isNewer(const QString& ownBuild, const QString& serverBuild)
{
    const auto own = parseBuild(ownBuild);
    const auto server = parseBuild(serverBuild);
    return own && server && *own < *server;
}

namespace {

constexpr qint64 kDescriptorMaxBytes = 4096;

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void closeQuietly(FtpClient& ftp)
{
    try {
        ftp.disconnect();
    } catch (...) {
        // Closed either way.
    }
}

// `folder` is where the updater lies on the server: empty for the current folder, else a full
// path ending in "/".
Result fetchUpdater(FtpClient& ftp, const Request& request, Result result, const QString& folder)
{
    // Under a name of its own and readable by the user alone until it has proved itself, so
    // that an unverified file is never executable and never where the program starts it.
    const QString candidate = request.exeFolder + kUpdaterFile + QStringLiteral(".new");
    const QString signaturePath = request.tempDataDir + kSignatureFile;
    ftp.download(folder + kSignatureFile, signaturePath, {}, 0600);
    ftp.download(folder + kUpdaterFile, candidate, {}, 0600);
    const QByteArray signature = readAll(signaturePath);
    if (!signing::verify(readAll(candidate), signature, request.publicKey)) {
        QFile::remove(candidate);
        result.outcome = Outcome::BadSignature;
        result.detail = QStringLiteral("the updater of build %1 is not signed by the release key")
                            .arg(result.serverBuild);
        return result;
    }
    // The updater checks itself again against the signature beside it.
    const QString target = request.exeFolder + kUpdaterFile;
    QSaveFile sig(target + QStringLiteral(".sig"));
    if (!sig.open(QIODevice::WriteOnly) || sig.write(signature) != signature.size() ||
        !sig.commit() ||
        !QFile::setPermissions(candidate, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        QFile::remove(candidate);
        result.detail = QStringLiteral("the updater could not be put in place");
        return result;
    }
    QFile::remove(target);
    if (!QFile::rename(candidate, target)) {
        QFile::remove(candidate);
        result.detail = QStringLiteral("the updater could not be put in place");
        return result;
    }
    result.outcome = Outcome::Ready;
    result.updaterPath = target;
    return result;
}

// What the release's build number means for this program; the updater comes down only for a
// newer build that this program can verify.
Result decide(FtpClient& ftp, const Request& request, Result result, const QString& folder)
{
    if (!parseBuild(result.serverBuild) || !parseBuild(request.ownBuild)) {
        result.outcome = Outcome::NoRelease;
        result.detail = QStringLiteral("no build number to compare (here \"%1\", there \"%2\")")
                            .arg(request.ownBuild, result.serverBuild);
    } else if (!isNewer(request.ownBuild, result.serverBuild)) {
        result.outcome = Outcome::Current;
    } else if (request.publicKey.isEmpty()) {
        result.outcome = Outcome::NoKey;
        result.detail = QStringLiteral("build %1 is out, but this build has no release key "
                                       "and never updates")
                            .arg(result.serverBuild);
    } else {
        result = fetchUpdater(ftp, request, result, folder);
    }
    return result;
}

Error tooLarge()
{
    return Error(QStringLiteral("%1 is too large").arg(kDescriptorFile));
}

// The descriptor's line 0, from a fresh copy of `remote`.
QString fetchDescriptor(FtpClient& ftp, const Request& request, const QString& remote)
{
    const QString copy = request.tempDataDir + kDescriptorCopy;
    ftp.download(remote, copy, {}, 0600, kDescriptorMaxBytes);
    return stringlist::loadAtMost(copy, kDescriptorMaxBytes).value_or(QStringList()).value(0);
}

// A file's size and time without a data connection: MLST where offered, else SIZE and MDTM.
// Nothing is known of a file the server does not describe (a missing one).
ftplisting::Entry factsOf(FtpClient& ftp, const QString& path)
{
    if (ftp.listsMachineReadable()) {
        const std::optional<ftplisting::Entry> e = ftplisting::parseMlsd(ftp.fileFacts(path));
        return e && !e->folder ? *e : ftplisting::Entry();
    }
    ftplisting::Entry e;
    e.size = ftp.size(path);
    e.modified = e.size >= 0 ? ftp.modificationTime(path) : QDateTime();
    e.precisionSecs = 1;
    return e;
}

Result failed(Result result, const std::exception& e)
{
    result.outcome = Outcome::Failed;
    result.detail = QString::fromLocal8Bit(e.what());
    return result;
}

} // namespace

Result check(FtpClient& ftp, const Request& request) noexcept
{
    Result result;
    try {
        closeQuietly(ftp);
        ftp.connect();
        const QString root = store::isFullPath(request.serverRoot)
                                 ? store::treeRoot(request.serverRoot, QString())
                                 : store::treeRoot(request.serverRoot, ftp.currentFolder());
        ftp.changeFolder(store::updateFolder(root, request.languageCode));
        // One short line is all the descriptor holds; anything much larger is not one.
        if (ftp.size(kDescriptorFile) > kDescriptorMaxBytes)
            throw tooLarge();
        result.serverBuild = fetchDescriptor(ftp, request, kDescriptorFile);
        result = decide(ftp, request, result, QString());
    } catch (const std::exception& e) {
        result = failed(result, e);
    } catch (...) {
        result.outcome = Outcome::Failed;
        result.detail = QStringLiteral("unknown failure");
    }
    closeQuietly(ftp);
    return result;
}

Result checkOpen(FtpClient& ftp, const Request& request, Memo& memo) noexcept
{
    Result result;
    try {
        const QString folder = store::updateFolder(store::treeRoot(request.serverRoot, QString()),
                                                   request.languageCode);
        const QString path = folder + kDescriptorFile;
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const ftplisting::Entry facts = factsOf(ftp, path);
        // Another server's descriptor may sit at the same path.
        const QString where = ftp.settings().host + u'\n' + path;
        const bool unchanged = memo.path == where && facts.sameAs(memo.facts) &&
                               memo.checkedAt.isValid() &&
                               facts.latest() < memo.checkedAt.addSecs(-kRecentSecs);
        if (unchanged) {
            result.serverBuild = memo.serverBuild;
        } else {
            memo = Memo();
            if (facts.size > kDescriptorMaxBytes)
                throw tooLarge();
            result.serverBuild = fetchDescriptor(ftp, request, path);
            // Facts that say nothing (a server without MDTM) make every check fetch.
            if (facts.size >= 0 && facts.modified.isValid())
                memo = Memo{where, facts, now, result.serverBuild};
        }
        result = decide(ftp, request, result, folder);
    } catch (const std::exception& e) {
        result = failed(result, e);
    } catch (...) {
        result.outcome = Outcome::Failed;
        result.detail = QStringLiteral("unknown failure");
    }
    return result;
}

} // namespace selfupdate
