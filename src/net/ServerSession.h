#pragma once

#include "net/ConnectBackoff.h"
#include "net/FtpClient.h"
#include "net/FtpSettings.h"
#include "net/ServerAddress.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The settings file of the settings account ("fcom.xo", kept as "2.x"): where the main account
// is. Other clients read the same file, so its lines keep their places; lines 0 to 4 are not
// read here.
struct SettingsFile
{
    static constexpr int kLines = 9; // a shorter file is of no use

    QString host;     // line 5: "host" or "host:port"
    QString user;     // line 6
    QString password; // line 7
    QString root;     // line 8: the tree's root, a full path or one relative to the login folder

    bool operator==(const SettingsFile&) const = default;
};

// The fields of the file's lines as loaded; nullopt when there are fewer than kLines. Lines
// after the last field are ignored.
std::optional<SettingsFile> parseSettingsFile(const QStringList& lines);

// The main window's hold on the servers: the connectivity state, the bootstrap of the main
// server's address and login from the settings server, and the main connection.
// Everything runs on the user-interface thread; the busy mark keeps timer events from starting
// a second operation on the connection while one is under way.
class ServerSession
{
public:
    static constexpr const char16_t* kConnected = u"Connected!";
    static constexpr const char16_t* kDisconnected = u"disConnected!";

    struct Config
    {
        QString settingsServer; // "host" or "host:port"
        QString settingsUser = QStringLiteral("fcom");
        QString settingsPassword = QStringLiteral("k531902468");
        QString mainServer;                // before the bootstrap replaces it
        QString tempDataDir;               // where "2.x" is kept
        std::function<void()> onConnected; // the main connection's hook
        FtpTimeouts timeouts;              // of both connections
        // Waits between attempts to open the main connection after failures.
        qint64 backoffFirstMs = ConnectBackoff::kFirstWaitMs;
        qint64 backoffLongestMs = ConnectBackoff::kLongestWaitMs;
        // Both connections try TLS first; with requireTls neither is used without it.
        bool requireTls = tlsRequired();
        // The servers that offered TLS and their certificates; null keeps them for the life
        // of this object only.
        std::shared_ptr<TlsPins> tlsPins;
    };

    explicit ServerSession(Config config);
    Config& config() { return m_config; }

    // The caption of `lblStatus`: "lblStatus" at start, then "Connected!" or "disConnected!".
    const QString& status() const { return m_status; }
    void setStatus(const QString& status) { m_status = status; }
    bool online() const { return m_status == QStringView(kConnected); }

    // The bootstrap mark: 1 once the main connection is configured.
    int mark() const { return m_mark; }
    // The settings file the bootstrap last applied; empty fields before the first.
    const SettingsFile& settingsFile() const { return m_settingsFile; } // fcommemo
    // The tree's root as a full path, so that every path built on it works from any current
    // folder; a root given relative to the login folder is resolved at the first connection.
    QString serverRoot() const; // ServerRoot
    QString usersFolder() const;

    enum class Bootstrap
    {
        Offline,     // no network: try again on the next tick
        Fetched,     // the settings file came from the settings server
        EarlierCopy, // the settings server failed; the copy of an earlier run serves
        Retry        // the settings server failed and there is nothing to fall back on
    };
    // One tick of `FTPCSpermit`. A settings file too short to use is reported through
    // `problem` the first time only, and the tick is retried like a failed download.
    Bootstrap bootstrapTick(QString* problem = nullptr);

    // Configures the main connection from the settings file when its host is still empty.
    void configureMainFromSettings(); // FTPCS
    // The standard opening: connect when needed and change to the users folder. False, without
    // a message, when any step fails, and at once while the back-off after a failed opening
    // lasts.
    bool openMain();

    enum class Opening
    {
        NotReady,
        WentOffline,
        AlreadyOpen,
        Opened,
        Failed
    };
    // Opens the main connection in the users folder; the directory step is the caller's, after
    // Opened. Failed without an attempt while the back-off after a failed opening lasts.
    Opening openMainConnection(); // FTPConnect

    const ConnectBackoff& backoff() const { return m_backoff; }

    // Closes the main connection; a failed goodbye leaves it closed all the same.
    void closeMain();

    // `nooper`: a no-op on an open main connection. Failures reach the caller.
    void keepAlive();

    // The main connection is open and protected by TLS.
    bool mainProtected() const { return m_main.tlsActive(); }
    // Why a connection was last refused for TLS (a server with a pin that no longer offers
    // it, a changed certificate, TLS required and not offered), the main connection's before
    // the settings server's; empty once that connection opened again. The openings report
    // failures by their outcome alone; this is the one the user has to act on.
    QString tlsFailure() const
    {
        return m_mainTlsFailure.isEmpty() ? m_settingsTlsFailure : m_mainTlsFailure;
    }

    FtpClient& mainConnection() { return m_main; }         // IdFTP1
    FtpClient& settingsConnection() { return m_settings; } // fcommandftp
    FtpClient& IdFTP1() { return m_main; }                 // old name, kept until its callers move

    bool busy() const { return m_busy > 0; }
    // Marks the main connection busy for its lifetime.
    class Busy
    {
    public:
        explicit Busy(ServerSession& s) : m_s(s) { ++m_s.m_busy; }
        ~Busy() { --m_s.m_busy; }
        Busy(const Busy&) = delete;
        Busy& operator=(const Busy&) = delete;

    private:
        ServerSession& m_s;
    };

private:
    bool applySettings(const QStringList& lines);
    // Connects, learns the login folder when the root needs it, changes to the users folder
    // (when `always`, else only when the login folder is another) and keeps the back-off up to
    // date. Throws FtpError; a refusal by the back-off is one too.
    void connectMain(bool always);

    Config m_config;
    QString m_status = QStringLiteral("lblStatus");
    int m_mark = 0;
    SettingsFile m_settingsFile;
    QString m_loginFolder; // where the main login starts, learnt once
    FtpClient m_main;
    FtpClient m_settings;
    bool m_shortFileReported = false;
    QString m_mainTlsFailure;
    QString m_settingsTlsFailure;
    int m_busy = 0;
    ConnectBackoff m_backoff;
};
