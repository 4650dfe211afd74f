#include "platform/memory_stream.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>

#include "platform/exceptions.h"
#include "platform/file_stream.h"

int TMemoryStream::Read(void* buffer, int count)
{
    const int size = static_cast<int>(data_.size());
    const int n = std::clamp(size - position_, 0, std::max(count, 0));
    if (n > 0)
        std::memcpy(buffer, data_.data() + position_, static_cast<std::size_t>(n));
    position_ += n;
    return n;
}

int TMemoryStream::Write(const void* buffer, int count)
{
    if (count <= 0 || position_ > std::numeric_limits<int>::max() - count)
        return 0;
    const int end = position_ + count;
    if (end > static_cast<int>(data_.size()))
        SetSize(end);
    std::memcpy(data_.data() + position_, buffer, static_cast<std::size_t>(count));
    position_ = end;
    return count;
}

int TMemoryStream::Seek(int offset, std::uint16_t origin)
{
    std::int64_t target = position_;
    switch (origin) {
    case soFromBeginning: target = offset; break;
    case soFromCurrent: target = std::int64_t{position_} + offset; break;
    case soFromEnd: target = static_cast<std::int64_t>(data_.size()) + offset; break;
    default: break;
    }
    // Positions past the end are allowed (a later write fills the gap); a
    // position before the start is not.
    position_ = static_cast<int>(std::clamp<std::int64_t>(target, 0, std::numeric_limits<int>::max()));
    return position_;
}

void TMemoryStream::SetSize(int newSize)
{
    try {
        data_.resize(static_cast<std::size_t>(std::max(newSize, 0)));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory(Messages::OutOfMemory);
    }
    position_ = std::min(position_, static_cast<int>(data_.size()));
}

void TMemoryStream::Clear()
{
    data_.clear();
    position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream* source)
{
    source->SetPosition(0);
    const auto size = source->GetSize();
    SetSize(static_cast<int>(size));
    position_ = 0;
    source->ReadBuffer(data_.data(), static_cast<int>(size));
}

void TMemoryStream::LoadFromFile(const AnsiString& fileName)
{
    TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    LoadFromStream(&file);
}
