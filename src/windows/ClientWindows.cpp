#include "windows/ClientWindows.h"

#include "app/AppContext.h"
#include "windows/ConversationView.h"
#include "windows/NewsDelivery.h"
#include "windows/UpdateWatch.h"
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

    TNetwork* network = m_Network.get();
    Desktop* desktop = ctx.platform().desktop.get();

    // The mini bar: the main window it opens, raises and puts away, and the picker of its drops.
    TMinimized* miniBar = m_Minimized.get();
    miniBar->setMainWindowPresence([network] {
        return TMinimized::MainWindowPresence{network->isVisible(), network->isActiveWindow(),
                                              network->fading()};
    });
    QObject::connect(miniBar, &TMinimized::showMainWindowRequested, network, &QWidget::show);
    QObject::connect(miniBar, &TMinimized::raiseMainWindowRequested, network,
                     [desktop, network] { desktop->forceForeground(network); });
    QObject::connect(miniBar, &TMinimized::closeMainWindowRequested, network,
                     &TNetwork::StartFadeOut);
    QObject::connect(miniBar, &TMinimized::taskbarButtonUnwanted, network,
                     [network] { network->setTaskbarButton(false); });
    QObject::connect(miniBar, &TMinimized::openConversationRequested, network,
                     [network](const QString& name) { network->selectForDrop(name); });
    QObject::connect(miniBar, &TMinimized::pickRecipientRequested, m_fList.get(), &TfList::Pick);
    QObject::connect(m_fList.get(), &TfList::finished, miniBar, &TMinimized::recipientPicked);

    // The popup: the main window to answer in, and the sender's conversation there.
    QObject::connect(m_netprog.get(), &Tnetprog::showMainWindowRequested, network, [network] {
        if (!network->isVisible())
            network->showFromPopup();
    });
    QObject::connect(m_netprog.get(), &Tnetprog::openConversationRequested, network,
                     &TNetwork::openPopupSender);

    // The news: the popup is asked only for what is its to show; a desktop notification's
    // actions open the main window as the popup's clicks do.
    m_news = std::make_unique<NewsDelivery>(ctx);
    QObject::connect(m_news.get(), &NewsDelivery::popupRequested, m_news.get(),
                     [this](const poll::Announcement& a) { netprog()->announce(a); });
    QObject::connect(m_news.get(), &NewsDelivery::popupFilesArrived, m_news.get(),
                     [this](const poll::Announcement& a) { netprog()->filesFetched(a); });
    QObject::connect(m_news.get(), &NewsDelivery::showMainWindowRequested, network, [network] {
        if (!network->isVisible())
            network->showFromPopup();
    });
    QObject::connect(m_news.get(), &NewsDelivery::openConversationRequested, network,
                     &TNetwork::openPopupSender);

    // The quick-send window: its file button hands over to the drop zone as the main window's does.
    QObject::connect(m_NetMenu.get(), &TNetMenu::fileSendRequested, network,
                     [network] { network->conversation().onSendFile(); });

    // The drop zone: its close goes back to the main window as it was.
    QObject::connect(m_dragform.get(), &Tdragform::returnToMainWindowRequested, network,
                     [desktop, network] {
                         network->showResumed();
                         desktop->forceForeground(network);
                     });

    // The update watch: no update while the user sees a window, but for a bar that never goes.
    if (auto* watch = network->findChild<UpdateWatch*>()) {
        watch->setWindowsShown([this, &ctx] {
            const QWidget* listed[] = {m_Network.get(),   m_netprog.get(),  m_NetMenu.get(),
                                       m_Minimized.get(), m_dragform.get(), m_fList.get()};
            const QWidget* alwaysShown = ctx.barStandsInForTray() ? m_Minimized.get() : nullptr;
            for (const QWidget* w : listed) {
                if (w && w != alwaysShown && w->isVisible())
                    return true;
            }
            return false;
        });
    }
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
    QObject::connect(popup, &Tnetprog::announcementShown, main, &TNetwork::forgetResumedShow);
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
