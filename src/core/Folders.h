#pragma once

#include <QString>

// The per-user base folders the program derives everything else from. Tests and second
// installations pass their own values; the program reads them from its environment.
struct UserEnvironment
{
    QString exePath;    // the running executable
    QString home;       // $HOME
    QString stateHome;  // $XDG_STATE_HOME, empty when unset
    QString configHome; // $XDG_CONFIG_HOME, empty when unset
    QString dataHome;   // $XDG_DATA_HOME, empty when unset

    static UserEnvironment fromProcess();
    QString effectiveStateHome() const;
    QString effectiveConfigHome() const;
    QString effectiveDataHome() const;
};

// Every folder ends in "/". Names keep their letter case; the data folder is "0rg_System".
struct Folders
{
    QString exeFolder;
    QString programDataDir;
    QString localBaseDir;
    QString userDataDir;
    QString tempDataDir;
    QString networkDir;
    QString myImagesDir;

    // networkName and myImagesName are the localised folder names of the string table; both may
    // be empty when there is no table, as the program then has no such folders either.
    static Folders derive(const QString& exeFolder, const QString& tempFolder,
                          const QString& networkName, const QString& myImagesName);

    // Makes the user's folders that the start-up owes, private where they hold account data.
    void prepare() const;
};

inline constexpr const char16_t* kDataFolderName = u"0rg_System";

// The folder of a path with a trailing "/", the parent of a folder with a trailing "/".
QString folderOf(const QString& path);
QString parentFolder(const QString& folder);
