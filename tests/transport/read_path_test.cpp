// The read path of a server connection: a read-ready event receives straight
// into the connection's buffer and goes on while its receives fill their
// room, without asking how many bytes wait; the peer's close still comes as
// the disconnect, after every packet before it.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QCoreApplication>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "platform/socket_calls.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

int watchedHandle = -1;
int receives = 0;
int peeks = 0;

ssize_t CountingRecv(int handle, void* buffer, std::size_t length, int flags)
{
    if (handle == watchedHandle)
        ++((flags & MSG_PEEK) ? peeks : receives);
    return ::recv(handle, buffer, length, flags);
}

class ReadPath : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        watchedHandle = -1;
        receives = peeks = 0;
        server.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void* data, int size) {
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
        };
        StartServer();
    }

    std::vector<std::string> packets;
    ScopedSocketCalls calls{{::send, CountingRecv}};
};

}  // namespace

TEST_F(ReadPath, PacketsArriveInOneReceiveAndTheCloseWithoutAPeek)
{
    RawPeer peer = ConnectPeer();
    watchedHandle = Connection(0)->SocketHandle();
    std::string burst;
    for (int i = 0; i < 5; ++i)
        burst += Packet("line " + std::to_string(i));
    peer.Write(burst);
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 5; }));
    EXPECT_EQ(packets[4], "line 4");
    // The event's own receive took the burst in less than its room: no
    // second receive to be told the socket is empty.
    EXPECT_EQ(receives, 1);

    // A burst larger than any one room still arrives whole, in few receives.
    receives = 0;
    const std::string large(100000, 'x');
    peer.Write(Packet(large) + Packet("after"));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 7; }));
    EXPECT_EQ(packets[5], large);
    EXPECT_EQ(packets[6], "after");
    EXPECT_LE(receives, 8);

    peer.Write(Packet("last"));
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }));
    ASSERT_EQ(packets.size(), 8u);
    EXPECT_EQ(packets[7], "last");
    EXPECT_EQ(peeks, 0);
}

TEST_F(ReadPath, AnyCuttingOfTheStreamDeliversEveryPacketWholeAndInOrder)
{
    // The read stops at a receive that leaves room, trusting the next event
    // for what comes later: packets of any size, cut into writes of any size
    // at any moment, must all arrive, none late or stuck in the socket.
    RawPeer peer = ConnectPeer();
    std::mt19937 random(28);
    std::vector<std::string> sent;
    std::string stream;
    for (int i = 0; i < 300; ++i) {
        const int size = random() % 8 == 0 ? static_cast<int>(random() % 70000) : static_cast<int>(random() % 300);
        sent.push_back(std::string(static_cast<std::size_t>(size), static_cast<char>('a' + i % 26)) +
                       std::to_string(i));
        stream += Packet(sent.back());
    }
    for (std::size_t at = 0; at < stream.size();) {
        const std::size_t cut = std::min<std::size_t>(stream.size() - at, 1 + random() % 40000);
        peer.Write(stream.substr(at, cut));
        at += cut;
        if (random() % 3 == 0)
            QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == sent.size(); })) << packets.size() << " of " << sent.size();
    EXPECT_TRUE(packets == sent);
}
