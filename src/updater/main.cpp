// LarkspireUpdate: started by the program beside it once it has verified this file, after
// which every copy of the program ends. Installs the runnable folder this file carries.
#include "core/Folders.h"
#include "update/Run.h"
#include "update/Signature.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    // Started without a terminal: the log goes where the user can find it afterwards.
    const UserEnvironment env = UserEnvironment::fromProcess();
    const QString logFolder = env.effectiveStateHome() + QStringLiteral("larkspire/");
    QDir().mkpath(logFolder);
    QFile logFile(logFolder + QStringLiteral("update.log"));
    logFile.open(QIODevice::Append | QIODevice::Text);
    const auto log = [&logFile](const QString& line) {
        const QByteArray text =
            (QDateTime::currentDateTime().toString(Qt::ISODate) + u' ' + line + u'\n').toUtf8();
        logFile.write(text);
        logFile.flush();
        fputs(text.constData(), stderr);
    };

    updater::RunOptions options;
    options.selfPath = QCoreApplication::applicationFilePath();
    options.publicKey =
        signing::keyFromHex(QStringLiteral(LARKSPIRE_UPDATE_PUBLIC_KEY), signing::kPublicKeyBytes);
    return updater::run(options, log);
}
