#pragma once

// The far end of a loopback TCP connection, made of plain POSIX sockets, for
// the tests of the blocking socket stream and of the socket host functions;
// and a bounded wait for a condition.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "platform/client_win_socket.h"

namespace streams_test {

// Polls the condition until it holds or the time-out passes; true when it held.
inline bool WaitUntil(const std::function<bool()>& condition,
                      std::chrono::milliseconds timeout = std::chrono::seconds(5))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Listens on 127.0.0.1 at an ephemeral port; Connect opens a blocking client
// socket to it and accepts the connection as the peer.
class LoopbackPeer {
public:
    LoopbackPeer()
    {
        listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener_, 4) != 0 ||
            ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            return;
        port_ = ntohs(address.sin_port);
    }
    ~LoopbackPeer()
    {
        Close();
        if (listener_ >= 0)
            ::close(listener_);
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    // Connects the socket (blocking mode) and accepts it; false on failure.
    bool Connect(TClientWinSocket& socket)
    {
        if (port_ == 0)
            return false;
        socket.Open("", "127.0.0.1", "", port_);
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 5000) != 1)
            return false;
        peer_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        return peer_ >= 0 && socket.Connected();
    }

    bool Send(const std::string& bytes)
    {
        return ::send(peer_, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size());
    }

    // Receives exactly count bytes (fewer when the connection ends first).
    std::string Receive(std::size_t count)
    {
        std::string bytes(count, '\0');
        std::size_t done = 0;
        while (done < count) {
            const ssize_t n = ::recv(peer_, bytes.data() + done, count - done, 0);
            if (n <= 0)
                break;
            done += static_cast<std::size_t>(n);
        }
        bytes.resize(done);
        return bytes;
    }

    // An orderly close: the other end reads the end of the stream.
    void Close()
    {
        if (peer_ >= 0)
            ::close(peer_);
        peer_ = -1;
    }

    // An abortive close (SO_LINGER on with time 0): the other end gets a reset.
    void Reset()
    {
        const linger abort{1, 0};
        ::setsockopt(peer_, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
        Close();
    }

private:
    int listener_ = -1;
    int peer_ = -1;
    int port_ = 0;
};

}  // namespace streams_test
