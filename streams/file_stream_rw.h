#pragma once

#include <cstdint>
#include <memory>

#include "platform/ansi_string.h"
#include "platform/file_stream.h"
#include "streams/stream_reader.h"
#include "streams/stream_rw.h"
#include "streams/stream_writer.h"

// The file variants of the typed reader, writer and reader-writer: each opens
// the named file itself with the given open-mode word (fmCreate = 0xFFFF
// creates, anything else opens an existing file; see platform/file_stream.h),
// owns the resulting TFileStream and frees it, closing the file, when it is
// destroyed. The inherited Stream field (both parts' in TFileStreamRW) points
// at FileStream; the byte order starts as LittleEndian.
//
// When the file cannot be opened or created, the framework's EFOpenError or
// EFCreateError passes on and no object results.
//
// FileStream is owned: callers may use it but must not free or replace it.
// The objects cannot be copied (one owner per file stream).

// The part the three share: a typed reader, writer or reader-writer (Base)
// over a file stream of its own.
template <typename Base>
class TFileStreamOwner : public Base {
public:
    TFileStreamOwner(const AnsiString& fileName, std::uint16_t mode)
        : Base(nullptr, LittleEndian), owned_(std::make_unique<TFileStream>(fileName, mode))
    {
        FileStream = owned_.get();
        if constexpr (requires(Base& b) { b.SetStream(FileStream); })
            this->SetStream(FileStream);
        else
            this->Stream = FileStream;
    }
    TFileStreamOwner(const TFileStreamOwner&) = delete;
    TFileStreamOwner& operator=(const TFileStreamOwner&) = delete;

    TFileStream* FileStream = nullptr;

private:
    std::unique_ptr<TFileStream> owned_;
};

class TFileStreamReader : public TFileStreamOwner<TStreamReader> {
public:
    using TFileStreamOwner::TFileStreamOwner;
};

class TFileStreamWriter : public TFileStreamOwner<TStreamWriter> {
public:
    using TFileStreamOwner::TFileStreamOwner;
};

class TFileStreamRW : public TFileStreamOwner<TStreamRW> {
public:
    using TFileStreamOwner::TFileStreamOwner;
};
