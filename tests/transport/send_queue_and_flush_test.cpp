// The two additions to the transport, off by default: the send-queue limit
// and deferred flushing. Also the deferral of a connection's read events
// while its packet handler runs a nested event loop.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>

#include "transport/transport_test_support.h"

using namespace test;

namespace {

class Additions : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        server.OnPacketArrived = [this](TObject*, TCustomWinSocket* socket, const void* data, int size) {
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
            if (onPacket)
                onPacket(socket);
        };
        server.OnClientError = [this](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
            errors.push_back({event, code});
            if (clearErrors)
                code = 0;
        };
    }

    std::vector<std::string> packets;
    std::function<void(TCustomWinSocket*)> onPacket;
    std::vector<std::pair<TErrorEvent, int>> errors;
    bool clearErrors = false;
};

}  // namespace

TEST_F(Additions, DeferredSendsGoOutOnceTheEventIsHandledInOrder)
{
    server.DeferredFlush = true;
    StartServer();
    RawPeer peer = ConnectPeer();
    std::string expected;
    for (int i = 0; i < 100; ++i) {
        const std::string payload = "packet " + std::to_string(i);
        server.SendToAll(payload.data(), static_cast<int>(payload.size()));
        expected += Packet(payload);
    }
    EXPECT_EQ(static_cast<std::size_t>(Buffered(0) + Connection(0)->SocketRW->SendBuffer.Count()), expected.size())
        << "nothing is written while the sending code runs";
    EXPECT_EQ(peer.Read(expected.size()), expected);
    EXPECT_EQ(Connection(0)->SocketRW->SendBuffer.Count(), 0);
}

TEST_F(Additions, AFailingConnectionDoesNotStopADeferredBroadcast)
{
    server.DeferredFlush = true;
    clearErrors = true;
    StartServer();
    RawPeer first = ConnectPeer();
    RawPeer broken = ConnectPeer();
    RawPeer last = ConnectPeer();
    broken.Reset();
    // The reset may be seen by the read watch or by the send; either way the
    // broadcast reaches the others and the broken connection goes.
    server.SendToAll("all", 3);
    server.SendToAll("again", 5);
    EXPECT_EQ(first.Read(16), Packet("all") + Packet("again"));
    EXPECT_EQ(last.Read(16), Packet("all") + Packet("again"));
    EXPECT_TRUE(WaitUntil([&] { return server.ClientCount() == 2; }));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(Additions, TheSendQueueLimitClosesTheConnectionFromTheSend)
{
    server.MaxSendQueue = 100;
    StartServer();
    RawPeer peer = ConnectPeer();
    const std::string small(50, 's'), big(200, 'b');
    server.SendToAll(small.data(), 50);
    try {
        server.SendToAll(big.data(), 200);
        FAIL();
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "送信キューが MaxSendQueue を超えました");
    }
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], std::make_pair(eeSend, ENOBUFS));
    EXPECT_EQ(peer.Read(54), Packet(small)) << "what was queued before still went out";
    EXPECT_TRUE(peer.WaitClosed());
}

TEST_F(Additions, WithDeferredFlushTheLimitIsReportedThroughTheErrorEvent)
{
    server.MaxSendQueue = 1000;
    server.DeferredFlush = true;
    clearErrors = true;
    StartServer();
    RawPeer slow = ConnectPeer();
    RawPeer other = ConnectPeer();
    const std::string chunk(400, 'c');
    for (int i = 0; i < 3; ++i)  // the third would make 1212 queued bytes on each
        server.SendToAllExcept(chunk.data(), 400, Connection(1));
    server.Send(Connection(1), "ok", 2);
    EXPECT_EQ(other.Read(6), Packet("ok"));
    EXPECT_TRUE(slow.WaitClosed());
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], std::make_pair(eeSend, ENOBUFS));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(Additions, ReadEventsWaitWhileAPacketHandlerRunsANestedLoop)
{
    StartServer();
    RawPeer peer = ConnectPeer();
    int depth = 0, deepest = 0;
    onPacket = [&](TCustomWinSocket*) {
        deepest = std::max(deepest, ++depth);
        if (packets.size() == 1) {
            // Like a modal box: a nested loop while more bytes arrive.
            peer.Write(Packet("second"));
            QEventLoop nested;
            QTimer::singleShot(150, &nested, &QEventLoop::quit);
            nested.exec();
            EXPECT_EQ(packets.size(), 1u) << "no delivery inside the nested loop";
        }
        --depth;
    };
    peer.Write(Packet("first"));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 2; }));
    EXPECT_EQ(packets, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(deepest, 1);
}
