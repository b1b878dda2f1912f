#pragma once

#include <QString>

// Starting the program when the user logs in.
class Autostart
{
public:
    virtual ~Autostart() = default;
    virtual bool isEnabled() const = 0;
    // command is the program to start, with its full path.
    virtual bool enable(const QString& command) = 0;
    virtual bool disable() = 0;
};
