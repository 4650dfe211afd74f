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

void PipedMemoryStreamPackets(benchmark::State& state)
{
    TPipedMemoryStream queue;
    PacketTraffic traffic;
    char packet[200] = {};
    char out[200];
    std::vector<int> pending;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < PacketsPerIteration; ++i) {
            const int length = traffic.NextLength();
            queue.Write(packet, length);
            pending.push_back(length);
            bytes += length;
            if (static_cast<int>(pending.size()) >= traffic.NextBurst()) {
                for (int n : pending)
                    queue.Read(out, n);
                pending.clear();
            }
        }
        benchmark::DoNotOptimize(queue.Head);
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * PacketsPerIteration);
}

void DequeBaselinePackets(benchmark::State& state)
{
    std::deque<char> queue;
    PacketTraffic traffic;
    char packet[200] = {};
    char out[200];
    std::vector<int> pending;
    std::int64_t bytes = 0;
    for (auto _ : state) {
        for (int i = 0; i < PacketsPerIteration; ++i) {
            const int length = traffic.NextLength();
            queue.insert(queue.end(), packet, packet + length);
            pending.push_back(length);
            bytes += length;
            if (static_cast<int>(pending.size()) >= traffic.NextBurst()) {
                for (int n : pending) {
                    std::copy_n(queue.begin(), n, out);
                    queue.erase(queue.begin(), queue.begin() + n);
                }
                pending.clear();
            }
        }
        benchmark::DoNotOptimize(out);
    }
    state.SetBytesProcessed(bytes);
    state.SetItemsProcessed(state.iterations() * PacketsPerIteration);
}

}  // namespace

BENCHMARK(PipedMemoryStreamPackets);
BENCHMARK(DequeBaselinePackets);
int main(int argc, char** argv)
{
    return RunWithRatios(argc, argv, {{"PipedMemoryStreamPackets", "DequeBaselinePackets"}});
}
