#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "streams/file_stream_rw.h"
#include "streams/streams_test_support.h"

using streams_test::ReadFile;
using streams_test::TempDir;

namespace {

class FileStreamRWTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.Ok()); }
    TempDir dir;
};

}  // namespace

TEST_F(FileStreamRWTest, WriterWithCreateModeOnAnExistingFileStartsEmpty)
{
    const std::string path = dir.Write("existing.bin", "old contents");
    {
        TFileStreamWriter w(path, fmCreate);
        ASSERT_NE(w.FileStream, nullptr);
        EXPECT_EQ(w.Stream, w.FileStream);
        EXPECT_EQ(w.Endian, LittleEndian);
        EXPECT_EQ(w.LineEnd, "\r\n");
        EXPECT_EQ(w.FileStream->GetSize(), 0);
        EXPECT_EQ(std::filesystem::file_size(path), 0u);
        w.WriteUShort(0x1234);
        w.WriteLine("ok");
        // fmCreate shares nothing: while the writer lives, no other stream gets in.
        EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyNone), EFOpenError);
    }
    // Destroying the writer closed the file: it opens again, even exclusively.
    TFileStream again(path, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(again.GetSize(), 6);
    EXPECT_EQ(ReadFile(path), "\x34\x12ok\r\n");
}

TEST_F(FileStreamRWTest, ReaderReadsLittleEndianFromItsOwnFile)
{
    const std::string path = dir.Write("values.bin", std::string("\x34\x12\x01\x02\x03line\r\nrest", 15));
    TFileStreamReader r(path, fmOpenRead);
    ASSERT_NE(r.FileStream, nullptr);
    EXPECT_EQ(r.Stream, r.FileStream);
    EXPECT_EQ(r.Endian, LittleEndian);
    EXPECT_EQ(r.ReadUShort(), 0x1234);
    EXPECT_EQ(r.ReadUInt(3), 0x030201u);
    EXPECT_EQ(r.ReadLine(), "line");
    EXPECT_EQ(r.FileStream->GetPosition(), 11);
}

TEST_F(FileStreamRWTest, ReaderOfAMissingFileRaisesTheOpenError)
{
    const std::string missing = dir.File("missing.bin");
    try {
        TFileStreamReader r(missing, fmOpenRead);
        FAIL() << "constructed over a missing file";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), FormatMessage(Messages::FOpenError, missing));
    }
    EXPECT_THROW(TFileStreamRW(missing, fmOpenReadWrite), EFOpenError);
    EXPECT_THROW(TFileStreamWriter(missing, fmOpenWrite), EFOpenError);
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(FileStreamRWTest, WriterThatCannotCreateRaisesTheCreateError)
{
    const std::string path = dir.File("no-such-folder/new.bin");
    try {
        TFileStreamWriter w(path, fmCreate);
        FAIL() << "created a file in a missing folder";
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), FormatMessage(Messages::FCreateError, path));
    }
}

TEST_F(FileStreamRWTest, SharingOfTheOwnedStreamIsHonoured)
{
    const std::string path = dir.Write("shared.bin", "abc");
    TFileStreamReader first(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_THROW(TFileStreamWriter(path, fmOpenWrite | fmShareDenyNone), EFOpenError);
    TFileStreamReader second(path, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(second.ReadChar(), 'a');
}

TEST_F(FileStreamRWTest, ReaderWriterAfterSetEndianBigEndianReadsAndWritesBigEndian)
{
    const std::string path = dir.File("rw.bin");
    {
        TFileStreamRW rw(path, fmCreate);
        ASSERT_NE(rw.FileStream, nullptr);
        EXPECT_EQ(rw.TStreamReader::Stream, rw.FileStream);
        EXPECT_EQ(rw.TStreamWriter::Stream, rw.FileStream);
        EXPECT_EQ(rw.GetEndian(), LittleEndian);

        rw.SetEndian(BigEndian);
        EXPECT_EQ(rw.TStreamReader::Endian, BigEndian);
        EXPECT_EQ(rw.TStreamWriter::Endian, BigEndian);
        const short s = 4660;
        const double d = 1.0;
        rw.WriteShort(s);
        rw.WriteUInt(0x11223344u, 4);
        rw.WriteDouble(d);
        rw.WriteUInt(0x00ABCDEFu, 3);

        rw.FileStream->SetPosition(0);
        EXPECT_EQ(rw.ReadShort(), 4660);
        EXPECT_EQ(rw.ReadUInt(4), 0x11223344u);
        EXPECT_EQ(rw.ReadDouble(), 1.0);
        EXPECT_EQ(rw.ReadUInt(3), 0x00ABCDEFu);

        // Back to little-endian on the same file: both parts switch again.
        rw.SetEndian(LittleEndian);
        rw.FileStream->SetPosition(0);
        EXPECT_EQ(rw.ReadUShort(), 0x3412);
    }
    EXPECT_EQ(ReadFile(path), std::string("\x12\x34\x11\x22\x33\x44\x3F\xF0\0\0\0\0\0\0\xAB\xCD\xEF", 17));

    TFileStreamRW reopened(path, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(reopened.ReadUShort(), 0x3412) << "a new reader-writer starts little-endian";
}
