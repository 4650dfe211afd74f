#pragma once

#include <cstdint>

// A repeatable stream of small packets: lengths of 20 to 200 bytes, consumed
// in bursts of 1 to 8 whole packets, as a connection's receive buffer sees
// them. The same seed gives the same sequence.
class PacketTraffic {
public:
    explicit PacketTraffic(std::uint32_t seed = 12345) : state_(seed) {}

    int NextLength() { return 20 + static_cast<int>(Next() % 181); }
    int NextBurst() { return 1 + static_cast<int>(Next() % 8); }

private:
    std::uint32_t Next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_ >> 8;
    }
    std::uint32_t state_;
};
