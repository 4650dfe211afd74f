#include "transport/const_memory_stream.h"

#include <algorithm>
#include <cstring>

#include "platform/exceptions.h"

TConstMemoryStream::TConstMemoryStream()
{
    SetBuffer(nullptr, 0);
}

TConstMemoryStream::TConstMemoryStream(const void* buffer, int size)
{
    SetBuffer(buffer, size);
}

void TConstMemoryStream::SetBuffer(const void* buffer, int size)
{
    Memory = static_cast<const char*>(buffer);
    size_ = std::max(size, 0);
    position_ = 0;
}

int TConstMemoryStream::Read(void* buffer, int count)
{
    const int n = std::clamp(size_ - position_, 0, std::max(count, 0));
    if (n > 0)
        std::memcpy(buffer, Memory + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

int TConstMemoryStream::Write(const void*, int)
{
    throw Exception("バッファは書き込み禁止です.");
}

int TConstMemoryStream::Seek(int offset, std::uint16_t origin)
{
    std::int64_t target = position_;
    switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target += offset; break;
    case soFromEnd: target = std::int64_t{size_} + offset; break;
    default: break;
    }
    position_ = static_cast<int>(std::clamp<std::int64_t>(target, 0, size_));
    return position_;
}
