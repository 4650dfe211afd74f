#pragma once

#include "records/game_record.h"
#include "records/sqlite_connection.h"

namespace Records {

// Writes a game with its players, events, reaction times and the ratings it
// changes, inside the caller's transaction.
void WriteGameRows(TSqliteConnection& db, const TGameRecord& game);

}  // namespace Records
