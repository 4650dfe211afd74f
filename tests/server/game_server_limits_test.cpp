// How the game server protects the table from one misbehaving connection:
// a receive limit, a send-queue limit, and failures that stay with the
// connection that failed.

#include <sys/socket.h>

#include "game_server_fixture.h"

using namespace std::string_literals;

namespace server_test {

namespace {

bool Contains(const std::vector<AnsiString>& log, std::string_view utf8Part)
{
    const AnsiString part = Cp932::FromUtf8(utf8Part);
    for (const AnsiString& line : log)
        if (line.find(part) != AnsiString::npos)
            return true;
    return false;
}

}  // namespace

TEST_F(GameServerTest, AConnectionMayHoldOneMebibyteAndIsCutOffBeyondWhileTheOthersPlayOn)
{
    auto a = Connect();
    auto b = Connect();
    // Header and payload of exactly 1 MiB pass.
    const std::string chat = "AB      : " + std::string(TGameServer::MaxRecvSize - 4 - 10, 'x');
    ASSERT_TRUE(a->SendPacket(chat));
    EXPECT_EQ(Next(*b), Nul(chat));
    EXPECT_EQ(Next(*a), Nul(chat));

    // One byte more is more than a connection may hold.
    a->SendPacket(chat + "y");
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_TRUE(WaitUntil([&] { return socket.ClientCount() == 1; }));
    ASSERT_TRUE(b->SendPacket(Nul("/hele")));
    EXPECT_EQ(Next(*b), Nul("/hele"));
}

TEST_F(GameServerTest, APeerThatStopsReadingIsCutOffAtTheSendQueueLimitAndLogged)
{
    auto sender = Connect();
    auto stalled = Connect();
    auto reader = Connect();
    // A small receive buffer, so that the bytes pile up at the server soon.
    const int smallBuffer = 64 * 1024;
    ::setsockopt(stalled->Handle(), SOL_SOCKET, SO_RCVBUF, &smallBuffer, sizeof smallBuffer);

    // "/fleav" goes to everyone but its sender, as received: half a mebibyte
    // each to the reader and the stalled peer, one at a time so that the
    // sender stays within its own receive limit.
    const std::string bulk = "/fleav 0\0"s + std::string(512 * 1024, 'z');
    int sent = 0;
    while (socket.ClientCount() == 3 && sent < 100) {
        ASSERT_TRUE(sender->SendPacket(bulk));
        ASSERT_EQ(Next(*reader), bulk) << "packet " << sent;
        ++sent;
    }
    EXPECT_EQ(socket.ClientCount(), 2) << "still connected after " << sent << " packets";
    EXPECT_GT(sent, 32) << "cut off before 16 MiB were queued";
    EXPECT_TRUE(Contains(log, "/エラー  送信キューが上限を超えました[127.0.0.1]"));
    EXPECT_TRUE(messageBoxes.empty());
    EXPECT_TRUE(stalled->WaitClosed());
}

TEST_F(GameServerTest, AConnectionWhoseSendFailsNeverKeepsABroadcastFromTheOthers)
{
    auto a = Connect();
    auto failing = Connect();
    auto c = Connect();
    // The server's side of the middle connection can no longer send.
    ASSERT_EQ(::shutdown(socket.GetClientSocket(1)->SocketHandle(), SHUT_WR), 0);

    ASSERT_TRUE(a->SendPacket(Nul("AB      : one")));
    EXPECT_EQ(Next(*a), Nul("AB      : one"));
    EXPECT_EQ(Next(*c), Nul("AB      : one"));
    EXPECT_TRUE(WaitUntil([&] { return socket.ClientCount() == 2; }));
    EXPECT_TRUE(Contains(log, "/エラー  "));
    EXPECT_TRUE(messageBoxes.empty());

    ASSERT_TRUE(c->SendPacket(Nul("/hele")));
    EXPECT_EQ(Next(*a), Nul("/hele"));
    EXPECT_EQ(Next(*c), Nul("/hele"));
}

TEST_F(GameServerTest, APeerThatResetsIsLoggedWithoutAMessageBox)
{
    auto a = Connect();
    auto b = Connect();
    b->Abort();
    EXPECT_TRUE(WaitUntil([&] { return socket.ClientCount() == 1; }));
    EXPECT_TRUE(Contains(log, "/エラー  "));
    ASSERT_TRUE(a->SendPacket(Nul("/hele")));
    EXPECT_EQ(Next(*a), Nul("/hele"));
    EXPECT_TRUE(messageBoxes.empty());
}

}  // namespace server_test
