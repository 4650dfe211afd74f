#pragma once

#include <chrono>
#include <functional>
#include <random>

#include "platform/ansi_string.h"
#include "server/hit_judge.h"

// What the operator decides about the game at start-up.
struct TGameRules {
    // How long a dropped player's roster entry and seats wait for the player
    // to come back; 0 keeps them until the operator clears the entry.
    int GraceSeconds = 120;
    // Off: a connection may act and speak only in the names it joined with.
    // On: every packet is relayed as a level-1 server relays it.
    bool TrustNames = false;
    // The longest the server spends judging one hit.
    int SolverLimitMs = 50;
    // How many tables the server holds besides the main one.
    int MaxTables = 1000;
};

class TGameTable;

// What every table of a server shares: the rules, the log, the clock, the
// solving budget, the shuffle's random source and the server's one timer for
// the ends of grace periods.
struct TTableServices {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    TGameRules Rules;
    // Takes a finished log line (code page 932).
    std::function<void(const AnsiString& line)> AddLog;
    Clock Now;
    TSolveBudget SolveBudget;
    // Null: the piles' default engine.
    std::mt19937* Engine = nullptr;
    // The table's earliest grace end changed (time_point{} when it has none).
    std::function<void(TGameTable& table, std::chrono::steady_clock::time_point next)> ScheduleExpiry;
};
