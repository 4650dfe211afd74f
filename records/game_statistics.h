#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "platform/ansi_string.h"
#include "records/game_record.h"

namespace Records {

// What one player did in one game, read from its events.
struct THitCounts {
    int Correct = 0;  // hits answered correctly
    int Wrong = 0;    // penalties: a hit on an impossible target, a wrong or late answer
    // For each correct first hit: the milliseconds from the deal after which
    // the target could first be made from the field to the hit.
    std::vector<std::int64_t> ReactionMs;
};

// Per player name as it appears in the events.
std::map<AnsiString, THitCounts> HitCounts(const std::vector<TGameEvent>& events);

}  // namespace Records
