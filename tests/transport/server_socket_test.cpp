// The packet server component: its connection list, broadcasts, limits and
// the order of its notifications, over real loopback sockets.
#include <gtest/gtest.h>

#include "platform/client_win_socket.h"
#include "platform/memory_stream.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

class ServerSocket : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        server.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void* data, int size) {
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
        };
    }
    std::vector<std::string> packets;
};

// A server whose connections record the order in which they are destroyed.
class RecordingServer : public TPacketServerSocket {
public:
    explicit RecordingServer(std::vector<int>& log) : destroyed(log) {}
    std::vector<int>& destroyed;
    int made = 0;

protected:
    TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) override
    {
        struct Connection : TPacketServerClientWinSocket {
            Connection(int handle, TServerWinSocket* server, std::vector<int>& log, int id)
                : TPacketServerClientWinSocket(handle, server), log(log), id(id)
            {
            }
            ~Connection() override { log.push_back(id); }
            std::vector<int>& log;
            int id;
        };
        return new Connection(socketHandle, ServerSocket.get(), destroyed, made++);
    }
};

}  // namespace

TEST_F(ServerSocket, ANewConnectionCanBeSentToFromItsConnectEvent)
{
    StartServer();
    server.OnClientConnect = [this](TObject* sender, TCustomWinSocket* socket) {
        ++connects;
        EXPECT_EQ(sender, server.Socket());
        EXPECT_EQ(server.GetClientSocket(server.ClientCount() - 1), socket) << "it is the last entry";
        server.SendToAll("hi", 2);
    };
    RawPeer first = ConnectPeer();
    EXPECT_EQ(first.Read(6), Packet("hi"));
    RawPeer second = ConnectPeer();
    EXPECT_EQ(second.Read(6), Packet("hi"));
    EXPECT_EQ(first.Read(6), Packet("hi"));
}

TEST_F(ServerSocket, TheDepartingConnectionIsStillListedDuringItsDisconnectEvent)
{
    StartServer();
    RawPeer stays = ConnectPeer();
    RawPeer leaves = ConnectPeer();
    TCustomWinSocket* departing = Connection(1);
    bool listed = false, connected = false;
    server.OnClientDisconnect = [&](TObject*, TCustomWinSocket* socket) {
        ++disconnects;
        listed = server.ClientCount() == 2 && server.GetClientSocket(1) == socket && socket == departing;
        connected = socket->Connected();
        server.SendToAll("bye", 3);
    };
    leaves.Close();
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }));
    EXPECT_TRUE(listed);
    EXPECT_TRUE(connected);
    EXPECT_EQ(stays.Read(7), Packet("bye"));
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; })) << "destroyed afterwards, from the event loop";
}

TEST_F(ServerSocket, BroadcastsSkipOnlyTheExceptedConnection)
{
    StartServer();
    RawPeer a = ConnectPeer(), b = ConnectPeer(), c = ConnectPeer();
    server.SendToAllExcept("x", 1, Connection(1));
    TClientWinSocket stranger;
    server.SendToAllExcept("y", 1, &stranger);
    EXPECT_EQ(a.Read(10), Packet("x") + Packet("y"));
    EXPECT_EQ(c.Read(10), Packet("x") + Packet("y"));
    EXPECT_EQ(b.Read(5), Packet("y"));
    EXPECT_THROW(server.Send(&stranger, "z", 1), EInvalidCast);

    TMemoryStream stream;
    stream.WriteBuffer("0123456789", 10);
    stream.SetPosition(0);
    server.SendStreamToAll(&stream);
    for (RawPeer* peer : {&a, &b, &c})
        EXPECT_EQ(peer->Read(14), Packet("0123456789"));
}

TEST_F(ServerSocket, ReceiveLimitsReachLiveAndNewConnections)
{
    StartServer();
    RawPeer a = ConnectPeer();
    EXPECT_EQ(Connection(0)->MaxRecvSize(), 0);
    server.SetMaxRecvSize(77);
    EXPECT_EQ(Connection(0)->MaxRecvSize(), 77);
    RawPeer b = ConnectPeer();
    EXPECT_EQ(Connection(1)->MaxRecvSize(), 77);
}

TEST_F(ServerSocket, APartialPacketDiesWithItsConnection)
{
    StartServer();
    RawPeer peer = ConnectPeer();
    peer.Write(std::string("\x0a\0\0\0abc", 7));
    ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == 7; }));
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1 && server.ClientCount() == 0; }));
    EXPECT_TRUE(packets.empty());
}

TEST(ServerSocketLifetime, DeactivatingDestroysConnectionsNewestFirstWithoutNotifying)
{
    std::vector<int> destroyed;  // outlives the server, whose end destroys the last connection
    RecordingServer server(destroyed);
    server.SetAddress("127.0.0.1");
    int connects = 0, disconnects = 0;
    server.OnClientConnect = [&](TObject*, TCustomWinSocket*) { ++connects; };
    server.OnClientDisconnect = [&](TObject*, TCustomWinSocket*) { ++disconnects; };
    server.SetActive(true);
    std::vector<RawPeer> peers;
    for (int i = 0; i < 3; ++i) {
        peers.push_back(RawPeer::Connect(server.Socket()->LocalPort()));
        ASSERT_TRUE(WaitUntil([&] { return connects == i + 1; }));
    }
    server.SetActive(false);
    EXPECT_FALSE(server.Active());
    EXPECT_EQ(destroyed, (std::vector<int>{2, 1, 0}));
    EXPECT_EQ(disconnects, 0);
    EXPECT_EQ(server.ClientCount(), 0);
    for (auto& peer : peers)
        EXPECT_TRUE(peer.WaitClosed());

    server.SetActive(true);  // and it can listen again
    RawPeer again = RawPeer::Connect(server.Socket()->LocalPort());
    EXPECT_TRUE(WaitUntil([&] { return connects == 4; }));
}

TEST(ServerSocketLifetime, ATakenPortRaisesFromActivation)
{
    TPacketServerSocket first;
    first.SetAddress("127.0.0.1");
    first.SetActive(true);
    TPacketServerSocket second;
    second.SetAddress("127.0.0.1");
    second.SetPort(first.Socket()->LocalPort());
    EXPECT_THROW(second.SetActive(true), ESocketError);
    EXPECT_FALSE(second.Active());
    EXPECT_TRUE(first.Active());
}
