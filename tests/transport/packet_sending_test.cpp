// Sending packets from a client component: explicit packets, streams, and
// bytes queued before the connection is up.
#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "transport/packet_client_socket.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

class PacketSending : public ::testing::Test {
protected:
    void SetUp() override
    {
        client.SetAddress("127.0.0.1");
        client.SetPort(listener.Port());
        client.OnConnect = [this](TObject*, TCustomWinSocket*) { ++connects; };
        client.OnDisconnect = [this](TObject*, TCustomWinSocket*) { ++disconnects; };
    }

    RawPeer ConnectClient()
    {
        client.SetActive(true);
        RawPeer peer = listener.Accept();
        EXPECT_TRUE(WaitUntil([&] { return connects == 1; }));
        return peer;
    }

    RawListener listener;
    TPacketClientSocket client;
    ReportRecorder reports;
    int connects = 0;
    int disconnects = 0;
};

}  // namespace

TEST_F(PacketSending, BytesQueuedBeforeTheConnectionAreNeverSent)
{
    client.SetActive(true);
    client.Send("early", 5);
    RawPeer peer = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connects == 1; }));
    EXPECT_TRUE(client.Active());
    client.Send("late", 4);
    EXPECT_EQ(peer.Read(8), Packet("late"));
    PumpFor(20);
    EXPECT_EQ(peer.ReadAvailable(), "");
}

TEST_F(PacketSending, OpenPacketsFollowTheirRules)
{
    RawPeer peer = ConnectClient();
    client.PacketBegin();
    client.PacketEnd();  // no payload: nothing is sent
    TStream* body = client.PacketBegin();
    try {
        client.PacketBegin();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "既にパケット書き込み中です.");
    }
    body->WriteBuffer("abc", 3);
    client.PacketEnd();
    try {
        client.PacketEnd();
        FAIL();
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "パケット書き込み中ではありません.");
    }
    EXPECT_EQ(peer.Read(7), Packet("abc"));

    client.Send("x", 0);
    client.PacketBegin()->WriteBuffer("dropped", 7);
    client.PacketDiscard();
    client.PacketDiscard();  // none open: the buffer stays intact
    EXPECT_EQ(peer.Read(4), std::string(4, '\0')) << "Send with size 0 gives a bare header";
    PumpFor(20);
    EXPECT_EQ(peer.ReadAvailable(), "");
}

TEST_F(PacketSending, StreamsAreFramedByTheirSizeAndShortStreamsSendNothing)
{
    RawPeer peer = ConnectClient();
    TMemoryStream stream;
    stream.WriteBuffer("0123456789", 10);
    stream.SetPosition(0);
    client.SendStream(&stream);
    TMemoryStream empty;
    client.SendStream(&empty);
    stream.SetPosition(8);
    EXPECT_THROW(client.SendStream(&stream, 5), EReadError) << "the stream cannot deliver 5 bytes";
    stream.SetPosition(2);
    client.SendStream(&stream, 3);
    EXPECT_EQ(peer.Read(21), Packet("0123456789") + Packet("234"));
}

TEST_F(PacketSending, ALargeSendDrainsAsThePeerReads)
{
    RawPeer peer = ConnectClient();
    std::string big(8 << 20, '\0');
    for (std::size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<char>(i * 7);
    client.Send(big.data(), static_cast<int>(big.size()));
    EXPECT_GT(client.SocketRW->SendBuffer.Count(), 0) << "the socket cannot take 8 MiB at once";
    const std::string received = peer.Read(big.size() + 4, 20000);
    EXPECT_EQ(received, Packet(big));
    EXPECT_EQ(client.SocketRW->SendBuffer.Count(), 0);
}
