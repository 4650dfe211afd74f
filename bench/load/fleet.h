#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Many client connections to one server on 127.0.0.1, driven from the calling
// thread with epoll: bytes queued per connection and sent in one call each,
// and everything received handed over for the caller to cut into messages.
// A connection the server closes is counted and forgotten. Connections go
// out from 127.0.0.1 and, past SourceAddressShare of them, from 127.0.0.2,
// since picking a free local port slows down once one source address holds
// many. Destroying the fleet resets every connection, leaving no port
// waiting out its close.
namespace load {

class Fleet {
public:
    static constexpr int SourceAddressShare = 12000;

    explicit Fleet(int port);
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Connects one more client (a blocking connect); returns its index.
    int Open();
    // Appends bytes to the connection's output; Flush sends it.
    void Queue(int index, std::string_view bytes);
    // Sends what every connection has queued, as far as the kernel takes it
    // (the rest goes once the connection can take more).
    void Flush();
    // Reads what has arrived, waiting up to timeoutMs for anything to
    // arrive; calls take with each connection's index and its input so far,
    // from which take removes what it has used.
    using Take = std::function<void(int index, std::string& input)>;
    void Poll(int timeoutMs, const Take& take);

    // The bytes queued on the connection that the kernel has not yet taken.
    std::size_t Queued(int index) const { return connections_[static_cast<std::size_t>(index)].output.size(); }
    int Size() const { return static_cast<int>(connections_.size()); }
    int Cut() const { return cut_; }

private:
    struct Connection {
        int fd = -1;
        bool awaitingRoom = false;
        std::string input;
        std::string output;
    };
    void Send(int index);
    void Drop(int index);

    int port_;
    int poller_;
    int cut_ = 0;
    std::vector<Connection> connections_;
    std::vector<int> queued_;
};

}  // namespace load
