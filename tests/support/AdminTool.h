#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// Runs the operators' tool (the test defines LARKSPIRE_ADMIN as its path) and returns its exit
// code, -1 when it crashed; `output` gets what it printed on either channel.
inline int runAdminTool(const QStringList& args, QString* output = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(LARKSPIRE_ADMIN), args);
    p.waitForFinished(120000);
    if (output)
        *output = QString::fromUtf8(p.readAll());
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
