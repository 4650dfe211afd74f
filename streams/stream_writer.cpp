#include "streams/stream_writer.h"

#include <algorithm>

TStreamWriter::TStreamWriter() : Stream(nullptr), Endian(LittleEndian), LineEnd("\r\n") {}

TStreamWriter::TStreamWriter(TStream* stream, TEndian endian) : Stream(stream), Endian(endian), LineEnd("\r\n") {}

void TStreamWriter::WriteChar(TStream* stream, char value)
{
    stream->WriteBuffer(&value, 1);
}

void TStreamWriter::WriteUChar(TStream* stream, unsigned char value)
{
    stream->WriteBuffer(&value, 1);
}

void TStreamWriter::WriteBool(TStream* stream, bool value)
{
    WriteUChar(stream, value ? 0xFF : 0x00);
}

void TStreamWriter::WriteLine(TStream* stream, const AnsiString& text, const AnsiString& terminator)
{
    WriteString(stream, text);
    WriteString(stream, terminator);
}

void TStreamWriter::WriteString(TStream* stream, const AnsiString& text)
{
    stream->WriteBuffer(text.data(), static_cast<int>(text.size()));
}

void TStreamWriter::WriteUIntBE(TStream* stream, unsigned int value, int n)
{
    n = std::clamp(n, 0, 4);
    unsigned char bytes[4];
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * (n - 1 - i)));
    stream->WriteBuffer(bytes, n);
}

void TStreamWriter::WriteUIntLE(TStream* stream, unsigned int value, int n)
{
    n = std::clamp(n, 0, 4);
    unsigned char bytes[4];
    for (int i = 0; i < n; ++i)
        bytes[i] = static_cast<unsigned char>(value >> (8 * i));
    stream->WriteBuffer(bytes, n);
}

void TStreamWriter::WriteIntBE(TStream* stream, int value, int n)
{
    WriteUIntBE(stream, static_cast<unsigned int>(value), n);
}

void TStreamWriter::WriteIntLE(TStream* stream, int value, int n)
{
    WriteUIntLE(stream, static_cast<unsigned int>(value), n);
}

void TStreamWriter::WriteDataBE(TStream* stream, const void* data, int n)
{
    const auto* image = static_cast<const unsigned char*>(data);
    for (int i = n - 1; i >= 0; --i)
        WriteUChar(stream, image[i]);
}

void TStreamWriter::WriteDataLE(TStream* stream, const void* data, int n)
{
    stream->WriteBuffer(data, std::max(n, 0));
}

void TStreamWriter::WriteFixed(const void* image, int n)
{
    if (Endian == BigEndian)
        WriteDataBE(Stream, image, n);
    else
        WriteDataLE(Stream, image, n);
}

void TStreamWriter::WriteChar(char value) { WriteChar(Stream, value); }
void TStreamWriter::WriteUChar(unsigned char value) { WriteUChar(Stream, value); }
void TStreamWriter::WriteBool(bool value) { WriteBool(Stream, value); }

void TStreamWriter::WriteInt(const int& value, int n)
{
    Endian == BigEndian ? WriteIntBE(Stream, value, n) : WriteIntLE(Stream, value, n);
}

void TStreamWriter::WriteUInt(const unsigned int& value, int n)
{
    Endian == BigEndian ? WriteUIntBE(Stream, value, n) : WriteUIntLE(Stream, value, n);
}

void TStreamWriter::WriteShort(const short& value) { WriteFixed(&value, sizeof value); }
void TStreamWriter::WriteUShort(const unsigned short& value) { WriteFixed(&value, sizeof value); }
void TStreamWriter::WriteInt64(const std::int64_t& value) { WriteFixed(&value, sizeof value); }
void TStreamWriter::WriteUInt64(const std::uint64_t& value) { WriteFixed(&value, sizeof value); }
void TStreamWriter::WriteFloat(const float& value) { WriteFixed(&value, sizeof value); }
void TStreamWriter::WriteDouble(const double& value) { WriteFixed(&value, sizeof value); }
// The 80-bit extended value is the first 10 bytes of a long double.
void TStreamWriter::WriteLongDouble(const long double& value) { WriteFixed(&value, 10); }
void TStreamWriter::WriteData(const void* data, const int& n) { WriteFixed(data, n); }
void TStreamWriter::WriteBuffer(const void* buffer, int n) { WriteDataLE(Stream, buffer, n); }
void TStreamWriter::WriteStream(TStream* source, int n) { Stream->CopyFrom(source, n); }
void TStreamWriter::WriteLine(const AnsiString& text) { WriteLine(Stream, text, LineEnd); }
void TStreamWriter::WriteString(const AnsiString& text) { WriteString(Stream, text); }

TStreamWriter& TStreamWriter::operator<<(const char& value) { WriteChar(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const unsigned char& value) { WriteUChar(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const bool& value) { WriteBool(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const short& value) { WriteShort(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const unsigned short& value) { WriteUShort(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const int& value) { WriteInt(value, 4); return *this; }
TStreamWriter& TStreamWriter::operator<<(const unsigned int& value) { WriteUInt(value, 4); return *this; }
TStreamWriter& TStreamWriter::operator<<(const std::int64_t& value) { WriteInt64(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const std::uint64_t& value) { WriteUInt64(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const float& value) { WriteFloat(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const double& value) { WriteDouble(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const long double& value) { WriteLongDouble(value); return *this; }
TStreamWriter& TStreamWriter::operator<<(const AnsiString& line) { WriteLine(line); return *this; }
