#pragma once

#include <functional>
#include <memory>
#include <vector>

class AppContext;
class QWidget;
class TLC;
class Tdragform;
class TMinimized;
class TNetwork;
class Tnetprog;
class TNetMenu;
class TPhoto;
class TfList;

// The eight windows of one client. The windows library implements it and the program hands the
// context a factory for it, so the context needs no window code: the windows depend on the
// context, never the other way round.
class WindowSet
{
public:
    using Factory = std::function<std::unique_ptr<WindowSet>()>;

    virtual ~WindowSet() = default;

    // Creates the windows that work from the start, hidden: the texts' window and the mini bar,
    // which holds the tray icon. The context holds the set before this runs, so a window can
    // already reach those made before it.
    virtual void create(AppContext& ctx) = 0;
    // What works from the start once the tray icon or the mini bar shows, so that they come
    // first: among it the main window when it has to sign in by itself.
    virtual void createMainWindow() = 0;
    // Destroys them in the reverse of the order below, and makes none from then on; the context
    // still reaches the ones left, as a window may use an earlier one while it goes.
    virtual void destroy() = 0;

    // The windows that create() does not make are made, hidden, when first asked for here.
    virtual TLC* LC() const = 0;
    virtual Tdragform* dragform() const = 0;
    virtual TMinimized* Minimized() const = 0;
    virtual TNetwork* Network() const = 0;
    virtual Tnetprog* netprog() const = 0;
    virtual TNetMenu* NetMenu() const = 0;
    virtual TPhoto* Photo() const = 0;
    virtual TfList* fList() const = 0;
    // In the order above; those not made yet are null.
    virtual std::vector<QWidget*> all() const = 0;

    // The two ways into a running client.
    virtual void showTrayIcon() = 0;
    virtual void showMiniBar() = 0;
};
