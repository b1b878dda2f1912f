#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

// A scratch folder for one test, removed afterwards.
class TempTree
{
public:
    QString path(const QString& relative = {}) const { return m_dir.path() + u'/' + relative; }
    QString write(const QString& relative, const QByteArray& bytes) const
    {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        return p;
    }
    static QByteArray read(const QString& p)
    {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
};
