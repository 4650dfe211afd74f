#pragma once

// The game server as users run it, with many tables: the release kivolsrv
// beside it, measured against Debian's redis-server doing the same fan-out
// with publish and subscribe and against the yardstick relay (one table a
// channel). See RunTables in tables_scenario.cpp.
namespace load {

struct TablesPlan {
    double measureSeconds = 10;
    int busyTables = 2000;  // 5 players each, one chat line a second each; 0: no busy measurement
    int idleTables = 5000;  // the idle players' tables, beside 10 busy tables; 0: no idle measurement
    // Idle joined players, spread evenly over the idle tables (at most 4 a
    // table): with the 50 busy players and what each server keeps open for
    // itself they fit in an open-file limit of 20,000.
    int idlePlayers = 19790;
    // Both measurements are repeated, the three servers taking turns (who
    // goes first rotating), and each figure compared is the median of its
    // rounds: a shared machine's tail latency moves by several times from one
    // minute to the next.
    int rounds = 3;
};

// Runs the busy and the idle measurement, prints them and the targets;
// returns 0 when everything ran (targets missed or not), 1 on a failure.
int RunTables(const TablesPlan& plan);

}  // namespace load
