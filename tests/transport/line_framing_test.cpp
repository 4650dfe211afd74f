// Line cutting over real loopback sockets: every terminator, a CR LF split
// across reads, the last unterminated line at disconnect.
#include <gtest/gtest.h>

#include "platform/memory_stream.h"
#include "transport/transport_test_support.h"

using namespace test;

namespace {

class LineFraming : public ServerFixture<TLineServerSocket> {
protected:
    void SetUp() override
    {
        server.OnLineArrived = [this](TObject*, TCustomWinSocket*, const AnsiString line) {
            events.push_back("line:" + line);
        };
        StartServer();
        server.OnClientDisconnect = [this](TObject*, TCustomWinSocket*) { events.push_back("disconnect"); };
    }

    std::vector<std::string> Lines() const
    {
        std::vector<std::string> lines;
        for (const auto& e : events)
            if (e.rfind("line:", 0) == 0)
                lines.push_back(e.substr(5));
        return lines;
    }

    std::vector<std::string> events;
};

}  // namespace

TEST_F(LineFraming, EveryTerminatorEndsALine)
{
    RawPeer peer = ConnectPeer();
    peer.Write("abc\r\ndef\n");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 2; }));
    peer.Write("a\n\rb\n");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 5; }));
    peer.Write(std::string("x\0y\n", 4));
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 7; }));
    EXPECT_EQ(Lines(), (std::vector<std::string>{"abc", "def", "a", "", "b", "x", "y"}));
}

TEST_F(LineFraming, ACarriageReturnEndingOneReadTakesTheLineFeedOfTheNext)
{
    RawPeer peer = ConnectPeer();
    peer.Write("abc\r");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 1; }));
    peer.Write("\ndef\r\n");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 2; }));
    PumpFor(20);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"abc", "def"}));
}

TEST_F(LineFraming, BytesWithoutTerminatorAreSearchedOnce)
{
    RawPeer peer = ConnectPeer();
    auto* rw = static_cast<TLineSocketRW*>(Connection(0)->SocketRW);
    for (const char* part : {"abc", "def", "ghi"}) {
        const int before = Buffered(0);
        peer.Write(part);
        ASSERT_TRUE(WaitUntil([&] { return Buffered(0) == before + 3; }));
        EXPECT_EQ(rw->ScanOffset, Buffered(0)) << "the next search starts behind the bytes already searched";
    }
    peer.Write("\n");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 1; }));
    EXPECT_EQ(Lines()[0], "abcdefghi");
}

TEST_F(LineFraming, TheUnterminatedLastLineComesAtDisconnectBeforeTheEvent)
{
    RawPeer peer = ConnectPeer();
    peer.Write("one\ntwo\npart");
    ASSERT_TRUE(WaitUntil([&] { return Lines().size() == 2 && Buffered(0) == 4; }));
    peer.Close();
    ASSERT_TRUE(WaitUntil([&] { return events.size() == 4; }));
    EXPECT_EQ(events, (std::vector<std::string>{"line:one", "line:two", "line:part", "disconnect"}));
}

TEST_F(LineFraming, SendingEndsEveryLineWithCarriageReturnLineFeed)
{
    RawPeer peer = ConnectPeer();
    server.Send(Connection(0), "hello");
    server.SendToAll("");
    TMemoryStream empty;
    Connection(0)->SendStream(&empty);
    EXPECT_EQ(peer.Read(11), "hello\r\n\r\n\r\n");
}
