#include "platform/file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/exceptions.h"

namespace {

struct OpenFile {
    const TFileStream* stream;
    bool reads, writes;            // this stream's access
    bool letsRead, letsWrite;      // what its sharing mode lets others do
};

using FileId = std::pair<dev_t, ino_t>;

std::mutex registryMutex;
std::map<FileId, std::vector<OpenFile>>& Registry()
{
    static std::map<FileId, std::vector<OpenFile>> registry;
    return registry;
}

OpenFile Describe(const TFileStream* stream, std::uint16_t mode)
{
    if (mode == fmCreate)
        return {stream, true, true, false, false};
    const int access = mode & 0x3;
    const int share = (mode >> 4) & 0xF;
    OpenFile f{stream, access != 1, access != 0, false, false};
    if (share == 2) f.letsRead = true;
    if (share == 3) f.letsWrite = true;
    if (share == 4) f.letsRead = f.letsWrite = true;
    return f;
}

bool Compatible(const OpenFile& a, const OpenFile& b)
{
    return (!a.reads || b.letsRead) && (!a.writes || b.letsWrite) &&
           (!b.reads || a.letsRead) && (!b.writes || a.letsWrite);
}

FileId IdOf(int handle)
{
    struct stat st {};
    fstat(handle, &st);
    return {st.st_dev, st.st_ino};
}

}  // namespace

TFileStream::TFileStream(const AnsiString& fileName, std::uint16_t mode) : fileName_(fileName)
{
    const bool create = mode == fmCreate;
    auto fail = [&]() -> void {
        if (handle_ >= 0)
            ::close(handle_);
        handle_ = -1;
        if (create)
            throw EFCreateError(FormatMessage(Messages::FCreateError, fileName));
        throw EFOpenError(FormatMessage(Messages::FOpenError, fileName));
    };
    int flags = O_CLOEXEC;
    if (create) {
        flags |= O_RDWR | O_CREAT;
    } else {
        switch (mode & 0x3) {
        case 0: flags |= O_RDONLY; break;
        case 1: flags |= O_WRONLY; break;
        case 2: flags |= O_RDWR; break;
        default: fail();
        }
    }
    handle_ = ::open(fileName.c_str(), flags, 0666);
    if (handle_ < 0)
        fail();
    struct stat st {};
    if (fstat(handle_, &st) != 0 || S_ISDIR(st.st_mode))
        fail();

    const OpenFile self = Describe(this, mode);
    std::lock_guard lock(registryMutex);
    auto& others = Registry()[IdOf(handle_)];
    for (const auto& other : others)
        if (!Compatible(self, other))
            fail();
    if (create && ::ftruncate(handle_, 0) != 0)
        fail();
    others.push_back(self);
}

TFileStream::~TFileStream()
{
    if (handle_ < 0)
        return;
    {
        std::lock_guard lock(registryMutex);
        auto& registry = Registry();
        const auto it = registry.find(IdOf(handle_));
        if (it != registry.end()) {
            std::erase_if(it->second, [this](const OpenFile& f) { return f.stream == this; });
            if (it->second.empty())
                registry.erase(it);
        }
    }
    ::close(handle_);
}

int TFileStream::Read(void* buffer, int count)
{
    if (count <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::read(handle_, buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<int>(n);
}

int TFileStream::Write(const void* buffer, int count)
{
    if (count <= 0)
        return 0;
    ssize_t n;
    do {
        n = ::write(handle_, buffer, static_cast<std::size_t>(count));
    } while (n < 0 && errno == EINTR);
    return n < 0 ? 0 : static_cast<int>(n);
}

int TFileStream::Seek(int offset, std::uint16_t origin)
{
    if (origin > soFromEnd)
        origin = soFromCurrent, offset = 0;
    const int whence = origin == soFromCurrent ? SEEK_CUR : origin == soFromEnd ? SEEK_END : SEEK_SET;
    const off_t result = ::lseek(handle_, offset, whence);
    if (result < 0)
        return static_cast<int>(::lseek(handle_, 0, SEEK_CUR));
    return static_cast<int>(std::min<off_t>(result, 0x7FFFFFFF));
}

void TFileStream::SetSize(int newSize)
{
    if (::ftruncate(handle_, std::max(newSize, 0)) != 0)
        throw EWriteError(Messages::WriteError);
    if (Seek(0, soFromCurrent) > newSize)
        Seek(0, soFromEnd);
}
