#include "transport/piped_memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/exceptions.h"

TPipedMemoryStream::TPipedMemoryStream()
{
    Init(4096);
}

TPipedMemoryStream::TPipedMemoryStream(int capacity)
{
    Init(capacity);
}

TPipedMemoryStream::~TPipedMemoryStream()
{
    std::free(Buffer);
}

void TPipedMemoryStream::Init(int capacity)
{
    capacity = std::max(capacity, 0);
    // At least one byte, so that Buffer is a real address even for capacity 0.
    char* block = static_cast<char*>(std::calloc(static_cast<std::size_t>(std::max(capacity, 1)), 1));
    if (!block)
        throw EOutOfMemory(Messages::OutOfMemory);
    std::free(Buffer);
    Capacity = capacity;
    Buffer = Head = Tail = block;
}

void TPipedMemoryStream::Clear()
{
    Head = Tail = Buffer;
}

void TPipedMemoryStream::Trim()
{
    if (Count() == 0 && Capacity > 0)
        Init(0);
}

void TPipedMemoryStream::MoveToFront(int keep, std::int64_t newCapacity)
{
    const int size = std::min(Count(), keep);
    std::memmove(Buffer, Head, static_cast<std::size_t>(size));
    if (newCapacity > Capacity) {
        if (newCapacity > std::numeric_limits<int>::max())
            throw EOutOfMemory(Messages::OutOfMemory);
        char* block = static_cast<char*>(std::realloc(Buffer, static_cast<std::size_t>(newCapacity)));
        if (!block) {
            Head = Buffer;
            Tail = Buffer + size;
            throw EOutOfMemory(Messages::OutOfMemory);
        }
        Buffer = block;
        Capacity = static_cast<int>(newCapacity);
    }
    Head = Buffer;
    Tail = Buffer + size;
}

void TPipedMemoryStream::MakeRoom(int count)
{
    const std::int64_t size = Count();
    if ((Tail - Buffer) + std::int64_t{count} <= Capacity)
        return;
    const std::int64_t extra = (size + count) - (Capacity - size);
    MoveToFront(static_cast<int>(size), extra > 0 ? Capacity + extra : Capacity);
}

char* TPipedMemoryStream::Reserve(int count)
{
    MakeRoom(std::max(count, 0));
    return Tail;
}

int TPipedMemoryStream::Write(const void* buffer, int count)
{
    if (count <= 0)
        return 0;
    MakeRoom(count);
    std::memcpy(Tail, buffer, static_cast<std::size_t>(count));
    Tail += count;
    return count;
}

int TPipedMemoryStream::ReadFromBuffer(const void* buffer, int count)
{
    return Write(buffer, count);
}

std::int64_t TPipedMemoryStream::ReadFromStream(TStream* source)
{
    return ReadFromStream(source, 0);
}

std::int64_t TPipedMemoryStream::ReadFromStream(TStream* source, int count)
{
    if (count == 0) {
        count = static_cast<int>(std::clamp<std::int64_t>(source->GetSize(), 0, std::numeric_limits<int>::max()));
        if (count == 0)
            return 0;
    }
    if (count < 0)
        return 0;
    MakeRoom(count);
    const int n = std::clamp(source->Read(Tail, count), 0, count);
    Tail += n;
    return n;
}

bool TPipedMemoryStream::ReadFromStreamUntil(TStream* source, int limit)
{
    const std::int64_t waiting = source->GetSize();
    if (waiting == 0)
        return false;
    std::int64_t m = std::min<std::int64_t>(waiting, std::int64_t{limit} - Count());
    if (m > 0)
        m -= ReadFromStream(source, static_cast<int>(std::min<std::int64_t>(m, std::numeric_limits<int>::max())));
    return m <= 0;
}

int TPipedMemoryStream::Read(void* buffer, int count)
{
    const int n = std::clamp(count, 0, Count());
    if (n > 0)
        std::memcpy(buffer, Head, static_cast<std::size_t>(n));
    AdvanceHead(n);
    return n;
}

void TPipedMemoryStream::WriteToStream(TStream* destination)
{
    WriteToStream(destination, 0);
}

void TPipedMemoryStream::WriteToStream(TStream* destination, int count)
{
    // A count beyond the queued bytes would hand over bytes that were never
    // written; it is cut to the size.
    count = count == 0 ? Count() : std::min(count, Count());
    if (count <= 0)
        return;
    AdvanceHead(std::clamp(destination->Write(Head, count), 0, count));
}

void TPipedMemoryStream::AdvanceHead(int count)
{
    if (count < 0)
        return;
    const int remaining = Count() - std::min(count, Count());
    if (remaining <= 0) {
        Head = Tail = Buffer;
        return;
    }
    Head += count;
    if (Capacity / 3.0 > remaining)
        MoveToFront(remaining, Capacity);
}

int TPipedMemoryStream::Seek(int offset, std::uint16_t origin)
{
    switch (origin) {
    case soFromBeginning:
    case soFromCurrent:
        if (offset != 0)
            AdvanceHead(offset);
        return 0;
    case soFromEnd:
        return offset == 0 ? Count() : 0;
    default:
        return 0;
    }
}

void TPipedMemoryStream::SetSize(int newSize)
{
    newSize = std::max(newSize, 0);
    if ((Head - Buffer) + std::int64_t{newSize} > Capacity) {
        const std::int64_t wanted = 2 * std::int64_t{newSize};
        MoveToFront(Count(), std::max<std::int64_t>(wanted, Capacity));
    }
    Tail = Head + newSize;
}
