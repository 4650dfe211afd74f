// Socket failures the kernel will not produce on demand, injected through the
// socket layer's system-call seam, and a real peer reset. Each must follow the
// error rules: the error event with the code by reference, then the
// disconnect, then ESocketError unless the handler cleared the code; EINTR is
// simply retried.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/socket_calls.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

// One injected fault: the next `times` calls on `handle` fail with `error`;
// calls on other handles, and later calls, go to the kernel.
struct Fault {
    int handle = -1;
    int times = 0;
    int error = 0;
    int injected = 0;

    bool Strikes(int h)
    {
        if (h != handle || times == 0)
            return false;
        --times;
        ++injected;
        errno = error;
        return true;
    }
};

Fault sendFault, recvFault;

ssize_t FaultySend(int handle, const void* buffer, std::size_t length, int flags)
{
    return sendFault.Strikes(handle) ? -1 : ::send(handle, buffer, length, flags);
}

ssize_t FaultyRecv(int handle, void* buffer, std::size_t length, int flags)
{
    return recvFault.Strikes(handle) ? -1 : ::recv(handle, buffer, length, flags);
}

class SocketFaults : public ServerFixture<TPacketServerSocket> {
protected:
    void SetUp() override
    {
        sendFault = {};
        recvFault = {};
        server.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void* data, int size) {
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
        };
        StartServer();
        // The order in which a failing connection is told things.
        server.OnClientError = [this](TObject*, TCustomWinSocket* socket, TErrorEvent event, int& code) {
            trail.push_back("error " + std::to_string(event) + " " + std::to_string(code) + " on " +
                            std::to_string(IndexOf(socket)));
            if (clearErrors)
                code = 0;
        };
        server.OnClientDisconnect = [this](TObject*, TCustomWinSocket* socket) {
            trail.push_back("disconnect " + std::to_string(IndexOf(socket)));
        };
    }

    int IndexOf(TCustomWinSocket* socket)
    {
        for (int i = 0; i < server.ClientCount(); ++i)
            if (server.GetClientSocket(i) == socket)
                return i;
        return -1;
    }

    // A broadcast, with its outcome added to the trail.
    void Broadcast(const std::string& payload)
    {
        try {
            server.SendToAll(payload.data(), static_cast<int>(payload.size()));
            trail.push_back("returned");
        } catch (const ESocketError& e) {
            trail.push_back(std::string("ESocketError ") + (e.Message().find("[API 'send']") != std::string::npos
                                                                 ? "send"
                                                                 : e.Message()));
        }
    }

    std::vector<std::string> packets;
    std::vector<std::string> trail;
    bool clearErrors = false;
    ScopedSocketCalls calls{{FaultySend, FaultyRecv}};
};

}  // namespace

TEST_F(SocketFaults, AHardSendFailureMidBroadcastEndsTheBroadcastAfterTheErrorAndTheDisconnect)
{
    RawPeer first = ConnectPeer();
    RawPeer failing = ConnectPeer();
    RawPeer last = ConnectPeer();
    sendFault = {Connection(1)->SocketHandle(), 1, EPIPE};

    Broadcast("one");
    EXPECT_EQ(trail, (std::vector<std::string>{"error 1 " + std::to_string(EPIPE) + " on 1", "disconnect 1",
                                               "ESocketError send"}));
    EXPECT_EQ(first.Read(7), Packet("one"));
    EXPECT_TRUE(failing.WaitClosed());
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 2; })) << "the failed connection is destroyed";

    // The connection after the failing one never got "one": its first packet is the next broadcast.
    trail.clear();
    Broadcast("two");
    EXPECT_EQ(trail, std::vector<std::string>{"returned"});
    EXPECT_EQ(last.Read(7), Packet("two"));
    EXPECT_EQ(first.Read(7), Packet("two"));
}

TEST_F(SocketFaults, AHandlerThatClearsTheCodeLetsTheBroadcastGoOn)
{
    clearErrors = true;
    RawPeer first = ConnectPeer();
    RawPeer failing = ConnectPeer();
    RawPeer last = ConnectPeer();
    sendFault = {Connection(1)->SocketHandle(), 1, ECONNRESET};

    Broadcast("one");
    EXPECT_EQ(trail, (std::vector<std::string>{"error 1 " + std::to_string(ECONNRESET) + " on 1", "disconnect 1",
                                               "returned"}));
    EXPECT_EQ(first.Read(7), Packet("one"));
    EXPECT_EQ(last.Read(7), Packet("one"));
    EXPECT_TRUE(failing.WaitClosed());
    EXPECT_TRUE(WaitUntil([&] { return server.ClientCount() == 2; }));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(SocketFaults, AReceiveErrorIsReportedAfterTheErrorEventAndTheDisconnect)
{
    RawPeer failing = ConnectPeer();
    RawPeer other = ConnectPeer();
    recvFault = {Connection(0)->SocketHandle(), 1, EIO};

    failing.Write(Packet("lost"));
    ASSERT_TRUE(WaitUntil([&] { return !reports.reports.empty(); }));
    EXPECT_EQ(trail, (std::vector<std::string>{"error 2 " + std::to_string(EIO) + " on 0", "disconnect 0"}));
    EXPECT_TRUE(reports.Contains(QStringLiteral("[API 'recv']")));
    EXPECT_TRUE(packets.empty());
    EXPECT_TRUE(failing.WaitClosed());
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));

    other.Write(Packet("still here"));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 1; }));
    EXPECT_EQ(packets[0], "still here");
}

TEST_F(SocketFaults, InterruptedCallsAreRetriedWithoutAnError)
{
    RawPeer peer = ConnectPeer();
    const int handle = Connection(0)->SocketHandle();

    sendFault = {handle, 3, EINTR};
    Broadcast("to the peer");
    EXPECT_EQ(peer.Read(15), Packet("to the peer"));
    EXPECT_EQ(sendFault.injected, 3);

    recvFault = {handle, 3, EINTR};
    peer.Write(Packet("to the server"));
    ASSERT_TRUE(WaitUntil([&] { return packets.size() == 1; }));
    EXPECT_EQ(packets[0], "to the server");
    EXPECT_EQ(recvFault.injected, 3);

    // An orderly close is seen through a peek; interrupted, it is still a plain disconnect.
    recvFault = {handle, 3, EINTR};
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 0; }));
    EXPECT_EQ(recvFault.injected, 3);
    EXPECT_EQ(trail, (std::vector<std::string>{"returned", "disconnect 0"}));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(SocketFaults, APeerResetSeenByTheReadWatchIsAReceiveError)
{
    RawPeer reset = ConnectPeer();
    RawPeer other = ConnectPeer();
    reset.Reset();
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    EXPECT_EQ(trail, (std::vector<std::string>{"error 2 " + std::to_string(ECONNRESET) + " on 0", "disconnect 0"}));
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_TRUE(reports.Contains(QStringLiteral("[API 'recv']")));
}

TEST_F(SocketFaults, APeerResetSeenByASendIsASendError)
{
    clearErrors = true;
    RawPeer reset = ConnectPeer();
    RawPeer other = ConnectPeer();
    reset.Reset();
    // No event runs between the reset and the broadcast, so the send meets it first.
    Broadcast("after the reset");
    ASSERT_EQ(trail.size(), 3u);
    EXPECT_TRUE(trail[0] == "error 1 " + std::to_string(ECONNRESET) + " on 0" ||
                trail[0] == "error 1 " + std::to_string(EPIPE) + " on 0")
        << trail[0];
    EXPECT_EQ(trail[1], "disconnect 0");
    EXPECT_EQ(trail[2], "returned");
    EXPECT_EQ(other.Read(19), Packet("after the reset"));
    EXPECT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    EXPECT_TRUE(reports.reports.empty());
}
