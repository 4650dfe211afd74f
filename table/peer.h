#pragma once

#include <chrono>
#include <vector>

#include "platform/ansi_string.h"
#include "transport/packet_connection.h"

class TGameTable;

// What the server knows of one connection: the table it is at, the names it
// joined with, and how it speaks.
struct TPeer {
    explicit TPeer(TPacketConnection* connection) : Connection(connection) {}

    TPacketConnection* Connection;
    // Null while the connection is at no table: a WebSocket before its join,
    // a connection refused, or one whose table was removed after it left.
    TGameTable* Table = nullptr;
    // Every name it joined with, a "/left" notwithstanding.
    std::vector<AnsiString> Names;
    bool Level2 = false;
    // Joined to watch: not in the roster, sends nothing but "/tables".
    bool Watcher = false;
    // A refusal was sent; the connection is closing and nothing more is handled.
    bool Refused = false;
    // The operator removed it: only its leave sequence ("/left", "/fleav")
    // is still handled, and what is left of its entries and seats goes as a
    // leave when it closes.
    bool Kicked = false;
    // Refused packets are logged at most once a minute per connection.
    bool RefusalLogged = false;
    std::chrono::steady_clock::time_point LastRefusalLog{};
    // "/tables" is answered at most once a second per connection.
    bool TablesAnswered = false;
    std::chrono::steady_clock::time_point LastTablesAnswer{};
};
