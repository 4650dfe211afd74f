#pragma once

#include <atomic>
#include <thread>

// The yardstick: a minimal relay of the game's framing in one thread with
// epoll and non-blocking sockets. Every packet it receives goes to every
// connection as its command text plus NUL (what the game server does with a
// chat line); each connection has an output buffer that is flushed once per
// loop round and may hold 16 MiB, beyond which the connection is cut (as the
// game server cuts it).
namespace load {

class EpollRelay {
public:
    EpollRelay();
    ~EpollRelay();
    int Port() const { return port_; }

private:
    void Run();

    int listener_ = -1;
    int wake_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace load
