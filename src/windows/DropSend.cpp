#include "windows/DropSend.h"

#include "app/AppContext.h"
#include "core/UserDirectory.h"
#include "core/uLocal.h"
#include "session/ClientState.h"
#include "session/Outbox.h"
#include "windows/DroppedFiles.h"

namespace {

constexpr int kTxtNotFilesNotSent = 137; // the heading over what was left out

} // namespace

namespace dropsend {

QStringList sendable(AppContext& ctx, const QStringList& paths)
{
    const dropped::Split split = dropped::split(paths);
    if (!split.leftOut.isEmpty())
        ctx.platform().desktop->showError(
            dropped::leftOutReport(ctx.text(kTxtNotFilesNotSent), split.leftOut));
    return split.sendable;
}

QStringList noticePhrases(const AppContext& ctx, const QString& recipient)
{
    const UserDirectory& directory = ctx.state().directory();
    const int row = UserDirectory::find(directory.users(), recipient);
    const QString language = row >= 0 ? userentry::language(directory.users().at(row)) : QString();
    PhraseTable phrases;
    if (language == u"rus/" || language == u"eng/")
        phrases.rebuild(language);
    // A recipient whose language is unknown reads the sender's.
    if (phrases.size() < StringTable::kPhraseCount)
        phrases.rebuild(ctx.languageCode());
    QStringList out;
    for (int i = 0; i < phrases.size(); ++i)
        out.append(phrases.phrase(i));
    return out;
}

PendingDrop waiting(const AppContext& ctx, FilesRequest::From origin)
{
    PendingDrop drop;
    for (const outbox::Entry& e : ctx.outbox().filesFrom(static_cast<int>(origin)))
        drop.putBack({e.sender, e.recipient, e.paths});
    return drop;
}

bool keep(AppContext& ctx, FilesRequest::From origin, const QString& recipient,
          const QStringList& paths, const QStringList& phrases)
{
    Outbox& outbox = ctx.outbox();
    if (outbox.addFiles(recipient, paths, phrases, static_cast<int>(origin)) == 0)
        return false;
    outbox.sendNext();
    return true;
}

} // namespace dropsend
