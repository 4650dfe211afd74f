#include "platform/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace {

QString Failure(const QString& path, const char* step, int error)
{
    return QStringLiteral("%1: %2: %3").arg(path, QString::fromLatin1(step), QString::fromLocal8Bit(std::strerror(error)));
}

// Writes every byte, retrying after short writes and interruptions.
bool WriteAll(int handle, const QByteArray& bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(handle, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

// Flushes the directory that holds path, so that a rename in it is durable.
int FsyncDirectory(const QString& path, const TAtomicFileCalls& calls)
{
    const QByteArray directory = QFile::encodeName(QFileInfo(path).absolutePath());
    const int handle = ::open(directory.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0)
        return -1;
    const int result = calls.Fsync(handle);
    const int error = errno;
    ::close(handle);
    errno = error;
    return result;
}

}  // namespace

TAtomicFileCalls SystemFileCalls()
{
    return {[](int handle) { return ::fsync(handle); },
            [](const char* from, const char* to) { return ::rename(from, to); }};
}

QString WriteFileAtomically(const QString& path, const QByteArray& bytes, const TAtomicFileCalls& calls)
{
    const QByteArray target = QFile::encodeName(path);
    QByteArray temporary = target + ".tmp-XXXXXX";
    const int handle = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (handle < 0)
        return Failure(path, "cannot create a temporary file beside it", errno);

    struct stat old {};
    const mode_t mode = ::stat(target.constData(), &old) == 0 ? (old.st_mode & 07777) : 0600;
    const char* step = nullptr;
    if (::fchmod(handle, mode) != 0)
        step = "cannot set the temporary file's permissions";
    else if (!WriteAll(handle, bytes))
        step = "cannot write the temporary file";
    else if (calls.Fsync(handle) != 0)
        step = "cannot flush the temporary file to disk";
    int error = errno;
    ::close(handle);
    if (!step && calls.Rename(temporary.constData(), target.constData()) != 0) {
        step = "cannot rename the temporary file over it";
        error = errno;
    }
    if (step) {
        ::unlink(temporary.constData());
        return Failure(path, step, error);
    }
    if (FsyncDirectory(path, calls) != 0)
        return Failure(path, "cannot flush its directory to disk", errno);
    return {};
}
