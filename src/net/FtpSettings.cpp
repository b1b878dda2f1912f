#include "net/FtpSettings.h"

FtpInstances FtpInstances::ofMainWindow(const QString& mainHost, const QString& settingsHost,
                                        const std::function<void()>& onConnected)
{
    FtpInstances i;
    i.idFtp1.host = mainHost;
    i.idFtp1.onConnected = onConnected;

    // User "fcom"; the bootstrap sets the host (again) and the password.
    i.fcommandftp.host = settingsHost;
    i.fcommandftp.user = QStringLiteral("fcom");

    i.idFtp1x.host = mainHost;
    i.idFtp1x.extendedPassive = true;
    i.idFtp1x.keepAliveIdleMs = 0;
    i.idFtp1x.keepAliveIntervalMs = 0;
    i.idFtp1x.onConnected = onConnected;
    return i;
}
