// Steady traffic of small packets must run without allocation once the
// receive buffer has grown to the traffic's high-water mark.
#include <gtest/gtest.h>

#include <atomic>
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
