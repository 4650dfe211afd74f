// Steady traffic of small packets must run without allocation once the
// receive buffer has grown to the traffic's high-water mark.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "bench/support/packet_traffic.h"
#include "transport/piped_memory_stream.h"

extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, std::size_t),
                                                          void (*)(const volatile void*)) __attribute__((weak));

namespace {

std::atomic<bool> counting{false};
std::atomic<long> allocations{0};

void OnMalloc(const volatile void*, std::size_t)
{
    if (counting)
        ++allocations;
}

void OnFree(const volatile void*) {}

// Runs the same packet sequence every time: growth depends only on the sizes
// queued and appended, so a second run of the sequence can never need more room.
void RunTraffic(TPipedMemoryStream& queue, std::vector<int>& pending, int packets)
{
    PacketTraffic traffic;
    static char packet[200];
    static char out[200];
    for (int i = 0; i < packets; ++i) {
        const int length = traffic.NextLength();
        queue.Write(packet, length);
        pending.push_back(length);
        if (static_cast<int>(pending.size()) >= traffic.NextBurst()) {
            for (int n : pending)
                ASSERT_EQ(queue.Read(out, n), n);
            pending.clear();
        }
    }
}

}  // namespace

TEST(PipedMemoryStreamAllocation, SteadyTrafficAllocatesNothingAfterTheHighWaterMark)
{
    TPipedMemoryStream queue;
    std::vector<int> pending;
    pending.reserve(64);
    RunTraffic(queue, pending, 20000);
    const int capacity = queue.Capacity;
    const char* block = queue.Buffer;

    const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    counting = true;
    RunTraffic(queue, pending, 20000);
    counting = false;

    EXPECT_EQ(queue.Capacity, capacity);
    EXPECT_EQ(queue.Buffer, block);
    if (hooked)
        EXPECT_EQ(allocations.load(), 0);
    else
        GTEST_LOG_(INFO) << "allocator hooks unavailable (no sanitizer): checked the block only";
}

// Queues that take a block for each burst and give it back once empty, as a
// connection's do: once the thread has spare blocks, thousands of bursts
// through several queues allocate nothing, every burst reads back what was
// written, and an empty queue holds no block. A block grown past the first
// size is not kept: the next burst takes a block of the first size again.
TEST(PipedMemoryStreamAllocation, BurstsThroughQueuesThatGiveTheirBlocksBackReuseThem)
{
    std::vector<TPipedMemoryStream> queues(8);
    for (auto& queue : queues)
        queue.Init(0);
    PacketTraffic traffic;
    char packet[200];
    char out[200];
    const auto burst = [&](TPipedMemoryStream& queue, char mark) {
        const int length = traffic.NextLength();
        std::fill(packet, packet + length, mark);
        queue.Write(packet, length);
        EXPECT_EQ(queue.Capacity, TPipedMemoryStream::FirstBlockSize);
        EXPECT_EQ(queue.Read(out, length), length);
        EXPECT_EQ(std::count(out, out + length, mark), length);
        queue.Trim();
        EXPECT_EQ(queue.Capacity, 0);
    };
    for (auto& queue : queues)
        burst(queue, 'w');

    const bool hooked = __sanitizer_install_malloc_and_free_hooks &&
                        __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree) != 0;
    allocations = 0;
    counting = true;
    for (int i = 0; i < 5000; ++i)
        burst(queues[static_cast<std::size_t>(i) % queues.size()], static_cast<char>('a' + i % 26));
    counting = false;
    if (hooked) {
        EXPECT_EQ(allocations.load(), 0);
    }

    TPipedMemoryStream& grown = queues.front();
    const std::string big(3 * TPipedMemoryStream::FirstBlockSize, 'g');
    grown.Write(big.data(), static_cast<int>(big.size()));
    EXPECT_GE(grown.Capacity, static_cast<int>(big.size()));
    EXPECT_EQ(std::string(grown.Head, big.size()), big);
    grown.Clear();
    grown.Trim();
    burst(grown, 'z');
}
