#pragma once

#include <QString>

class Processes
{
public:
    virtual ~Processes() = default;
    // Ends every process of this user whose executable has this file name or path (letter case
    // ignored), the calling one included. Returns the outcome of the last termination; false when
    // none matched.
    virtual bool killProcessesNamed(const QString& name) = 0;
    // Starts a program of its own, without arguments, that outlives this one.
    virtual bool startDetached(const QString& program) = 0;
};
