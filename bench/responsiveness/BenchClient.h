#pragma once

// One complete client as a user starts it: application context, the eight windows, the mini bar
// standing in for the tray, and every timer running. Only the operating-system services are
// doubles (the errors the program reports land in fakes.desktop). Its folders, and a copy of the
// built data folder beside its executable, live under `root`.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"

#include <memory>

class QTimer;

class BenchClient
{
public:
    BenchClient(const QString& root, const QString& dataFolder);
    ~BenchClient();

    AppContext& ctx() { return *m_ctx; }
    QWidget* mainWindow() const;
    QWidget* miniBar() const;
    QTimer* mainTimer(const char* name) const;

    // A click on the mini bar, and the main window is up.
    bool openMainWindow();
    // The main server's settings have come from the settings server: their local copy is
    // written and the bootstrap timer has stopped.
    bool serverSettingsFetched() const;
    // Name and password typed into the sign-in screen and its button clicked.
    void pressSignIn(const QString& name, const QString& password);
    // The signed-in screen shows `name`.
    bool signedInAs(const QString& name) const;

    FakePlatform fakes{};

private:
    std::unique_ptr<AppContext> m_ctx;
};
