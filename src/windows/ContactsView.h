#pragma once

#include "core/uLocal.h"
#include "session/ClientSession.h"

#include <QObject>
#include <QString>
#include <QStringList>

class AppContext;
class QTimer;
class TNetwork;
struct MainControls;

// The main window's contacts: the user list drawn from the directory, opening a correspondent
// from the list or from the popup, the favourite mark, the received-files button, and what the
// poll cycle brings back. Opening and polling are requests of the client session.
class ContactsView : public QObject
{
    Q_OBJECT

public:
    ContactsView(TNetwork& window, AppContext& ctx);

    QStringList favourites;           // favlist
    QTimer* chatFlashTimer = nullptr; // high
    int chatFlashCount = 0;           // highCount
    PhraseTable peerPhrases;          // a: notice phrases in the correspondent's language
    QTimer* pollTimer = nullptr;      // msgrld

    // Shows the directory's users list in the list control.
    void showUsers();
    void onUserSelected(); // usersSelect
    // Opens the conversation of the sender the popup names.
    void openPopupSender();    // select
    void showFavouriteMark();  // favcheck
    void onFavouriteToggled(); // favsClick
    void onChatFlashTick();    // highTimer
    void startChatFlash();
    void unmarkSelectedOnShow();
    QString selectedName() const;
    // The received-files button follows the correspondent's local folder.
    void updateFbut();
    void onReceivedFiles(); // fbutClick
    void onPollTick();      // msgrldTimer
    void onPolled(const PollResult& result);
    // The local copy of the correspondent's picture, for the viewer.
    QString peerAvatarFile() const { return m_peerAvatarFile; }

private:
    void onCorrespondentOpened(const CorrespondentResult& result);
    void onPopupCorrespondentOpened(const CorrespondentResult& result);
    void openCorrespondentView(const QString& name, const QString& avatarFile);

    TNetwork& m_window;
    MainControls& m_ui;
    AppContext& m_ctx;
    QString m_pollSelection;  // the selection when the running cycle began
    QStringList m_shownUsers; // what the list control shows
    QString m_peerAvatarFile;
};
