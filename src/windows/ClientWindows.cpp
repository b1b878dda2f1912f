#include "windows/ClientWindows.h"

#include "windows/uList.h"
#include "windows/uLocal.h"
#include "windows/uMinimized.h"
#include "windows/uNetMenu.h"
#include "windows/uNetProg.h"
#include "windows/uNetwork.h"
#include "windows/uPhoto.h"
#include "windows/udragform.h"

std::unique_ptr<WindowSet> ClientWindows::make()
{
    return std::make_unique<ClientWindows>();
}

ClientWindows::ClientWindows() = default;

ClientWindows::~ClientWindows() = default;

void ClientWindows::destroy()
{
    m_fList.reset();
    m_Photo.reset();
    m_NetMenu.reset();
    m_netprog.reset();
    m_Network.reset();
    m_Minimized.reset();
    m_dragform.reset();
    m_LC.reset();
}

void ClientWindows::create(AppContext& ctx)
{
    m_LC = std::make_unique<TLC>(ctx);
    m_dragform = std::make_unique<Tdragform>(ctx);
    m_Minimized = std::make_unique<TMinimized>(ctx);
    m_Network = std::make_unique<TNetwork>(ctx);
    m_netprog = std::make_unique<Tnetprog>(ctx);
    m_NetMenu = std::make_unique<TNetMenu>(ctx);
    m_Photo = std::make_unique<TPhoto>(ctx);
    m_fList = std::make_unique<TfList>(ctx);
    wireMainWindow();

    // Files the small windows hold for the server go up when the detector finds it again.
    QObject::connect(m_Network.get(), &TNetwork::connectionStateChanged, m_Minimized.get(),
                     &TMinimized::sendWaitingFiles);
    QObject::connect(m_Network.get(), &TNetwork::connectionStateChanged, m_dragform.get(),
                     &Tdragform::sendWaitingFiles);
}

std::vector<QWidget*> ClientWindows::all() const
{
    return {m_LC.get(),      m_dragform.get(), m_Minimized.get(), m_Network.get(),
            m_netprog.get(), m_NetMenu.get(),  m_Photo.get(),     m_fList.get()};
}

void ClientWindows::showTrayIcon()
{
    m_Minimized->showTrayIcon();
}

void ClientWindows::showMiniBar()
{
    m_Minimized->show();
}

void ClientWindows::wireMainWindow()
{
    TNetwork* main = m_Network.get();
    TMinimized* bar = m_Minimized.get();
    Tnetprog* popup = m_netprog.get();
    TNetMenu* quick = m_NetMenu.get();
    Tdragform* zone = m_dragform.get();
    TPhoto* viewer = m_Photo.get();
    main->setOtherWindows(
        {[quick] { return quick->isVisible(); }, [viewer] { return viewer->isVisible(); }});
    QObject::connect(main, &TNetwork::windowClosed, bar, [bar] { bar->setMainWindowOpenFlag(0); });
    QObject::connect(main, &TNetwork::avatarViewRequested, viewer, &TPhoto::showPicture);
    QObject::connect(main, &TNetwork::avatarViewerCloseRequested, viewer, &TPhoto::StartFadeOut);
    QObject::connect(main, &TNetwork::quickSendRequested, quick, &TNetMenu::ShowModal);
    QObject::connect(main, &TNetwork::quickSendCloseRequested, quick, &TNetMenu::StartFadeOut);
    QObject::connect(main, &TNetwork::dropZoneRequested, zone, [zone] { zone->ShowForNetwork(); });
    // The sign-in screen leaves none of the signed-in user's windows open.
    QObject::connect(main, &TNetwork::otherWindowsCloseRequested, main,
                     [popup, quick, zone, viewer] {
                         if (popup->isVisible())
                             popup->beginClosing();
                         if (quick->isVisible())
                             quick->StartFadeOut();
                         // Its close brings the main window back.
                         if (zone->isVisible()) {
                             zone->clearDropfiles();
                             zone->StartFadeOut();
                         }
                         if (viewer->isVisible())
                             viewer->hide();
                     });
}
