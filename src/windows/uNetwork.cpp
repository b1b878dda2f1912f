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

void TNetwork::prepareMyImages()
{
    const Folders f = m_ctx.folders();
    if (f.myImagesDir.isEmpty())
        return;
    if (!QFileInfo(f.myImagesDir).isDir())
        helpers::copyTree(f.programDataDir + QStringLiteral("temp1/"), f.myImagesDir, false, true);
    helpers::setHidden(f.myImagesDir);
}
