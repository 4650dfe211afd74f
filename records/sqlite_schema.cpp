#include "records/sqlite_schema.h"

#include <array>
#include <string>

namespace Records {

namespace {

// Migrations[i] takes a database from version i to version i + 1. Names are
// code page 932 blobs; name_key is the name as compared (ASCII letters in
// lower case). Times are milliseconds since 1970, UTC.
constexpr std::array<const char*, 1> Migrations{{
    R"sql(
CREATE TABLE games (
    id INTEGER PRIMARY KEY,
    table_name BLOB NOT NULL,
    host BLOB NOT NULL,
    started_ms INTEGER NOT NULL,
    ended_ms INTEGER NOT NULL,
    target INTEGER,
    pace INTEGER NOT NULL,
    answer INTEGER NOT NULL,
    bots INTEGER NOT NULL,
    bot_level INTEGER NOT NULL,
    end_reason TEXT NOT NULL
);
CREATE INDEX games_by_table ON games (table_name, id);
CREATE TABLE game_players (
    game_id INTEGER NOT NULL REFERENCES games (id) ON DELETE CASCADE,
    position INTEGER NOT NULL,
    name BLOB NOT NULL,
    name_key BLOB NOT NULL,
    registered INTEGER NOT NULL,
    bot_level INTEGER NOT NULL,
    seat INTEGER NOT NULL,
    cards INTEGER NOT NULL,
    place INTEGER NOT NULL,
    correct_hits INTEGER NOT NULL,
    wrong_hits INTEGER NOT NULL,
    PRIMARY KEY (game_id, position)
) WITHOUT ROWID;
CREATE INDEX game_players_by_name ON game_players (name_key, game_id);
CREATE TABLE game_events (
    game_id INTEGER NOT NULL REFERENCES games (id) ON DELETE CASCADE,
    seq INTEGER NOT NULL,
    ms INTEGER NOT NULL,
    kind TEXT NOT NULL,
    player BLOB NOT NULL,
    number INTEGER NOT NULL,
    flag INTEGER NOT NULL,
    text BLOB NOT NULL,
    PRIMARY KEY (game_id, seq)
) WITHOUT ROWID;
CREATE TABLE reaction_times (
    name_key BLOB NOT NULL,
    game_id INTEGER NOT NULL REFERENCES games (id) ON DELETE CASCADE,
    ms INTEGER NOT NULL
);
CREATE INDEX reaction_times_by_name ON reaction_times (name_key, ms);
CREATE TABLE names (
    name_key BLOB PRIMARY KEY,
    name BLOB NOT NULL,
    key_sha256 TEXT NOT NULL,
    registered_ms INTEGER NOT NULL,
    unranked INTEGER NOT NULL DEFAULT 0
) WITHOUT ROWID;
CREATE TABLE ratings (
    name_key BLOB PRIMARY KEY REFERENCES names (name_key) ON DELETE CASCADE,
    rating REAL NOT NULL,
    deviation REAL NOT NULL,
    volatility REAL NOT NULL,
    last_played_ms INTEGER NOT NULL
) WITHOUT ROWID;
CREATE TABLE rating_history (
    name_key BLOB NOT NULL REFERENCES names (name_key) ON DELETE CASCADE,
    game_id INTEGER NOT NULL REFERENCES games (id) ON DELETE CASCADE,
    rating REAL NOT NULL,
    deviation REAL NOT NULL,
    volatility REAL NOT NULL,
    PRIMARY KEY (name_key, game_id)
) WITHOUT ROWID;
)sql",
}};

}  // namespace

int SqliteSchemaVersion()
{
    return static_cast<int>(Migrations.size());
}

void MigrateSqliteSchema(TSqliteConnection& db, int fromVersion)
{
    db.Execute("BEGIN IMMEDIATE");
    try {
        for (int version = fromVersion; version < SqliteSchemaVersion(); ++version)
            db.Execute(Migrations[static_cast<std::size_t>(version)]);
        db.Execute(("PRAGMA user_version = " + std::to_string(SqliteSchemaVersion())).c_str());
        db.Execute("COMMIT");
    } catch (...) {
        db.RollBack();
        throw;
    }
}

}  // namespace Records
