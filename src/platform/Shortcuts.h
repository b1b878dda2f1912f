#pragma once

#include <QString>

// Launchers for the program on the desktop and in the application menu.
class Shortcuts
{
public:
    virtual ~Shortcuts() = default;
    virtual bool createDesktopLauncher(const QString& command, const QString& iconPath) = 0;
    virtual bool createMenuLauncher(const QString& command, const QString& iconPath) = 0;
};
