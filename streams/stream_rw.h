#pragma once

#include "streams/stream_reader.h"
#include "streams/stream_writer.h"

// A reader and a writer over one stream, in one byte order. SetStream and
// SetEndian always set both parts.
class TStreamRW : public TStreamReader, public TStreamWriter {
public:
    TStreamRW() = default;
    TStreamRW(TStream* stream, TEndian endian) : TStreamReader(stream, endian), TStreamWriter(stream, endian) {}

    TStream* GetStream() const { return TStreamReader::Stream; }
    TEndian GetEndian() const { return TStreamReader::Endian; }

    void SetStream(TStream* stream)
    {
        TStreamReader::Stream = stream;
        TStreamWriter::Stream = stream;
    }

    void SetEndian(TEndian endian)
    {
        TStreamReader::Endian = endian;
        TStreamWriter::Endian = endian;
    }

    using TStreamReader::operator>>;
    using TStreamWriter::operator<<;
};
