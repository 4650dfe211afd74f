#pragma once

#include <cstdint>
#include <vector>

// The clients of the load benchmark: n connections that join, two of which
// publish chat lines as fast as a window of unanswered lines allows, while
// every connection reads everything. Runs on the calling thread with epoll.
namespace load {

struct LoadResult {
    double publishedPerSecond = 0;
    double deliveredPerSecond = 0;
    double p50Microseconds = 0;
    double p99Microseconds = 0;
    // Lines the flooder had relayed back to it per second (0 without one).
    double floodedPerSecond = 0;
    // Connections the server closed during the run.
    double cut = 0;
};

struct LoadPlan {
    int clients = 10;
    int publishers = 2;
    int window = 8;  // unanswered lines per publisher
    double warmupSeconds = 1.0;
    double measureSeconds = 5.0;
    // One more client that joins and sends valid chat packets of
    // floodPayloadBytes flat out, reading what it is sent.
    bool flooder = false;
    int floodPayloadBytes = 200;
};

// Connects to 127.0.0.1:port, joins every client, runs the plan and closes.
LoadResult RunLoad(int port, const LoadPlan& plan);

}  // namespace load
