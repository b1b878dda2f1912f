#include "windows/uNetwork.h"

#include "app/AppContext.h"
#include "core/Helpers.h"

#include <QDir>
#include <QFileInfo>

// The frame, uNetwork_frame.cpp, builds the window; the other areas add their parts.
TNetwork::TNetwork(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("Network"));
    setWindowTitle(QStringLiteral("Larkspire"));
    createWindow();
}

TNetwork::~TNetwork() = default;

void TNetwork::prepareFolders()
{
    const Folders f = m_ctx.folders();
    // Account data, settings copies and conversations are the user's alone, also in folders
    // that earlier versions made readable for everyone.
    helpers::makePrivateFolder(f.userDataDir);
    helpers::makePrivateFolder(f.userDataDir + QStringLiteral("net/"));
    helpers::makePrivateFolder(f.programDataDir + QStringLiteral("net/"));
    if (!f.networkDir.isEmpty())
        QDir().mkdir(f.networkDir);
}

void TNetwork::prepareMyImages()
{
    const Folders f = m_ctx.folders();
    if (f.myImagesDir.isEmpty())
        return;
    if (!QFileInfo(f.myImagesDir).isDir())
        helpers::copyTree(f.programDataDir + QStringLiteral("temp1/"), f.myImagesDir, false, true);
    helpers::setHidden(f.myImagesDir);
}
