#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

// What the updater does once every copy of the program has ended: puts the new runnable folder
// in the place of the installed one as one step, keeps what belongs to the user, and keeps the
// previous version until the new one has started.
namespace updater {

// Entries of an installed folder that belong to its user, relative to it; the new version's
// files never replace them. Everything else of the installed folder that the new version does
// not bring is kept too.
QStringList userEntries();
// The updater's own files, never carried into the new version.
QStringList updaterEntries();

// "/apps/Larkspire/" gives "/apps/.Larkspire.previous/": beside the installed folder, on the
// same filesystem, so that moving it is a rename.
QString previousFolder(const QString& installDir);
QString stagingFolder(const QString& installDir);

enum class Result
{
    Installed,  // the new version runs
    RolledBack, // it did not start; the previous version is back in place and started
    Failed      // nothing was changed (the old version is started again)
};

struct Job
{
    QString installDir;  // ends in "/"
    QByteArray archive;  // the new runnable folder (payload::packFolder)
    QString programName; // the executable inside it, "Larkspire"
    // Starts the program and tells whether it keeps running.
    std::function<bool(const QString& program)> start;
};

// `log` receives one line for each step worth keeping.
Result install(const Job& job, const std::function<void(const QString&)>& log);

// Swaps two folders on the same filesystem as one step where the kernel allows it, else with
// two renames that are undone when the second fails.
bool exchangeFolders(const QString& a, const QString& b);

} // namespace updater
