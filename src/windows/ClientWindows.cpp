#include "windows/ClientWindows.h"

#include "app/AppContext.h"
#include "session/ConnectionUpkeep.h"
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

#include <future>

std::unique_ptr<WindowSet> ClientWindows::make()
{
    return std::make_unique<ClientWindows>();
}

ClientWindows::ClientWindows() = default;

ClientWindows::~ClientWindows() = default;

void ClientWindows::destroy()
{
    // Nothing is made any more while the windows go.
    m_ctx = nullptr;
    m_updateWatch = nullptr;
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
    m_ctx = &ctx;
    // At the start only what the tray icon needs: the texts and folders, and the mini bar with
    // the icon and the installation step. Every other window is made when first asked for, the
    // main window at once only for an account that signs in by itself (createMainWindow).
    // The tray icon's picture takes longer to decode than the rest of the bar to make: it is
    // read on a thread of its own meanwhile.
    std::future<QImage> picture =
        std::async(std::launch::async, [dataDir = ctx.folders().programDataDir] {
            return TMinimized::readTrayPicture(dataDir);
        });
    m_LC = std::make_unique<TLC>(ctx);
    m_Minimized = std::make_unique<TMinimized>(ctx, std::move(picture));
    wire(m_Minimized.get());
    // The settings server's faults reach the user whether or not a window is made.
    Desktop* desktop = ctx.platform().desktop.get();
    QObject::connect(&ctx.upkeep(), &ConnectionUpkeep::settingsProblem, m_Minimized.get(),
                     [desktop](const QString& text) { desktop->showError(text); });

    // The news: the popup is asked only for what is its to show; a desktop notification's
    // actions open the main window as the popup's clicks do.
    m_news = std::make_unique<NewsDelivery>(ctx);
    QObject::connect(m_Minimized.get(), &TMinimized::desktopNoticesChosen, m_news.get(),
                     &NewsDelivery::onDesktopChosen);
    QObject::connect(m_news.get(), &NewsDelivery::popupRequested, m_news.get(),
                     [this](const poll::Announcement& a) {
                         if (Tnetprog* popup = netprog())
                             popup->announce(a);
                     });
    QObject::connect(m_news.get(), &NewsDelivery::popupFilesArrived, m_news.get(),
                     [this](const poll::Announcement& a) {
                         if (Tnetprog* popup = netprog())
                             popup->filesFetched(a);
                     });
    QObject::connect(m_news.get(), &NewsDelivery::showMainWindowRequested, m_news.get(), [this] {
        TNetwork* network = Network();
        if (network && !network->isVisible())
            network->showFromPopup();
    });
    QObject::connect(m_news.get(), &NewsDelivery::openConversationRequested, m_news.get(),
                     [this](const QString& name, bool typeReply) {
                         if (TNetwork* network = Network())
                             network->openPopupSender(name, typeReply);
                     });
}

void ClientWindows::createMainWindow()
{
    // After the way in is on screen: the folders, the tray's menu and the update watch.
    m_ctx->folders().prepare();
    m_Minimized->completeTray();
    makeUpdateWatch();
    // The main window carries the automatic sign-in and the signed-in user's poll, and brings
    // the drop zone. Without an account that signs in by itself neither has anything to do
    // until the user opens one, and their pictures, fonts and controls are a third of the
    // program's memory.
    if (m_ctx->signsInAutomatically())
        Network();
}

void ClientWindows::makeUpdateWatch()
{
    if (m_updateWatch)
        return;
    // Owned by the mini bar, which lives as long as the set.
    m_updateWatch = new UpdateWatch(*m_ctx, m_Minimized.get());
    // No update while the user sees a window, but for a bar that never goes.
    AppContext* ctx = m_ctx;
    m_updateWatch->setWindowsShown([this, ctx] {
        const QWidget* listed[] = {m_Network.get(),   m_netprog.get(),  m_NetMenu.get(),
                                   m_Minimized.get(), m_dragform.get(), m_fList.get()};
        const QWidget* alwaysShown = ctx->barStandsInForTray() ? m_Minimized.get() : nullptr;
        for (const QWidget* w : listed) {
            if (w && w != alwaysShown && w->isVisible())
                return true;
        }
        return false;
    });
}

template <typename W> W* ClientWindows::made(std::unique_ptr<W>& window) const
{
    if (!window && m_ctx) {
        m_Minimized->loadFonts();
        window = std::make_unique<W>(*m_ctx);
        // Made on first use from a const accessor; the wiring is the set's own business.
        const_cast<ClientWindows*>(this)->wire(window.get());
        m_ctx->windowMade(window.get());
    }
    return window.get();
}

Tdragform* ClientWindows::dragform() const
{
    return made(m_dragform);
}

TNetwork* ClientWindows::Network() const
{
    // The drop zone reports on the outbox's sends of files dropped on it in an earlier run,
    // which go up once the main window signed the user in.
    dragform();
    return made(m_Network);
}

Tnetprog* ClientWindows::netprog() const
{
    return made(m_netprog);
}

TNetMenu* ClientWindows::NetMenu() const
{
    return made(m_NetMenu);
}

TPhoto* ClientWindows::Photo() const
{
    return made(m_Photo);
}

TfList* ClientWindows::fList() const
{
    return made(m_fList);
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

// The wiring between the windows. A request that opens a window reaches it through its
// accessor, which makes it; every other connection is made when the later of its two windows
// is, so that each one below runs once.

void ClientWindows::wire(TMinimized* bar)
{
    // Until the main window is made it counts as closed.
    bar->setMainWindowPresence([this] {
        const TNetwork* network = m_Network.get();
        if (!network)
            return TMinimized::MainWindowPresence{};
        return TMinimized::MainWindowPresence{network->isVisible(), network->isActiveWindow(),
                                              network->fading()};
    });
    // The main window it opens, raises and puts away, and the picker of its drops.
    Desktop* desktop = m_ctx->platform().desktop.get();
    QObject::connect(bar, &TMinimized::showMainWindowRequested, bar, [this] {
        if (TNetwork* network = Network())
            network->show();
    });
    QObject::connect(bar, &TMinimized::raiseMainWindowRequested, bar, [this, desktop] {
        if (TNetwork* network = Network())
            desktop->forceForeground(network);
    });
    QObject::connect(bar, &TMinimized::closeMainWindowRequested, bar, [this] {
        if (TNetwork* network = Network())
            network->StartFadeOut();
    });
    // The bar also comes and goes while the set is made and destroyed, when there is no main
    // window to ask.
    QObject::connect(bar, &TMinimized::taskbarButtonUnwanted, bar, [this] {
        if (m_Network)
            m_Network->setTaskbarButton(false);
    });
    QObject::connect(bar, &TMinimized::openConversationRequested, bar, [this](const QString& name) {
        if (TNetwork* network = Network())
            network->selectForDrop(name);
    });
    QObject::connect(bar, &TMinimized::pickRecipientRequested, bar, [this](const QRect& place) {
        if (TfList* picker = fList())
            picker->Pick(place);
    });
}

void ClientWindows::wire(TNetwork* main)
{
    TMinimized* bar = m_Minimized.get();
    // Files the mini bar holds for the server go up when the detector finds it again.
    QObject::connect(main, &TNetwork::connectionStateChanged, bar, &TMinimized::sendWaitingFiles);
    QObject::connect(main, &TNetwork::windowClosed, bar, [bar] { bar->setMainWindowOpenFlag(0); });
    main->setOtherWindows({[this] { return m_NetMenu && m_NetMenu->isVisible(); },
                           [this] { return m_Photo && m_Photo->isVisible(); }});
    QObject::connect(main, &TNetwork::avatarViewRequested, main, [this](const QString& picture) {
        if (TPhoto* viewer = Photo())
            viewer->showPicture(picture);
    });
    QObject::connect(main, &TNetwork::quickSendRequested, main, [this] {
        if (TNetMenu* quick = NetMenu())
            quick->ShowModal();
    });
    QObject::connect(main, &TNetwork::dropZoneRequested, main, [this] {
        if (Tdragform* zone = dragform())
            zone->ShowForNetwork();
    });
    // The sign-in screen leaves none of the signed-in user's windows open.
    QObject::connect(main, &TNetwork::otherWindowsCloseRequested, main, [this] {
        if (m_netprog && m_netprog->isVisible())
            m_netprog->beginClosing();
        if (m_NetMenu && m_NetMenu->isVisible())
            m_NetMenu->StartFadeOut();
        // Its close brings the main window back.
        if (m_dragform && m_dragform->isVisible()) {
            m_dragform->clearDropfiles();
            m_dragform->StartFadeOut();
        }
        if (m_Photo && m_Photo->isVisible())
            m_Photo->hide();
    });

    if (m_dragform)
        wire(m_dragform.get(), main);
}

void ClientWindows::wire(Tnetprog* popup)
{
    TNetwork* network = Network();
    // The main window to answer in, and the sender's conversation there.
    QObject::connect(popup, &Tnetprog::announcementShown, network, &TNetwork::forgetResumedShow);
    QObject::connect(popup, &Tnetprog::showMainWindowRequested, network, [network] {
        if (!network->isVisible())
            network->showFromPopup();
    });
    QObject::connect(popup, &Tnetprog::openConversationRequested, network,
                     &TNetwork::openPopupSender);
}

void ClientWindows::wire(TNetMenu* quick)
{
    TNetwork* network = Network();
    QObject::connect(network, &TNetwork::quickSendCloseRequested, quick, &TNetMenu::StartFadeOut);
    // Its file button hands over to the drop zone as the main window's does.
    QObject::connect(quick, &TNetMenu::fileSendRequested, network,
                     [network] { network->conversation().onSendFile(); });
}

void ClientWindows::wire(Tdragform* zone)
{
    // It is made before the main window, which then connects the two.
    if (m_Network)
        wire(zone, m_Network.get());
}

void ClientWindows::wire(Tdragform* zone, TNetwork* network)
{
    Desktop* desktop = m_ctx->platform().desktop.get();
    // Files it holds for the server go up when the detector finds it again.
    QObject::connect(network, &TNetwork::connectionStateChanged, zone,
                     &Tdragform::sendWaitingFiles);
    // Its close goes back to the main window as it was.
    QObject::connect(zone, &Tdragform::returnToMainWindowRequested, network, [desktop, network] {
        network->showResumed();
        desktop->forceForeground(network);
    });
}

void ClientWindows::wire(TPhoto* viewer)
{
    QObject::connect(Network(), &TNetwork::avatarViewerCloseRequested, viewer,
                     &TPhoto::StartFadeOut);
}

void ClientWindows::wire(TfList* picker)
{
    QObject::connect(picker, &TfList::finished, m_Minimized.get(), &TMinimized::recipientPicked);
}
