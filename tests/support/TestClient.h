#pragma once

// One complete client (application context, windows, fake platform services) in its own
// folder, for tests that run several clients in one process against one server. Its timers are
// stopped: tests fire them by hand (Controls.h), so nothing steps in between, and wait with
// settle() for the session to finish what they started.
#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "platform/fake/FakeServices.h"
#include "platform/linux/LinuxServices.h"
#include "session/ClientSession.h"
#include "session/ClientState.h"
#include "session/ConnectionUpkeep.h"
#include "support/ClientFolder.h"
#include "support/Controls.h"
#include "support/TempTree.h"
#include "windows/ClientWindows.h"
#include "windows/ContactsView.h"
#include "windows/ConversationView.h"
#include "windows/SignInView.h"
#include "windows/uNetMenu.h"
#include "windows/uNetwork.h"

#include "net/XNetDetect.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class TestClient
{
public:
    // The settings store is a double whose values a restart keeps, as the per-user store outlives
    // the program, or a settings file in the client's folder (fakes.settings is then null).
    enum class Settings
    {
        Double,
        File,
    };
    // Puts a real service in a double's place before the client is made, at every start.
    using PlatformChange = std::function<void(PlatformServices&)>;

    TestClient(const QString& root, const QString& name, Settings settings = Settings::Double,
               PlatformChange change = {})
        : m_root(root), m_name(name), m_settings(settings), m_change(std::move(change))
    {
        start();
    }

    void start(const QMap<QString, QString>& settings = {})
    {
        UserEnvironment env;
        env.exePath = m_root + "/app/Larkspire";
        env.home = m_root + "/home";
        env.stateHome = m_root + "/state";
        PlatformServices platform = FakePlatform::make(&fakes);
        if (m_settings == Settings::File) {
            platform.settings = std::make_unique<IniSettingsStore>(settingsFile());
            fakes.settings = nullptr;
        } else {
            fakes.settings->values = settings;
        }
        if (m_change)
            m_change(platform);
        ctx = std::make_unique<AppContext>(env, std::move(platform), ClientWindows::make);
        ctx->createWindows();
        stopTimers();
    }
    void stopTimers()
    {
        for (QTimer* t : w()->findChildren<QTimer*>())
            t->stop();
        for (QTimer* t : upkeep()->findChildren<QTimer*>())
            t->stop();
        control<TXNetDetect>(upkeep(), "XNetDetect1")->setEnabled(false);
    }
    // The connectivity check and the connection's timers, which belong to no window.
    QObject* upkeep() const { return &ctx->upkeep(); }
    // The detector tells the client what its probe found.
    void detectorSays(bool reachable) const
    {
        auto* detector = control<TXNetDetect>(upkeep(), "XNetDetect1");
        emit detector->ConnectionStatus(detector, reachable);
    }
    // Quits and starts again on the same folders. The per-user settings store outlives the
    // program, as the real one does.
    void restart()
    {
        const QMap<QString, QString> kept =
            fakes.settings ? fakes.settings->values : QMap<QString, QString>();
        ctx.reset();
        start(kept);
    }

    TNetwork* w() const { return ctx->Network(); }
    const ClientState& state() const { return ctx->state(); }
    // News came for the user on `row` of the list: the mark a poll cycle sets.
    void markUnread(int row)
    {
        ctx->state().changeDirectory([row](UserDirectory& d) {
            d.setUserLine(row, userentry::withMark(d.users().at(row)));
        });
    }
    TNetMenu* quickSend() const { return ctx->NetMenu(); }
    ClientSession& session() const { return ctx->session(); }

    // Waits until the session has run every request, and the windows have taken every result
    // (which may make further requests).
    void settle() const { settleSession(session()); }
    static void settleSession(const ClientSession& s)
    {
        // Results arrive as posted events; timers are left alone, so fades and polls move only
        // when a test moves them.
        QElapsedTimer waited;
        waited.start();
        // Far beyond any request of a test; a hang shows as a failure, not a stuck run.
        while (waited.elapsed() < 120000) {
            QCoreApplication::sendPostedEvents();
            if (s.idle()) {
                QCoreApplication::sendPostedEvents();
                if (s.idle())
                    return;
            }
            QThread::msleep(1);
        }
    }

    const QString& root() const { return m_root; }
    QString settingsFile() const { return m_root + "/config/Larkspire/Larkspire.ini"; }

    // Picks `name` in the user list as a click does, and waits for the conversation.
    void open(const QString& name)
    {
        const int at = UserDirectory::find(ctx->state().directory().users(), name);
        ASSERT_GE(at, 0) << name.toStdString();
        pickRow(w(), at);
        settle();
    }
    void setName(const QString& name) { m_name = name; }

    // The detector finds the internet and the settings of the main server are fetched.
    void goOnline()
    {
        detectorSays(true);
        // A timer's request skips its turn while other work waits.
        settle();
        fire(upkeep(), "FTPCSpermit");
        settle();
        stopTimers();
    }

    // Runs the sign-in sequence already started to the end of its server step.
    void runSequence()
    {
        for (int step = 0; step < 4; ++step)
            fire(w(), "Timer2");
        settle();
    }

    // Types the name and password, as the sign-in screen takes them.
    void fillIn(const QString& password)
    {
        control<QLineEdit>(w(), "username")->setText(m_name);
        auto* box = control<QLineEdit>(w(), "pass");
        box->setEchoMode(QLineEdit::Password);
        box->setText(password);
    }
    // Types the name and password and runs the sign-in sequence to its end.
    void signIn(const QString& password)
    {
        fillIn(password);
        click(w(), "Button2");
        runSequence();
        stopTimers();
    }

    std::unique_ptr<AppContext> ctx;
    FakePlatform fakes{};

private:
    QString m_root;
    QString m_name;
    Settings m_settings = Settings::Double;
    PlatformChange m_change;
};

// Waits until the sessions of every client in the process have finished what the test started.
inline void settleAll()
{
    for (int round = 0; round < 3; ++round) {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* main = qobject_cast<TNetwork*>(w))
                TestClient::settleSession(main->session());
        }
    }
}
