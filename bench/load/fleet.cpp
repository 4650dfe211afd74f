#include "bench/load/fleet.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "bench/load/ipv4_address.h"

namespace load {

Fleet::Fleet(int port) : port_(port), poller_(epoll_create1(EPOLL_CLOEXEC)) {}

Fleet::~Fleet()
{
    const linger reset{1, 0};
    for (const Connection& c : connections_)
        if (c.fd >= 0) {
            setsockopt(c.fd, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
            ::close(c.fd);
        }
    ::close(poller_);
}

int Fleet::Open()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        throw std::runtime_error("no socket for another client (open file limit?)");
    const std::uint32_t source = Size() < SourceAddressShare ? INADDR_LOOPBACK : INADDR_LOOPBACK + 1;
    const sockaddr_in local = Ipv4Address(source, 0);
    const sockaddr_in server = LoopbackAddress(port_);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0 ||
        ::connect(fd, reinterpret_cast<const sockaddr*>(&server), sizeof server) != 0) {
        ::close(fd);
        throw std::runtime_error("a client cannot connect");
    }
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    const int index = Size();
    connections_.push_back({fd, false, {}, {}});
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.u32 = static_cast<std::uint32_t>(index);
    epoll_ctl(poller_, EPOLL_CTL_ADD, fd, &event);
    return index;
}

void Fleet::Queue(int index, std::string_view bytes)
{
    Connection& c = connections_[static_cast<std::size_t>(index)];
    if (c.fd < 0)
        return;
    if (c.output.empty())
        queued_.push_back(index);
    c.output.append(bytes);
}

void Fleet::Flush()
{
    for (int index : queued_)
        Send(index);
    queued_.clear();
}

void Fleet::Send(int index)
{
    Connection& c = connections_[static_cast<std::size_t>(index)];
    while (c.fd >= 0 && !c.output.empty()) {
        const ssize_t sent = ::send(c.fd, c.output.data(), c.output.size(), MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno != EAGAIN && errno != EWOULDBLOCK)
                Drop(index);
            break;
        }
        c.output.erase(0, static_cast<std::size_t>(sent));
    }
    const bool awaitingRoom = c.fd >= 0 && !c.output.empty();
    if (awaitingRoom == c.awaitingRoom)
        return;
    c.awaitingRoom = awaitingRoom;
    epoll_event event{};
    event.events = EPOLLIN | (awaitingRoom ? EPOLLOUT : 0u);
    event.data.u32 = static_cast<std::uint32_t>(index);
    epoll_ctl(poller_, EPOLL_CTL_MOD, c.fd, &event);
}

void Fleet::Drop(int index)
{
    Connection& c = connections_[static_cast<std::size_t>(index)];
    ++cut_;
    ::close(c.fd);  // leaves the epoll set with it
    c = Connection{};
}

void Fleet::Poll(int timeoutMs, const Take& take)
{
    epoll_event ready[512];
    const int n = epoll_wait(poller_, ready, 512, timeoutMs);
    char buffer[65536];
    for (int i = 0; i < n; ++i) {
        const int index = static_cast<int>(ready[i].data.u32);
        Connection& c = connections_[static_cast<std::size_t>(index)];
        if (ready[i].events & EPOLLOUT)
            Send(index);
        ssize_t got = 0;
        bool arrived = false;
        for (int reads = 0; c.fd >= 0 && reads < 16 && (got = ::recv(c.fd, buffer, sizeof buffer, 0)) > 0; ++reads) {
            c.input.append(buffer, static_cast<std::size_t>(got));
            arrived = true;
        }
        if (arrived)
            take(index, c.input);
        if (c.fd >= 0 && (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)))
            Drop(index);
    }
}

}  // namespace load
