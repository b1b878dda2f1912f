#pragma once

#include <QString>

// Fonts the program brings along, usable by its own windows while it runs.
class Fonts
{
public:
    virtual ~Fonts() = default;
    virtual bool add(const QString& fontFile) = 0;
    virtual void removeAll() = 0;
};
