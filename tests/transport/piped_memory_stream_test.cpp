#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "transport/const_memory_stream.h"
#include "transport/piped_memory_stream.h"

namespace {

std::string Bytes(int n, char first = 'a')
{
    std::string s(static_cast<std::size_t>(n), ' ');
    for (int i = 0; i < n; ++i)
        s[static_cast<std::size_t>(i)] = static_cast<char>(first + i % 26);
    return s;
}

std::string Unread(const TPipedMemoryStream& s)
{
    return std::string(s.Head, s.Tail);
}

// A destination that takes at most `accept` bytes per write.
class PartialSink : public TStream {
public:
    explicit PartialSink(int accept) : accept_(accept) {}
    int Read(void*, int) override { return 0; }
    int Write(const void* buffer, int count) override
    {
        const int n = std::min(count, accept_);
        received.append(static_cast<const char*>(buffer), static_cast<std::size_t>(n));
        ++calls;
        return n;
    }
    std::string received;
    int calls = 0;

private:
    int accept_;
};

// A source that reports a size but may deliver less, and counts its reads.
class CountingSource : public TStream {
public:
    CountingSource(std::string data, int reportedSize) : data_(std::move(data)), reported_(reportedSize) {}
    int Read(void* buffer, int count) override
    {
        ++reads;
        const int n = std::min<int>(count, static_cast<int>(data_.size() - pos_));
        std::copy_n(data_.data() + pos_, n, static_cast<char*>(buffer));
        pos_ += static_cast<std::size_t>(n);
        return n;
    }
    int Write(const void*, int) override { return 0; }
    int Seek(int offset, std::uint16_t origin) override { return origin == soFromEnd && offset == 0 ? reported_ : 0; }
    int reads = 0;

private:
    std::string data_;
    std::size_t pos_ = 0;
    int reported_;
};

}  // namespace

TEST(PipedMemoryStream, GrowthFollowsTheAppendRuleExactly)
{
    // 3000 unread bytes with the tail near the end: 2 * 3000 + 200 > 4096, so
    // the block grows to 6200 although moving the bytes would have made room.
    TPipedMemoryStream s;
    const std::string filler = Bytes(4000);
    s.Write(filler.data(), 4000);
    s.AdvanceHead(1000);
    ASSERT_EQ(s.Capacity, 4096);
    ASSERT_EQ(s.Count(), 3000);
    const std::string more = Bytes(200, 'A');
    s.Write(more.data(), 200);
    EXPECT_EQ(s.Capacity, 6200);
    EXPECT_EQ(s.Head, s.Buffer);
    EXPECT_EQ(Unread(s), filler.substr(1000) + more);

    TPipedMemoryStream fresh;
    const std::string big = Bytes(5000);
    fresh.Write(big.data(), 5000);
    EXPECT_EQ(fresh.Capacity, 5000);
    EXPECT_EQ(Unread(fresh), big);
}

TEST(PipedMemoryStream, MovesToFrontOnlyWhenLessThanAThirdRemains)
{
    TPipedMemoryStream s;
    const std::string data = Bytes(4096);
    s.Write(data.data(), 4096);
    s.AdvanceHead(4096 - 1366);
    EXPECT_NE(s.Head, s.Buffer) << "1366 bytes left: no move";
    s.AdvanceHead(1);
    EXPECT_EQ(s.Head, s.Buffer) << "1365 bytes left: moved to the front";
    EXPECT_EQ(Unread(s), data.substr(4096 - 1365));
}

TEST(PipedMemoryStream, MakesRoomByMovingWhenTheBlockIsBigEnough)
{
    TPipedMemoryStream s;
    const std::string data = Bytes(4000);
    s.Write(data.data(), 4000);
    s.AdvanceHead(2500);  // 1500 left, above a third: stays in place
    ASSERT_NE(s.Head, s.Buffer);
    const std::string more = Bytes(500, 'A');
    s.Write(more.data(), 500);  // 2 * 1500 + 500 <= 4096: moved, not grown
    EXPECT_EQ(s.Capacity, 4096);
    EXPECT_EQ(Unread(s), data.substr(2500) + more);
}

TEST(PipedMemoryStream, ConsumingEverythingRestartsAtTheBlockStart)
{
    TPipedMemoryStream s;
    const std::string data = Bytes(3000);
    s.Write(data.data(), 3000);
    char out[2000];
    EXPECT_EQ(s.Read(out, 1000), 1000);
    EXPECT_NE(s.Head, s.Buffer);
    EXPECT_EQ(s.Read(out, 2000 + 1), 2000);
    EXPECT_EQ(s.Head, s.Buffer);
    EXPECT_EQ(s.Tail, s.Buffer);
    s.Write("xy", 2);
    EXPECT_EQ(s.Head, s.Buffer);
    EXPECT_EQ(Unread(s), "xy");

    s.AdvanceHead(100);  // past the end empties the queue
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Tail, s.Buffer);
    EXPECT_EQ(s.Read(out, 4), 0);
}

TEST(PipedMemoryStream, NegativeCountsMoveNothing)
{
    TPipedMemoryStream s;
    s.Write("abc", 3);
    s.AdvanceHead(-1);
    EXPECT_EQ(Unread(s), "abc");
    char out[4];
    EXPECT_EQ(s.Read(out, -5), 0);
    EXPECT_EQ(s.Write("zz", -2), 0);
    EXPECT_EQ(s.ReadFromStream(&s, -3), 0);
    EXPECT_EQ(Unread(s), "abc");
    EXPECT_THROW(s.WriteBuffer("zz", -2), EWriteError);
    EXPECT_THROW(s.ReadBuffer(out, -2), EReadError);
    s.SetSize(-4);
    EXPECT_EQ(s.Count(), 0);
}

TEST(PipedMemoryStream, SeekConsumesForwardAndReportsTheSizeFromTheEnd)
{
    TPipedMemoryStream s;
    const std::string data = Bytes(20);
    s.Write(data.data(), 20);
    EXPECT_EQ(s.Seek(0, soFromEnd), 20);
    EXPECT_EQ(s.Seek(3, soFromEnd), 0);
    EXPECT_EQ(s.Count(), 20);
    EXPECT_EQ(s.Seek(5, soFromBeginning), 0);
    EXPECT_EQ(s.Count(), 15);
    EXPECT_EQ(s.Seek(5, soFromCurrent), 0);
    EXPECT_EQ(Unread(s), data.substr(10));
    EXPECT_EQ(s.GetSize(), 10);
    EXPECT_EQ(s.GetPosition(), 0);
    EXPECT_EQ(s.Seek64(2, TSeekOrigin::soBeginning), 0);
    EXPECT_EQ(s.Count(), 8);
    EXPECT_THROW(s.Seek64(std::int64_t{1} << 40, TSeekOrigin::soBeginning), ERangeError);
}

TEST(PipedMemoryStream, ReadFromStreamTakesOneReadOfTheSourceSize)
{
    TPipedMemoryStream s;
    CountingSource empty("", 0);
    EXPECT_EQ(s.ReadFromStream(&empty), 0);
    EXPECT_EQ(empty.reads, 0);
    EXPECT_EQ(s.ReadFromStream(&empty, 10), 0);
    EXPECT_EQ(empty.reads, 1) << "an explicit count reads even when the source reports 0";

    CountingSource shortSource("hello", 10);  // reports 10, has 5
    EXPECT_EQ(s.ReadFromStream(&shortSource), 5);
    EXPECT_EQ(shortSource.reads, 1);
    EXPECT_EQ(Unread(s), "hello");
}

TEST(PipedMemoryStream, ReadFromStreamUntilFillsTowardsTheLimit)
{
    TPipedMemoryStream s;
    CountingSource none("", 0);
    EXPECT_FALSE(s.ReadFromStreamUntil(&none, 10));

    CountingSource source("0123456789", 10);
    EXPECT_TRUE(s.ReadFromStreamUntil(&source, 4));
    EXPECT_EQ(Unread(s), "0123");
    EXPECT_TRUE(s.ReadFromStreamUntil(&source, 4)) << "already at the limit";
    EXPECT_EQ(s.Count(), 4);

    TPipedMemoryStream t;
    CountingSource liar("ab", 10);
    EXPECT_FALSE(t.ReadFromStreamUntil(&liar, 8)) << "fewer bytes arrived than asked for";
    EXPECT_EQ(Unread(t), "ab");
}

TEST(PipedMemoryStream, WriteToStreamKeepsWhatTheDestinationRefused)
{
    TPipedMemoryStream s;
    s.Write("abcdefgh", 8);
    PartialSink sink(3);
    s.WriteToStream(&sink);
    EXPECT_EQ(sink.calls, 1);
    EXPECT_EQ(sink.received, "abc");
    EXPECT_EQ(Unread(s), "defgh");
    s.WriteToStream(&sink, 100);  // more than queued: cut to the size
    EXPECT_EQ(sink.received, "abcdef");
    EXPECT_EQ(Unread(s), "gh");
}

TEST(PipedMemoryStream, SetSizeCutsBackAndGrowsLikeAnAppend)
{
    TPipedMemoryStream s(16);
    s.Write("0123456789", 10);
    s.SetSize(4);
    EXPECT_EQ(Unread(s), "0123");
    s.AdvanceHead(2);  // 2 left: moved to the front (16 / 3 > 2)
    s.Write("456789ab", 8);
    s.AdvanceHead(1);
    ASSERT_EQ(s.Count(), 9);
    s.SetSize(20);  // beyond the block: 2 * 20 > 16, so capacity 40
    EXPECT_EQ(s.Capacity, 40);
    EXPECT_EQ(s.Count(), 20);
    EXPECT_EQ(std::string(s.Head, 9), "3456789ab");
}

TEST(PipedMemoryStream, ClearKeepsTheBlockAndDataAccessWorksInPlace)
{
    TPipedMemoryStream s(8);
    s.Write("0123456789", 10);
    const int capacity = s.Capacity;
    s.Clear();
    EXPECT_EQ(s.Count(), 0);
    EXPECT_EQ(s.Capacity, capacity);
    s.Write("xyz", 3);
    EXPECT_EQ(s.GetData(1), 'y');
    s.SetData(1, 'Y');
    EXPECT_EQ(Unread(s), "xYz");
}

TEST(ConstMemoryStream, ReadsAndSeeksWithinTheView)
{
    const char data[] = "0123456789";
    TConstMemoryStream s(data, 10);
    char out[16] = {};
    EXPECT_EQ(s.Read(out, 4), 4);
    EXPECT_EQ(std::string(out, 4), "0123");
    EXPECT_EQ(s.Seek(100, soFromBeginning), 10);
    EXPECT_EQ(s.Read(out, 4), 0);
    EXPECT_EQ(s.Seek(-3, soFromEnd), 7);
    EXPECT_EQ(s.Seek(-50, soFromCurrent), 0) << "a position below 0 is clamped";
    EXPECT_EQ(s.Seek(4, 9), 0) << "an unknown origin leaves the position";
    EXPECT_EQ(s.GetSize(), 10);
    EXPECT_EQ(s.Read(out, -1), 0);
}

TEST(ConstMemoryStream, RefusesEveryWrite)
{
    TConstMemoryStream s("abc", 3);
    try {
        s.Write("x", 0);
        FAIL() << "a write of 0 bytes must raise too";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "バッファは書き込み禁止です.");
    }
    EXPECT_THROW(s.WriteBuffer("x", 1), Exception);
    TConstMemoryStream empty;
    EXPECT_EQ(empty.GetSize(), 0);
}
