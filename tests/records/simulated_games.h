#pragma once

#include <map>
#include <random>
#include <vector>

#include "records/game_record.h"

// Games played out by a simple model of a table, written as the server
// would record them, with what the model itself counted along the way.
struct TSimulatedPlayer {
    AnsiString Name;
    bool Registered = false;
    int BotLevel = 0;
};

struct TSimulatedGame {
    Records::TGameRecord Record;
    std::map<AnsiString, int> Hands;  // the model's own count of each hand at the end
    std::map<AnsiString, int> Correct;
    std::map<AnsiString, int> Wrong;
    std::map<AnsiString, std::vector<std::int64_t>> ReactionMs;
};

TSimulatedGame SimulateGame(std::mt19937& random, const std::vector<TSimulatedPlayer>& seated, Records::TTime start);
