#pragma once

#include <QByteArray>
#include <optional>

#include "records/record_store.h"
#include "web_port/http_answer.h"

// The records as JSON, behind the browser's leaderboard, player and game pages:
//   /api/leaderboard[?offset=N][&limit=N]    best first (limit 1 to 100, default 50)
//   /api/players/NAME                        a player's statistics, rating history and last games
//   /api/games/ID                            a game with its events
//   /api/games[?player=NAME][&before=ID][&limit=N]
//                                            NDJSON, one game a line without its events,
//                                            newest first (limit 1 to 1000, default 50)
// NAME is percent-encoded UTF-8. Nothing for any other path; 404 for a
// player or game the records do not hold, 400 for a query value that is no
// number in range.
std::optional<THttpAnswer> RecordAnswer(const Records::TRecordStore& store, const QByteArray& encodedPath,
                                        const QByteArray& encodedQuery, Records::TTime now);
