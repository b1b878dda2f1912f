#include "windows/uMinimized.h"

#include "app/AppContext.h"
#include "core/Helpers.h"

#include <QCloseEvent>
#include <QIcon>
#include <QSystemTrayIcon>

TMinimized::TMinimized(AppContext& ctx) : m_ctx(ctx)
{
    setObjectName(QStringLiteral("Minimized"));
    setWindowTitle(QStringLiteral("Larkspire"));
    m_tray = new QSystemTrayIcon(this);
    m_tray->setObjectName(QStringLiteral("Tray1"));
    m_tray->setToolTip(QStringLiteral("Larkspire"));
    FormCreate();
}

TMinimized::~TMinimized() = default;

void TMinimized::FormCreate()
{
    const Folders f = m_ctx.folders();
    const QIcon icon(f.programDataDir + QStringLiteral("Larkspire.png"));
    m_tray->setIcon(icon);
    setWindowIcon(icon);
    // A missing folder is simply not marked.
    if (!f.myImagesDir.isEmpty())
        helpers::setHidden(f.myImagesDir);
    helpers::setHidden(f.exeFolder + QStringLiteral("LarkspireUpdate"));
}

void TMinimized::showTrayIcon()
{
    m_tray->show();
}

void TMinimized::closeEvent(QCloseEvent* event)
{
    // Closing the main window of the application ends the program.
    event->accept();
    m_ctx.requestQuit();
}
