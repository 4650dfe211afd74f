#pragma once

#include <vector>

#include "platform/ansi_string.h"
#include "platform/stream.h"

// A growable stream held in memory.
class TMemoryStream : public TStream {
public:
    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    int Seek(int offset, std::uint16_t origin) override;
    void SetSize(int newSize) override;

    void Clear();
    void LoadFromStream(TStream* source);
    // Reads a whole file; EFOpenError when it cannot be opened.
    void LoadFromFile(const AnsiString& fileName);

    const char* Memory() const { return data_.data(); }
    char* Memory() { return data_.data(); }

private:
    std::vector<char> data_;
    int position_ = 0;
};
