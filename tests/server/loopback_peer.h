#pragma once

// A raw TCP peer on 127.0.0.1 for tests that talk to a server running in the
// same thread: it writes exact bytes and reads exact packets, and every wait
// runs the event loop (so the server gets on with its work) until a condition
// holds or the time runs out.

#include <sys/socket.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "support/socket_test_support.h"

namespace server_test {

inline constexpr int WaitMs = 10000;

// Runs the event loop until condition() holds; false when timeoutMs passed first.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = WaitMs)
{
    return test::WaitUntil(condition, timeoutMs);
}

// "\x05\0\0\0hello": the 4-byte little-endian length, then the payload.
inline std::string Framed(std::string_view payload)
{
    return test::Packet(std::string(payload));
}

class LoopbackPeer {
public:
    // Connects to 127.0.0.1:port, or [::1]:port for AF_INET6; a peer that
    // could not connect is not Open().
    explicit LoopbackPeer(int port, int family = AF_INET);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool Open() const { return fd_ >= 0; }
    int Handle() const { return fd_; }

    // Writes every byte, running the event loop while the socket is full.
    // False when the connection failed or the time ran out.
    bool SendRaw(std::string_view bytes);
    bool SendPacket(std::string_view payload) { return SendRaw(Framed(payload)); }

    // The next packet's payload; nullopt when none came in time or the
    // connection ended first.
    std::optional<std::string> NextPacket(int timeoutMs = WaitMs);
    // The next packet's payload if it has arrived whole, without waiting.
    std::optional<std::string> TryNextPacket();
    // True once the server has closed the connection (end of stream or reset);
    // bytes still arriving are read and dropped.
    bool WaitClosed(int timeoutMs = WaitMs);
    // Closes with a reset instead of an orderly end.
    void Abort();

private:
    // Takes whatever has arrived without blocking; false at end of stream or error.
    bool Pump();
    std::optional<std::string> TakePacket();

    int fd_ = -1;
    bool ended_ = false;
    std::string received_;
};

}  // namespace server_test
