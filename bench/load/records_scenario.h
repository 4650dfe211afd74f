#pragma once

// What keeping records costs the release kivolsrv: busy tables chatting
// while short dealt games finish at other tables, once with records and once
// without (--no-records). See RunRecords in records_scenario.cpp.
namespace load {

struct RecordsPlan {
    double measureSeconds = 20;
    int busyTables = 2000;      // 5 players each, one chat line a second each
    int gamesPerMinute = 1000;  // started at that rate, each stopped after a few dealt cards
    // Both modes run in every round, taking turns at going first; the figures
    // compared are the medians of the rounds.
    int rounds = 3;
};

// Runs the rounds, prints each run, the medians and the database's bytes per
// game; returns 0 when everything ran, 1 on a failure.
int RunRecords(const RecordsPlan& plan);

}  // namespace load
