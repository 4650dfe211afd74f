#include "bench/load/load_driver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <fcntl.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench/load/ipv4_address.h"
#include "bench/load/packet_buffer.h"

namespace load {

namespace {

using Clock = std::chrono::steady_clock;

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

struct Client {
    int fd = -1;
    bool flooder = false;
    std::string name;  // 8 bytes, padded
    std::string in;
    std::string out;
    int unanswered = 0;
    long sequence = 0;
};

int Connect(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(port);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("load driver cannot connect");
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return fd;
}

void Flush(Client& c)
{
    while (!c.out.empty()) {
        const ssize_t sent = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent <= 0)
            return;
        c.out.erase(0, static_cast<std::size_t>(sent));
    }
}

// A chat line carrying its publisher and its send time: "Pnn     : <ns>".
void Publish(Client& c)
{
    AppendPacket(c.out, c.name + ": " + std::to_string(NowNs()) + '\0');
    ++c.unanswered;
    ++c.sequence;
}

// A chat line of payloadBytes bytes (the closing NUL included) with no send
// time: "Flood   : xxxx...".
std::string FloodPacket(const std::string& name, int payloadBytes)
{
    std::string text = name + ": ";
    text.resize(static_cast<std::size_t>(std::max(payloadBytes - 1, static_cast<int>(text.size()))), 'x');
    std::string packet;
    AppendPacket(packet, text + '\0');
    return packet;
}

void Watch(int poller, int op, const Client& c, std::size_t index, bool writable)
{
    epoll_event event{};
    event.events = EPOLLIN | (writable ? EPOLLOUT : 0u);
    event.data.u64 = index;
    epoll_ctl(poller, op, c.fd, &event);
}

}  // namespace

LoadResult RunLoad(int port, const LoadPlan& plan)
{
    // The flooder, when there is one, joins last.
    std::vector<Client> clients(static_cast<std::size_t>(plan.clients + (plan.flooder ? 1 : 0)));
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    for (std::size_t i = 0; i < clients.size(); ++i) {
        Client& c = clients[i];
        c.fd = Connect(port);
        c.flooder = plan.flooder && i + 1 == clients.size();
        char name[32];
        std::snprintf(name, sizeof name, "P%-7zu", i);
        c.name = c.flooder ? "Flood   " : name;
        AppendPacket(c.out, "/join " + c.name + '\0');
        Flush(c);
        ::fcntl(c.fd, F_SETFL, ::fcntl(c.fd, F_GETFL) | O_NONBLOCK);
        Watch(poller, EPOLL_CTL_ADD, c, i, false);
    }
    const std::string floodPacket = FloodPacket(clients.back().name, plan.floodPayloadBytes);
    constexpr std::size_t FloodBacklog = 64 * 1024;

    // The clock starts once the last client's join has been answered: from
    // then on the publishers send, and after the warm-up the counting begins.
    const std::int64_t giveUp = NowNs() + 60'000'000'000;
    std::int64_t measureFrom = INT64_MAX, measureTo = giveUp;
    long published = 0, delivered = 0, flooded = 0, cut = 0;
    std::vector<std::int64_t> latencies;
    latencies.reserve(1 << 20);
    bool publishing = false;
    const std::string lastJoin = "/join " + clients.back().name;
    std::vector<epoll_event> ready(1024);
    std::vector<char> buffer(1 << 16);
    while (NowNs() < measureTo) {
        if (publishing)
            for (int p = 0; p < plan.publishers; ++p) {
                Client& c = clients[static_cast<std::size_t>(p)];
                while (c.unanswered < plan.window) {
                    Publish(c);
                    if (NowNs() >= measureFrom)
                        ++published;
                }
                Flush(c);
            }
        const int n = epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 50);
        for (int i = 0; i < n; ++i) {
            const epoll_event& event = ready[static_cast<std::size_t>(i)];
            Client& c = clients[event.data.u64];
            if (c.fd < 0)
                continue;
            if (c.flooder && (event.events & EPOLLOUT)) {
                while (c.out.size() < FloodBacklog)
                    c.out += floodPacket;
                Flush(c);
            }
            // At most a megabyte per client and round: a server that keeps
            // refilling one socket must not make its input grow without end.
            ssize_t got = 0;
            for (int reads = 0; reads < 16 && (got = ::recv(c.fd, buffer.data(), buffer.size(), 0)) > 0; ++reads)
                c.in.append(buffer.data(), static_cast<std::size_t>(got));
            if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
                ++cut;
                epoll_ctl(poller, EPOLL_CTL_DEL, c.fd, nullptr);
                ::close(c.fd);
                c.fd = -1;
                continue;
            }
            const std::int64_t now = NowNs();
            CutPackets(c.in, [&](std::string_view payload) {
                const std::string_view text = TextOf(payload);
                if (!text.empty() && text[0] == '/') {
                    // The game server answers the last join with a roster, the
                    // relay by echoing it.
                    if (!publishing && &c == &clients.back() && (text.rfind("/list", 0) == 0 || text == lastJoin)) {
                        publishing = true;
                        if (c.flooder)
                            Watch(poller, EPOLL_CTL_MOD, c, clients.size() - 1, true);
                        measureFrom = now + static_cast<std::int64_t>(plan.warmupSeconds * 1e9);
                        measureTo = measureFrom + static_cast<std::int64_t>(plan.measureSeconds * 1e9);
                    }
                    return;
                }
                if (text.empty())
                    return;
                const std::string_view who = text.substr(0, 8);
                if (who == clients.back().name && clients.back().flooder) {
                    if (c.flooder && now >= measureFrom)
                        ++flooded;
                    return;
                }
                if (c.flooder)
                    return;
                const std::int64_t sentAt = std::stoll(std::string(text.substr(10)));
                if (now >= measureFrom && sentAt >= measureFrom) {
                    ++delivered;
                    latencies.push_back(now - sentAt);
                }
                if (who == c.name)
                    --c.unanswered;
            });
        }
    }
    for (Client& c : clients)
        if (c.fd >= 0)
            ::close(c.fd);
    ::close(poller);
    if (!publishing)
        throw std::runtime_error("the joins were never answered");

    LoadResult result;
    result.publishedPerSecond = static_cast<double>(published) / plan.measureSeconds;
    result.deliveredPerSecond = static_cast<double>(delivered) / plan.measureSeconds;
    result.floodedPerSecond = static_cast<double>(flooded) / plan.measureSeconds;
    result.cut = static_cast<double>(cut);
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        const auto at = [&](double q) {
            return static_cast<double>(latencies[static_cast<std::size_t>(q * static_cast<double>(latencies.size() - 1))]) / 1000.0;
        };
        result.p50Microseconds = at(0.50);
        result.p99Microseconds = at(0.99);
    }
    return result;
}

}  // namespace load
