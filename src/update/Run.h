#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// The updater program from start to end: it checks its own signature, waits for every copy of
// the program to end, installs the folder it carries and starts the program again.
namespace updater {

struct RunOptions
{
    QString selfPath; // the updater file, with its signature beside it as selfPath + ".sig"
    QByteArray publicKey;
    QString programName = QStringLiteral("Larkspire");
    int waitForEndMs = 60'000; // the copies end on a signal; they get this long
    int confirmStartMs = 3000; // a program still running after this has started
};

// Exit codes: 0 installed, 1 rolled back, 2 refused or failed (the old version was started
// again), 3 a copy of the program still runs (nothing was touched, nothing started).
int run(const RunOptions& options, const std::function<void(const QString&)>& log);

// The processes of this user whose executable is named `name`, the calling one left out.
int runningCopies(const QString& name);
// Starts the program detached and tells whether it still runs after `confirmMs`.
bool startAndWatch(const QString& program, int confirmMs);

} // namespace updater
