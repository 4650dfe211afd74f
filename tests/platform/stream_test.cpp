#include <gtest/gtest.h>

#include <string>

#include "platform/exceptions.h"
#include "platform/memory_stream.h"

namespace {

// Records the size of every read, to see the copy's chunking.
class ChunkRecorder : public TMemoryStream {
public:
    int Read(void* buffer, int count) override
    {
        largestRead = std::max(largestRead, count);
        return TMemoryStream::Read(buffer, count);
    }
    int largestRead = 0;
};

}  // namespace

TEST(Stream, BufferHelpersRaiseTheFrameworkMessages)
{
    TMemoryStream s;
    s.WriteBuffer("abc", 3);
    s.SetPosition(0);
    char out[8];
    s.ReadBuffer(out, 0);
    try {
        s.ReadBuffer(out, 4);
        FAIL();
    } catch (const EReadError& e) {
        EXPECT_EQ(e.Message(), "ストリームからの読み込みエラー");
    }

    class Refusing : public TMemoryStream {
        int Write(const void*, int) override { return 0; }
    } refusing;
    refusing.WriteBuffer("x", 0);
    try {
        refusing.WriteBuffer("x", 1);
        FAIL();
    } catch (const EWriteError& e) {
        EXPECT_EQ(e.Message(), "ストリームへの書き込みエラー");
    }
}

TEST(Stream, CopyFromWorksInBoundedChunksAndZeroMeansEverything)
{
    ChunkRecorder source;
    const std::string data(200000, 'q');
    source.WriteBuffer(data.data(), static_cast<int>(data.size()));
    source.SetPosition(123);

    TMemoryStream all;
    EXPECT_EQ(all.CopyFrom(&source, 0), 200000);
    EXPECT_EQ(all.GetSize(), 200000);
    EXPECT_LE(source.largestRead, TStream::CopyChunk);

    source.SetPosition(10);
    TMemoryStream part;
    EXPECT_EQ(part.CopyFrom(&source, 5), 5);
    EXPECT_EQ(part.GetSize(), 5);

    source.SetPosition(199999);
    TMemoryStream tooMuch;
    EXPECT_THROW(tooMuch.CopyFrom(&source, 2), EReadError);
}

TEST(Stream, SizeAndPositionComeFromSeeking)
{
    TMemoryStream s;
    s.WriteBuffer("0123456789", 10);
    s.SetPosition(4);
    EXPECT_EQ(s.GetSize(), 10);
    EXPECT_EQ(s.GetPosition(), 4) << "computing the size restores the position";
    EXPECT_EQ(s.Seek64(-2, TSeekOrigin::soEnd), 8);
    EXPECT_THROW(s.Seek64(std::int64_t{3} << 31, TSeekOrigin::soBeginning), ERangeError);
    s.SetSize(3);
    EXPECT_EQ(s.GetPosition(), 3);
}
