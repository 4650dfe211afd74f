// The listening socket under bursts of connects and failing accepts, and the
// TCP keepalive of both ends of a connection.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/client_win_socket.h"
#include "platform/keep_alive.h"
#include "platform/server_win_socket.h"
#include "platform/socket_calls.h"
#include "support/socket_test_support.h"

using namespace test;

namespace {

int Option(int handle, int level, int name)
{
    int value = -1;
    socklen_t length = sizeof value;
    return getsockopt(handle, level, name, &value, &length) == 0 ? value : -1;
}

void ExpectKeepAlive(int handle)
{
    EXPECT_EQ(Option(handle, SOL_SOCKET, SO_KEEPALIVE), 1);
    EXPECT_EQ(Option(handle, IPPROTO_TCP, TCP_KEEPIDLE), 60);
    EXPECT_EQ(Option(handle, IPPROTO_TCP, TCP_KEEPINTVL), 10);
    EXPECT_EQ(Option(handle, IPPROTO_TCP, TCP_KEEPCNT), 6);
}

int failingAccepts = 0;

int NoFileHandlesLeft(int, sockaddr*, socklen_t*, int)
{
    ++failingAccepts;
    errno = EMFILE;
    return -1;
}

ssize_t TimedOutRecv(int, void*, std::size_t, int)
{
    errno = ETIMEDOUT;
    return -1;
}

class ListeningSocket : public ::testing::Test {
protected:
    void SetUp() override
    {
        failingAccepts = 0;
        listener.OnErrorEvent = [this](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
            errors.push_back({event, code});
            code = 0;
        };
        listener.OnClientDisconnect = [this](TObject*, TCustomWinSocket*) { ++disconnects; };
        listener.OnClientError = [this](TObject*, TCustomWinSocket*, TErrorEvent event, int& code) {
            clientErrors.push_back({event, code});
            code = 0;
        };
        listener.Listen("", "127.0.0.1", "", 0, SOMAXCONN);
        port = listener.LocalPort();
    }

    TServerWinSocket listener;
    ReportRecorder reports;
    std::vector<std::pair<TErrorEvent, int>> errors;
    std::vector<std::pair<TErrorEvent, int>> clientErrors;
    int disconnects = 0;
    int port = 0;
};

}  // namespace

TEST_F(ListeningSocket, ABurstOfConnectsIsAcceptedABoundedNumberPerWakeUp)
{
    const int burst = 3 * TServerWinSocket::MaxAcceptsPerWakeUp + 5;
    std::vector<RawPeer> peers;
    for (int i = 0; i < burst; ++i)
        peers.push_back(RawPeer::Connect(port));  // completed by the kernel, not accepted yet
    QCoreApplication::processEvents();
    EXPECT_GT(listener.ActiveConnections(), 0);
    EXPECT_LE(listener.ActiveConnections(), TServerWinSocket::MaxAcceptsPerWakeUp);
    ASSERT_TRUE(WaitUntil([&] { return listener.ActiveConnections() == burst; }));
    EXPECT_TRUE(errors.empty());
}

TEST_F(ListeningSocket, RunningOutOfFileHandlesPausesAcceptingAndIsReportedOncePerRun)
{
    RawPeer waiting;
    {
        ScopedSocketCalls calls{{::send, ::recv, NoFileHandlesLeft}};
        waiting = RawPeer::Connect(port);
        ASSERT_TRUE(WaitUntil([] { return failingAccepts >= 3; }));
        // Pauses between the attempts, not a spin on the readable handle.
        EXPECT_LT(failingAccepts, 10);
        EXPECT_EQ(errors, (std::vector<std::pair<TErrorEvent, int>>{{eeAccept, EMFILE}}));
    }
    ASSERT_TRUE(WaitUntil([&] { return listener.ActiveConnections() == 1; })) << "accepting resumes by itself";

    // A later run of failures is reported again, once.
    ScopedSocketCalls calls{{::send, ::recv, NoFileHandlesLeft}};
    RawPeer next = RawPeer::Connect(port);
    ASSERT_TRUE(WaitUntil([] { return failingAccepts >= 6; }));
    EXPECT_EQ(errors.size(), 2u);
    EXPECT_TRUE(reports.reports.empty()) << "a handler that clears the code keeps it out of the error report";
}

TEST_F(ListeningSocket, AcceptedConnectionsProbeTheirPeersAndATimedOutOneClosesLikeAnyDrop)
{
    RawPeer peer = RawPeer::Connect(port);
    ASSERT_TRUE(WaitUntil([&] { return listener.ActiveConnections() == 1; }));
    ExpectKeepAlive(listener.Connections(0)->SocketHandle());

    // When the probes go unanswered the kernel fails the connection with
    // ETIMEDOUT and marks it readable.
    ScopedSocketCalls calls{{::send, TimedOutRecv}};
    ::shutdown(peer.Handle(), SHUT_WR);
    ASSERT_TRUE(WaitUntil([&] { return disconnects == 1; }));
    EXPECT_EQ(clientErrors, (std::vector<std::pair<TErrorEvent, int>>{{eeReceive, ETIMEDOUT}}));
    ASSERT_TRUE(WaitUntil([&] { return listener.ActiveConnections() == 0; }));
}

TEST(ClientKeepAlive, AConnectedClientSocketProbesItsServer)
{
    RawListener server;
    TClientWinSocket client;
    bool connected = false;
    client.OnSocketEvent = [&](TObject*, TCustomWinSocket*, TSocketEvent event) {
        connected = connected || event == seConnect;
    };
    client.Open("", "127.0.0.1", "", server.Port());
    RawPeer accepted = server.Accept();
    ASSERT_TRUE(WaitUntil([&] { return connected; }));
    ExpectKeepAlive(client.SocketHandle());
}
