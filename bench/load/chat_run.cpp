#include "bench/load/chat_run.h"

#include <sys/resource.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <stdexcept>

#include "bench/load/child_program.h"
#include "bench/load/median.h"

namespace load {

namespace {

constexpr int JoinBatch = 500;

// This process's CPU time (user and system) so far, in seconds.
double OwnCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

}  // namespace

std::int64_t SentAt(std::string_view text)
{
    if (text.size() <= 10 || text.substr(8, 2) != ": ")
        return -1;
    std::int64_t sentAt = -1;
    const auto [end, error] = std::from_chars(text.data() + 10, text.data() + text.size(), sentAt);
    return error == std::errc() ? sentAt : -1;
}

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::vector<int> JoinAll(Fleet& fleet, int count, const std::function<std::string(int i)>& greeting,
                         const TextCutter& cut, std::string_view answer, double batchSeconds)
{
    std::vector<int> indexes;
    std::vector<char> answered;  // by fleet index
    for (int first = 0; first < count; first += JoinBatch) {
        const int last = std::min(count, first + JoinBatch);
        for (int i = first; i < last; ++i) {
            const int index = fleet.Open();
            indexes.push_back(index);
            fleet.Queue(index, greeting(i));
        }
        fleet.Flush();
        answered.resize(static_cast<std::size_t>(fleet.Size()), 0);
        int waiting = last - first;
        const std::int64_t giveUp = NowNs() + static_cast<std::int64_t>(batchSeconds * 1e9);
        while (waiting > 0) {
            if (NowNs() > giveUp)
                throw std::runtime_error("joins not answered: " + std::to_string(waiting) + " of the batch from " +
                                         std::to_string(first) + " waiting, " + std::to_string(fleet.Cut()) +
                                         " connections cut");
            fleet.Poll(50, [&](int index, std::string& input) {
                cut(input, [&](std::string_view text) {
                    char& flag = answered[static_cast<std::size_t>(index)];
                    if (!flag && text.substr(0, answer.size()) == answer) {
                        flag = 1;
                        --waiting;
                    }
                });
            });
        }
    }
    return indexes;
}

void Settle(Fleet& fleet, pid_t server, double maxCpuShare, double limitSeconds)
{
    const std::int64_t giveUp = NowNs() + static_cast<std::int64_t>(limitSeconds * 1e9);
    bool quiet = false;
    while (!quiet && NowNs() < giveUp) {
        const double cpuFrom = CpuSeconds(server);
        const std::int64_t until = NowNs() + 1'000'000'000;
        quiet = true;
        while (NowNs() < until)
            fleet.Poll(50, [&](int, std::string& input) {
                input.clear();
                quiet = false;
            });
        quiet = quiet && CpuSeconds(server) - cpuFrom <= maxCpuShare;
    }
}

ChatResult RunChat(Fleet& fleet, const TextCutter& cut, const ChatPlan& plan, pid_t server,
                   const std::function<void(long line, std::int64_t sentAt)>& send, const ChatHooks& hooks)
{
    const std::int64_t start = NowNs();
    const std::int64_t measureFrom = start + static_cast<std::int64_t>(plan.warmupSeconds * 1e9);
    const std::int64_t measureTo = measureFrom + static_cast<std::int64_t>(plan.measureSeconds * 1e9);
    const std::int64_t end = measureTo + static_cast<std::int64_t>(plan.drainSeconds * 1e9);
    const double nsPerLine = 1e9 / plan.linesPerSecond;
    ChatResult result;
    std::vector<std::int64_t> latencies;
    double cpuFrom = -1, cpuTo = -1, ownFrom = 0, ownTo = 0;
    long line = 0;
    for (std::int64_t now = start; now < end; now = NowNs()) {
        if (now < measureTo) {
            const auto due = static_cast<long>(static_cast<double>(now - start) / nsPerLine);
            for (; line <= due; ++line) {
                const std::int64_t sentAt = NowNs();
                send(line, sentAt);
                if (sentAt >= measureFrom)
                    ++result.linesSent;
            }
        }
        if (hooks.tick)
            hooks.tick(now);
        fleet.Flush();
        if (cpuFrom < 0 && now >= measureFrom) {
            cpuFrom = CpuSeconds(server);
            ownFrom = OwnCpuSeconds();
        }
        if (cpuTo < 0 && now >= measureTo) {
            cpuTo = CpuSeconds(server);
            ownTo = OwnCpuSeconds();
        }
        fleet.Poll(1, [&](int index, std::string& input) {
            const std::int64_t arrived = NowNs();
            cut(input, [&](std::string_view text) {
                const std::int64_t sentAt = SentAt(text);
                if (sentAt >= measureFrom && sentAt < measureTo) {
                    ++result.delivered;
                    latencies.push_back(arrived - sentAt);
                } else if (sentAt < 0 && hooks.other) {
                    hooks.other(index, text, arrived);
                }
            });
        });
    }
    result.seconds = plan.measureSeconds;
    result.deliveriesPerSecond = static_cast<double>(result.delivered) / plan.measureSeconds;
    result.p50Microseconds = PercentileMicroseconds(latencies, 0.50);
    result.p99Microseconds = PercentileMicroseconds(latencies, 0.99);
    result.serverCpuSeconds = cpuTo - cpuFrom;
    result.driverCpuSeconds = ownTo - ownFrom;
    return result;
}

}  // namespace load
