#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "records/game_record.h"

namespace Simulation {

// The bots of one simulated game: their levels, seats in this order.
struct TBotGame {
    std::vector<int> Levels;
    int Pace = 2;
    int Answer = 20;
    std::optional<int> Target;  // none: random each round
};

// Plays games one after another at a table of the real game server, with a
// simulated clock that jumps to the next thing due: a person sits and never
// plays (a game needs a person seated), the bots play. Each finished game's
// record goes to recorded; returns how many games finished.
int PlayBotGames(const TBotGame& game, int games, std::uint32_t seed,
                 const std::function<void(const Records::TGameRecord&)>& recorded);

// The bots of a record, by seat order of TBotGame::Levels: index of the
// winner (the bot with the most cards; -1 when bots tie for the lead).
int WinningBot(const Records::TGameRecord& record);

// For each correct first hit of a bot: the fewest field cards a solution
// used when the target could first be made, and the milliseconds from then
// to the hit.
struct TReaction {
    int Level = 0;
    int Cards = 0;
    std::int64_t Ms = 0;
};
std::vector<TReaction> Reactions(const Records::TGameRecord& record);

}  // namespace Simulation
