#include "loopback_peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace server_test {

LoopbackPeer::LoopbackPeer(int port, int family)
{
    fd_ = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_storage address{};
    socklen_t length = 0;
    if (family == AF_INET6) {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        v6->sin6_addr = in6addr_loopback;
        length = sizeof *v6;
    } else {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        v4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        length = sizeof *v4;
    }
    // Loopback connects complete in the kernel's backlog, without the server's accept.
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), length) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

LoopbackPeer::~LoopbackPeer()
{
    if (fd_ >= 0)
        ::close(fd_);
}

void LoopbackPeer::Abort()
{
    const linger reset{1, 0};
    ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    ::close(fd_);
    fd_ = -1;
}

bool LoopbackPeer::SendRaw(std::string_view bytes)
{
    bool failed = false;
    const bool done = WaitUntil([&] {
        while (!bytes.empty()) {
            const ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
            if (n < 0) {
                failed = errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
                return failed;
            }
            bytes.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    });
    return done && !failed;
}

bool LoopbackPeer::Pump()
{
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::recv(fd_, chunk, sizeof chunk, MSG_DONTWAIT);
        if (n > 0) {
            received_.append(chunk, static_cast<std::size_t>(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return true;
        ended_ = true;
        return false;
    }
}

std::optional<std::string> LoopbackPeer::TakePacket()
{
    if (received_.size() < 4)
        return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i)
        size |= static_cast<std::uint32_t>(static_cast<unsigned char>(received_[i])) << (8 * i);
    if (received_.size() - 4 < size)
        return std::nullopt;
    std::string payload = received_.substr(4, size);
    received_.erase(0, 4 + std::size_t{size});
    return payload;
}

std::optional<std::string> LoopbackPeer::TryNextPacket()
{
    std::optional<std::string> packet = TakePacket();
    if (!packet) {
        Pump();
        packet = TakePacket();
    }
    return packet;
}

std::optional<std::string> LoopbackPeer::NextPacket(int timeoutMs)
{
    std::optional<std::string> packet;
    WaitUntil(
        [&] {
            packet = TryNextPacket();
            return packet.has_value() || ended_;
        },
        timeoutMs);
    return packet;
}

bool LoopbackPeer::WaitClosed(int timeoutMs)
{
    return WaitUntil(
        [&] {
            Pump();
            received_.clear();
            return ended_;
        },
        timeoutMs);
}

}  // namespace server_test
