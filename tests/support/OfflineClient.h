#pragma once

// One installation with its own folders and fake platform services, and no server: for tests
// of what the windows do on their own.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/TempTree.h"
#include "windows/ClientWindows.h"

#include <memory>

class OfflineClient
{
public:
    explicit OfflineClient(const QByteArray& languageFile = "eng/\r\n")
    {
        root.write("app/0rg_System/LC.xo", languageFile);
        UserEnvironment env;
        env.exePath = root.path("app/Larkspire");
        env.home = root.path("home");
        env.stateHome = root.path("state");
        ctx = std::make_unique<AppContext>(env, FakePlatform::make(&fakes), ClientWindows::make);
        ctx->createWindows();
    }

    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;
};
