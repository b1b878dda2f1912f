#pragma once

// Alice and Bob, each a complete client in a folder of its own, against a demo server of the
// test's own. The test is skipped where no demo server can run.
#include "support/ClientFolder.h"
#include "support/DemoServer.h"
#include "support/TempTree.h"
#include "support/TestClient.h"

#include <QImage>
#include <QLabel>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

class DemoPair : public ::testing::Test
{
protected:
    // Starts the server and writes both program folders. A fixture that overrides it calls it
    // first and stops when IsSkipped().
    void SetUp() override
    {
        if (const QString why = DemoServer::startFor(server); !why.isEmpty())
            GTEST_SKIP() << why.toStdString();
        for (const char* who : {"alice", "bob"})
            prepareClientFolder(root, QString::fromLatin1(who));
    }

    // Both clients started, nobody online yet.
    void startBoth()
    {
        alice = std::make_unique<TestClient>(root.path("alice"), "Alice");
        bob = std::make_unique<TestClient>(root.path("bob"), "Bob");
    }
    // Both clients' star pictures, in these colours: a favourite's and another's.
    void starPictures(Qt::GlobalColor favourite, Qt::GlobalColor other)
    {
        for (const char* who : {"alice", "bob"}) {
            const QString data = QString::fromLatin1(who) + "/app/0rg_System/";
            for (const auto& [icon, colour] :
                 {std::pair{"fav_icon.png", favourite}, std::pair{"fav_icon_on.png", other}}) {
                QImage image(4, 4, QImage::Format_RGB32);
                image.fill(colour);
                image.save(root.path(data + icon));
            }
        }
    }
    // SetUp() with both signed in, for a fixture's own SetUp; false when the test was skipped
    // or failed on the way.
    bool setUpSignedIn()
    {
        DemoPair::SetUp();
        if (IsSkipped())
            return false;
        signInBoth();
        return !HasFatalFailure();
    }
    // Both copies of an empty conversation of Alice and Bob, as the quick-send window lays
    // them out.
    void writeBothCopies() const
    {
        for (const char* file : {"Alice/Bob.ms", "Bob/Alice.ms"})
            QFile(users(file)).open(QIODevice::WriteOnly);
    }

    // Both started, online and signed in, Alice first.
    void signInBoth()
    {
        alice = signedIn("Alice");
        bob = signedIn("Bob");
        ASSERT_EQ(textOf(alice->w(), "User"), QStringLiteral("Alice"));
        ASSERT_EQ(textOf(bob->w(), "User"), QStringLiteral("Bob"));
    }
    // The client of `name` ("Alice", "Bob"), started in its folder, online and signed in with
    // the demo password.
    std::unique_ptr<TestClient>
    signedIn(const QString& name, TestClient::Settings settings = TestClient::Settings::Double)
    {
        TestClient::PlatformChange change;
        if (platformOf)
            change = [this, name](PlatformServices& p) { platformOf(name, p); };
        auto c = std::make_unique<TestClient>(root.path(name.toLower()), name, settings, change);
        c->goOnline();
        c->signIn(name.toLower() + QStringLiteral("-pw"));
        return c;
    }

    // A file or folder below the server's user folders.
    QString users(const QString& relative = {}) const
    {
        return server->tree("netwrk/users/" + relative);
    }

    // Real services in place of doubles for some clients: set before they are made.
    std::function<void(const QString& name, PlatformServices&)> platformOf;

    // Declared so that the clients go before the server and their folders.
    TempTree root;
    std::unique_ptr<DemoServer> server;
    std::unique_ptr<TestClient> alice;
    std::unique_ptr<TestClient> bob;
};
