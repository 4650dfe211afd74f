// Whole dealt games between computer players on the server's tables with a
// simulated clock: how often each level beats the one below it, how long each
// level takes to see a solution of k cards, and how many games a minute the
// simulation plays. Usage: bot_games_bench [games per pair, default 2000]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

#include <QCoreApplication>

#include "simulation/bot_games.h"

int main(int argc, char** argv)
{
    // The server's one timer needs the application's event thread, even
    // where the simulated clock drives every wake.
    QCoreApplication application(argc, argv);
    const int games = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
    const auto began = std::chrono::steady_clock::now();
    int played = 0;
    std::printf("| pair | games | higher level wins | lower level wins | ties |\n|---|---|---|---|---|\n");
    for (int level = 1; level < 5; ++level) {
        int wins[2] = {0, 0}, ties = 0;
        played += Simulation::PlayBotGames({.Levels = {level, level + 1}, .Target = {}}, games, static_cast<std::uint32_t>(level),
                                           [&](const Records::TGameRecord& record) {
                                               const int winner = Simulation::WinningBot(record);
                                               winner < 0 ? ++ties : ++wins[winner];
                                           });
        const double decided = std::max(1, wins[0] + wins[1]);
        std::printf("| %d vs %d | %d | %.1f %% | %.1f %% | %d |\n", level + 1, level, games, 100.0 * wins[1] / decided,
                    100.0 * wins[0] / decided, ties);
    }
    // One bot a game, so nobody takes its fields first, at a pace slow enough
    // that no new card restarts its look before it sees a solution.
    std::map<std::pair<int, int>, std::vector<std::int64_t>> times;
    for (int level = 1; level <= 5; ++level)
        played += Simulation::PlayBotGames({.Levels = {level}, .Pace = 30, .Answer = 20, .Target = {}}, games / 4 + 1, static_cast<std::uint32_t>(100 + level),
                                           [&](const Records::TGameRecord& record) {
                                               for (const auto& r : Simulation::Reactions(record))
                                                   times[{r.Level, r.Cards}].push_back(r.Ms);
                                           });
    std::printf("\n| level | k = 2 | k = 3 | k = 4 |\n|---|---|---|---|\n");
    for (int level = 1; level <= 5; ++level) {
        std::printf("| %d |", level);
        for (int k = 2; k <= 4; ++k) {
            auto& list = times[{level, k}];
            if (list.empty()) {
                std::printf(" - |");
                continue;
            }
            std::nth_element(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(list.size() / 2), list.end());
            std::printf(" %.1f s (%zu) |", list[list.size() / 2] / 1000.0, list.size());
        }
        std::printf("\n");
    }
    const double minutes = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() / 60;
    std::printf("\n%d games in %.2f min: %.0f games a minute\n", played, minutes, played / minutes);
}
