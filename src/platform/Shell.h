#pragma once

#include <QString>

// Opening files, folders and links with the user's default programs.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool openPath(const QString& path) = 0;
    virtual bool openLink(const QString& link) = 0;
    // Shows the file selected in the file manager, or at least opens its folder.
    virtual bool showInFileManager(const QString& path) = 0;
};
