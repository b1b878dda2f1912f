#pragma once

#include "app/WindowSet.h"

#include <memory>

class NewsDelivery;
class UpdateWatch;

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

    void createMainWindow() override;

    TLC* LC() const override { return m_LC.get(); }
    TMinimized* Minimized() const override { return m_Minimized.get(); }
    // Made on first use.
    Tdragform* dragform() const override;
    TNetwork* Network() const override;
    Tnetprog* netprog() const override;
    TNetMenu* NetMenu() const override;
    TPhoto* Photo() const override;
    TfList* fList() const override;
    std::vector<QWidget*> all() const override;

    void showTrayIcon() override;
    void showMiniBar() override;

private:
    // Makes the window in `window` unless it is there or the set is going, and wires it.
    template <typename W> W* made(std::unique_ptr<W>& window) const;
    // Each window's connections to the others, made when the window is (ClientWindows.cpp).
    void wire(TMinimized* bar);
    void wire(TNetwork* main);
    void wire(Tnetprog* popup);
    void wire(TNetMenu* quick);
    void wire(Tdragform* zone);
    void wire(Tdragform* zone, TNetwork* main);
    void wire(TPhoto* viewer);
    void wire(TfList* picker);
    void makeUpdateWatch();

    // Null before create() and once destroy() began.
    AppContext* m_ctx = nullptr;
    // Destroyed in this order's reverse, whatever order they were made in.
    std::unique_ptr<TLC> m_LC;
    mutable std::unique_ptr<Tdragform> m_dragform;
    std::unique_ptr<TMinimized> m_Minimized;
    mutable std::unique_ptr<TNetwork> m_Network;
    mutable std::unique_ptr<Tnetprog> m_netprog;
    mutable std::unique_ptr<TNetMenu> m_NetMenu;
    mutable std::unique_ptr<TPhoto> m_Photo;
    mutable std::unique_ptr<TfList> m_fList;
    // Routes the news to the popup or to the desktop's notifications.
    std::unique_ptr<NewsDelivery> m_news;
    UpdateWatch* m_updateWatch = nullptr; // owned by the mini bar
};
