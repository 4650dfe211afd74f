// Computer players in whole simulated games: a level beats the level below
// it, and every recorded game replays to its standings.
#include <gtest/gtest.h>

#include <map>

#include "records/standings.h"
#include "simulation/bot_games.h"

namespace {

TEST(BotGames, EachLevelBeatsTheOneBelowAndEveryGameReplaysToItsStandings)
{
    constexpr int Games = 120;
    for (int level = 1; level < 5; ++level) {
        int wins[2] = {0, 0};
        int replayed = 0;
        const int played = Simulation::PlayBotGames(
            {.Levels = {level, level + 1}, .Target = {}}, Games, static_cast<std::uint32_t>(level), [&](const Records::TGameRecord& record) {
                const int winner = Simulation::WinningBot(record);
                if (winner >= 0)
                    ++wins[winner];
                std::map<AnsiString, int> kept, replay;
                for (const Records::TGamePlayer& player : record.Players)
                    kept[player.Name] = player.Cards;
                for (const Records::TStanding& standing : Records::ReplayStandings(record.Events))
                    replay[standing.Name] = standing.Cards;
                replayed += kept == replay;
            });
        ASSERT_EQ(played, Games);
        EXPECT_EQ(replayed, Games) << "level " << level;
        EXPECT_GE(wins[1], 0.6 * (wins[0] + wins[1])) << "level " << level + 1 << " against " << level << ": "
                                                       << wins[1] << " to " << wins[0];
    }
}

TEST(BotGames, ABotSeesASolutionOfMoreCardsLater)
{
    std::map<int, std::vector<std::int64_t>> byCards;
    // A slow pace: no new card comes before the bot has seen its solution.
    Simulation::PlayBotGames({.Levels = {3}, .Pace = 30, .Answer = 20, .Target = {}}, 40, 7, [&](const Records::TGameRecord& record) {
        for (const auto& reaction : Simulation::Reactions(record))
            byCards[reaction.Cards].push_back(reaction.Ms);
    });
    auto median = [](std::vector<std::int64_t> v) {
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
        return v[v.size() / 2];
    };
    ASSERT_FALSE(byCards[2].empty());
    ASSERT_FALSE(byCards[3].empty());
    // Level 3 needs 3 s + 2 s a card at the median: 7 s for two cards, 9 s for three.
    EXPECT_LT(median(byCards[2]), median(byCards[3]));
    EXPECT_GT(median(byCards[2]), 5000);
}

}  // namespace
