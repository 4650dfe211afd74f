#pragma once

// The soak's clients: plain POSIX sockets to 127.0.0.1, driven by one epoll
// loop on a thread of their own, so that they never wait for the server's
// thread nor it for them. Every loop is bounded in time.
//
// Roles, by slot:
//  - players send random valid commands; at the end half of them leave
//    ("/left", "/fleav" per seat, close) and the other half stay connected;
//  - talkers are players that also send large chat lines, the bulk of the
//    traffic, and stay connected;
//  - silent clients join and then never read: the server must cut them off
//    at its send-queue limit;
//  - quitters play for a few seconds, then vanish in the middle of a packet
//    (half of them with a reset) and come back as someone new;
//  - garbage clients send a negative length, a huge length followed by more
//    than the receive limit, or random packets, and come back for more.
//
// After the traffic the clients go quiet and the stayers exchange markers, so
// that everything sent has been handled; then the driver waits for the
// server's thread to settle, runs a fresh client through byte-exact checks,
// and closes everything.

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace soak {

struct DriverFigures {
    int clients = 0;
    int silentClients = 0;
    long connections = 0;
    long commands = 0;
    long bulkBytes = 0;
    long garbageBytes = 0;
    long packetsReceived = 0;
    long midPacketCloses = 0;
    long midPacketResets = 0;
    std::vector<std::string> failures;
};

// How the driver and the server's thread agree on the quiet point.
struct Handshake {
    // Set by the driver once it is quiet: the connections it still holds.
    std::atomic<int> expectedConnections{-1};
    // Set by the server's thread when its counts match (or the wait ran out).
    std::atomic<bool> settled{false};
    // Set by the driver when it has closed every connection.
    std::atomic<bool> finished{false};
};

class ClientDriver {
public:
    ClientDriver(int port, std::chrono::seconds traffic, Handshake& handshake);
    ~ClientDriver();

    // The thread's body.
    void Run();
    const DriverFigures& Figures() const { return figures_; }

private:
    struct Client;
    class Loop;

    void Traffic();
    void GoQuiet();
    bool ExchangeMarkers();
    void CheckFreshClient();
    void CloseAll();
    void Fail(const std::string& what);

    int port_;
    std::chrono::seconds traffic_;
    Handshake& handshake_;
    std::unique_ptr<Loop> loop_;
    DriverFigures figures_;
};

}  // namespace soak
