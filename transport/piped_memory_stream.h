#pragma once

#include "platform/stream.h"

// A first-in, first-out byte queue with a stream interface: writes append at
// Tail, reads take from Head. Its position is always 0 and its size is the
// number of unread bytes. Callers may parse the unread bytes in place between
// Head and Tail; both stay valid until the next append, consume or resize.
//
// Bytes move only when an append reaches the end of the block or when fewer
// than a third of the block remains unread after a consume, and the block only
// grows until Trim gives it back, so steady traffic runs without moving bytes
// around once the block has reached the traffic's high-water mark.
//
// A queue of capacity 0 holds no block at all. The first append takes a
// block of at least FirstBlockSize bytes: a connection's queue takes one for
// each burst and gives it back once empty, thousands of times a second, so
// blocks of that size that were given back are kept for the next (a few per
// thread) instead of a malloc and a free each time.
//
// Negative counts move nothing: Read, Write and the stream reads return 0 for
// them, AdvanceHead ignores them, SetSize treats them as 0.
class TPipedMemoryStream : public TStream {
public:
    TPipedMemoryStream();
    explicit TPipedMemoryStream(int capacity);
    ~TPipedMemoryStream() override;

    void Init(int capacity);
    void Clear();
    // Gives the block back when the queue is empty (the next append takes a
    // new one); a queue holding bytes keeps its block.
    void Trim();

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, std::uint16_t origin) override;
    void SetSize(int newSize) override;

    int ReadFromBuffer(const void* buffer, int count);
    std::int64_t ReadFromStream(TStream* source);
    std::int64_t ReadFromStream(TStream* source, int count);
    // Fills the queue towards limit bytes from source; true when it holds
    // limit bytes or more, or when every byte asked for arrived.
    bool ReadFromStreamUntil(TStream* source, int limit);

    void WriteToStream(TStream* destination);
    void WriteToStream(TStream* destination, int count);

    void AdvanceHead(int count);
    // Room for at least count bytes behind Tail, for a source that writes
    // there itself and then tells Appended how many it wrote.
    char* Reserve(int count);
    void Appended(int count) { Tail += count; }
    // The bytes that fit behind Tail without moving or growing the block.
    int Room() const { return static_cast<int>(Capacity - (Tail - Buffer)); }

    // No range check: index must lie in 0 .. size - 1.
    char GetData(int index) const { return Head[index]; }
    void SetData(int index, char value) { Head[index] = value; }

    int Count() const { return static_cast<int>(Tail - Head); }

    static constexpr int FirstBlockSize = 2048;

    int Capacity = 0;
    char* Buffer = nullptr;
    char* Head = nullptr;
    char* Tail = nullptr;

private:
    // Gives the block back (to the thread's spare blocks where it has their
    // size) and holds none.
    void ReleaseBlock();
    // Makes room for count more bytes behind Tail (the append rule).
    void MakeRoom(int count);
    // Moves the unread bytes (at most keep of them) to the start of the block,
    // growing it to newCapacity first when that is larger.
    void MoveToFront(int keep, std::int64_t newCapacity);
};
