#pragma once

#include <string>
#include <vector>

// Connections that join and then sit idle, for measuring what an idle joined
// connection costs a server. They sit four to a table, as players do (at one
// table, every join would go to thousands and the server would rightly cut
// those who do not read it). They join in batches; the last of each batch
// also sends a chat line and the next batch starts once that line has come
// back (or after a second, should the server not relay it). Everything the
// server sends is read and dropped. Once all have joined, the connections
// read until nothing has arrived for the settling time; they stay open until
// the object is destroyed.
namespace load {

class IdleClients {
public:
    IdleClients(int port, int count, double settleSeconds);
    ~IdleClients();
    IdleClients(const IdleClients&) = delete;
    IdleClients& operator=(const IdleClients&) = delete;

    // The tables that count connections sit at.
    static int TablesFor(int count) { return (count + PlayersATable - 1) / PlayersATable; }

    // Connections the server closed while they joined or settled.
    int Cut() const { return cut_; }

private:
    static constexpr int PlayersATable = 4;

    // Reads and drops whatever waits, for up to timeoutMs; true when the chat
    // line expected (if any) arrived.
    bool Drain(int timeoutMs, const std::string& expected);

    int poller_ = -1;
    int cut_ = 0;
    std::vector<int> fds_;
    std::string received_;
};

}  // namespace load
