#include <gtest/gtest.h>

#include <string>

#include "platform/exceptions.h"
#include "platform/memory_stream.h"
#include "streams/stream_rw.h"

namespace {

// A memory stream holding the given bytes, positioned at its start.
struct Bytes {
    explicit Bytes(const std::string& data = {})
    {
        stream.WriteBuffer(data.data(), static_cast<int>(data.size()));
        stream.SetPosition(0);
    }
    std::string Written() { return std::string(stream.Memory(), static_cast<std::size_t>(stream.GetSize())); }
    TMemoryStream stream;
};

std::string Hex(const std::string& bytes)
{
    static const char* digits = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty())
            out += ' ';
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

}  // namespace

TEST(StreamReader, VariableWidthIntegersAreNeverSignExtended)
{
    Bytes le("\xFF\xFE");
    EXPECT_EQ(TStreamReader(&le.stream, LittleEndian).ReadInt(2), 65279);
    Bytes be("\xFF\xFE");
    EXPECT_EQ(TStreamReader(&be.stream, BigEndian).ReadInt(2), 65534);

    Bytes three("\x01\x02\x03\x01\x02\x03");
    EXPECT_EQ(TStreamReader(&three.stream, BigEndian).ReadUInt(3), 0x010203u);
    EXPECT_EQ(TStreamReader(&three.stream, LittleEndian).ReadUInt(3), 0x030201u);

    Bytes four("\xFF\xFF\xFF\xFF");
    EXPECT_EQ(TStreamReader(&four.stream, LittleEndian).ReadInt(4), -1) << "all 32 bits";
}

TEST(StreamReader, WidthsAreClampedToFourAndBelowOneReadNothing)
{
    Bytes data("\x01\x02\x03\x04\x05\x06\x07");
    TStreamReader r(&data.stream, LittleEndian);
    EXPECT_EQ(r.ReadInt(7), 0x04030201);
    EXPECT_EQ(data.stream.GetPosition(), 4);
    EXPECT_EQ(r.ReadInt(0), 0);
    EXPECT_EQ(r.ReadUInt(-3), 0u);
    EXPECT_EQ(TStreamReader::ReadIntBE(&data.stream, -1), 0);
    EXPECT_EQ(data.stream.GetPosition(), 4) << "no byte taken for a width below 1";
}

TEST(StreamReader, ShortReadsRaiseAndKeepWhatWasTaken)
{
    Bytes data("\x01\x02\x03");
    TStreamReader r(&data.stream, BigEndian);
    EXPECT_THROW(r.ReadInt64(), EReadError);
    EXPECT_EQ(data.stream.GetPosition(), 3) << "big-endian reads take byte by byte";
    Bytes empty;
    EXPECT_THROW(TStreamReader(&empty.stream, LittleEndian).ReadChar(), EReadError);
}

TEST(StreamReader, ReadLineDropsControlBytesAndNeedsItsLineFeed)
{
    Bytes data("ab\r\ncd\n");
    TStreamReader r(&data.stream, LittleEndian);
    EXPECT_EQ(r.ReadLine(), "ab");
    AnsiString line;
    r >> line;
    EXPECT_EQ(line, "cd");

    Bytes tab(std::string("a\tb\0c\n", 6));
    EXPECT_EQ(TStreamReader::ReadLine(&tab.stream), "abc");

    Bytes sjis("\x93\xfa\x96\x7b\n");  // two double-byte characters pass whole
    EXPECT_EQ(TStreamReader::ReadLine(&sjis.stream), "\x93\xfa\x96\x7b");

    Bytes unterminated("xyz");
    EXPECT_THROW(TStreamReader::ReadLine(&unterminated.stream), EReadError);
}

TEST(StreamReader, ReadStringTakesTheWholeStreamPlusOneNul)
{
    Bytes data("abc");
    EXPECT_EQ(TStreamReader::ReadString(&data.stream), std::string("abc\0", 4));
    data.stream.SetPosition(1);
    EXPECT_THROW(TStreamReader::ReadString(&data.stream), EReadError);
    Bytes empty;
    EXPECT_EQ(TStreamReader::ReadString(&empty.stream), std::string(1, '\0'));
}

TEST(StreamReader, ReadStreamWithZeroRewindsAndCopiesAll)
{
    Bytes data("hello");
    data.stream.SetPosition(3);
    Bytes copy;
    TStreamReader(&data.stream, LittleEndian).ReadStream(&copy.stream, 0);
    EXPECT_EQ(copy.Written(), "hello");
}

TEST(StreamReader, FixedWidthValuesAndBooleans)
{
    Bytes data(std::string("\x12\x34\x12\x34\x02\x00", 6));
    TStreamReader r(&data.stream, BigEndian);
    EXPECT_EQ(r.ReadShort(), 0x1234);
    r.Endian = LittleEndian;
    EXPECT_EQ(r.ReadUShort(), 0x3412);
    bool b = false;
    r >> b;
    EXPECT_TRUE(b) << "any non-zero byte is true";
    EXPECT_FALSE(r.ReadBool());

    Bytes other("\x34\x12");
    EXPECT_EQ(TStreamReader(&other.stream, static_cast<TEndian>(7)).ReadShort(), 0x1234)
        << "a value other than BigEndian reads little-endian";
}

TEST(StreamWriter, IntegersOfEveryWidthInBothOrders)
{
    const unsigned int v = 0x11223344;
    Bytes be, le, wide;
    TStreamWriter(&be.stream, BigEndian).WriteUInt(v, 2);
    TStreamWriter(&le.stream, LittleEndian).WriteUInt(v, 2);
    TStreamWriter(&wide.stream, BigEndian).WriteUInt(v, 9);
    EXPECT_EQ(Hex(be.Written()), "33 44");
    EXPECT_EQ(Hex(le.Written()), "44 33");
    EXPECT_EQ(Hex(wide.Written()), "11 22 33 44");

    Bytes three, none;
    TStreamWriter::WriteIntBE(&three.stream, 0x00ABCDEF, 3);
    TStreamWriter(&none.stream, BigEndian).WriteInt(5, 0);
    EXPECT_EQ(Hex(three.Written()), "AB CD EF");
    EXPECT_EQ(none.Written(), "") << "a width below 1 writes nothing";

    Bytes shortBe, shortLe;
    TStreamWriter(&shortBe.stream, BigEndian).WriteShort(4660);
    TStreamWriter(&shortLe.stream, LittleEndian).WriteShort(4660);
    EXPECT_EQ(Hex(shortBe.Written()), "12 34");
    EXPECT_EQ(Hex(shortLe.Written()), "34 12");
}

TEST(StreamWriter, FloatingValuesReverseTheirWholeImage)
{
    Bytes le, be;
    TStreamWriter(&le.stream, LittleEndian).WriteDouble(1.0);
    TStreamWriter(&be.stream, BigEndian).WriteDouble(1.0);
    EXPECT_EQ(Hex(le.Written()), "00 00 00 00 00 00 F0 3F");
    EXPECT_EQ(Hex(be.Written()), "3F F0 00 00 00 00 00 00");

    Bytes ext;
    TStreamWriter(&ext.stream, BigEndian).WriteLongDouble(1.0L);
    EXPECT_EQ(Hex(ext.Written()), "3F FF 80 00 00 00 00 00 00 00");
    ext.stream.SetPosition(0);
    EXPECT_EQ(TStreamReader(&ext.stream, BigEndian).ReadLongDouble(), 1.0L);
}

TEST(StreamWriter, BooleansLinesAndStrings)
{
    Bytes out;
    TStreamWriter w(&out.stream, LittleEndian);
    w.WriteBool(true);
    w.WriteBool(false);
    w.WriteLine("");
    w.WriteString("");
    w << AnsiString("ab");
    w.WriteString("cd");
    EXPECT_EQ(out.Written(), std::string("\xFF\x00\r\nab\r\ncd", 10));
}

TEST(StreamRW, SetEndianSwitchesReadsAndWrites)
{
    TMemoryStream stream;
    TStreamRW rw(&stream, LittleEndian);
    rw.SetEndian(BigEndian);
    EXPECT_EQ(rw.GetEndian(), BigEndian);
    rw << static_cast<short>(0x1234) << 0x01020304;
    EXPECT_EQ(Hex(std::string(stream.Memory(), 6)), "12 34 01 02 03 04");
    stream.SetPosition(0);
    short s = 0;
    int i = 0;
    rw >> s >> i;
    EXPECT_EQ(s, 0x1234);
    EXPECT_EQ(i, 0x01020304);

    TMemoryStream other;
    rw.SetStream(&other);
    EXPECT_EQ(rw.GetStream(), &other);
    rw.WriteChar('x');
    EXPECT_EQ(other.GetSize(), 1);
}

TEST(StreamRW, RoundTripsEveryTypeInBothOrders)
{
    for (TEndian endian : {LittleEndian, BigEndian}) {
        TMemoryStream stream;
        TStreamRW rw(&stream, endian);
        const std::int64_t i64 = -1234567890123LL;
        const std::uint64_t u64 = 0xFEDCBA9876543210ULL;
        const float f = 3.5f;
        const unsigned short us = 0xBEEF;
        rw << 'c' << static_cast<unsigned char>(200) << i64 << u64 << f << us;
        rw.WriteData("\x01\x02\x03", 3);
        stream.SetPosition(0);
        char c;
        unsigned char uc;
        std::int64_t ri64;
        std::uint64_t ru64;
        float rf;
        unsigned short rus;
        char data[3];
        rw >> c >> uc >> ri64 >> ru64 >> rf >> rus;
        rw.ReadData(data, 3);
        EXPECT_EQ(c, 'c');
        EXPECT_EQ(uc, 200);
        EXPECT_EQ(ri64, i64);
        EXPECT_EQ(ru64, u64);
        EXPECT_EQ(rf, f);
        EXPECT_EQ(rus, us);
        EXPECT_EQ(std::string(data, 3), "\x01\x02\x03");
    }
}
