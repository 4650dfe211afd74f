// The computer player's model over many seeded draws: its delays, misses and
// mistaken hits against its level, its answers read back, and that it never
// acts without a seat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>

#include "bots/bot.h"
#include "bots/bot_name.h"
#include "platform/cp932.h"
#include "solver/answer_check.h"
#include "solver/answer_parser.h"

namespace {

using Bots::Action;
using Bots::Bot;
using Bots::Time;
using Solver::Verdict;

const std::vector<int> Field{2, 3, 4};
constexpr Time Apart{1000000};  // between one change and the next

Bot SeatedBot(const Bots::Level& level, std::uint64_t seed)
{
    Bot bot(Bots::BotName(1), level, seed);
    bot.SetSeated(true, Time{0});
    return bot;
}

// Hands the bot a result for what it asked to have solved.
void Answer(Bot& bot, Verdict verdict, int cards = 0)
{
    const std::optional<Bots::SolveRequest> request = bot.WantedSolve();
    ASSERT_TRUE(request);
    bot.Solved(request->view, Solver::Solution{verdict, verdict == Verdict::Yes ? "2+3+4" : "", cards});
}

// Over many fields a solution of 1..4 cards makes: each delay from the change
// to the hit divided by base + perCard × k, and the share of fields missed.
// With changeHalfway the field changes again halfway to the hit, and the
// delay counts from that change.
void ExpectDelaysAndMisses(const Bots::Level& level, int count, bool changeHalfway)
{
    SCOPED_TRACE("level " + std::to_string(level.number));
    Bot bot = SeatedBot(level, 1000 + level.number);
    std::vector<double> logs;
    for (int i = 0; i < count; ++i) {
        Time changed = Apart * i;
        const int cards = 1 + i % 4;
        bot.FieldChanged(Field, 10, changed);
        Answer(bot, Verdict::Yes, cards);
        if (const std::optional<Time> wake = bot.NextWake(); wake && changeHalfway) {
            changed += (*wake - changed) / 2;
            bot.FieldChanged(Field, 10, changed);
            EXPECT_FALSE(bot.NextWake());
            Answer(bot, Verdict::Yes, cards);
        }
        if (const std::optional<Time> wake = bot.NextWake())
            logs.push_back(std::log((*wake - changed).count() / (1000.0 * (level.base + level.perCard * cards))));
    }
    const double n = static_cast<double>(logs.size());
    const double mean = std::accumulate(logs.begin(), logs.end(), 0.0) / n;
    const double squares = std::inner_product(logs.begin(), logs.end(), logs.begin(), 0.0) / n;
    std::nth_element(logs.begin(), logs.begin() + logs.size() / 2, logs.end());
    EXPECT_NEAR(std::exp(logs[logs.size() / 2]), 1.0, 0.04);  // the median factor
    EXPECT_NEAR(std::sqrt(squares - mean * mean), Bots::DelaySpread, 0.02);
    const double missShare = changeHalfway ? 1 - std::pow(1 - level.miss, 2) : level.miss;
    EXPECT_NEAR(1 - n / count, missShare, 0.02);
}

TEST(Bot, DelaysHaveMedianOneAndTheLogNormalSpreadAndMissesTheirShare)
{
    for (const Bots::Level& level : Bots::Levels)
        ExpectDelaysAndMisses(level, 8000, false);
    // Were the first draw kept, the median from the second change would be one half.
    ExpectDelaysAndMisses(Bots::Levels[1], 8000, true);
}

TEST(Bot, HitsByMistakeOnlyAfterDealtCardsThatCannotMakeTheTargetAtTheLevelsRate)
{
    for (const Bots::Level& level : Bots::Levels) {
        Bot bot = SeatedBot(level, 77 + level.number);
        const int count = 40000;
        int mistakes = 0;
        for (int i = 0; i < count; ++i) {
            bot.CardDealt({1}, 50, Apart * i);
            Answer(bot, Verdict::No);
            if (const std::optional<Time> wake = bot.NextWake()) {
                ++mistakes;
                ASSERT_EQ(bot.Wake(*wake)->kind, Action::Kind::Hit);
                bot.AnswerOpened(*wake);
                // An answer that reads back and is wrong, should the verdict have been undecided.
                const Solver::AnswerResult answer = Solver::CheckAnswer(bot.Wake(*bot.NextWake())->expression, {1});
                ASSERT_EQ(answer.outcome, Solver::AnswerOutcome::Evaluated);
                EXPECT_FALSE(answer.value == (Solver::Rational{50, 1}));
            }
            bot.FieldChanged({1}, 50, Apart * i);  // cards taken, or a new target: never a mistake
            Answer(bot, Verdict::No);
            EXPECT_FALSE(bot.NextWake());
        }
        EXPECT_NEAR(static_cast<double>(mistakes) / count, level.wrong, level.wrong / 4) << level.number;
    }
}

TEST(Bot, AnswersOneToThreeSecondsAfterItsAnswerOpensWithAnExpressionOfTheFewestCards)
{
    Bot bot = SeatedBot(Bots::Levels[4], 9);
    std::mt19937 random(9);
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    std::vector<Time::rep> answerDelays;
    for (int round = 0; round < 200; ++round) {
        std::shuffle(deck.begin(), deck.end(), random);
        const std::vector<int> field(deck.begin(), deck.begin() + 3 + round % 6);
        const std::int64_t target = 1 + round % 60;
        bot.CardDealt(field, target, Apart * round);
        const Bots::SolveRequest request = *bot.WantedSolve();
        const Solver::Solution solution =
            Solver::Solve(request.field, request.target, Solver::Rule::AnySubset, std::chrono::seconds(20));
        bot.Solved(request.view, solution);
        if (solution.verdict != Verdict::Yes)
            continue;
        const Time hit = *bot.NextWake();
        EXPECT_FALSE(bot.Wake(hit - Time{1}));
        ASSERT_EQ(bot.Wake(hit)->kind, Action::Kind::Hit);
        EXPECT_FALSE(bot.NextWake());  // one hit a field
        bot.AnswerOpened(hit);
        const Time answerAt = *bot.NextWake();
        answerDelays.push_back((answerAt - hit).count());
        const std::string expression = bot.Wake(answerAt)->expression;
        const Solver::AnswerResult checked = Solver::CheckAnswer(expression, field);
        ASSERT_EQ(checked.outcome, Solver::AnswerOutcome::Evaluated) << expression;
        EXPECT_EQ(checked.value, (Solver::Rational{target, 1})) << expression;
        EXPECT_EQ(Solver::ParseAnswer(expression).numbers.size(), static_cast<std::size_t>(solution.cards));
    }
    ASSERT_GT(answerDelays.size(), 100u);
    const auto [fastest, slowest] = std::minmax_element(answerDelays.begin(), answerDelays.end());
    EXPECT_TRUE(*fastest >= 1000 && *fastest < 1100 && *slowest <= 3000 && *slowest > 2900)
        << *fastest << " " << *slowest;
}

TEST(Bot, NeverActsWithoutASeatHitsOnlyWhenItMayAndWaitsForAChangeAfterAnUndecidedSolve)
{
    Bot bot(Bots::BotName(2), Bots::Levels[4], 3);
    bot.CardDealt(Field, 10, Time{0});
    EXPECT_FALSE(bot.WantedSolve());  // not seated yet
    bot.SetSeated(true, Time{100});
    Answer(bot, Verdict::Undecided);
    EXPECT_FALSE(bot.WantedSolve());
    EXPECT_FALSE(bot.NextWake());

    bot.FieldChanged(Field, 10, Time{200});
    Answer(bot, Verdict::Yes, 3);
    const Time hit = *bot.NextWake();
    bot.SetMayHit(false);  // penalised, or another player's answer is open
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + Apart));
    bot.SetMayHit(true);
    EXPECT_EQ(bot.NextWake(), hit);

    // A result that comes after it stood up counts for nothing.
    bot.FieldChanged(Field, 10, hit);
    const std::uint64_t view = bot.WantedSolve()->view;
    bot.SetSeated(false, hit);
    bot.Solved(view, Solver::Solution{Verdict::Yes, "2+3+4", 3});
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + Apart));

    // Seated again it looks afresh; standing up with its answer open, it does not answer.
    bot.SetSeated(true, hit);
    Answer(bot, Verdict::Yes, 3);
    ASSERT_EQ(bot.Wake(*bot.NextWake())->kind, Action::Kind::Hit);
    bot.AnswerOpened(hit + Apart);
    bot.SetSeated(false, hit + Apart);
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + 2 * Apart));

    bot.SetSeated(true, hit + Apart);
    bot.GameEnded();
    EXPECT_FALSE(bot.WantedSolve());
    EXPECT_FALSE(bot.NextWake());
}

TEST(Bots, NamesAreRoboOneToNineInCp932TheFirstFreeTakenAndLevelsOneToFive)
{
    EXPECT_LE(Bots::BotName(Bots::MaxBotNumber).size(), 8u);
    const auto takenUpTo = [](int last) {
        return [last](std::string_view name) { return name.back() - '0' <= last; };
    };
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(0)), Cp932::FromUtf8("ロボ1"));
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(2)), Cp932::FromUtf8("ロボ3"));
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(9)), std::nullopt);
    EXPECT_EQ(Bots::FindLevel(3), &Bots::Levels[2]);
    EXPECT_FALSE(Bots::FindLevel(0) || Bots::FindLevel(6));
}

}  // namespace
