#include "bench/load/epoll_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <string>
#include <vector>

#include "bench/load/ipv4_address.h"
#include "bench/load/packet_buffer.h"

namespace load {

namespace {

constexpr std::size_t MaxQueued = 16 << 20;

struct Connection {
    std::string in;
    std::string out;
    bool watchingOut = false;
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
    const int poller = epoll_create1(EPOLL_CLOEXEC);
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = listener_;
    epoll_ctl(poller, EPOLL_CTL_ADD, listener_, &event);
    event.data.fd = wake_;
    epoll_ctl(poller, EPOLL_CTL_ADD, wake_, &event);

    std::map<int, Connection> connections;
    std::vector<epoll_event> ready(1024);
    std::vector<char> buffer(65536);
    while (!stop_) {
        const int n = epoll_wait(poller, ready.data(), static_cast<int>(ready.size()), 100);
        for (int i = 0; i < n; ++i) {
            const int fd = ready[static_cast<std::size_t>(i)].data.fd;
            if (fd == wake_)
                continue;
            if (fd == listener_) {
                int client;
                while ((client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC)) >= 0) {
                    const int on = 1;
                    setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                    epoll_event add{};
                    add.events = EPOLLIN;
                    add.data.fd = client;
                    epoll_ctl(poller, EPOLL_CTL_ADD, client, &add);
                    connections[client];
                }
                continue;
            }
            const auto found = connections.find(fd);
            if (found == connections.end())
                continue;  // cut earlier in this round
            Connection& c = found->second;
            // At most a megabyte per connection and round, so that a peer
            // that keeps its socket full cannot make the input grow without end.
            ssize_t got = 0;
            for (int reads = 0; reads < 16 && (got = ::recv(fd, buffer.data(), buffer.size(), 0)) > 0; ++reads)
                c.in.append(buffer.data(), static_cast<std::size_t>(got));
            if (got == 0 || (got < 0 && errno != EAGAIN)) {
                ::close(fd);
                connections.erase(fd);
                continue;
            }
            CutPackets(c.in, [&](std::string_view payload) {
                std::string packet;
                AppendPacket(packet, std::string(TextOf(payload)) + '\0');
                for (auto& [other, target] : connections)
                    target.out += packet;
            });
            // A connection whose output has piled up past the game server's
            // send-queue limit is cut, as the game server cuts it, so that a
            // flood cannot take all memory.
            for (auto it = connections.begin(); it != connections.end();) {
                if (it->second.out.size() <= MaxQueued) {
                    ++it;
                    continue;
                }
                ::close(it->first);
                it = connections.erase(it);
            }
        }
        // One flush per connection per round; a connection whose socket is
        // full is watched for room until its buffer has gone out.
        for (auto& [fd, c] : connections) {
            if (!c.out.empty()) {
                const ssize_t sent = ::send(fd, c.out.data(), c.out.size(), MSG_NOSIGNAL);
                if (sent > 0)
                    c.out.erase(0, static_cast<std::size_t>(sent));
            }
            if (c.out.empty() == !c.watchingOut)
                continue;
            c.watchingOut = !c.out.empty();
            epoll_event change{};
            change.events = EPOLLIN | (c.watchingOut ? EPOLLOUT : 0u);
            change.data.fd = fd;
            epoll_ctl(poller, EPOLL_CTL_MOD, fd, &change);
        }
    }
    for (auto& [fd, c] : connections)
        ::close(fd);
    ::close(poller);
}

}  // namespace load
