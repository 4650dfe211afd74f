// A line connection destroyed while it holds an unterminated line: the
// disconnect that its destruction performs delivers the line, and that must
// happen while the connection, with its OnLineArrived, is still whole.
#include <gtest/gtest.h>

#include <memory>

#include "transport/transport_test_support.h"

using namespace test;

namespace {

using Lines = std::vector<std::string>;

// Its connections' line handlers own state (a closure too large to be stored
// inline), so that calling one after its destruction is a use after free.
class StatefulLineServer : public TLineServerSocket {
public:
    std::shared_ptr<Lines> lines = std::make_shared<Lines>();

protected:
    TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) override
    {
        auto* connection = new TLineServerClientWinSocket(socketHandle, ServerSocket.get());
        connection->OnLineArrived = [this, lines = lines](TObject*, TCustomWinSocket*, const AnsiString line) {
            EXPECT_EQ(lines, this->lines);
            lines->push_back(line);
        };
        return connection;
    }
};

}  // namespace

TEST(LineServerTeardown, DeactivatingDeliversEachPartialLineThroughAWholeConnection)
{
    StatefulLineServer server;
    server.SetAddress("127.0.0.1");
    server.SetActive(true);
    RawPeer peer = RawPeer::Connect(server.Socket()->LocalPort());
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    peer.Write("done\nunfinished");
    ASSERT_TRUE(WaitUntil([&] { return server.lines->size() == 1; }));

    server.SetActive(false);
    EXPECT_EQ(*server.lines, (Lines{"done", "unfinished"}));
}
