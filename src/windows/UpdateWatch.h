#pragma once

#include "net/SelfUpdate.h"

#include <QObject>

#include <functional>

class AppContext;
class QTimer;

// The self-update: while the program sits unseen and the network is up, asks the
// server every few seconds whether a newer build is out and, once a verified updater is in
// place, starts it and ends every copy of the program.
class UpdateWatch : public QObject
{
    Q_OBJECT

public:
    static constexpr int kIntervalMs = 7000;

    explicit UpdateWatch(AppContext& ctx, QObject* parent = nullptr);

    QTimer* timer() const { return m_updateTimer; }
    // One tick; public so that tests run it as the timer would.
    void updatetimerTimer();
    // What the last pass that reached the server found.
    const selfupdate::Result& lastResult() const { return m_lastResult; }
    // Whether the user sees one of the program's windows, as the wiring that made them tells.
    void setWindowsShown(std::function<bool()> shown);

private:
    bool anyWindowVisible() const;
    // The server's answer to a pass.
    void onUpdateChecked(const selfupdate::Result& result);
    void report(const selfupdate::Result& result);

    AppContext& m_ctx;
    std::function<bool()> m_windowsShown;
    QTimer* m_updateTimer = nullptr; // updatetimer
    selfupdate::Result m_lastResult;
    QString m_lastReported; // each reason reaches the log once, not every 7 seconds
};
