#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "records/game_statistics.h"
#include "records/glicko2.h"
#include "records/standings.h"
#include "simulated_games.h"

using namespace Records;

// The paper rounds the values on its own scale to four decimals before it
// scales them back (mu' = -0.2069, phi' = 0.8722); unrounded, the same
// period gives 1464.0507, 151.5165 and 0.0599960.
TEST(Glicko2Test, ReproducesTheWorkedExampleToThePrintedDigits)
{
    const Glicko2::TResult results[] = {{{1400, 30, 0.06}, 1}, {{1550, 100, 0.06}, 0}, {{1700, 300, 0.06}, 0}};
    const Glicko2::TRating after = Glicko2::Update({1500, 200, 0.06}, results);
    const auto rounded = [](double value, int decimals) {
        const double scale = std::pow(10, decimals);
        return std::round(value * scale) / scale;
    };
    const double mu = rounded((after.Rating - 1500) / 173.7178, 4);
    const double phi = rounded(after.Deviation / 173.7178, 4);
    EXPECT_EQ(mu, -0.2069);
    EXPECT_EQ(phi, 0.8722);
    EXPECT_EQ(rounded(1500 + 173.7178 * mu, 2), 1464.06);
    EXPECT_EQ(rounded(173.7178 * phi, 2), 151.52);
    EXPECT_EQ(rounded(after.Deviation, 2), 151.52);
    EXPECT_NEAR(after.Rating, 1464.06, 0.01);
    EXPECT_NEAR(after.Volatility, 0.05999, 0.00001);
}

TEST(Glicko2Test, IdlePeriodsWidenTheDeviationUpToANewcomersAndBotsAreFixed)
{
    const Glicko2::TRating settled{1700, 60, 0.06};
    const Glicko2::TRating month = Glicko2::AfterIdlePeriods(settled, 30);
    EXPECT_EQ(month.Rating, 1700);
    EXPECT_NEAR(month.Deviation, 173.7178 * std::sqrt(std::pow(60 / 173.7178, 2) + 30 * 0.06 * 0.06), 1e-9);
    EXPECT_EQ(Glicko2::AfterIdlePeriods(settled, 1000000).Deviation, 350);
    EXPECT_EQ(Glicko2::AfterIdlePeriods(settled, 0).Deviation, 60);
    EXPECT_TRUE(Glicko2::IsProvisional({1500, 110, 0.06}));
    EXPECT_FALSE(Glicko2::IsProvisional({1500, 109.99, 0.06}));
    for (int level = 1; level <= 5; ++level) {
        EXPECT_EQ(Glicko2::BotRating(level).Rating, 750 + 250 * level);
        EXPECT_EQ(Glicko2::BotRating(level).Deviation, 50);
    }
}

TEST(StandingsTest, EqualHandsSharePlaces)
{
    EXPECT_EQ(PlacesForCards({3, 5, 5, 0}), (std::vector<int>{3, 1, 1, 4}));
    EXPECT_EQ(PlacesForCards({0, 0}), (std::vector<int>{1, 1}));
}

TEST(StandingsTest, PenaltiesOnEmptyHandsAndLeavesCountAsAtTheTable)
{
    auto event = [](EEventKind kind, const char* player, int number = 0) {
        return TGameEvent{0, kind, player, number, false, {}};
    };
    const std::vector<TGameEvent> events{
        event(EEventKind::Join, "a", 0),  event(EEventKind::Join, "b", 1),    event(EEventKind::Join, "c", 2),
        event(EEventKind::Penalty, "a"),  event(EEventKind::Take, "a", 4),    event(EEventKind::Take, "b", 6),
        event(EEventKind::Penalty, "a"),  event(EEventKind::Leave, "b"),      event(EEventKind::Join, "b", 1),
        event(EEventKind::Take, "c", 3),  event(EEventKind::Take, "b", 2),
    };
    EXPECT_EQ(ReplayStandings(events), (std::vector<TStanding>{{"a", 3, 1}, {"c", 3, 1}, {"b", 2, 3}}));
}

TEST(StandingsTest, SimulatedGamesReplayToTheirStandingsAndCounts)
{
    std::mt19937 random(26);
    const std::vector<TSimulatedPlayer> seated{{"hana", true, 0}, {"Taro", false, 0}, {"robo", false, 3}, {"jiro", true, 0}};
    for (int i = 0; i < 200; ++i) {
        const TSimulatedGame game = SimulateGame(random, seated, TTime{});
        std::vector<TStanding> expected;
        for (const TGamePlayer& p : game.Record.Players)
            expected.push_back({p.Name, p.Cards, p.Place});
        ASSERT_EQ(ReplayStandings(game.Record.Events), expected) << "game " << i;
        const std::map<AnsiString, THitCounts> counts = HitCounts(game.Record.Events);
        for (const TSimulatedPlayer& p : seated) {
            const THitCounts c = counts.contains(p.Name) ? counts.at(p.Name) : THitCounts{};
            const auto count = [&p](const std::map<AnsiString, int>& m) { return m.contains(p.Name) ? m.at(p.Name) : 0; };
            ASSERT_EQ(c.Correct, count(game.Correct));
            ASSERT_EQ(c.Wrong, count(game.Wrong));
            ASSERT_EQ(c.ReactionMs, game.ReactionMs.contains(p.Name) ? game.ReactionMs.at(p.Name)
                                                                      : std::vector<std::int64_t>{});
        }
    }
}
