#include "core/StringList.h"

#include "core/Cp1251.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace stringlist {

QStringList decode(const QByteArray& bytes)
{
    const QString text = cp1251::decode(bytes);
    QStringList lines;
    qsizetype start = 0;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c != u'\r' && c != u'\n')
            continue;
        lines.append(text.mid(start, i - start));
        if (c == u'\r' && i + 1 < n && text.at(i + 1) == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < n)
        lines.append(text.mid(start));
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

bool save(const QString& path, const QStringList& lines, QString* error,
          QFileDevice::Permissions newFilePermissions)
{
    const bool existed = QFileInfo::exists(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    if (!existed)
        file.setPermissions(newFilePermissions);
    const QByteArray bytes = encode(lines);
    if (file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        return false;
    }
    return true;
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
