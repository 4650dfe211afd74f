#pragma once

#include <cstdint>

#include "platform/object.h"

// Origins of the 32-bit seek: from the beginning, from the current position,
// from the end.
inline constexpr std::uint16_t soFromBeginning = 0;
inline constexpr std::uint16_t soFromCurrent = 1;
inline constexpr std::uint16_t soFromEnd = 2;

enum class TSeekOrigin { soBeginning = 0, soCurrent = 1, soEnd = 2 };

// Abstract byte stream. Derived classes provide Read, Write, the 32-bit Seek
// and SetSize; size and position are computed by seeking, so a stream whose
// Seek treats positions specially (a queue, a socket) gets a matching size.
//
// Counts below zero move nothing: Read and Write of this family return 0 for
// them, so ReadBuffer and WriteBuffer raise their error for a negative count.
class TStream : public TObject {
public:
    virtual int Read(void* buffer, int count) = 0;
    virtual int Write(const void* buffer, int count) = 0;
    virtual int Seek(int offset, std::uint16_t origin);
    virtual void SetSize(int newSize);

    // Range-checks the offset (it must fit 32 bits, else ERangeError) and
    // defers to the 32-bit Seek.
    std::int64_t Seek64(std::int64_t offset, TSeekOrigin origin);

    std::int64_t GetPosition();
    void SetPosition(std::int64_t position);
    // Current position, then the end, then back: the stream's total length.
    std::int64_t GetSize();

    // Exactly count bytes or EReadError / EWriteError; a count of 0 does nothing.
    void ReadBuffer(void* buffer, int count);
    void WriteBuffer(const void* buffer, int count);

    // Copies count bytes from source's position into this stream, in chunks of
    // at most CopyChunk bytes. Count 0 copies the whole source from position 0.
    // Returns the number of bytes copied.
    std::int64_t CopyFrom(TStream* source, std::int64_t count);

    static constexpr int CopyChunk = 0xF000;
};
