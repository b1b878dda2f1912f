#pragma once

#include "net/PollCycle.h"

class AppContext;
class TNetwork;

// Applies a poll cycle's news to the main window and the popup.
class WindowSink : public poll::Sink
{
public:
    WindowSink(TNetwork& window, AppContext& ctx) : m_w(window), m_ctx(ctx) {}

    void playSound() override;
    void refreshOpenChat(const QStringList& chat) override;
    void announce(const poll::Announcement& a) override;
    void filesFetched(const poll::Announcement& a) override;
    void pumpEvents() override;

private:
    TNetwork& m_w;
    AppContext& m_ctx;
};
