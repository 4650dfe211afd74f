#include "transport/piped_memory_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "platform/exceptions.h"

namespace {

// Where a queue without a block points: its capacity is 0, so nothing is
// ever written there, and it is never freed.
char noBlock[1];

// Blocks of the first size given back on this thread, for the next queue
// that takes one; at most MostSpareBlocks of them (128 KiB).
class SpareBlocks {
public:
    static constexpr int MostSpareBlocks = 64;

    ~SpareBlocks()
    {
        while (count_ > 0)
            std::free(blocks_[--count_]);
        ended_ = true;
    }
    char* Take() { return count_ > 0 ? blocks_[--count_] : nullptr; }
    // False when it keeps no more (or the thread is ending): free it then.
    bool Keep(char* block)
    {
        if (ended_ || count_ == MostSpareBlocks)
            return false;
        blocks_[count_++] = block;
        return true;
    }

private:
    char* blocks_[MostSpareBlocks];
    int count_ = 0;
    bool ended_ = false;
};

thread_local SpareBlocks spareBlocks;

}  // namespace

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
    ReleaseBlock();
}

void TPipedMemoryStream::Init(int capacity)
{
    char* block = noBlock;
    if (capacity > 0) {
        block = static_cast<char*>(std::calloc(static_cast<std::size_t>(capacity), 1));
        if (!block)
            throw EOutOfMemory(Messages::OutOfMemory);
    }
    ReleaseBlock();
    Capacity = std::max(capacity, 0);
    Buffer = Head = Tail = block;
}

void TPipedMemoryStream::ReleaseBlock()
{
    const bool kept = Capacity == FirstBlockSize && spareBlocks.Keep(Buffer);
    if (!kept && Buffer != noBlock)
        std::free(Buffer);
    Capacity = 0;
    Buffer = Head = Tail = noBlock;
}

void TPipedMemoryStream::Clear()
{
    Head = Tail = Buffer;
}

void TPipedMemoryStream::Trim()
{
    if (Count() == 0)
        ReleaseBlock();
}

void TPipedMemoryStream::MoveToFront(int keep, std::int64_t newCapacity)
{
    if (Capacity == 0) {
        // Nothing is queued without a block: take the first one.
        newCapacity = std::max<std::int64_t>(newCapacity, FirstBlockSize);
        if (newCapacity > std::numeric_limits<int>::max())
            throw EOutOfMemory(Messages::OutOfMemory);
        char* block = newCapacity == FirstBlockSize ? spareBlocks.Take() : nullptr;
        if (!block)
            block = static_cast<char*>(std::malloc(static_cast<std::size_t>(newCapacity)));
        if (!block)
            throw EOutOfMemory(Messages::OutOfMemory);
        Buffer = Head = Tail = block;
        Capacity = static_cast<int>(newCapacity);
        return;
    }
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
