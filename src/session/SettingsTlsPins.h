#pragma once

#include "net/TlsPins.h"
#include "platform/SettingsStore.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <mutex>

// The servers' pins in the user's settings store, so that a server that offered TLS once is
// never used in plain text again, across runs. One value, "TlsPins", holds them all as
// "host:port=AB:01:...;host:port=...": the store cannot list its keys, and read at once, on the
// thread that makes this object, they never need the store on the session's thread. A pin set
// there reaches the store on this object's thread, which must run an event loop: the stores
// are not made for two threads at once.
class SettingsTlsPins : public TlsPins
{
public:
    static constexpr const char16_t* kKey = u"TlsPins";

    explicit SettingsTlsPins(SettingsStore& store) : m_store(store)
    {
        const QString text = m_store.value(QString::fromUtf16(kKey));
        for (const QString& entry : text.split(u';', Qt::SkipEmptyParts)) {
            const qsizetype equals = entry.indexOf(u'=');
            if (equals > 0)
                m_pins.insert(entry.left(equals), entry.mid(equals + 1));
        }
    }

    QString pin(const QString& hostPort) const override
    {
        const std::lock_guard lock(m_mutex);
        return m_pins.value(hostPort);
    }

    void setPin(const QString& hostPort, const QString& fingerprint) override
    {
        QString text;
        {
            const std::lock_guard lock(m_mutex);
            m_pins.insert(hostPort, fingerprint);
            QStringList entries;
            for (auto i = m_pins.cbegin(); i != m_pins.cend(); ++i)
                entries << i.key() + u'=' + i.value();
            entries.sort();
            text = entries.join(u';');
        }
        if (QThread::currentThread() == m_home.thread()) {
            m_store.setValue(QString::fromUtf16(kKey), text);
            return;
        }
        QMetaObject::invokeMethod(
            &m_home, [this, text] { m_store.setValue(QString::fromUtf16(kKey), text); },
            Qt::QueuedConnection);
    }

private:
    SettingsStore& m_store;
    QObject m_home; // lives on the thread that may use the store
    mutable std::mutex m_mutex;
    QHash<QString, QString> m_pins;
};
