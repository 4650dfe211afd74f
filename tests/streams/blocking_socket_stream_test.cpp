#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>
#include <vector>

#include "loopback_peer.h"
#include "platform/exceptions.h"
#include "streams/blocking_socket_stream.h"

using streams_test::LoopbackPeer;
using streams_test::WaitUntil;
using namespace std::chrono_literals;

namespace {

std::string ReadString(TBlockingSocketStream& stream, int count)
{
    std::string bytes(static_cast<std::size_t>(count), '\0');
    bytes.resize(static_cast<std::size_t>(stream.Read(bytes.data(), count)));
    return bytes;
}

class BlockingSocketStreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(peer.Connect(socket)); }

    bool WaitForBytes(int count)
    {
        return WaitUntil([&] { return socket.ReceiveLength() == count; });
    }

    LoopbackPeer peer;
    TClientWinSocket socket{false};
    TBlockingSocketStream stream{&socket};
};

}  // namespace

TEST(BlockingSocketStream, RefusesANonBlockingSocket)
{
    TClientWinSocket nonBlocking(true);
    try {
        TBlockingSocketStream stream(&nonBlocking);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(), "Socket mode must be Blocking.");
    }
}

TEST(BlockingSocketStream, WithoutAConnectedSocketNothingMovesAndNothingWaits)
{
    TClientWinSocket unopened(false);
    for (TCustomWinSocket* socket : {static_cast<TCustomWinSocket*>(nullptr), static_cast<TCustomWinSocket*>(&unopened)}) {
        TBlockingSocketStream stream(socket);
        EXPECT_FALSE(stream.LockSocket);
        char buffer[4] = {};
        EXPECT_EQ(stream.Read(buffer, 4), 0);
        EXPECT_EQ(stream.Write("abcd", 4), 0);
        EXPECT_EQ(stream.GetSize(), 0);
        EXPECT_FALSE(stream.WaitForRead(0));
        EXPECT_FALSE(stream.WaitForWrite(0));
        EXPECT_FALSE(stream.WaitForRead()) << "no handle: the wait without limit must not block";
        EXPECT_FALSE(stream.WaitForWrite());
        EXPECT_THROW(stream.ReadBuffer(buffer, 4), EReadError);
        EXPECT_THROW(stream.WriteBuffer(buffer, 4), EWriteError);
    }
    // Skipping needs bytes: without a connection that is the read error, without a socket nothing.
    TBlockingSocketStream unconnected(&unopened);
    EXPECT_THROW(unconnected.Seek(3, soFromCurrent), EReadError);
    TBlockingSocketStream none(nullptr);
    EXPECT_EQ(none.Seek(3, soFromCurrent), 0);
}

TEST_F(BlockingSocketStreamTest, WaitForReadZeroPollsAndTheTimedWaitEndsOnTime)
{
    EXPECT_FALSE(stream.LockSocket);
    EXPECT_FALSE(stream.WaitForRead(0));
    EXPECT_TRUE(stream.WaitForWrite(0));

    // A generous window: this checks that 250 ms is neither taken as seconds nor ignored.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(stream.WaitForRead(250));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_GE(elapsed, 150ms);
    EXPECT_LE(elapsed, 2000ms);

    ASSERT_TRUE(peer.Send("x"));
    ASSERT_TRUE(WaitForBytes(1));
    EXPECT_TRUE(stream.WaitForRead(0));
    EXPECT_TRUE(stream.WaitForRead(250));
}

TEST_F(BlockingSocketStreamTest, ReadEndsWithTheBytesReceivedWhenThePeerCloses)
{
    ASSERT_TRUE(peer.Send("abcd"));
    peer.Close();
    EXPECT_EQ(ReadString(stream, 10), "abcd");
    EXPECT_EQ(stream.LastError, 0);
}

TEST_F(BlockingSocketStreamTest, SizeIsTheWaitingBytesAndSeekSkipsThem)
{
    ASSERT_TRUE(peer.Send("0123456789ab"));
    ASSERT_TRUE(WaitForBytes(12));
    EXPECT_EQ(stream.GetSize(), 12);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(stream.Seek(5, soFromCurrent), 0);
    EXPECT_EQ(stream.GetSize(), 7);
    EXPECT_EQ(stream.GetPosition(), 0);
    EXPECT_EQ(ReadString(stream, 7), "56789ab");

    ASSERT_TRUE(peer.Send("xyz"));
    peer.Close();
    EXPECT_THROW(stream.Seek(5, soFromCurrent), EReadError) << "the peer closed after 3 of 5 bytes";
}

TEST_F(BlockingSocketStreamTest, ReceiveErrorClearedByTheHandlerEndsReadQuietly)
{
    ASSERT_TRUE(peer.Send("abcd"));
    ASSERT_TRUE(WaitForBytes(4));
    peer.Reset();

    int calls = 0;
    stream.OnError = [&](TObject* sender, TCustomWinSocket* errorSocket, TErrorEvent event, int& code) {
        ++calls;
        EXPECT_EQ(sender, &stream);
        EXPECT_EQ(errorSocket, &socket);
        EXPECT_EQ(event, eeReceive);
        EXPECT_EQ(code, ECONNRESET);
        code = 0;
    };
    EXPECT_EQ(ReadString(stream, 10), "abcd");
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stream.LastError, 0);
}

TEST_F(BlockingSocketStreamTest, ReceiveErrorNotClearedRaisesNamingRecv)
{
    peer.Reset();
    int calls = 0;
    stream.OnError = [&](TObject*, TCustomWinSocket*, TErrorEvent, int&) { ++calls; };
    char buffer[10];
    try {
        stream.Read(buffer, 10);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message(),
                  std::string("Windows ソケットエラー： ") + std::strerror(ECONNRESET) + " (" +
                      std::to_string(ECONNRESET) + ") [API 'recv']");
    }
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(stream.LastError, ECONNRESET);
}

// SIGPIPE keeps its default action here: a send that raised it would end the test program.
TEST_F(BlockingSocketStreamTest, SendErrorRaisesNamingSend)
{
    peer.Reset();
    ASSERT_TRUE(stream.WaitForRead(5000)) << "the reset has arrived";
    try {
        stream.Write("abcd", 4);
        FAIL() << "no exception";
    } catch (const ESocketError& e) {
        EXPECT_EQ(e.Message().rfind("Windows ソケットエラー： ", 0), 0u) << e.Message();
        EXPECT_NE(e.Message().find("[API 'send']"), std::string::npos) << e.Message();
    }
    EXPECT_NE(stream.LastError, 0);
}

TEST_F(BlockingSocketStreamTest, LockSocketHoldsTheLockForTheWholeTransfer)
{
    stream.LockSocket = true;
    ASSERT_TRUE(peer.Send("abcd"));
    ASSERT_TRUE(WaitForBytes(4));
    auto reader = std::async(std::launch::async, [&] { return ReadString(stream, 10); });
    // Once the first four bytes are taken, the reader waits (without limit) for the rest.
    ASSERT_TRUE(WaitForBytes(0));

    auto locker = std::async(std::launch::async, [&] {
        socket.Lock();
        socket.Unlock();
    });
    EXPECT_EQ(locker.wait_for(200ms), std::future_status::timeout) << "the lock is held while the reader waits";
    ASSERT_TRUE(peer.Send("efghij"));
    ASSERT_EQ(reader.wait_for(5s), std::future_status::ready);
    EXPECT_EQ(reader.get(), "abcdefghij");
    EXPECT_EQ(locker.wait_for(5s), std::future_status::ready) << "released after the transfer";

    EXPECT_EQ(stream.Write("reply", 5), 5);
    EXPECT_EQ(peer.Receive(5), "reply");
}

TEST_F(BlockingSocketStreamTest, LockSocketReleasesTheLockWhenAnExceptionPasses)
{
    stream.LockSocket = true;
    peer.Reset();
    char buffer[4];
    EXPECT_THROW(stream.Read(buffer, 4), ESocketError);
    auto locker = std::async(std::launch::async, [&] {
        socket.Lock();
        socket.Unlock();
    });
    EXPECT_EQ(locker.wait_for(5s), std::future_status::ready);
}

// Handles beyond the range that select can watch still work.
TEST(BlockingSocketStream, WorksOnAHandleAboveFdSetSize)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur < FD_SETSIZE + 64)
        GTEST_SKIP() << "the descriptor limit does not reach beyond FD_SETSIZE";
    LoopbackPeer peer;
    // Take every free descriptor below FD_SETSIZE so that the socket's handle lands above it.
    std::vector<int> fillers{::open("/dev/null", O_RDONLY | O_CLOEXEC)};
    ASSERT_GE(fillers.back(), 0);
    while (fillers.back() >= 0 && fillers.back() < FD_SETSIZE)
        fillers.push_back(::fcntl(fillers.front(), F_DUPFD_CLOEXEC, 0));

    TClientWinSocket socket(false);
    const bool connected = peer.Connect(socket);
    for (int fd : fillers)
        if (fd >= 0)
            ::close(fd);
    ASSERT_TRUE(connected);
    ASSERT_GE(socket.SocketHandle(), FD_SETSIZE);

    TBlockingSocketStream stream(&socket);
    EXPECT_FALSE(stream.WaitForRead(0));
    EXPECT_EQ(stream.Write("ping", 4), 4);
    EXPECT_EQ(peer.Receive(4), "ping");
    ASSERT_TRUE(peer.Send("pong"));
    EXPECT_EQ(ReadString(stream, 4), "pong");
}
