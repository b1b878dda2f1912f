#pragma once

// One installation with its own folders and fake platform services, and no server: for tests
// of what the windows do on their own.
#include "app/AppContext.h"
#include "platform/fake/FakeServices.h"
#include "support/TempTree.h"
#include "windows/ClientWindows.h"
#include "windows/uMinimized.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"

#include <QImage>

#include <memory>
#include <optional>

class OfflineClient
{
public:
    // What the program folder and the state folder hold before the program starts.
    struct Install
    {
        QByteArray languageFile = "eng/\r\n";
        // The mini bar's picture, Larkspire.jpg.
        bool barPicture = false;
        // The mini bar's stored position, mps.xo; none when unset.
        std::optional<QByteArray> barPosition;
    };

    OfflineClient() : OfflineClient(Install{}) {}
    explicit OfflineClient(const QByteArray& languageFile)
        : OfflineClient(Install{languageFile, false, std::nullopt})
    {
    }
    explicit OfflineClient(const Install& install)
    {
        root.write("app/0rg_System/LC.xo", install.languageFile);
        if (install.barPicture) {
            QImage image(48, 48, QImage::Format_RGB32);
            image.fill(Qt::darkMagenta);
            image.save(root.path("app/0rg_System/Larkspire.jpg"));
        }
        if (install.barPosition)
            root.write("state/larkspire/tmp/0rg_System/mps.xo", *install.barPosition);
        UserEnvironment env;
        env.exePath = root.path("app/Larkspire");
        env.home = root.path("home");
        env.stateHome = root.path("state");
        ctx = std::make_unique<AppContext>(env, FakePlatform::make(&fakes), ClientWindows::make);
        ctx->createWindows();
    }

    TNetwork* w() const { return ctx->Network(); }
    TMinimized* bar() const { return ctx->Minimized(); }
    Tnetprog* popup() const { return ctx->netprog(); }
    // A file of the program's data folder.
    QString data(const QString& name) const { return root.path("app/0rg_System/" + name); }
    QByteArray positionFile() const { return TempTree::read(bar()->positionFile()); }

    TempTree root;
    FakePlatform fakes{};
    std::unique_ptr<AppContext> ctx;
};
