#pragma once

#include <chrono>
#include <functional>
#include <random>
#include <string>
#include <string_view>

#include "platform/ansi_string.h"
#include "records/game_record.h"
#include "table/hit_judge.h"

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
class TPacketConnection;

// Why the server dropped a packet it received (neither relayed nor
// answered): the label of kivol_dropped_packets_total.
namespace DropWhy {
// A player name that is not among the sender's own.
inline constexpr std::string_view Name = "name";
// From a connection that has never joined.
inline constexpr std::string_view Unjoined = "unjoined";
// Anything but "/tables" from a watcher.
inline constexpr std::string_view Watcher = "watcher";
// A word only a server sends ("/kill", "/list", "/state", ...).
inline constexpr std::string_view ServerOnly = "server_only";
// A move naming a seat other than 0 to 5.
inline constexpr std::string_view Seat = "seat";
// A "/draw" while twelve cards lie on the field.
inline constexpr std::string_view FullField = "full_field";
// A move the dealer owns while a dealt game runs.
inline constexpr std::string_view Game = "game";
// A muted player's chat line or answer.
inline constexpr std::string_view Muted = "muted";
// A level-2 word from a connection that did not announce level 2.
inline constexpr std::string_view Word = "word";
// An "/answer" without a hit to answer, or one that is not an answer's layout.
inline constexpr std::string_view Answer = "answer";
// A "/tables" less than a second after the last one answered.
inline constexpr std::string_view Tables = "tables";
// A join past the names a connection may hold or the roster's size.
inline constexpr std::string_view Join = "join";
// From a kicked connection, other than its leave sequence.
inline constexpr std::string_view Kicked = "kicked";
// From a connection that was refused or is being closed.
inline constexpr std::string_view Closing = "closing";
// Handling the packet failed (it is logged as "/例外").
inline constexpr std::string_view Error = "error";
}  // namespace DropWhy

// What every table of a server shares: the rules, the log, the clock, the
// solving budget, the shuffle's random source, the server's one timer for
// the ends of grace periods, and the one way a packet goes out.
struct TTableServices {
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    TGameRules Rules;
    // Takes a finished log line (code page 932).
    std::function<void(const AnsiString& line)> AddLog;
    Clock Now;
    TSolveBudget SolveBudget;
    // Null: the piles' default engine.
    std::mt19937* Engine = nullptr;
    // The table's next wake changed: a grace end or its dealer's next step
    // (time_point{} when it has none).
    std::function<void(TGameTable& table, std::chrono::steady_clock::time_point next)> ScheduleWake;
    // A dealt game ended: its record, for the store (null: not kept).
    std::function<void(Records::TGameRecord record)> RecordGame;
    // Whether a name is registered (null: none is), for the records.
    std::function<bool(const AnsiString& name)> IsRegistered;
    // Where the server's pages are for a connection, told to it after its
    // sync block (null or empty: nothing is told).
    std::function<std::string(const TPacketConnection& connection)> SiteUrl;
    // What the tables count for the metrics (null: nothing is counted).
    struct TTableCounters {
        double* PacketsSent = nullptr;
        double* BytesSent = nullptr;
        // Observes the seconds one hit's judgement took.
        std::function<void(double seconds)> Judged;
        // A received packet was dropped, and why (DropWhy).
        std::function<void(std::string_view why)> Dropped;
        // The computer players asked for a solve of a field and target;
        // delayed: it waited, as the budget left nothing beyond what
        // players' hits keep.
        std::function<void(bool delayed)> BotSolve;
        // A dealt game ended ("deck" or "stop").
        std::function<void(std::string_view end)> GameEnded;
    } Counters;

    // Sends one packet (its payload) to a connection and counts it: every
    // packet the server sends goes through here, the tables' and the
    // router's own (table lists, refusals, notices).
    void Send(TPacketConnection& connection, const void* data, int size) const;
    // A command text as one packet: the text and its NUL.
    void SendText(TPacketConnection& connection, std::string_view text) const;
    // Counts a received packet that was dropped.
    void CountDrop(std::string_view why) const
    {
        if (Counters.Dropped)
            Counters.Dropped(why);
    }
};
