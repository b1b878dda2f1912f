#pragma once

#include <QHash>
#include <QString>

#include <mutex>

// Where the FTP client remembers which servers offered TLS and the certificate each showed:
// the SHA-256 fingerprint of the certificate (TlsPeer::fingerprint), per "host:port" as
// dialled. A server with a pin is never used in plain text again, and a certificate other than
// the pinned one is refused unless the system's store vouches for it.
class TlsPins
{
public:
    virtual ~TlsPins() = default;
    // The pinned fingerprint, or an empty text.
    virtual QString pin(const QString& hostPort) const = 0;
    virtual void setPin(const QString& hostPort, const QString& fingerprint) = 0;
};

// Pins for the life of the object; for tests and one-off tools.
class MemoryTlsPins : public TlsPins
{
public:
    QString pin(const QString& hostPort) const override
    {
        const std::lock_guard lock(m_mutex);
        return m_pins.value(hostPort);
    }
    void setPin(const QString& hostPort, const QString& fingerprint) override
    {
        const std::lock_guard lock(m_mutex);
        m_pins.insert(hostPort, fingerprint);
    }

private:
    mutable std::mutex m_mutex;
    QHash<QString, QString> m_pins;
};
