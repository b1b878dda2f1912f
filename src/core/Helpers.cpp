#include "core/Helpers.h"

#include "core/Error.h"
#include "core/Folders.h"
#include "core/StringList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>

#include <array>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace helpers {

bool fileInUse(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists() || info.isDir())
        return false;
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        return true;
    bool inUse = false;
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        inUse = true;
    else
        ::flock(fd, LOCK_UN);
    if (!inUse) {
        // Asks without taking a lock: closing our descriptor must not drop anyone's lock.
        struct flock query = {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        if (::fcntl(fd, F_OFD_GETLK, &query) == 0 && query.l_type != F_UNLCK)
            inUse = true;
    }
    ::close(fd);
    return inUse;
}

FileLock::FileLock(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    m_fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (m_fd >= 0 && ::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

FileLock::~FileLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

unsigned unixMode(QFileDevice::Permissions p)
{
    unsigned mode = 0;
    const std::pair<QFileDevice::Permission, unsigned> bits[] = {
        {QFileDevice::ReadOwner, 0400}, {QFileDevice::WriteOwner, 0200},
        {QFileDevice::ExeOwner, 0100},  {QFileDevice::ReadGroup, 040},
        {QFileDevice::WriteGroup, 020}, {QFileDevice::ExeGroup, 010},
        {QFileDevice::ReadOther, 04},   {QFileDevice::WriteOther, 02},
        {QFileDevice::ExeOther, 01}};
    for (const auto& [flag, bit] : bits) {
        if (p.testFlag(flag))
            mode |= bit;
    }
    return mode;
}

bool makePrivateFolder(const QString& folder)
{
    if (!QDir().mkpath(folder))
        return false;
    return ::chmod(QFile::encodeName(folder).constData(), 0700) == 0;
}

bool makePrivateFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat st = {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    return (st.st_mode & 07777) == 0600 || ::chmod(native.constData(), 0600) == 0;
}

bool folderHasEntries(const QString& folder)
{
    QDir dir(folder);
    if (!QFileInfo(folder).isDir() || !QFileInfo(folder).isReadable())
        return true;
    return !dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)
                .isEmpty();
}

QString tempFolder(const UserEnvironment& env)
{
    return env.effectiveStateHome() + QStringLiteral("larkspire/tmp/");
}

QString documentsFolder()
{
    const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (docs.isEmpty())
        throw Error(QStringLiteral("Could not find MyDocuments folder location."));
    return docs;
}

namespace {

QString stripSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

QString hiddenListOf(const QString& path)
{
    return QFileInfo(stripSlash(path)).absolutePath() + QStringLiteral("/.hidden");
}

} // namespace

namespace {

// Both forms: UTF-8 names on LF-ended lines, and the windows-1251 names on CR LF lines of
// earlier versions.
QStringList hiddenNames(const QString& list)
{
    QFile file(list);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return stringlist::decode(bytes);
    QStringList names;
    for (QString line : text.split(u'\n')) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.append(line);
    }
    return names;
}

} // namespace

bool isHidden(const QString& path)
{
    const QFileInfo info(stripSlash(path));
    if (info.fileName().startsWith(u'.'))
        return true;
    return hiddenNames(hiddenListOf(path)).contains(info.fileName());
}

bool setHidden(const QString& path)
{
    const QFileInfo info(stripSlash(path));
    if (!info.exists())
        return false;
    if (info.fileName().startsWith(u'.'))
        return true;
    const QString list = hiddenListOf(path);
    QStringList names = hiddenNames(list);
    if (!names.contains(info.fileName()))
        names.append(info.fileName());
    const QByteArray bytes = (names.join(u'\n') + u'\n').toUtf8();
    // A list of an earlier version is rewritten even when it names the entry: in that form it
    // hides nothing.
    QFile current(list);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == bytes)
        return true;
    return stringlist::writeFile(list, bytes, nullptr,
                                 QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                     QFileDevice::ReadGroup | QFileDevice::ReadOther);
}

namespace {

bool copyTreeImpl(const QString& sourceIn, const QString& targetIn, bool stopOnFailure,
                  bool overwrite)
{
    const QString source = sourceIn.endsWith(u'/') ? sourceIn : sourceIn + u'/';
    const QString target = targetIn.endsWith(u'/') ? targetIn : targetIn + u'/';
    if (!QFileInfo(source).isDir() || !QDir().mkpath(target))
        return false;
    const QDir dir(source);
    const auto entries = dir.entryInfoList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    bool result = false;
    for (const QFileInfo& entry : entries) {
        const QString name = entry.fileName();
        if (name.isEmpty() || name == u"." || name == u"..")
            continue;
        // The list of hidden names travels with the names: it is a file like any other.
        if (entry.isDir() && !entry.isSymLink()) {
            result = copyTreeImpl(source + name, target + name, stopOnFailure, overwrite);
            if (isHidden(source + name))
                setHidden(target + name);
        } else if (!overwrite && QFileInfo::exists(target + name)) {
            result = true;
        } else {
            QFile::remove(target + name);
            result = QFile::copy(source + name, target + name);
        }
        if (stopOnFailure && !result)
            break;
    }
    return result;
}

} // namespace

bool copyTree(const QString& source, const QString& target, bool stopOnFailure, bool overwrite)
{
    const QString from = QFileInfo(stripSlash(source)).canonicalFilePath();
    const QString to = QFileInfo(stripSlash(target)).absoluteFilePath();
    if (from.isEmpty())
        return false;
    // Resolve the existing part of the target, so a link into the source is caught too.
    QString existing = to;
    QString rest;
    while (!existing.isEmpty() && !QFileInfo::exists(existing)) {
        rest.prepend(u'/' + QFileInfo(existing).fileName());
        existing = QFileInfo(existing).absolutePath();
        if (existing == u"/")
            break;
    }
    const QString resolved = QFileInfo(existing).canonicalFilePath() + rest;
    if (resolved == from || resolved.startsWith(from + u'/'))
        return false;
    return copyTreeImpl(source, target, stopOnFailure, overwrite);
}

namespace {

constexpr std::array<const char*, 33> kSmallText = {
    "a", "b", "v", "g", "d", "e",  "yo", "zh", "z",  "i",    "y", "k", "l", "m", "n",  "o", "p",
    "r", "s", "t", "u", "f", "kh", "ts", "ch", "sh", "shch", "'", "y", "'", "e", "yu", "ya"};
constexpr std::array<const char*, 33> kCapitalText = {
    "A", "B", "V", "G", "D", "E",  "Yo", "Zh", "Z",  "I",    "Y", "K", "L", "M", "N",  "O", "P",
    "R", "S", "T", "U", "F", "Kh", "Ts", "Ch", "Sh", "Shch", "'", "Y", "'", "E", "Yu", "Ya"};
constexpr char16_t kSmall[] = u"абвгдеёжзийклмнопрстуфхцчшщьыъэюя";
constexpr char16_t kCapital[] = u"АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЬЫЪЭЮЯ";
static_assert(std::size(kSmall) == 34 && std::size(kCapital) == 34);

} // namespace

QString transliterate(const QString& text)
{
    QString out;
    out.reserve(text.size() + text.size() / 4);
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        bool replaced = false;
        for (std::size_t i = 0; i < 33 && !replaced; ++i) {
            if (kSmall[i] == u) {
                out.append(QLatin1String(kSmallText[i]));
                replaced = true;
            }
        }
        for (std::size_t i = 0; i < 33 && !replaced; ++i) {
            if (kCapital[i] == u) {
                out.append(QLatin1String(kCapitalText[i]));
                replaced = true;
            }
        }
        if (!replaced)
            out.append(c);
    }
    return out;
}

bool nameIsClean(const QString& text)
{
    for (const char16_t c : std::u16string_view(kForbiddenNameChars)) {
        if (text.contains(QChar(c)))
            return false;
    }
    return true;
}

QString fixedDateText(const QDate& date)
{
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

QString fixedDateText(const QString& localeDate, const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QDate date = locale.toDate(localeDate, format);
    if (!date.isValid())
        throw Error(QStringLiteral("'%1' is not a valid date and time").arg(localeDate));
    if (!format.contains(QStringLiteral("yyyy"))) {
        // A two-digit year would otherwise land in the 1900s.
        const int today = QDate::currentDate().year();
        int years = 0;
        while (date.year() + years + 50 <= today)
            years += 100;
        date = date.addYears(years);
    }
    return fixedDateText(date);
}

} // namespace helpers
