#include "bench/load/load_driver.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string_view>
#include <vector>

#include "bench/load/chat_run.h"
#include "bench/load/fleet.h"
#include "bench/load/median.h"
#include "bench/load/packet_buffer.h"
#include "bench/load/redis_framing.h"

namespace load {

namespace {

const std::string FlooderName = "Flood   ";
const std::string Channel = "fanout";
// The flooder's output kept queued: it sends whenever the kernel takes more.
constexpr std::size_t FloodBacklog = 64 * 1024;
constexpr double JoinBatchSeconds = 30;

struct Client {
    std::string name;  // 8 bytes, padded
    int receiver = -1;  // fleet index of the joined connection
    int sender = -1;    // fleet index of the connection its lines go out on
    int unanswered = 0;
};

LoadWire GameFraming(std::string joinAnswer)
{
    const auto packet = [](const std::string& text) {
        std::string bytes;
        AppendPacket(bytes, text + '\0');
        return bytes;
    };
    return {[packet](const std::string& name) { return packet("/join " + name); }, std::move(joinAnswer), packet,
            KivolTexts, false};
}

// A line's text of payloadBytes bytes as the game frames it (the closing NUL
// counted) with no send time: "Flood   : xxxx...".
std::string FloodText(int payloadBytes)
{
    std::string text = FlooderName + ": ";
    text.resize(static_cast<std::size_t>(std::max(payloadBytes - 1, static_cast<int>(text.size()))), 'x');
    return text;
}

}  // namespace

LoadWire GameServerWire()
{
    return GameFraming("/list");
}

LoadWire RelayWire()
{
    return GameFraming("/join");
}

LoadWire RedisWire()
{
    return {[](const std::string&) { return RedisCommand({"SUBSCRIBE", Channel}); }, "/subscribe",
            [](const std::string& text) { return RedisCommand({"PUBLISH", Channel, text}); }, RedisTexts, true};
}

LoadResult RunLoad(int port, const LoadPlan& plan, const LoadWire& wire)
{
    // The publishers come first and the flooder, when there is one, last.
    std::vector<Client> clients(static_cast<std::size_t>(plan.clients + (plan.flooder ? 1 : 0)));
    for (std::size_t i = 0; i < clients.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "P%-7zu", i);
        clients[i].name = plan.flooder && i + 1 == clients.size() ? FlooderName : name;
    }
    Fleet fleet(port);
    const std::vector<int> joined = JoinAll(
        fleet, static_cast<int>(clients.size()),
        [&](int i) { return wire.join(clients[static_cast<std::size_t>(i)].name); }, wire.cut, wire.joinAnswer,
        JoinBatchSeconds);
    std::vector<Client*> clientAt(joined.size());  // by fleet index, of the joined connections
    for (std::size_t i = 0; i < clients.size(); ++i) {
        clients[i].receiver = clients[i].sender = joined[i];
        clientAt[static_cast<std::size_t>(joined[i])] = &clients[i];
    }
    Client* const flooder = plan.flooder ? &clients.back() : nullptr;
    if (wire.sendsApart) {
        for (int p = 0; p < plan.publishers; ++p)
            clients[static_cast<std::size_t>(p)].sender = fleet.Open();
        if (flooder)
            flooder->sender = fleet.Open();
    }
    const std::string floodLine = wire.line(FloodText(plan.floodPayloadBytes));

    // Every client has joined: the publishers send from now on, and after the
    // warm-up the counting begins.
    const std::int64_t measureFrom = NowNs() + static_cast<std::int64_t>(plan.warmupSeconds * 1e9);
    const std::int64_t measureTo = measureFrom + static_cast<std::int64_t>(plan.measureSeconds * 1e9);
    long published = 0, delivered = 0, flooded = 0;
    std::vector<std::int64_t> latencies;
    latencies.reserve(1 << 20);
    while (NowNs() < measureTo) {
        for (int p = 0; p < plan.publishers; ++p) {
            Client& c = clients[static_cast<std::size_t>(p)];
            for (; c.unanswered < plan.window; ++c.unanswered) {
                const std::int64_t sentAt = NowNs();
                fleet.Queue(c.sender, wire.line(LineText(c.name, sentAt)));
                if (sentAt >= measureFrom)
                    ++published;
            }
        }
        if (flooder)
            while (fleet.Queued(flooder->sender) < FloodBacklog)
                fleet.Queue(flooder->sender, floodLine);
        fleet.Flush();
        fleet.Poll(50, [&](int index, std::string& input) {
            const std::int64_t now = NowNs();
            Client* const c = static_cast<std::size_t>(index) < clientAt.size()
                                  ? clientAt[static_cast<std::size_t>(index)]
                                  : nullptr;
            wire.cut(input, [&](std::string_view text) {
                // A sender apart from its client reads only the server's
                // answers to what it sends, and a roster or a join are no lines.
                if (!c || text.empty() || text[0] == '/')
                    return;
                const std::string_view who = text.substr(0, 8);
                if (flooder && who == flooder->name) {
                    if (c == flooder && now >= measureFrom)
                        ++flooded;
                    return;
                }
                if (c == flooder)
                    return;
                const std::int64_t sentAt = SentAt(text);
                if (now >= measureFrom && sentAt >= measureFrom) {
                    ++delivered;
                    latencies.push_back(now - sentAt);
                }
                if (who == c->name)
                    --c->unanswered;
            });
        });
    }

    LoadResult result;
    result.publishedPerSecond = static_cast<double>(published) / plan.measureSeconds;
    result.deliveredPerSecond = static_cast<double>(delivered) / plan.measureSeconds;
    result.p50Microseconds = PercentileMicroseconds(latencies, 0.50);
    result.p99Microseconds = PercentileMicroseconds(latencies, 0.99);
    result.floodedPerSecond = static_cast<double>(flooded) / plan.measureSeconds;
    result.cut = static_cast<double>(fleet.Cut());
    return result;
}

}  // namespace load
