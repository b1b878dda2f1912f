#pragma once

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

} // namespace dropsend
