#pragma once

#include <cstdint>

#include "platform/ansi_string.h"
#include "platform/stream.h"
#include "streams/endian.h"

// Typed reading of any TStream in a byte order chosen at construction. The
// static members do the byte-level work on a stream given as first argument;
// the reader adds no buffering, so every call goes straight to the stream.
//
// Variable-width integers take 1 to 4 bytes (wider widths count as 4); a width
// below 1 reads nothing and yields 0. Values are never sign-extended.
class TStreamReader {
public:
    TStreamReader();
    TStreamReader(TStream* stream, TEndian endian);

    char ReadChar();
    unsigned char ReadUChar();
    bool ReadBool();
    int ReadInt(int n);
    unsigned int ReadUInt(int n);
    short ReadShort();
    unsigned short ReadUShort();
    std::int64_t ReadInt64();
    std::uint64_t ReadUInt64();
    float ReadFloat();
    double ReadDouble();
    long double ReadLongDouble();
    void* ReadData(void* buffer, int n);
    void* ReadBuffer(void* buffer, int n);
    void ReadStream(TStream* destination, int n);
    AnsiString ReadLine();
    AnsiString ReadString();

    static char ReadChar(TStream* stream);
    static unsigned char ReadUChar(TStream* stream);
    static bool ReadBool(TStream* stream);
    static int ReadIntBE(TStream* stream, int n);
    static int ReadIntLE(TStream* stream, int n);
    static unsigned int ReadUIntBE(TStream* stream, int n);
    static unsigned int ReadUIntLE(TStream* stream, int n);
    static void* ReadDataBE(TStream* stream, void* buffer, int n);
    static void* ReadDataLE(TStream* stream, void* buffer, int n);
    // Bytes up to LF; control bytes below 32 are dropped, the LF is not kept.
    // EReadError when the stream ends first.
    static AnsiString ReadLine(TStream* stream);
    // The stream's whole Size read from the current position, then one NUL.
    static AnsiString ReadString(TStream* stream);

    TStreamReader& operator>>(char& value);
    TStreamReader& operator>>(unsigned char& value);
    TStreamReader& operator>>(bool& value);
    TStreamReader& operator>>(short& value);
    TStreamReader& operator>>(unsigned short& value);
    TStreamReader& operator>>(int& value);
    TStreamReader& operator>>(unsigned int& value);
    TStreamReader& operator>>(std::int64_t& value);
    TStreamReader& operator>>(std::uint64_t& value);
    TStreamReader& operator>>(float& value);
    TStreamReader& operator>>(double& value);
    TStreamReader& operator>>(long double& value);
    TStreamReader& operator>>(AnsiString& line);

    TStream* Stream;
    TEndian Endian;

private:
    // Reads an n-byte fixed-width value into its memory image in Endian order.
    template <typename T>
    T ReadFixed(int n = sizeof(T));
};
