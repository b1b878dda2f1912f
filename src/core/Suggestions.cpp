#include "core/Suggestions.h"

#include "core/Helpers.h"
#include "core/StringList.h"

#include <QFile>
#include <QSet>

namespace suggestions {

QStringList distinct(const QStringList& lines)
{
    QStringList kept;
    QSet<QString> seen;
    for (const QString& line : lines) {
        if (line.isEmpty())
            continue;
        const QString key = line.toCaseFolded();
        if (seen.contains(key))
            continue;
        seen.insert(key);
        kept.append(line);
    }
    return kept;
}

void prepare(const QString& programDataDir, const QStringList& builtInRegions)
{
    const QString regions = programDataDir + kRegionsFile;
    const QString activities = programDataDir + kActivitiesFile;
    if (!QFile::exists(regions))
        stringlist::save(regions, builtInRegions);
    if (!QFile::exists(activities))
        stringlist::save(activities, {});
    // Another copy of the program writing the file keeps it as it is.
    if (!helpers::fileInUse(regions)) {
        if (const auto lines = stringlist::load(regions))
            stringlist::save(regions, distinct(*lines));
    }
}

QStringList load(const QString& file)
{
    return stringlist::load(file).value_or(QStringList());
}

void add(const QString& file, const QString& value)
{
    QStringList lines = load(file);
    lines.append(value.trimmed());
    stringlist::save(file, distinct(lines));
}

bool fitsDirectoryField(const QString& text)
{
    for (const QChar c : text) {
        if (c == u'}' || c == u'\n' || c == u'\r' || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return false;
    }
    return true;
}

} // namespace suggestions
