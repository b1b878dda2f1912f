#pragma once

#include <QString>

// Where a first start installs the program, and the launcher files that point at it. Pure
// decisions, so that the mini bar and the tests share them.
namespace install {

// The per-user value that marks the program as installed, with autostart, for this user.
inline const QString kInstalledKey = QStringLiteral("ASt");
inline const QString kFolderName = QStringLiteral("Larkspire");
inline const QString kExeName = QStringLiteral("Larkspire");

struct Target
{
    QString dir;     // ends in "/"
    QString exePath; // dir + "Larkspire"
};

// The chosen folder gets a "Larkspire/" inside it, unless its own name already is Larkspire (in
// any letter case), which is then used as it is. Empty for an empty or relative choice.
Target targetFor(const QString& chosenFolder);

// The icon the launchers show, shipped in the data folder of an installed copy.
QString iconFor(const QString& installDir);

// The text of a Desktop Entry file that starts `program` (a full path). Empty when the path
// cannot be written into such a file (a line break or another control character).
QByteArray desktopEntry(const QString& program, const QString& iconPath, bool autostart);

// The Exec value for one program path: quoted as one argument, its reserved characters escaped,
// then escaped again as a string of the file format.
QString execValue(const QString& program);

} // namespace install
