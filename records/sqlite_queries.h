#pragma once

#include <optional>
#include <string_view>
#include <vector>

#include "records/record_store.h"
#include "records/sqlite_connection.h"

// The reads behind the pages and the operator's commands.
namespace Records {

std::optional<TGameRecord> ReadGame(TSqliteConnection& db, std::int64_t id, bool withEvents);
std::vector<TGameRecord> ReadGames(TSqliteConnection& db, const TGamesQuery& query);
std::vector<TLeaderboardRow> ReadLeaderboard(TSqliteConnection& db, TTime now, int offset, int limit);
// Nothing for a name that is not registered and played no game as a person.
std::optional<TPlayerPage> ReadPlayer(TSqliteConnection& db, std::string_view name, TTime now, int lastGames);

}  // namespace Records
