#include "platform/stream.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "platform/exceptions.h"

int TStream::Seek(int, std::uint16_t)
{
    return 0;
}

void TStream::SetSize(int)
{
}

std::int64_t TStream::Seek64(std::int64_t offset, TSeekOrigin origin)
{
    if (offset < std::numeric_limits<int>::min() || offset > std::numeric_limits<int>::max())
        throw ERangeError(Messages::RangeError);
    return Seek(static_cast<int>(offset), static_cast<std::uint16_t>(origin));
}

std::int64_t TStream::GetPosition()
{
    return Seek(0, soFromCurrent);
}

void TStream::SetPosition(std::int64_t position)
{
    Seek64(position, TSeekOrigin::soBeginning);
}

std::int64_t TStream::GetSize()
{
    const int position = Seek(0, soFromCurrent);
    const int size = Seek(0, soFromEnd);
    Seek(position, soFromBeginning);
    return size;
}

void TStream::ReadBuffer(void* buffer, int count)
{
    if (count != 0 && Read(buffer, count) != count)
        throw EReadError(Messages::ReadError);
}

void TStream::WriteBuffer(const void* buffer, int count)
{
    if (count != 0 && Write(buffer, count) != count)
        throw EWriteError(Messages::WriteError);
}

std::int64_t TStream::CopyFrom(TStream* source, std::int64_t count)
{
    if (count == 0) {
        source->SetPosition(0);
        count = source->GetSize();
    }
    if (count < 0)
        throw EReadError(Messages::ReadError);
    std::vector<char> chunk(static_cast<std::size_t>(std::min<std::int64_t>(count, CopyChunk)));
    std::int64_t left = count;
    while (left > 0) {
        const int n = static_cast<int>(std::min<std::int64_t>(left, CopyChunk));
        source->ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}
