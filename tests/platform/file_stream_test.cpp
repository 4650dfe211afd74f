#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "platform/exceptions.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"

namespace {

class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char pattern[] = "/tmp/kivol-file-XXXXXX";
        const int fd = mkstemp(pattern);
        ASSERT_GE(fd, 0);
        ::close(fd);
        path = pattern;
        std::ofstream(path, std::ios::binary) << "existing";
    }
    void TearDown() override { std::remove(path.c_str()); }

    std::string Contents()
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::string path;
};

}  // namespace

TEST_F(FileStreamTest, CreateReplacesTheFileAndReadsBack)
{
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer("new", 3);
        f.SetPosition(0);
        char out[3];
        f.ReadBuffer(out, 3);
        EXPECT_EQ(std::string(out, 3), "new");
        EXPECT_EQ(f.GetSize(), 3);
    }
    EXPECT_EQ(Contents(), "new");
}

TEST_F(FileStreamTest, AccessBitsDecideWhatTheStreamMayDo)
{
    TFileStream reader(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(reader.Write("x", 1), 0);
    TFileStream writer(path, fmOpenWrite | fmShareDenyNone);
    char c;
    EXPECT_EQ(writer.Read(&c, 1), 0);
    writer.WriteBuffer("E", 1);
    reader.ReadBuffer(&c, 1);
    EXPECT_EQ(c, 'E');
}

TEST_F(FileStreamTest, MissingFilesAndDirectoriesRaiseTheOpenError)
{
    try {
        TFileStream f("/nonexistent/dir/file.bin", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(), "ファイル /nonexistent/dir/file.bin は開けません");
    }
    EXPECT_THROW(TFileStream("/tmp", fmOpenRead), EFOpenError);
    try {
        TFileStream f("/nonexistent/dir/file.bin", fmCreate);
        FAIL();
    } catch (const EFCreateError& e) {
        EXPECT_EQ(e.Message(), "ファイル /nonexistent/dir/file.bin を作成できません");
    }
    EXPECT_THROW(TFileStream(path, 3), EFOpenError) << "access 3 is no access mode";
}

TEST_F(FileStreamTest, SharingModesAreHonouredWithinTheProcess)
{
    {
        TFileStream exclusive(path, fmOpenRead | fmShareExclusive);
        EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyNone), EFOpenError);
    }
    {
        TFileStream denyWrite(path, fmOpenRead | fmShareDenyWrite);
        TFileStream secondReader(path, fmOpenRead | fmShareDenyWrite);
        EXPECT_THROW(TFileStream(path, fmOpenReadWrite | fmShareDenyNone), EFOpenError);
    }
    {
        TFileStream writer(path, fmOpenWrite | fmShareDenyNone);
        // This open lets others read only, but a writer is already there.
        EXPECT_THROW(TFileStream(path, fmOpenRead | fmShareDenyWrite), EFOpenError);
        TFileStream reader(path, fmOpenRead | fmShareDenyNone);
    }
    {
        TFileStream reader(path, fmOpenRead | fmShareDenyNone);
        // A refused create must not empty the file that is open.
        EXPECT_THROW(TFileStream(path, fmCreate), EFCreateError);
        EXPECT_EQ(Contents(), "existing");
    }
    TFileStream afterwards(path, fmCreate);  // every stream closed: allowed again
}

TEST_F(FileStreamTest, MemoryStreamLoadsAWholeFile)
{
    TMemoryStream m;
    m.LoadFromFile(path);
    EXPECT_EQ(std::string(m.Memory(), static_cast<std::size_t>(m.GetSize())), "existing");
    EXPECT_EQ(m.GetPosition(), 0);
    EXPECT_THROW(m.LoadFromFile(path + ".missing"), EFOpenError);
}
