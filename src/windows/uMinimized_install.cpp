// The mini bar's part in installation and autostart: the start's installation step decides what
// the tray menu offers, and two of its items switch the autostart off and on.
#include "windows/uMinimized.h"

#include "windows/Installation.h"
#include "windows/TrayIcon.h"

void TMinimized::InstallOrRegister()
{
    // No settings while a first start asks where to install.
    if (!m_installation->installed())
        m_tray->setSettingsShown(false);
    const Installation::Start start = m_installation->start();
    m_tray->setSettingsShown(true);
    // The installed copy takes over; this one ends and offers nothing.
    if (start == Installation::Start::HandedOver)
        return;
    m_tray->setOpenItemShown(true);
    m_tray->setAutostart(start == Installation::Start::Installed);
}

void TMinimized::s1Click()
{
    if (m_installation->removeAutostart())
        m_tray->setAutostart(false);
}

void TMinimized::s2Click()
{
    m_tray->setAutostart(true);
    m_installation->addAutostart();
}
