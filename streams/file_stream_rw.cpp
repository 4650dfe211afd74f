#include "streams/file_stream_rw.h"

// Each constructor builds its inherited part(s) over a null stream in
// LittleEndian, then creates the file stream (which raises when the file
// cannot be opened or created: nothing is owned yet, so nothing leaks), then
// points the inherited Stream at it.

TFileStreamReader::TFileStreamReader(const AnsiString& fileName, std::uint16_t mode)
    : TStreamReader(nullptr, LittleEndian)
{
    FileStream = new TFileStream(fileName, mode);
    Stream = FileStream;
}

TFileStreamReader::~TFileStreamReader()
{
    delete FileStream;
}

TFileStreamWriter::TFileStreamWriter(const AnsiString& fileName, std::uint16_t mode)
    : TStreamWriter(nullptr, LittleEndian)
{
    FileStream = new TFileStream(fileName, mode);
    Stream = FileStream;
}

TFileStreamWriter::~TFileStreamWriter()
{
    delete FileStream;
}

TFileStreamRW::TFileStreamRW(const AnsiString& fileName, std::uint16_t mode) : TStreamRW(nullptr, LittleEndian)
{
    FileStream = new TFileStream(fileName, mode);
    SetStream(FileStream);
}

TFileStreamRW::~TFileStreamRW()
{
    delete FileStream;
}
