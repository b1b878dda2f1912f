#pragma once

#include <QString>

class NetworkAdapter
{
public:
    virtual ~NetworkAdapter() = default;
    // "AA-BB-CC-DD-EE-FF" of the first network adapter, or "mac not found".
    virtual QString adapterAddress() const = 0;
};
