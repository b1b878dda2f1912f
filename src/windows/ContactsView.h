#pragma once

#include "windows/MainControls.h"

#include "core/uLocal.h"
#include "session/ClientSession.h"

#include <QObject>
#include <QString>
#include <QStringList>

class AppContext;
class QTimer;
class UserDirectory;
class TNetwork;

// The main window's contacts: the user list drawn from the directory, opening a correspondent
// from the list or from the popup, the favourite mark, the received-files button, and what the
// poll cycle brings back. Opening and polling are requests of the client session.
class ContactsView : public QObject
{
    Q_OBJECT

public:
    ContactsView(TNetwork& window, MainControls::Contacts& controls, AppContext& ctx);

    // Shows the directory's users list in the list control.
    void showUsers();
    void onUserSelected(); // usersSelect
    // Opens the conversation of the sender the popup names, as a click in the list does.
    void openSender(const QString& popupSender); // select
    void onFavouriteToggled();                   // favsClick
    void unmarkSelectedOnShow();
    QString selectedName() const;
    // A row of the list shows as selected.
    bool listHasSelection() const;
    // The received-files button follows the correspondent's local folder.
    void updateFbut();
    void onReceivedFiles(); // fbutClick
    void onPollTick();      // msgrldTimer
    void onPolled(const PollResult& result);
    // The list as a sign-in leaves it: nobody selected, unless the same user came back.
    void showSignedIn();
    // Makes the listed user `name` the correspondent on screen, as a click in the list does;
    // false when no row of the list holds that name.
    bool selectForDrop(const QString& name);
    // Starts the poll's period again.
    void restartPolling();
    // The local copy of the correspondent's picture, for the viewer.
    QString peerAvatarFile() const { return m_peerAvatarFile; }
    // The notice phrases in the correspondent's language; empty when it is unknown.
    const PhraseTable& peerPhrases() const { return m_peerPhrases; }
    // The last lines of the poll cycles' trace.
    const QStringList& pollTrace() const { return m_pollTrace; }

private:
    void onCorrespondentOpened(const CorrespondentResult& result);
    // The list's height and the correspondent's panel, from the state.
    void renderCorrespondent();
    const UserDirectory& directory() const;

    TNetwork& m_window;
    MainControls::Contacts& m_ui;
    AppContext& m_ctx;
    QTimer* m_pollTimer = nullptr; // msgrld
    QString m_pollSelection;       // the selection when the running cycle began
    QStringList m_shownUsers;      // what the list control shows
    QString m_shownPeer;           // whose panel is drawn
    QString m_peerAvatarFile;
    QStringList m_pollTrace;   // checkedusers: only the last lines are kept
    PhraseTable m_peerPhrases; // a
};
