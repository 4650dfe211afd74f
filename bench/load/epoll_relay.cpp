#include "bench/load/epoll_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <pthread.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/load/ipv4_address.h"
#include "bench/load/packet_buffer.h"

namespace load {

using namespace std::string_view_literals;

namespace {

constexpr std::size_t MaxQueued = 16 << 20;

struct Connection {
    std::string in;
    std::string out;
    std::string table;
    bool placed = false;  // its first packet has been seen
    bool queued = false;  // its output is due to be flushed this round
    bool watchingOut = false;
};

// The table a connection's first packet names: what follows "TABLE=" up to
// the next space, when the packet is a join; else the table of everyone else.
std::string TableOf(std::string_view payload)
{
    constexpr std::string_view Key = "TABLE=";
    const std::size_t at = payload.find(Key);
    if (payload.rfind("/join ", 0) != 0 || at == std::string_view::npos)
        return {};
    const std::string_view rest = payload.substr(at + Key.size());
    return std::string(rest.substr(0, std::min(rest.find_first_of(" \0"sv), rest.size())));
}

class Relay {
public:
    explicit Relay(int poller) : poller_(poller) {}
    ~Relay()
    {
        for (auto& [fd, c] : connections_)
            ::close(fd);
    }

    void Accept(int client)
    {
        const int on = 1;
        setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        Watch(EPOLL_CTL_ADD, client, false);
        connections_[client];
    }

    void Readable(int fd, std::vector<char>& buffer)
    {
        const auto found = connections_.find(fd);
        if (found == connections_.end())
            return;  // cut earlier in this round
        Connection& c = found->second;
        // At most a megabyte per connection and round, so that a peer
        // that keeps its socket full cannot make the input grow without end.
        ssize_t got = 0;
        for (int reads = 0; reads < 16 && (got = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0; ++reads)
            c.in.append(buffer.data(), static_cast<std::size_t>(got));
        if (got == 0 || (got < 0 && errno != EAGAIN)) {
            Cut(fd);
            return;
        }
        std::vector<int> overfull;
        CutPackets(c.in, [&](std::string_view payload) {
            if (!c.placed) {
                c.placed = true;
                c.table = TableOf(payload);
                tables_[c.table].push_back(fd);
            }
            std::string packet;
            AppendPacket(packet, std::string(TextOf(payload)) + '\0');
            for (const int member : tables_[c.table]) {
                Connection& target = connections_[member];
                target.out += packet;
                if (!target.queued) {
                    target.queued = true;
                    queued_.push_back(member);
                }
                // Output piled up past the game server's send-queue limit
                // is cut, as the game server cuts it, so that a flood
                // cannot take all memory.
                if (target.out.size() > MaxQueued)
                    overfull.push_back(member);
            }
        });
        for (const int member : overfull)
            Cut(member);
    }

    // One send per connection that has output, at the end of the round; a
    // connection whose socket is full is watched for room until its buffer
    // has gone out.
    void Flush()
    {
        for (const int fd : queued_) {
            const auto found = connections_.find(fd);
            if (found == connections_.end())
                continue;
            Send(fd, found->second);
        }
        queued_.clear();
    }

    void Writable(int fd)
    {
        const auto found = connections_.find(fd);
        if (found != connections_.end())
            Send(fd, found->second);
    }

private:
    void Send(int fd, Connection& c)
    {
        c.queued = false;
        if (!c.out.empty()) {
            const ssize_t sent = ::send(fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
            if (sent > 0)
                c.out.erase(0, static_cast<std::size_t>(sent));
        }
        if (c.out.empty() == !c.watchingOut)
            return;
        c.watchingOut = !c.out.empty();
        Watch(EPOLL_CTL_MOD, fd, c.watchingOut);
    }

    void Watch(int op, int fd, bool writable)
    {
        epoll_event change{};
        change.events = EPOLLIN | (writable ? EPOLLOUT : 0u);
        change.data.fd = fd;
        epoll_ctl(poller_, op, fd, &change);
    }

    void Cut(int fd)
    {
        const auto found = connections_.find(fd);
        if (found == connections_.end())
            return;
        if (found->second.placed) {
            std::vector<int>& members = tables_[found->second.table];
            members.erase(std::find(members.begin(), members.end(), fd));
        }
        connections_.erase(found);
        ::close(fd);  // leaves the epoll set with it
    }

    int poller_;
    std::unordered_map<int, Connection> connections_;
    std::unordered_map<std::string, std::vector<int>> tables_;
    std::vector<int> queued_;
};

}  // namespace

EpollRelay::EpollRelay()
{
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address = LoopbackAddress(0);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, SOMAXCONN);
    socklen_t length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    thread_ = std::thread([this] { Run(); });
}

EpollRelay::~EpollRelay()
{
    stop_ = true;
    const std::uint64_t one = 1;
    (void)!::write(wake_, &one, sizeof one);
    thread_.join();
    ::close(wake_);
    ::close(listener_);
}

void EpollRelay::Run()
{
    pthread_setname_np(pthread_self(), "relay");  // for profiles: perf report --comm relay
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    epoll_event watch{};
    watch.events = EPOLLIN;
    watch.data.fd = listener_;
    epoll_ctl(poller, EPOLL_CTL_ADD, listener_, &watch);
    watch.data.fd = wake_;
    epoll_ctl(poller, EPOLL_CTL_ADD, wake_, &watch);

    Relay relay(poller);
    std::vector<epoll_event> ready(1024);
    std::vector<char> buffer(65536);
    while (!stop_) {
        const int n = epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 100);
        for (int i = 0; i < n; ++i) {
            const epoll_event& event = ready[static_cast<std::size_t>(i)];
            const int fd = event.data.fd;
            if (fd == wake_)
                continue;
            if (fd == listener_) {
                for (int client; (client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0;)
                    relay.Accept(client);
                continue;
            }
            if (event.events & EPOLLOUT)
                relay.Writable(fd);
            if (event.events & (EPOLLIN | EPOLLHUP | EPOLLERR))
                relay.Readable(fd, buffer);
        }
        relay.Flush();
    }
    ::close(poller);
}

}  // namespace load
