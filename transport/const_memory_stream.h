#pragma once

#include "platform/stream.h"

// A read-only stream over a block of memory that belongs to the caller.
// Seeking clamps the position to 0 .. length.
class TConstMemoryStream : public TStream {
public:
    TConstMemoryStream();
    TConstMemoryStream(const void* buffer, int size);

    void SetBuffer(const void* buffer, int size);

    int Read(void* buffer, int count) override;
    // Always raises Exception "バッファは書き込み禁止です.".
    int Write(const void* buffer, int count) override;
    int Seek(int offset, std::uint16_t origin) override;

    const char* Memory = nullptr;

private:
    int size_ = 0;
    int position_ = 0;
};
