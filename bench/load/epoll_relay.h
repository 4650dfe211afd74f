#pragma once

#include <atomic>
#include <thread>

// The yardstick: a minimal relay of the game's framing in one thread with
// epoll and non-blocking sockets. A connection's first packet, when it is a
// join naming a table ("TABLE=" in it), puts the connection at that table;
// every other connection sits at one table together. Every packet received
// goes to every connection at the sender's table, the sender included, as its
// command text plus NUL (what the game server does with a chat line). Each
// connection has an output buffer, flushed at the end of the loop round that
// filled it, that may hold 16 MiB, beyond which the connection is cut (as the
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
