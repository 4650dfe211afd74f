// What a server connection takes in per read-ready event, what it may hold
// unprocessed, and the buffer memory it keeps while idle.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>

#include "transport/transport_test_support.h"

using namespace test;

namespace {

constexpr int PayloadBytes = 200;

std::string Chat(int index)
{
    std::string payload = std::to_string(index) + ":";
    payload.resize(PayloadBytes, 'x');
    return payload;
}

std::string Chats(int count)
{
    std::string bytes;
    for (int i = 0; i < count; ++i)
        bytes += Packet(Chat(i));
    return bytes;
}

class ConnectionBuffers : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        server.OnPacketArrived = [this](TObject*, TCustomWinSocket* socket, const void* data, int size) {
            (socket == Connection(0) ? first : second)
                .emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
            if (onPacket)
                onPacket();
        };
        StartServer();
    }

    std::vector<std::string> first;
    std::vector<std::string> second;
    std::function<void()> onPacket;
};

}  // namespace

TEST_F(ConnectionBuffers, ABusyConnectionYieldsTheThreadAfterItsReadBudget)
{
    RawPeer flood = ConnectPeer();
    RawPeer quiet = ConnectPeer();
    // The whole flood waits in the kernel before the server reads any of it.
    const int room = 8 << 20;
    ::setsockopt(flood.Handle(), SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    const int floodCount = 4000;  // about 800 KB, a dozen budgets
    const std::string bytes = Chats(floodCount);
    ASSERT_EQ(::send(flood.Handle(), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT),
              static_cast<ssize_t>(bytes.size()));

    // The quiet peer speaks once the flood is being handled; it must be heard
    // after the rest of that budget and at most one more (the flood's turn in
    // the next round may come first), not after all of it.
    std::size_t floodBeforeQuiet = 0;
    onPacket = [&] {
        if (first.size() == 1)
            quiet.Write(Packet("quiet"));
        if (second.size() == 1 && floodBeforeQuiet == 0)
            floodBeforeQuiet = first.size();
    };
    ASSERT_TRUE(WaitUntil([&] { return first.size() == floodCount && second.size() == 1; }, 20000));
    const std::size_t oneBudget = TCustomSocketRW::DefaultReadBudget / (PayloadBytes + 4) + 1;
    EXPECT_LE(floodBeforeQuiet, 2 * oneBudget);
    for (int i = 0; i < floodCount; i += 997)
        EXPECT_EQ(first[static_cast<std::size_t>(i)], Chat(i)) << "the flood arrives whole and in order";
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(ConnectionBuffers, AFastSenderOfSmallPacketsIsSlowedNeverCut)
{
    // Far less than the flood: only a single packet beyond it is a fault.
    server.SetMaxUnprocessedSize(1024);
    RawPeer flood = ConnectPeer();
    const int floodCount = 20000;  // about 4 MB, written as fast as the server lets it
    flood.Write(Chats(floodCount));
    ASSERT_TRUE(WaitUntil([&] { return first.size() == floodCount; }, 30000));
    EXPECT_EQ(first.back(), Chat(floodCount - 1));
    EXPECT_TRUE(Connection(0)->Connected());
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(ConnectionBuffers, APacketLargerThanTheUnprocessedLimitEndsTheConnectionOnItsHeader)
{
    std::vector<std::pair<TErrorEvent, int>> errors;
    server.OnClientError = [&](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
        errors.push_back({event, code});
        code = 0;
    };
    server.SetMaxUnprocessedSize(100);
    RawPeer exact = ConnectPeer();
    exact.Write(Packet(std::string(96, 'a')));  // header and payload: exactly the limit
    ASSERT_TRUE(WaitUntil([&] { return first.size() == 1; }));

    RawPeer over = ConnectPeer();
    over.Write(Packet(std::string(97, 'b')).substr(0, 5));  // the header and one byte
    EXPECT_TRUE(over.WaitClosed());
    EXPECT_EQ(errors, (std::vector<std::pair<TErrorEvent, int>>{{eeReceive, EMSGSIZE}}));
    EXPECT_TRUE(second.empty());
    EXPECT_TRUE(Connection(0)->Connected()) << "the other connection is not affected";

    // Without an error handler the fault reaches the error report.
    server.OnClientError = nullptr;
    RawPeer reported = ConnectPeer();
    reported.Write(Packet(std::string(500, 'c')));
    EXPECT_TRUE(reported.WaitClosed());
    EXPECT_TRUE(reports.Contains(QStringLiteral("未処理の受信データが MaxUnprocessedSize を超えました")));
}

TEST_F(ConnectionBuffers, AnIdleConnectionHoldsNoBufferMemory)
{
    RawPeer peer = ConnectPeer();
    TCustomSocketRW* rw = Connection(0)->SocketRW;
    EXPECT_EQ(rw->RecvBuffer.Capacity, 0) << "nothing is taken before the first byte";
    EXPECT_EQ(rw->SendBuffer.Capacity, 0);

    // Half a packet is held, then given back once it has been delivered.
    const std::string bytes = Packet(Chat(1)) + Packet(Chat(2));
    peer.Write(bytes.substr(0, 300));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 300 - (PayloadBytes + 4); }));
    EXPECT_GT(rw->RecvBuffer.Capacity, 0);
    peer.Write(bytes.substr(300));
    ASSERT_TRUE(WaitUntil([&] { return first.size() == 2; }));
    EXPECT_EQ(rw->RecvBuffer.Capacity, 0);

    server.Send(Connection(0), "answer", 6);
    EXPECT_EQ(peer.Read(10), Packet("answer"));
    EXPECT_EQ(rw->SendBuffer.Capacity, 0) << "a send buffer that has gone out is given back";

    // Bytes that could not go out keep their buffer until they have.
    const int small = 16 * 1024;
    ::setsockopt(Connection(0)->SocketHandle(), SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
    const std::string big(8 << 20, 'z');
    server.Send(Connection(0), big.data(), static_cast<int>(big.size()));
    EXPECT_GT(rw->SendBuffer.Count(), 0);
    EXPECT_EQ(peer.Read(big.size() + 4, 30000).size(), big.size() + 4);
    ASSERT_TRUE(WaitUntil([&] { return rw->SendBuffer.Count() == 0; }));
    EXPECT_EQ(rw->SendBuffer.Capacity, 0);
}

TEST_F(ConnectionBuffers, APacedConnectionWaitsForItsShareWhileOthersAreServed)
{
    // Each packet is answered to its sender: the answer counts against the
    // sender's share as well as the packet.
    server.OnPacketArrived = [this](TObject*, TCustomWinSocket* socket, const void* data, int size) {
        (socket == Connection(0) ? first : second).emplace_back(static_cast<const char*>(data), size);
        server.Send(socket, data, size);
    };
    server.RelayRate = 200 * 1024;
    server.RelayBurst = 40 * 1024;
    RawPeer busy = ConnectPeer();
    RawPeer other = ConnectPeer();
    const int count = 1000;  // about 400 KB charged: two seconds at the rate
    busy.Write(Chats(count));
    ASSERT_TRUE(WaitUntil([&] { return first.size() > 50; }));
    other.Write(Packet("other"));
    ASSERT_TRUE(WaitUntil([&] { return second.size() == 1; }));
    EXPECT_LT(first.size(), static_cast<std::size_t>(count)) << "the busy peer is still waiting for its share";

    ASSERT_TRUE(WaitUntil(
        [&] {
            busy.ReadAvailable();  // takes the answers, so that they never pile up
            return first.size() == count;
        },
        30000));
    EXPECT_TRUE(Connection(0)->Connected()) << "slowed, never cut";
    EXPECT_TRUE(reports.reports.empty());
}
