#pragma once

// Dealt games at many tables of the release kivolsrv: scripted players who
// sit, hit and answer as people do, with or without computer players beside
// them. See RunGames in games_scenario.cpp.
namespace load {

struct GamesPlan {
    double measureSeconds = 20;
    int tables = 1000;
    // Without bots: 5 scripted players a table, a card every 2 s. With bots:
    // one scripted player and three level-5 bots a table, a card a second.
    bool bots = false;
};

// Measures the tables joined and chatting without games, then the same
// tables playing; prints both and the figures the games are judged by.
// Returns 0 when everything ran, 1 on a failure.
int RunGames(const GamesPlan& plan);

}  // namespace load
