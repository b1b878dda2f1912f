#include "update/Payload.h"

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace payload {

namespace {

const QByteArray kArchiveMark = QByteArrayLiteral("LKSPARC1");
const QByteArray kTrailerMark = QByteArrayLiteral("LKSPPAY1");
constexpr quint8 kFolder = 'd';
constexpr quint8 kFile = 'f';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

void setError(QString* error, const QString& text)
{
    if (error)
        *error = text;
}

// Only the owner's choice of executable or not survives; nothing becomes writable by others.
QFileDevice::Permissions modeFor(bool executable)
{
    QFileDevice::Permissions p = QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                 QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (executable)
        p |= QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    return p;
}

bool safeName(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'/') || name.contains(u'\\'))
        return false;
    const auto parts = name.split(u'/');
    for (const QString& part : parts) {
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
    }
    return true;
}

} // namespace

QByteArray packFolder(const QString& folder, QString* error, const QStringList& leaveOut)
{
    const QDir root(folder);
    if (!root.exists()) {
        setError(error, QStringLiteral("no folder %1").arg(folder));
        return {};
    }
    QByteArray archive;
    QDataStream out(&archive, QIODevice::WriteOnly);
    out.setVersion(kStreamVersion);
    out.writeRawData(kArchiveMark.constData(), int(kArchiveMark.size()));
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System,
                    QDirIterator::Subdirectories);
    QStringList names;
    while (it.hasNext())
        names.append(it.next());
    names.sort(); // a folder comes before its entries
    for (const QString& path : std::as_const(names)) {
        const QFileInfo info(path);
        if (info.isSymLink())
            continue;
        const QString name = root.relativeFilePath(path);
        if (leaveOut.contains(name.section(u'/', 0, 0)))
            continue;
        if (info.isDir()) {
            out << kFolder << name << false << QByteArray();
            continue;
        }
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            setError(error, QStringLiteral("cannot read %1").arg(path));
            return {};
        }
        out << kFile << name << bool(info.permissions() & QFileDevice::ExeOwner)
            << qCompress(file.readAll());
    }
    return archive;
}

bool unpack(const QByteArray& archive, const QString& target, QString* error)
{
    if (!archive.startsWith(kArchiveMark)) {
        setError(error, QStringLiteral("not an update archive"));
        return false;
    }
    if (QFileInfo::exists(target) || !QDir().mkpath(target)) {
        setError(error, QStringLiteral("cannot make a new folder %1").arg(target));
        return false;
    }
    QDataStream in(archive);
    in.setVersion(kStreamVersion);
    in.skipRawData(int(kArchiveMark.size()));
    const QString base = target.endsWith(u'/') ? target : target + u'/';
    while (!in.atEnd()) {
        quint8 type = 0;
        QString name;
        bool executable = false;
        QByteArray data;
        in >> type >> name >> executable >> data;
        if (in.status() != QDataStream::Ok || !safeName(name) ||
            (type != kFolder && type != kFile)) {
            setError(error, QStringLiteral("damaged update archive"));
            return false;
        }
        const QString path = base + name;
        if (type == kFolder) {
            if (!QDir().mkpath(path)) {
                setError(error, QStringLiteral("cannot make %1").arg(path));
                return false;
            }
            continue;
        }
        const QByteArray bytes = qUncompress(data);
        QFile file(path);
        if (!QDir().mkpath(QFileInfo(path).absolutePath()) ||
            !file.open(QIODevice::WriteOnly | QIODevice::NewOnly) ||
            file.write(bytes) != bytes.size() || !file.setPermissions(modeFor(executable))) {
            setError(error, QStringLiteral("cannot write %1").arg(path));
            return false;
        }
    }
    return true;
}

QByteArray attach(const QByteArray& program, const QByteArray& archive)
{
    QByteArray size;
    QDataStream(&size, QIODevice::WriteOnly) << quint64(archive.size());
    return program + archive + size + kTrailerMark;
}

QByteArray extract(const QByteArray& updaterFile)
{
    const qsizetype trailer = 8 + kTrailerMark.size();
    if (updaterFile.size() < trailer || !updaterFile.endsWith(kTrailerMark))
        return {};
    quint64 size = 0;
    QDataStream(updaterFile.mid(updaterFile.size() - trailer, 8)) >> size;
    if (size > quint64(updaterFile.size() - trailer))
        return {};
    return updaterFile.mid(updaterFile.size() - trailer - qsizetype(size), qsizetype(size));
}

std::optional<int> programBuild(const QByteArray& programFile)
{
    const QByteArray mark(kBuildMark);
    for (qsizetype at = programFile.indexOf(mark); at >= 0;
         at = programFile.indexOf(mark, at + 1)) {
        const qsizetype from = at + mark.size();
        qsizetype end = from;
        while (end < programFile.size() && end - from < 9 && programFile[end] >= '0' &&
               programFile[end] <= '9')
            ++end;
        if (end > from && end < programFile.size() && programFile[end] == ';')
            return programFile.mid(from, end - from).toInt();
    }
    return std::nullopt;
}

} // namespace payload
