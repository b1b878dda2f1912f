#pragma once

#include "core/PendingDrop.h"
#include "session/SessionRequests.h"

#include <QString>
#include <QStringList>

class AppContext;

// What a send of files dropped on a small window carries besides its recipient, worked out the
// way the main window works it out for its own drops.
namespace dropsend {

// The dropped files that can go; what cannot is named in the application's error report.
QStringList sendable(AppContext& ctx, const QStringList& paths);

// The notice's phrases in the recipient's language as the directory lists it, or in the user's
// own where it names neither of the two.
QStringList noticePhrases(const AppContext& ctx, const QString& recipient);

// The signed-in user's drops on the window of `origin` that wait in the outbox, as the window
// tells the user about them.
PendingDrop waiting(const AppContext& ctx, FilesRequest::From origin);
// Puts the drop in the outbox, behind whatever waits; false when nobody is signed in.
bool keep(AppContext& ctx, FilesRequest::From origin, const QString& recipient,
          const QStringList& paths, const QStringList& phrases);

} // namespace dropsend
