#pragma once

#include <cstdint>

#include "platform/ansi_string.h"
#include "platform/stream.h"
#include "streams/endian.h"

// Typed writing to any TStream in a byte order chosen at construction; the
// counterpart of TStreamReader. Values are passed by reference because the
// big-endian forms reverse the value's own memory image. Lines end in LineEnd
// (CR LF). A variable-width integer width below 1 writes nothing.
class TStreamWriter {
public:
    TStreamWriter();
    TStreamWriter(TStream* stream, TEndian endian);

    void WriteChar(char value);
    void WriteUChar(unsigned char value);
    void WriteBool(bool value);
    void WriteInt(const int& value, int n);
    void WriteUInt(const unsigned int& value, int n);
    void WriteShort(const short& value);
    void WriteUShort(const unsigned short& value);
    void WriteInt64(const std::int64_t& value);
    void WriteUInt64(const std::uint64_t& value);
    void WriteFloat(const float& value);
    void WriteDouble(const double& value);
    void WriteLongDouble(const long double& value);
    void WriteData(const void* data, const int& n);
    void WriteBuffer(const void* buffer, int n);
    void WriteStream(TStream* source, int n);
    void WriteLine(const AnsiString& text);
    void WriteString(const AnsiString& text);

    static void WriteChar(TStream* stream, char value);
    static void WriteUChar(TStream* stream, unsigned char value);
    // 0xFF for true, 0x00 for false.
    static void WriteBool(TStream* stream, bool value);
    static void WriteLine(TStream* stream, const AnsiString& text, const AnsiString& terminator);
    static void WriteString(TStream* stream, const AnsiString& text);
    static void WriteIntBE(TStream* stream, int value, int n);
    static void WriteIntLE(TStream* stream, int value, int n);
    static void WriteUIntBE(TStream* stream, unsigned int value, int n);
    static void WriteUIntLE(TStream* stream, unsigned int value, int n);
    static void WriteDataBE(TStream* stream, const void* data, int n);
    static void WriteDataLE(TStream* stream, const void* data, int n);

    TStreamWriter& operator<<(const char& value);
    TStreamWriter& operator<<(const unsigned char& value);
    TStreamWriter& operator<<(const bool& value);
    TStreamWriter& operator<<(const short& value);
    TStreamWriter& operator<<(const unsigned short& value);
    TStreamWriter& operator<<(const int& value);
    TStreamWriter& operator<<(const unsigned int& value);
    TStreamWriter& operator<<(const std::int64_t& value);
    TStreamWriter& operator<<(const std::uint64_t& value);
    TStreamWriter& operator<<(const float& value);
    TStreamWriter& operator<<(const double& value);
    TStreamWriter& operator<<(const long double& value);
    TStreamWriter& operator<<(const AnsiString& line);

    TStream* Stream;
    TEndian Endian;
    AnsiString LineEnd;

private:
    // Writes the first n bytes of a value's memory image in Endian order.
    void WriteFixed(const void* image, int n);
};
