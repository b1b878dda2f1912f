#pragma once

#include "app/WindowSet.h"

#include <memory>

class NewsDelivery;

// The program's windows, owned for the application context that made them.
class ClientWindows final : public WindowSet
{
public:
    // The factory the program and the tests hand to their AppContext.
    static std::unique_ptr<WindowSet> make();

    ClientWindows();
    ~ClientWindows() override;

    void create(AppContext& ctx) override;
    void destroy() override;

    TLC* LC() const override { return m_LC.get(); }
    Tdragform* dragform() const override { return m_dragform.get(); }
    TMinimized* Minimized() const override { return m_Minimized.get(); }
    TNetwork* Network() const override { return m_Network.get(); }
    Tnetprog* netprog() const override { return m_netprog.get(); }
    TNetMenu* NetMenu() const override { return m_NetMenu.get(); }
    TPhoto* Photo() const override { return m_Photo.get(); }
    TfList* fList() const override { return m_fList.get(); }
    std::vector<QWidget*> all() const override;

    void showTrayIcon() override;
    void showMiniBar() override;

private:
    // The main window's intents, connected to the windows that carry them out.
    void wireMainWindow();

    // Declared in creation order: destroyed in reverse.
    std::unique_ptr<TLC> m_LC;
    std::unique_ptr<Tdragform> m_dragform;
    std::unique_ptr<TMinimized> m_Minimized;
    std::unique_ptr<TNetwork> m_Network;
    std::unique_ptr<Tnetprog> m_netprog;
    std::unique_ptr<TNetMenu> m_NetMenu;
    std::unique_ptr<TPhoto> m_Photo;
    std::unique_ptr<TfList> m_fList;
    // Routes the news to the popup or to the desktop's notifications.
    std::unique_ptr<NewsDelivery> m_news;
};
