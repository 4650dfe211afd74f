#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

#include "bench/load/fleet.h"
#include "bench/load/text_cutters.h"

// Joining many connections to a server and measuring it under a steady rate
// of chat lines, whatever the server's protocol: the caller says how input
// is cut into message texts and how a line is sent. A line's text is
// "NAME    : <send time in ns>", the name padded to 8 bytes; texts of any
// other form (a join's answer, a roster) are not deliveries.
namespace load {

// Opens count more connections, sending greeting(i) on the i-th, in batches:
// each batch waits until every connection of it has received a text that
// begins with answer. Returns their indexes; throws when a batch is not
// answered within batchSeconds.
std::vector<int> JoinAll(Fleet& fleet, int count, const std::function<std::string(int i)>& greeting,
                         const TextCutter& cut, std::string_view answer, double batchSeconds = 10);

// Reads and drops what arrives until, for a whole second, nothing has and
// the server used at most maxCpuShare of a processor (the work a burst of
// joins leaves behind is done), or limitSeconds have passed.
void Settle(Fleet& fleet, pid_t server, double maxCpuShare, double limitSeconds);

struct ChatPlan {
    int linesPerSecond = 1;
    double warmupSeconds = 2;
    double measureSeconds = 10;
    // How long lines sent before the end of the measurement may still arrive.
    double drainSeconds = 1;
};

struct ChatResult {
    double seconds = 0;  // of the measurement
    // Lines sent during the measurement, and deliveries of those lines.
    long linesSent = 0;
    long delivered = 0;
    double deliveriesPerSecond = 0;
    double p50Microseconds = 0;
    double p99Microseconds = 0;
    // The server's CPU time (user and system) during the measurement, and
    // this process's: a driver short of CPU delivers late.
    double serverCpuSeconds = 0;
    double driverCpuSeconds = 0;
};

// What a measurement does besides its lines: other(index, text, arrived) sees
// every text that is not a line, and tick(now) runs once a round of the loop,
// before the fleet's output goes out.
struct ChatHooks {
    std::function<void(int index, std::string_view text, std::int64_t arrived)> other;
    std::function<void(std::int64_t now)> tick;
};

// The clock time in ns that line texts carry.
std::int64_t NowNs();

// Sends lines 0, 1, 2, ... evenly spread at the plan's rate through
// send(line, sentAt), which queues the line's text (see LineText) on the
// fleet as its protocol wants, for the warm-up and the measurement; counts
// every delivery of a line sent during the measurement and its latency.
ChatResult RunChat(Fleet& fleet, const TextCutter& cut, const ChatPlan& plan, pid_t server,
                   const std::function<void(long line, std::int64_t sentAt)>& send, const ChatHooks& hooks = {});

// The text of a chat line from the padded name, sent at sentAt.
inline std::string LineText(const std::string& name, std::int64_t sentAt)
{
    return name + ": " + std::to_string(sentAt);
}

// The send time a line's text carries, or -1 for any other text.
std::int64_t SentAt(std::string_view text);

}  // namespace load
