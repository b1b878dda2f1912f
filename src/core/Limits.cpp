#include "core/Limits.h"

namespace limits {

QString avatarExtension(const QString& extension)
{
    const auto plain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9');
    };
    if (extension.size() < 2 || extension.size() > 6 || extension.front() != u'.')
        return QStringLiteral(".png");
    for (qsizetype i = 1; i < extension.size(); ++i) {
        if (!plain(extension.at(i)))
            return QStringLiteral(".png");
    }
    return extension;
}

QStringList shownLines(const QStringList& lines)
{
    QStringList shown = lines;
    for (QString& line : shown) {
        if (line.size() > kMaxShownLineChars)
            line = line.left(kMaxShownLineChars) + QChar(0x2026);
    }
    return shown;
}

QStringList listableDirectoryLines(const QStringList& lines)
{
    QStringList listable;
    listable.reserve(lines.size());
    for (const QString& line : lines) {
        if (line.size() <= kMaxDirectoryLineChars)
            listable.append(line);
    }
    return listable;
}

} // namespace limits
