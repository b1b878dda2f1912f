#pragma once

#include "windows/MainControls.h"

#include "session/ClientSession.h"

#include <QObject>
#include <QString>

#include <utility>

class AppContext;
class QEvent;
class QTimer;
class TNetwork;

// The account's upkeep in the main window: the profile of the settings panel, the deletion
// with its confirmation, the rename field over the name and the own picture. Every server step
// is a request of the client session; the panel shows its result.
class AccountPanel : public QObject
{
    Q_OBJECT

public:
    AccountPanel(TNetwork& window, MainControls::Account& controls, AppContext& ctx);

    void onSaveProfile();          // savesetsClick
    void onDeleteAccount();        // delbutClick
    void onDeleteConfirmTimeout(); // dbresetTimer
    void onRenameErrorTick();      // usererrortimerTimer
    // The rename field over the name (UserMouseDown, right button).
    void startRename();
    // Enter in rnm (rnmKeyUp).
    void confirmRename();
    // The picture dialog (avaMouseDown, right button).
    void changeAvatar();
    // The region and activity of the user's own directory line, in the profile's boxes.
    void showProfile(const QString& ownEntry);
    // Fills the region and activity boxes' lists from the suggestion files.
    void loadSuggestions();
    // The deletion starts again from its first press, as at every show of the window.
    void resetDeletion();
    // The panel's keys, focus changes and right presses; true when the event was used up.
    bool handleEvent(QObject* watched, QEvent* event);

    // Presses of delbut within the confirmation window.
    int deletePresses() const { return m_deletePresses; }

    // The largest picture put up as it is; larger ones go up scaled to fit this square, which
    // the viewer shows at full size and the 150 x 150 box scales down.
    static constexpr int kAvatarLimit = 700;

private:
    void renderAccount();
    void renderAvatar();
    void onProfileSaved(const ProfileResult& result);
    void onAccountDeleted(const DeletionResult& result);
    void onAccountRenamed(const RenameResult& result);
    void onAvatarChanged(const AvatarResult& result);
    void showUserError(const QString& text);
    // The region and activity as typed; a box showing its placeholder gives an empty one.
    std::pair<QString, QString> typedProfile() const;

    TNetwork& m_window;
    MainControls::Account& m_ui;
    AppContext& m_ctx;
    QTimer* m_deleteConfirmTimer = nullptr; // dbreset: the confirmation window of the deletion
    int m_deletePresses = 0;                // presses of delbut within the confirmation window
    QTimer* m_renameErrorTimer = nullptr;   // usererrortimer
    QString m_renameFrom;                   // the hint of rnm: the name before the rename
    QString m_stagedAvatar;                 // the picture on its way up
};
