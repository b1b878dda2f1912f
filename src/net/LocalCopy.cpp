#include "net/LocalCopy.h"

#include "core/Helpers.h"
#include "net/FtpClient.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

namespace localcopy {

namespace {

// The client creates its file with the process's creation mask applied; narrowing the mask
// for the transfer gives the file its final mode from the first byte. Only this thread
// creates files meanwhile, and the old mask returns at once.
class CreationMask
{
public:
    explicit CreationMask(mode_t mode) : m_previous(::umask(~mode & 0777)) {}
    ~CreationMask() { ::umask(m_previous); }
    CreationMask(const CreationMask&) = delete;
    CreationMask& operator=(const CreationMask&) = delete;

private:
    mode_t m_previous;
};

} // namespace

void download(FtpClient& ftp, const QString& remoteName, const QString& localPath,
              QFileDevice::Permissions permissions)
{
    const mode_t mode = helpers::unixMode(permissions);
    const QString part = localPath + QStringLiteral(".part");
    const helpers::FileLock replacing(localPath);
    try {
        const CreationMask mask(mode);
        ftp.download(remoteName, part);
    } catch (const FtpError&) {
        QFile::remove(part);
        throw;
    }
    const QByteArray from = QFile::encodeName(part);
    const QByteArray to = QFile::encodeName(localPath);
    // Locked before it takes the name, so the lock covers the new copy from its first moment.
    const helpers::FileLock arriving(part);
    if (::chmod(from.constData(), mode) != 0 || ::rename(from.constData(), to.constData()) != 0) {
        const int error = errno;
        QFile::remove(part);
        throw FtpError(FtpError::Kind::Local,
                       QStringLiteral("Cannot replace \"%1\": %2")
                           .arg(localPath, QString::fromLocal8Bit(std::strerror(error))),
                       0, error);
    }
}

} // namespace localcopy
