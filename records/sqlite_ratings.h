#pragma once

#include <optional>
#include <string_view>

#include "records/game_record.h"
#include "records/glicko2.h"
#include "records/sqlite_connection.h"

namespace Records {

// One rating period per game with at least two players: every registered
// player of it meets every other registered player and every bot, scoring 1
// for a better place, 0.5 for the same and 0 for a worse one. Guests neither
// are rated nor rate anyone; bots keep their fixed ratings. Ratings before
// the game widen by one period for each whole day since the player's last
// rated game.
void UpdateRatings(TSqliteConnection& db, const TGameRecord& game);

// A kept rating widened by the days from its last game to now; nothing for a
// name without a rating.
std::optional<Glicko2::TRating> RatingAt(TSqliteConnection& db, std::string_view nameKey, TTime now);

// Whole days between two moments, as idle rating periods.
long long IdleDays(std::int64_t fromMs, std::int64_t toMs);

}  // namespace Records
