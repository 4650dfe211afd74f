#pragma once

// A packet server on 127.0.0.1 with an ephemeral port, recording what it
// delivers, for tests that talk to it through raw peers.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "support/socket_test_support.h"
#include "transport/packet_server_socket.h"

namespace test {

template <typename Server>
class ServerFixture : public ::testing::Test {
protected:
    void StartServer()
    {
        server.SetAddress("127.0.0.1");
        server.OnClientConnect = [this](TObject*, TCustomWinSocket*) { ++connects; };
        server.OnClientDisconnect = [this](TObject*, TCustomWinSocket*) { ++disconnects; };
        server.OnClientRead = [this](TObject*, TCustomWinSocket*) { ++readEvents; };
        server.SetActive(true);
        port = server.Socket()->LocalPort();
    }

    RawPeer ConnectPeer()
    {
        const int before = connects;
        RawPeer peer = RawPeer::Connect(port);
        EXPECT_TRUE(WaitUntil([&] { return connects > before; }));
        return peer;
    }

    TCustomPacketServerClientWinSocket* Connection(int index)
    {
        return static_cast<TCustomPacketServerClientWinSocket*>(server.GetClientSocket(index));
    }

    int Buffered(int index) { return Connection(index)->SocketRW->RecvBuffer.Count(); }

    Server server;
    ReportRecorder reports;
    int port = 0;
    int connects = 0;
    int disconnects = 0;
    int readEvents = 0;
};

}  // namespace test
