#pragma once

#include <QString>
#include <QStringList>

// The region and activity values offered in the settings panel: "rg.ind" and "st.ind" of the
// program's data folder, one value a line.
namespace suggestions {

inline const QString kRegionsFile = QStringLiteral("rg.ind");
inline const QString kActivitiesFile = QStringLiteral("st.ind");

// The non-empty lines, each once: lines that differ only in letter case count as one, and the
// first of them stays.
QStringList distinct(const QStringList& lines);

// At window creation: a missing regions file gets the built-in list of the language, a missing
// activities file an empty one, and the regions file loses its duplicates. Errors are ignored.
void prepare(const QString& programDataDir, const QStringList& builtInRegions);

// The values of one file; empty when it cannot be read.
QStringList load(const QString& file);

// Adds the trimmed value to the file and keeps the file free of empty lines and duplicates.
// Errors are ignored.
void add(const QString& file, const QString& value);

// A region or activity becomes a field of a "}"-separated directory line: "}" would split it
// into more fields, a line break into more lines. True when the text holds neither.
bool fitsDirectoryField(const QString& text);

} // namespace suggestions
