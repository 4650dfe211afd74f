#include "bench/load/idle_clients.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "bench/load/ipv4_address.h"
#include "bench/load/packet_buffer.h"

namespace load {

namespace {

constexpr int Batch = 50;

using Clock = std::chrono::steady_clock;

int ConnectNonBlocking(int port)
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = LoopbackAddress(port);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw std::runtime_error("idle clients cannot connect");
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

void SendAll(int fd, const std::string& bytes)
{
    // A few dozen bytes into an empty socket: taken whole.
    if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(bytes.size()))
        throw std::runtime_error("idle clients cannot send");
}

}  // namespace

IdleClients::IdleClients(int port, int count, double settleSeconds) : poller_(epoll_create1(EPOLL_CLOEXEC))
{
    for (int i = 0; i < count; ++i) {
        const int fd = ConnectNonBlocking(port);
        fds_.push_back(fd);
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(poller_, EPOLL_CTL_ADD, fd, &event);
        char name[16];
        std::snprintf(name, sizeof name, "I%-7d", i);
        std::string bytes;
        AppendPacket(bytes, std::string("/join ") + name + '\0' + "KIVOL/2 TABLE=idle" +
                                std::to_string(i / PlayersATable));
        const bool lastOfBatch = (i + 1) % Batch == 0 || i + 1 == count;
        const std::string sync = std::string(name) + ": joined";
        if (lastOfBatch)
            AppendPacket(bytes, sync + '\0');
        SendAll(fd, bytes);
        if (lastOfBatch) {
            const auto giveUp = Clock::now() + std::chrono::seconds(1);
            while (Clock::now() < giveUp && !Drain(50, sync)) {
            }
        }
    }
    const auto settle = std::chrono::duration<double>(settleSeconds);
    auto quietSince = Clock::now();
    while (Clock::now() - quietSince < settle)
        if (Drain(50, {}))
            quietSince = Clock::now();
}

IdleClients::~IdleClients()
{
    for (int fd : fds_)
        if (fd >= 0)
            ::close(fd);
    ::close(poller_);
}

bool IdleClients::Drain(int timeoutMs, const std::string& expected)
{
    epoll_event ready[256];
    const int n = epoll_wait(poller_, ready, 256, timeoutMs);
    bool arrived = false;
    char buffer[65536];
    for (int i = 0; i < n; ++i) {
        const int fd = ready[i].data.fd;
        ssize_t got;
        while ((got = ::recv(fd, buffer, sizeof buffer, 0)) > 0) {
            arrived = arrived || expected.empty();
            if (!expected.empty()) {
                // The expected line can straddle two reads: keep a short tail.
                received_.append(buffer, static_cast<std::size_t>(got));
                arrived = arrived || received_.find(expected) != std::string::npos;
                if (received_.size() > expected.size())
                    received_.erase(0, received_.size() - expected.size());
            }
        }
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            ++cut_;
            epoll_ctl(poller_, EPOLL_CTL_DEL, fd, nullptr);
            for (int& open : fds_)
                if (open == fd)
                    open = -1;
            ::close(fd);
        }
    }
    if (arrived)
        received_.clear();
    return arrived;
}

}  // namespace load
