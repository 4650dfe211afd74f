#pragma once

#include <algorithm>
#include <array>

// The servers a load scenario compares, and the order of their turns.
namespace load {

enum class ServerKind { Kivol, Redis, Relay };
constexpr std::array<ServerKind, 3> Kinds{ServerKind::Kivol, ServerKind::Redis, ServerKind::Relay};

inline const char* NameOf(ServerKind kind)
{
    switch (kind) {
    case ServerKind::Kivol:
        return "kivolsrv";
    case ServerKind::Redis:
        return "redis";
    case ServerKind::Relay:
        return "relay";
    }
    return "?";
}

// The servers of one round, in the order they take their turns: rotated by
// the round, so that a drift of the machine falls on each.
inline std::array<ServerKind, 3> TurnsOf(int round)
{
    std::array<ServerKind, 3> turns = Kinds;
    std::rotate(turns.begin(), turns.begin() + round % 3, turns.end());
    return turns;
}

}  // namespace load
