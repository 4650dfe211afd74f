// Many sockets of one thread ready at once: every one is served, in batches,
// and a handler may destroy sockets whose events the same batch still holds.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

#include "platform/socket_reactor.h"
#include "support/socket_test_support.h"
#include "watched_socket_end.h"

namespace {

int TotalBytes(const std::vector<std::unique_ptr<WatchedEnd>>& ends)
{
    int total = 0;
    for (const auto& end : ends)
        total += end->bytes;
    return total;
}

}  // namespace

// More sockets than one batch takes, all readable before the loop runs, twice:
// each gets one read event per round and nothing is lost or repeated.
TEST(SocketReactor, ManySocketsReadyAtOnceAreEachServedOncePerRound)
{
    std::vector<std::unique_ptr<WatchedEnd>> ends;
    for (int i = 0; i < 300; ++i)
        ends.push_back(std::make_unique<WatchedEnd>());
    for (int round = 1; round <= 2; ++round) {
        for (auto& end : ends)
            end->Poke();
        ASSERT_TRUE(test::WaitUntil([&] { return TotalBytes(ends) == 300 * round; }));
        for (const auto& end : ends)
            ASSERT_EQ(end->reads, round);
    }
}

// The first socket served destroys every other one, all of them readable in
// the same batch, and opens new ones in their place (which take the freed
// handles): no event of a destroyed socket is dispatched, to it or to the
// socket now on its handle, and the new ones are served as usual.
TEST(SocketReactor, AHandlerDestroyingOtherSocketsOfItsBatchStopsTheirEvents)
{
    std::vector<std::unique_ptr<WatchedEnd>> ends;
    std::vector<std::unique_ptr<WatchedEnd>> replacements;
    const auto replaceOthers = [&](WatchedEnd& self) {
        for (auto& end : ends)
            if (end.get() != &self && end) {
                end.reset();
                replacements.push_back(std::make_unique<WatchedEnd>());
            }
    };
    for (int i = 0; i < 8; ++i)
        ends.push_back(std::make_unique<WatchedEnd>(replaceOthers));
    for (auto& end : ends)
        end->Poke();
    ASSERT_TRUE(test::WaitUntil([&] { return replacements.size() == 7; }));
    for (auto& end : replacements)
        end->Poke();
    ASSERT_TRUE(test::WaitUntil([&] { return TotalBytes(replacements) == 7; }));
    for (const auto& end : replacements)
        EXPECT_EQ(end->reads, 1);
    for (const auto& end : ends) {
        if (end) {
            EXPECT_EQ(end->reads, 1);
        }
    }
}

// The function run after each batch sees every handler of the batch done: a
// batch of readable sockets is followed by one call, after all their reads.
TEST(SocketReactor, TheAfterBatchFunctionRunsOnceTheBatchsHandlersHaveAllReturned)
{
    std::vector<std::unique_ptr<WatchedEnd>> ends;
    for (int i = 0; i < 5; ++i)
        ends.push_back(std::make_unique<WatchedEnd>());
    std::vector<int> bytesAtCalls;
    AfterSocketBatches([&] { bytesAtCalls.push_back(TotalBytes(ends)); });
    for (auto& end : ends)
        end->Poke();
    ASSERT_TRUE(test::WaitUntil([&] { return TotalBytes(ends) == 5; }));
    AfterSocketBatches({});
    EXPECT_EQ(bytesAtCalls, std::vector<int>{5});
}
