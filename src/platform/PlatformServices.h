#pragma once

#include "platform/Autostart.h"
#include "platform/Desktop.h"
#include "platform/Fonts.h"
#include "platform/NetworkAdapter.h"
#include "platform/Notifications.h"
#include "platform/Processes.h"
#include "platform/SettingsStore.h"
#include "platform/Shell.h"
#include "platform/Shortcuts.h"
#include "platform/Sound.h"

#include <memory>

struct UserEnvironment;

// The operating-system services of one client. The program uses the Linux ones; tests put
// doubles in their place.
struct PlatformServices
{
    std::unique_ptr<Autostart> autostart;
    std::unique_ptr<Shortcuts> shortcuts;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<Shell> shell;
    std::unique_ptr<Processes> processes;
    std::unique_ptr<NetworkAdapter> adapter;
    std::unique_ptr<Sound> sound;
    std::unique_ptr<Fonts> fonts;
    std::unique_ptr<Desktop> desktop;
    std::unique_ptr<Notifications> notifications;

    // soundFile is a wave file to fall back on where the sound theme has no event sound.
    static PlatformServices forLinux(const UserEnvironment& env, const QString& soundFile = {});
};
