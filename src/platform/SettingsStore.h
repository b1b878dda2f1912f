#pragma once

#include <QString>

// A per-user key/value store for the few values the program keeps outside its files.
class SettingsStore
{
public:
    virtual ~SettingsStore() = default;
    virtual QString value(const QString& key, const QString& fallback = {}) const = 0;
    virtual void setValue(const QString& key, const QString& value) = 0;
    virtual void remove(const QString& key) = 0;
};
