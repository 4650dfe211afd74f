#include "server/state_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <cerrno>
#include <cstring>

TStateLock::~TStateLock()
{
    if (handle_ >= 0)
        ::close(handle_);
}

QString TStateLock::Take(const QString& directory)
{
    const QString path = QDir(directory).filePath(QStringLiteral("kivol.lock"));
    const int handle = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (handle < 0)
        return QStringLiteral("%1: cannot be opened: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(handle);
        if (error == EWOULDBLOCK)
            return QStringLiteral("%1: another kivolsrv uses this state directory; stop it first or give this one "
                                  "another --state-dir")
                .arg(directory);
        return QStringLiteral("%1: cannot be locked: %2").arg(path, QString::fromLocal8Bit(std::strerror(error)));
    }
    handle_ = handle;
    return {};
}
