#pragma once

// The game server as users run it, with many tables: the release kivolsrv
// beside it, measured against Debian's redis-server doing the same fan-out
// with publish and subscribe. See RunTables in tables_scenario.cpp.
namespace load {

struct TablesPlan {
    double measureSeconds = 10;
    int busyTables = 2000;  // 5 players each, one chat line a second each
    int idleTables = 3750;  // 4 idle players each, beside 10 busy tables
    // Both measurements are repeated (in the busy one the two servers take
    // turns), and each figure compared is the median of its rounds: a shared
    // machine's tail latency moves by several times from one minute to the next.
    int rounds = 3;
};

// Runs the busy and the idle measurement, prints them and the targets;
// returns 0 when everything ran (targets missed or not), 1 on a failure.
int RunTables(const TablesPlan& plan);

}  // namespace load
