#pragma once

#include <string>
#include <vector>

#include "records/record_store.h"

// The JSON texts the pages read. Names, tables and answers are code page 932
// bytes and are written as UTF-8; times are ISO 8601 in UTC with
// milliseconds; ratings have two decimals, volatilities five.
namespace Records {

// {"offset": N, "players": [{"rank", "name", "rating", "rd", "games", "wins"}]}
std::string LeaderboardJson(const std::vector<TLeaderboardRow>& rows, int offset);

// {"name", "registered", "unranked", "rating": {"rating", "rd", "volatility",
//  "provisional"} | null, "statistics": {"games", "places": [games in 1st, 2nd, ...],
//  "cards", "correct_hits", "wrong_hits", "best_reaction_ms", "median_reaction_ms"},
//  "history": [{"game", "time", "rating", "rd"}], "games": [game without events]}
std::string PlayerJson(const TPlayerPage& page);

// {"id", "table", "host", "start", "end", "fields": {"target": N | "random", "pace",
//  "answer", "bots", "level"}, "end_reason", "players": [{"name", "registered",
//  "bot": level | null, "seat", "cards", "place"}], "events": [{"ms", "kind", ...}]}
// Events carry what their kind has: "player", "seat", "card" and "makeable",
// "target", "verdict" and "first", "answer" and "correct", "cards", "why".
std::string GameJson(const TGameRecord& game, bool withEvents);

// One game (as GameJson) per line, each line ending in a newline.
std::string GamesNdjson(const std::vector<TGameRecord>& games, bool withEvents);

}  // namespace Records
