#pragma once

#include "platform/Notifications.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>

#include <optional>

class QDBusMessage;

// The desktop's notifications through org.freedesktop.Notifications on the session bus. The
// bus is first touched when the program asks for a notification server, so a program that
// never shows one never connects. Every call is asynchronous with a short timeout.
class DbusNotifications : public QObject, public Notifications
{
    Q_OBJECT

public:
    DbusNotifications();
    ~DbusNotifications() override;

    bool serverAnswers() override;
    void askServer() override;
    void show(const QString& key, const Notice& notice) override;
    void close(const QString& key) override;
    void setHandlers(Handlers handlers) override { m_handlers = std::move(handlers); }

private slots:
    void onActionInvoked(uint id, const QString& action);
    void onNotificationClosed(uint id, uint reason);
    void onOwnerChanged(const QString& service, const QString& oldOwner, const QString& newOwner);

private:
    struct Entry
    {
        uint id = 0;          // the server's, 0 until it answered
        bool pending = false; // a Notify is on its way
        std::optional<Notice> waiting;
        bool closeWanted = false;
    };
    void attach();
    void notify(const QString& key, const Notice& notice);
    void closeId(uint id);
    QString keyOf(uint id) const;

    Handlers m_handlers;
    QHash<QString, Entry> m_entries;
    bool m_attached = false;
    bool m_asking = false;
    bool m_answers = false;
    bool m_markup = false; // the server reads the body as markup
    QElapsedTimer m_askedAt;
};
