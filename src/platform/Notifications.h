#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <utility>

// The desktop's notifications: one notification per key, shown again in place when it changes.
// Nothing here waits for the notification server; its answers come back through the handlers.
class Notifications
{
public:
    struct Notice
    {
        QString summary;
        QString body;                               // plain text
        QList<std::pair<QString, QString>> actions; // key, caption; "default" is the click
        QString icon;                               // a picture file, or empty
    };
    struct Handlers
    {
        // The user chose the action `action` of the key's notification.
        std::function<void(const QString& key, const QString& action)> invoked;
        // The notification went away by itself or by the user's hand, not by close().
        std::function<void(const QString& key)> closed;
        // The server did not take the notification: it was never shown.
        std::function<void(const QString& key)> failed;
    };

    virtual ~Notifications() = default;

    // Whether a notification server answered when it was last asked. Where it did not, or it
    // was never asked, this asks again without waiting, so the answer is there for next time.
    virtual bool serverAnswers() = 0;
    // Asks the server anew without waiting: the answer is there shortly.
    virtual void askServer() = 0;
    // Shows the key's notification, or replaces the one it has on screen.
    virtual void show(const QString& key, const Notice& notice) = 0;
    // Takes the key's notification off the screen; a key without one is left alone.
    virtual void close(const QString& key) = 0;
    virtual void setHandlers(Handlers handlers) = 0;
};
