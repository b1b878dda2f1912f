#include "core/StringList.h"

#include "core/Cp1251.h"

#include "core/Helpers.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace stringlist {

bool LineReader::next(QString& line)
{
    const qsizetype n = m_bytes.size();
    if (m_pos >= n)
        return false;
    qsizetype end = m_pos;
    while (end < n && m_bytes[end] != '\r' && m_bytes[end] != '\n')
        ++end;
    line = cp1251::decode(m_bytes.sliced(m_pos, end - m_pos));
    m_pos = end;
    if (end < n) {
        if (m_bytes[end] == '\r' && end + 1 < n && m_bytes[end + 1] == '\n')
            ++m_pos;
        ++m_pos;
    }
    return true;
}

QStringList decodeHead(QByteArrayView bytes, qsizetype count)
{
    LineReader reader(bytes);
    QStringList lines;
    QString line;
    while (lines.size() < count && reader.next(line))
        lines.append(line);
    return lines;
}

// Line by line: the text of a whole file is never held beside its lines.
QStringList decode(QByteArrayView bytes)
{
    LineReader reader(bytes);
    QStringList lines;
    QString line;
    while (reader.next(line))
        lines.append(line);
    return lines;
}

QByteArray encode(const QStringList& lines)
{
    QByteArray out;
    qsizetype size = 0;
    for (const QString& line : lines)
        size += line.size() + 2;
    out.reserve(size);
    for (const QString& line : lines) {
        out.append(cp1251::encode(line));
        out.append("\r\n", 2);
    }
    return out;
}

std::optional<QStringList> load(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString());
        return std::nullopt;
    }
    return decode(bytes);
}

std::optional<QStringList> loadAtMost(const QString& path, qint64 maxBytes, QString* error)
{
    if (const qint64 size = QFileInfo(path).size(); size > maxBytes) {
        if (error)
            *error = QStringLiteral("File \"%1\" is %2 bytes, more than the %3 it may hold.")
                         .arg(path)
                         .arg(size)
                         .arg(maxBytes);
        return std::nullopt;
    }
    return load(path, error);
}

bool writeFile(const QString& path, const QByteArray& bytes, QString* error,
               QFileDevice::Permissions newFilePermissions,
               std::optional<QFileDevice::Permissions> permissions)
{
    const auto fail = [&](const char* what, int code) {
        if (error)
            *error =
                QStringLiteral("Cannot %1 file \"%2\". %3")
                    .arg(QLatin1String(what), path, QString::fromLocal8Bit(std::strerror(code)));
        return false;
    };
    const QByteArray native = QFile::encodeName(path);
    struct stat existing = {};
    const bool existed = ::stat(native.constData(), &existing) == 0;
    mode_t mode = helpers::unixMode(newFilePermissions);
    if (permissions)
        mode = helpers::unixMode(*permissions);
    else if (existed)
        mode = existing.st_mode & 07777;
    const helpers::FileLock old(path);
    // mkstemp makes the file for the user alone; it gets its final mode before any byte.
    QByteArray temp = native + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return fail("create", errno);
    ::flock(fd, LOCK_EX);
    const auto abandon = [&](const char* what) {
        const int code = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(what, code);
    };
    if (::fchmod(fd, mode) != 0)
        return abandon("create");
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n =
            ::write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return abandon("write");
        written += n;
    }
    if (::fsync(fd) != 0 || ::rename(temp.constData(), native.constData()) != 0)
        return abandon("write");
    ::close(fd);
    return true;
}

bool save(const QString& path, const QStringList& lines, QString* error,
          QFileDevice::Permissions newFilePermissions)
{
    return writeFile(path, encode(lines), error, newFilePermissions);
}

bool savePrivate(const QString& path, const QStringList& lines, QString* error)
{
    const auto owner = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    return writeFile(path, encode(lines), error, owner, owner);
}

QString field(const QString& entry, int k, QChar delimiter)
{
    if (k < 0)
        return {};
    qsizetype start = 0;
    for (int i = 0; i < k; ++i) {
        const qsizetype at = entry.indexOf(delimiter, start);
        if (at < 0)
            return {};
        start = at + 1;
    }
    const qsizetype end = entry.indexOf(delimiter, start);
    return end < 0 ? entry.mid(start) : entry.mid(start, end - start);
}

} // namespace stringlist
