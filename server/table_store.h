#pragma once

#include <QByteArray>
#include <QString>
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "dealer/dealer.h"
#include "platform/ansi_string.h"
#include "table/game_recorder.h"
#include "table/table_record.h"

class TGameServer;
class TGameTable;

// What tables.json keeps of one table across a restart: everything a player
// sees of it, and the roster by names and token hashes. Never a token.
struct TSavedTable {
    struct TEntry {
        AnsiString Name;
        // Hex SHA-256 of the entry's token; empty for a level-1 entry.
        std::string TokenHash;
        bool Away = false;
    };

    AnsiString Name;
    std::optional<std::string> Key;
    // Card numbers bottom first, as the piles hold them.
    std::vector<int> Deck;
    std::vector<int> Field;
    std::array<std::vector<int>, TTableRecord::SeatCount> Hands;
    // Seats, drawers, target and setter, and whether a game started.
    TTableRecord Record;
    std::vector<TEntry> Entries;
    // The dealt game running at the table, if one was.
    std::optional<Dealer::TSavedGame> Game;
    // Its record so far, so that the game is recorded whole at its end.
    std::optional<TGameRecorder::TSaved> Recording;
};

// The tables' file: a JSON object {"version": 1, "tables": [...]}.
QByteArray TablesFileBytes(const std::vector<TSavedTable>& tables);
// Reads the bytes of a tables file into tables; an empty text on success,
// else what is wrong (tables is then untouched). Every table must hold the 54
// cards once each, and no name may stand twice.
QString ReadTablesFile(const QByteArray& bytes, std::vector<TSavedTable>& tables);

// What the server keeps of every table with a roster entry (the main table
// always), main table first.
std::vector<TSavedTable> SaveTables(TGameServer& server);
// Puts the saved tables into the server: piles, record and key as saved, every
// entry away with its grace period starting now.
void RestoreTables(TGameServer& server, const std::vector<TSavedTable>& tables);

// The file's path in the state directory.
QString TablesFilePath(const QString& stateDirectory);
// Writes every table to path atomically; an empty text on success, else why not.
QString WriteTablesFile(TGameServer& server, const QString& path);
// Brings back the tables of the file at path, if there is one, and removes
// it. A file that cannot be read is renamed "<path>.unreadable-<UTC time>"
// and the server stays as it was. log receives a line (UTF-8) for each of
// these outcomes.
void LoadTablesFile(TGameServer& server, const QString& path, const std::function<void(const QString& line)>& log);
