#include "windows/uLocal.h"

#include "app/AppContext.h"
#include "core/Helpers.h"

#include <QDir>

TLC::TLC(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("LC"));
    FormCreate();
}

void TLC::FormCreate()
{
    const QString temp = m_ctx.tempFolder();
    // The per-user temporary folder is ours, not the system's, so it may not exist yet.
    QDir().mkpath(temp);
    m_ctx.setLocalBaseDir(parentFolder(temp));
    helpers::setHidden(m_ctx.exeFolder() + QString::fromUtf16(kDataFolderName));
    // Downloaded account records and the server settings land here.
    helpers::makePrivateFolder(m_ctx.folders().tempDataDir);

    const QString languageFile = m_ctx.folders().programDataDir + QStringLiteral("LC.xo");
    QString error;
    const QString code = readLanguageCode(languageFile, &error);
    if (!error.isEmpty()) {
        // Start-up goes on without texts; the user is told once why the captions are missing.
        m_ctx.platform().desktop->showError(error);
        return;
    }
    m_ctx.setLanguageCode(code);
    m_ctx.strings().build(code);
}
