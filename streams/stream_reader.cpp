#include "streams/stream_reader.h"

#include <algorithm>
#include <cstring>

namespace {

// Variable-width integers: widths above 4 count as 4, below 1 as none.
int ClampWidth(int n)
{
    return std::clamp(n, 0, 4);
}

}  // namespace

TStreamReader::TStreamReader() : Stream(nullptr), Endian(LittleEndian) {}

TStreamReader::TStreamReader(TStream* stream, TEndian endian) : Stream(stream), Endian(endian) {}

char TStreamReader::ReadChar(TStream* stream)
{
    char c;
    stream->ReadBuffer(&c, 1);
    return c;
}

unsigned char TStreamReader::ReadUChar(TStream* stream)
{
    unsigned char c;
    stream->ReadBuffer(&c, 1);
    return c;
}

bool TStreamReader::ReadBool(TStream* stream)
{
    return ReadUChar(stream) != 0;
}

unsigned int TStreamReader::ReadUIntBE(TStream* stream, int n)
{
    n = ClampWidth(n);
    unsigned char bytes[4] = {};
    stream->ReadBuffer(bytes, n);
    unsigned int r = 0;
    for (int i = 0; i < n; ++i)
        r = r * 256 + bytes[i];
    return r;
}

unsigned int TStreamReader::ReadUIntLE(TStream* stream, int n)
{
    n = ClampWidth(n);
    unsigned char bytes[4] = {};
    stream->ReadBuffer(bytes, n);
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<unsigned int>(bytes[3]) << 24;
}

int TStreamReader::ReadIntBE(TStream* stream, int n)
{
    return static_cast<int>(ReadUIntBE(stream, n));
}

int TStreamReader::ReadIntLE(TStream* stream, int n)
{
    return static_cast<int>(ReadUIntLE(stream, n));
}

void* TStreamReader::ReadDataBE(TStream* stream, void* buffer, int n)
{
    auto* image = static_cast<unsigned char*>(buffer);
    for (int k = 1; k <= n; ++k)
        image[n - k] = ReadUChar(stream);
    return buffer;
}

void* TStreamReader::ReadDataLE(TStream* stream, void* buffer, int n)
{
    stream->ReadBuffer(buffer, std::max(n, 0));
    return buffer;
}

AnsiString TStreamReader::ReadLine(TStream* stream)
{
    AnsiString line;
    for (;;) {
        const unsigned char c = ReadUChar(stream);
        if (c == '\n')
            return line;
        if (c >= 32)
            line += static_cast<char>(c);
    }
}

AnsiString TStreamReader::ReadString(TStream* stream)
{
    const auto size = static_cast<int>(stream->GetSize());
    AnsiString text(static_cast<std::size_t>(size) + 1, '\0');
    stream->ReadBuffer(text.data(), size);
    return text;
}

template <typename T>
T TStreamReader::ReadFixed(int n)
{
    T value{};
    if (Endian == BigEndian)
        ReadDataBE(Stream, &value, n);
    else
        ReadDataLE(Stream, &value, n);
    return value;
}

char TStreamReader::ReadChar() { return ReadChar(Stream); }
unsigned char TStreamReader::ReadUChar() { return ReadUChar(Stream); }
bool TStreamReader::ReadBool() { return ReadBool(Stream); }
int TStreamReader::ReadInt(int n) { return Endian == BigEndian ? ReadIntBE(Stream, n) : ReadIntLE(Stream, n); }
unsigned int TStreamReader::ReadUInt(int n) { return Endian == BigEndian ? ReadUIntBE(Stream, n) : ReadUIntLE(Stream, n); }
short TStreamReader::ReadShort() { return ReadFixed<short>(); }
unsigned short TStreamReader::ReadUShort() { return ReadFixed<unsigned short>(); }
std::int64_t TStreamReader::ReadInt64() { return ReadFixed<std::int64_t>(); }
std::uint64_t TStreamReader::ReadUInt64() { return ReadFixed<std::uint64_t>(); }
float TStreamReader::ReadFloat() { return ReadFixed<float>(); }
double TStreamReader::ReadDouble() { return ReadFixed<double>(); }
// The 80-bit extended value occupies the first 10 bytes of a long double.
long double TStreamReader::ReadLongDouble() { return ReadFixed<long double>(10); }

void* TStreamReader::ReadData(void* buffer, int n)
{
    return Endian == BigEndian ? ReadDataBE(Stream, buffer, n) : ReadDataLE(Stream, buffer, n);
}

void* TStreamReader::ReadBuffer(void* buffer, int n)
{
    return ReadDataLE(Stream, buffer, n);
}

void TStreamReader::ReadStream(TStream* destination, int n)
{
    destination->CopyFrom(Stream, n);
}

AnsiString TStreamReader::ReadLine() { return ReadLine(Stream); }
AnsiString TStreamReader::ReadString() { return ReadString(Stream); }

TStreamReader& TStreamReader::operator>>(char& value) { value = ReadChar(); return *this; }
TStreamReader& TStreamReader::operator>>(unsigned char& value) { value = ReadUChar(); return *this; }
TStreamReader& TStreamReader::operator>>(bool& value) { value = ReadBool(); return *this; }
TStreamReader& TStreamReader::operator>>(short& value) { value = ReadShort(); return *this; }
TStreamReader& TStreamReader::operator>>(unsigned short& value) { value = ReadUShort(); return *this; }
TStreamReader& TStreamReader::operator>>(int& value) { value = ReadInt(4); return *this; }
TStreamReader& TStreamReader::operator>>(unsigned int& value) { value = ReadUInt(4); return *this; }
TStreamReader& TStreamReader::operator>>(std::int64_t& value) { value = ReadInt64(); return *this; }
TStreamReader& TStreamReader::operator>>(std::uint64_t& value) { value = ReadUInt64(); return *this; }
TStreamReader& TStreamReader::operator>>(float& value) { value = ReadFloat(); return *this; }
TStreamReader& TStreamReader::operator>>(double& value) { value = ReadDouble(); return *this; }
TStreamReader& TStreamReader::operator>>(long double& value) { value = ReadLongDouble(); return *this; }
TStreamReader& TStreamReader::operator>>(AnsiString& line) { line = ReadLine(); return *this; }
