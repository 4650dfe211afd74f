// Packet cutting and the receive limit, over real loopback sockets.
#include <gtest/gtest.h>

#include "transport/transport_test_support.h"

using namespace test;

namespace {

class PacketFraming : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        server.OnPacketArrived = [this](TObject* sender, TCustomWinSocket*, const void* data, int size) {
            EXPECT_EQ(sender, &server);
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
            readEventsAtDelivery.push_back(readEvents);
            if (throwOnce) {
                throwOnce = false;
                throw Exception("handler failed");
            }
        };
        StartServer();
    }

    std::vector<std::string> packets;
    std::vector<int> readEventsAtDelivery;
    bool throwOnce = false;
};

std::string Header(std::int32_t length)
{
    std::string h(4, '\0');
    for (int i = 0; i < 4; ++i)
        h[static_cast<std::size_t>(i)] = static_cast<char>(static_cast<std::uint32_t>(length) >> (8 * i));
    return h;
}

}  // namespace

TEST_F(PacketFraming, ShortAndEmptyPacketsWaitForTheirFifthByte)
{
    RawPeer peer = ConnectPeer();
    peer.Write(std::string("\0\0\0", 3));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 3; }));
    peer.Write(std::string("\0", 1));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 4; }));
    PumpFor(30);
    EXPECT_TRUE(packets.empty()) << "a lone zero header is not delivered yet";

    peer.Write("\x02");
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 1; }));
    EXPECT_EQ(packets[0], "");
    EXPECT_EQ(Buffered(0), 1) << "the fifth byte begins the next header";
    peer.Write(std::string("\0\0\0xy", 5));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 2; }));
    EXPECT_EQ(packets[1], "xy");
}

TEST_F(PacketFraming, PacketsOfOneReadComeInOrderWithinOneEvent)
{
    RawPeer peer = ConnectPeer();
    peer.Write(Packet("first") + Packet("second") + Packet(""));
    peer.Write("z");  // lets the empty packet go
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets, (std::vector<std::string>{"first", "second", ""}));
    EXPECT_EQ(readEventsAtDelivery[0], readEventsAtDelivery[1])
        << "both packets were delivered by the same read event";
}

TEST_F(PacketFraming, APacketWrittenByteByByteIsDeliveredOnce)
{
    RawPeer peer = ConnectPeer();
    const std::string bytes = Packet("hello");
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        peer.Write(bytes.substr(i, 1));
        ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == static_cast<int>(i + 1) || !packets.empty(); }));
    }
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 1; }));
    PumpFor(20);
    EXPECT_EQ(packets, std::vector<std::string>{"hello"});
}

TEST_F(PacketFraming, APacketWhoseHandlerThrowsComesAgainWithTheNextBytes)
{
    RawPeer peer = ConnectPeer();
    throwOnce = true;
    peer.Write(Packet("one"));
    ASSERT_TRUE(WaitUntil([&] { return reports.Contains(QStringLiteral("handler failed")); }));
    EXPECT_EQ(packets.size(), 1u);
    peer.Write(Packet("two"));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 3; }));
    EXPECT_EQ(packets, (std::vector<std::string>{"one", "one", "two"}));
}

TEST_F(PacketFraming, ImpossibleLengthsCloseTheConnection)
{
    for (const std::int32_t length : {-1, 0x7FFFFFFF, INT32_MIN}) {
        RawPeer peer = ConnectPeer();
        peer.Write(Header(length) + "x");
        EXPECT_TRUE(peer.WaitClosed()) << length;
        EXPECT_TRUE(reports.Contains(QStringLiteral("不正なパケット長です"))) << length;
        EXPECT_TRUE(packets.empty());
        ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 0; }));
    }
}

TEST_F(PacketFraming, ReceiveLimitCountsBufferedAndWaitingBytes)
{
    server.SetMaxRecvSize(100);
    RawPeer exact = ConnectPeer();
    exact.Write(Header(500) + std::string(56, 'a'));  // 60 bytes, far from a whole packet
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 60; }));
    exact.Write(std::string(40, 'b'));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 100; })) << "exactly the limit is allowed";
    EXPECT_TRUE(Connection(0)->Connected());

    RawPeer over = ConnectPeer();
    over.Write(Header(500) + std::string(56, 'a'));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(1) == 60; }));
    over.Write(std::string(41, 'b'));
    EXPECT_TRUE(over.WaitClosed());
    EXPECT_TRUE(reports.Contains(QStringLiteral("パケットサイズが MaxRecvSize を超えました")));
    EXPECT_TRUE(Connection(0)->Connected()) << "the other connection is not affected";
}

TEST_F(PacketFraming, AnErrorHandlerCanTakeAPeersFaultQuietly)
{
    std::vector<std::pair<TErrorEvent, int>> errors;
    server.OnClientError = [&](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
        errors.push_back({event, code});
        code = 0;
    };
    server.SetMaxRecvSize(10);
    RawPeer tooMuch = ConnectPeer();
    tooMuch.Write(std::string(11, 'x'));
    EXPECT_TRUE(tooMuch.WaitClosed());
    RawPeer badLength = ConnectPeer();
    badLength.Write(Header(-5) + "x");
    EXPECT_TRUE(badLength.WaitClosed());
    EXPECT_EQ(errors, (std::vector<std::pair<TErrorEvent, int>>{{eeReceive, EMSGSIZE}, {eeReceive, EPROTO}}));
    EXPECT_TRUE(reports.reports.empty()) << "no error box for a peer's fault";
}
