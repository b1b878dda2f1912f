#pragma once

#include "app/WindowSet.h"
#include "core/DoNotDisturb.h"
#include "core/Folders.h"
#include "core/uLocal.h"
#include "platform/PlatformServices.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>
#include <vector>

class ClientSession;
class ClientState;
class ConnectionUpkeep;
class ConnectionWatch;
class Outbox;

// One client: its folders, texts, operating-system services, session and windows. Nothing of a
// client lives outside its context, so two clients can run side by side in one process. The
// windows come from the factory it is given (ClientWindows::make of the windows library).
class AppContext : public QObject
{
    Q_OBJECT

public:
    AppContext(UserEnvironment env, PlatformServices platform, WindowSet::Factory windows);
    ~AppContext() override;

    // The program's start: the session, the windows that work from the start, the way in
    // (startUp), then the main window. Every other window is made when first asked for.
    void start();
    // The same windows without the way in, the main window among them, all hidden.
    void createWindows();
    // After creation: the notification-area icon, or the mini bar where there is no tray, so
    // that the program is never invisible; then the main window, hidden.
    void startUp();
    // The window set made a window after the start.
    void windowMade(QWidget* window);
    // Ends the program (the mini bar closed, the exit item, an update).
    void requestQuit();
    bool ending() const { return m_ending; }

    const UserEnvironment& environment() const { return m_env; }
    PlatformServices& platform() { return m_platform; }

    // Folders as they stand now; they follow the string table and the stored base folder.
    Folders folders() const;
    QString exeFolder() const;
    QString tempFolder() const;
    const QString& localBaseDir() const { return m_localBaseDir; }
    void setLocalBaseDir(const QString& folder) { m_localBaseDir = folder; }

    // The build this program reports and compares when updating.
    int buildNumber() const { return m_buildNumber; }
    void setBuildNumber(int build) { m_buildNumber = build; }

    // The release key that an updater must be signed with; empty: this build never updates.
    const QByteArray& updatePublicKey() const { return m_updatePublicKey; }
    void setUpdatePublicKey(const QByteArray& key) { m_updatePublicKey = key; }

    const QString& languageCode() const { return m_languageCode; }
    void setLanguageCode(const QString& code) { m_languageCode = code; }
    StringTable& strings() { return m_strings; }
    const StringTable& strings() const { return m_strings; }
    QString text(int row) const { return m_strings.text(row); }

    // The server work of this client; created by createWindows(), before any window.
    ClientSession& session() const { return *m_session; }
    // What the client is now: every window renders from it. Made with the session.
    ClientState& state() const { return *m_state; }
    // The connectivity check and the timers that keep the main connection; made with the
    // session, before any window.
    ConnectionUpkeep& upkeep() const { return *m_upkeep; }
    // What the user sent while the server was away, until it goes up; made with the session.
    Outbox& outbox() const { return *m_outbox; }

    // Null until created; made on first use once the start windows are.
    TLC* LC() const { return m_windows ? m_windows->LC() : nullptr; }
    Tdragform* dragform() const { return m_windows ? m_windows->dragform() : nullptr; }
    TMinimized* Minimized() const { return m_windows ? m_windows->Minimized() : nullptr; }
    TNetwork* Network() const { return m_windows ? m_windows->Network() : nullptr; }
    Tnetprog* netprog() const { return m_windows ? m_windows->netprog() : nullptr; }
    TNetMenu* NetMenu() const { return m_windows ? m_windows->NetMenu() : nullptr; }
    TPhoto* Photo() const { return m_windows ? m_windows->Photo() : nullptr; }
    TfList* fList() const { return m_windows ? m_windows->fList() : nullptr; }
    // All eight, null for those not made yet; none before the start.
    std::vector<QWidget*> windows() const;

    // While it is on, news makes no popup and no sound; the choice outlives a restart until it
    // ends. Tests replace its clock.
    DoNotDisturb& doNotDisturb() { return m_doNotDisturb; }
    const DoNotDisturb& doNotDisturb() const { return m_doNotDisturb; }
    // Turns it on for the span, or off with nullopt, and keeps the choice in the settings store.
    void setDoNotDisturb(std::optional<DoNotDisturb::Span> span);
    // Forgets a stored choice whose span is over; true when it was.
    bool dropExpiredDoNotDisturb();

    // Where the desktop has no tray, the mini bar is the way in and comes back whenever no
    // other window of the program is on screen.
    bool barStandsInForTray() const { return m_barStandsInForTray; }
    // This computer's account signs in by itself at the start.
    bool signsInAutomatically() const;

signals:
    void quitRequested();
    void doNotDisturbChanged();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The session, the texts' window and the mini bar, which holds the tray icon.
    void createStartWindows();
    void bringBackBarIfAlone();

    bool m_barStandsInForTray = false;
    bool m_ending = false;
    UserEnvironment m_env;
    // Before the platform services: their sound asks it until they are gone.
    DoNotDisturb m_doNotDisturb;
    PlatformServices m_platform;
    QString m_localBaseDir;
    QString m_languageCode;
    int m_buildNumber = LARKSPIRE_BUILD_NUMBER;
    QByteArray m_updatePublicKey;
    StringTable m_strings;

    WindowSet::Factory m_makeWindows;
    // Declared in creation order: the windows go before the session they use.
    std::unique_ptr<ClientState> m_state;
    std::unique_ptr<ClientSession> m_session;
    std::unique_ptr<ConnectionUpkeep> m_upkeep;
    std::unique_ptr<ConnectionWatch> m_connectionWatch; // feeds the state's connection
    std::unique_ptr<Outbox> m_outbox;
    std::unique_ptr<WindowSet> m_windows;
};
