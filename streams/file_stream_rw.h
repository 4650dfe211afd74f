#pragma once

#include <cstdint>

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

class TFileStreamReader : public TStreamReader {
public:
    TFileStreamReader(const AnsiString& fileName, std::uint16_t mode);
    ~TFileStreamReader();
    TFileStreamReader(const TFileStreamReader&) = delete;
    TFileStreamReader& operator=(const TFileStreamReader&) = delete;

    TFileStream* FileStream = nullptr;
};

class TFileStreamWriter : public TStreamWriter {
public:
    TFileStreamWriter(const AnsiString& fileName, std::uint16_t mode);
    ~TFileStreamWriter();
    TFileStreamWriter(const TFileStreamWriter&) = delete;
    TFileStreamWriter& operator=(const TFileStreamWriter&) = delete;

    TFileStream* FileStream = nullptr;
};

class TFileStreamRW : public TStreamRW {
public:
    TFileStreamRW(const AnsiString& fileName, std::uint16_t mode);
    ~TFileStreamRW();
    TFileStreamRW(const TFileStreamRW&) = delete;
    TFileStreamRW& operator=(const TFileStreamRW&) = delete;

    TFileStream* FileStream = nullptr;
};
