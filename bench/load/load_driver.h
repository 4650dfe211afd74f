#pragma once

#include <functional>
#include <string>

#include "bench/load/text_cutters.h"

// The clients of the load benchmark's fan-out: n connections that join, two
// of which publish chat lines as fast as a window of unanswered lines allows,
// while every connection reads everything. Runs on the calling thread with
// epoll.
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
    // One more client that joins and sends chat lines of floodPayloadBytes
    // (as the game frames them) flat out, reading what it is sent.
    bool flooder = false;
    int floodPayloadBytes = 200;
};

// How the driver speaks to a server. A client's name is 8 bytes, padded.
struct LoadWire {
    // What a client sends to join, and the beginning of the text that answers it.
    std::function<std::string(const std::string& name)> join;
    std::string joinAnswer;
    // What sends a line's text to every client.
    std::function<std::string(const std::string& text)> line;
    TextCutter cut;
    // A joined connection can send no lines (a Redis subscriber): each
    // client that sends has a second connection of its own to send them on.
    bool sendsApart = false;
};

// The game's framing: a join "/join NAME", a line as a chat packet. The game
// server answers a join with the table's roster, the yardstick relay by
// relaying the join.
LoadWire GameServerWire();
LoadWire RelayWire();
// Redis: every client subscribes to one channel, and lines are published
// into it.
LoadWire RedisWire();

// Connects to 127.0.0.1:port, joins every client, runs the plan and closes.
LoadResult RunLoad(int port, const LoadPlan& plan, const LoadWire& wire = GameServerWire());

}  // namespace load
