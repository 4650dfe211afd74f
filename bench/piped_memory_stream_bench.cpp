// Throughput of TPipedMemoryStream as a receive buffer under steady traffic of
// small packets (append 20-200 bytes, consume whole packets in bursts), beside
// a std::deque<char> doing the same work as a baseline.
#include <benchmark/benchmark.h>

#include <deque>
#include <vector>

#include "bench/support/packet_traffic.h"
#include "bench/support/ratio_report.h"
#include "transport/piped_memory_stream.h"

namespace {

constexpr int PacketsPerIteration = 1000;

// The queue under test and the baseline, behind one interface.
struct PipedQueue {
    TPipedMemoryStream stream;
    void Append(const char* bytes, int n) { stream.Write(bytes, n); }
    void Take(char* out, int n) { stream.Read(out, n); }
};

struct DequeQueue {
    std::deque<char> bytes;
    void Append(const char* data, int n) { bytes.insert(bytes.end(), data, data + n); }
    void Take(char* out, int n)
    {
        std::copy_n(bytes.begin(), n, out);
        bytes.erase(bytes.begin(), bytes.begin() + n);
    }
};

template <typename Queue>
void Packets(benchmark::State& state)
{
    Queue queue;
    PacketTraffic traffic;
    char packet[200] = {};
    char out[200];
    std::vector<int> pending;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < PacketsPerIteration; ++i) {
            const int length = traffic.NextLength();
            queue.Append(packet, length);
            pending.push_back(length);
            bytes += length;
            if (static_cast<int>(pending.size()) >= traffic.NextBurst()) {
                for (int n : pending)
                    queue.Take(out, n);
                pending.clear();
            }
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * PacketsPerIteration);
}

void PipedMemoryStreamPackets(benchmark::State& state)
{
    Packets<PipedQueue>(state);
}

void DequeBaselinePackets(benchmark::State& state)
{
    Packets<DequeQueue>(state);
}

}  // namespace

BENCHMARK(PipedMemoryStreamPackets);
BENCHMARK(DequeBaselinePackets);
int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"PipedMemoryStreamPackets", "DequeBaselinePackets"}});
}
