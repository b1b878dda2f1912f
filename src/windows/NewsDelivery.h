#pragma once

#include "core/NewsNotices.h"
#include "session/ClientSession.h"

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>

class AppContext;
class Notifications;

// Where the poll's news goes: to the popup, or, where the user chose it in the tray menu and a
// notification server answers, to the desktop's notifications, one per conversation. Neither
// shows anything while do not disturb is on; the news stays unread on the tray all the same.
// A conversation that is read takes its notification off the screen. What the user asks of a
// notification goes out as the popup's requests do, and ClientWindows connects both alike.
class NewsDelivery : public QObject
{
    Q_OBJECT

public:
    explicit NewsDelivery(AppContext& ctx);
    ~NewsDelivery() override;

    // Whether the user chose the desktop's notifications over the popup.
    bool desktopChosen() const;
    // The choice changed: the server is asked at once whether it answers, so that its answer
    // is there before the next news; back to the popup, what is on screen goes.
    void onDesktopChosen(bool on);

signals:
    // The news is the popup's to show, and later the files of the notice it showed came down.
    void popupRequested(const poll::Announcement& announcement);
    void popupFilesArrived(const poll::Announcement& announcement);
    // The user wants the main window, with the conversation on screen; `typeReply` also puts
    // the cursor in the message box.
    void showMainWindowRequested();
    void openConversationRequested(const QString& name, bool typeReply);

private:
    void onAnnounced(const poll::Announcement& announcement);
    void onFilesArrived(const poll::Announcement& announcement);
    void onNewsChanged();
    void onInvoked(const QString& conversation, const QString& action);
    void onFailed(const QString& conversation);
    void toPopup(const poll::Announcement& announcement);
    void show(const NewsNotices::Notice& notice);

    AppContext& m_ctx;
    NewsNotices m_notices;
    // The newest news of each conversation counted, for the popup when a notification fails.
    QHash<QString, poll::Announcement> m_newest;
    QSet<QString> m_onScreen; // conversations whose notification is shown
    QString m_popupSender;    // whose news the popup was given last
    Notifications& m_service;
};
