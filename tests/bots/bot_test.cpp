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

using Bots::Bot;
using Bots::Time;
using Solver::Verdict;

const std::vector<int> Field{2, 3, 4};
constexpr std::int64_t Target = 10;
constexpr Time Apart{1000000};  // between one change and the next in the draws

Bot SeatedBot(int level, std::uint64_t seed)
{
    Bot bot(Bots::BotName(1), *Bots::FindLevel(level), seed);
    bot.SetSeated(true, Time{0});
    return bot;
}

// Hands the bot the solution for what it asked to have solved.
void Answer(Bot& bot, Verdict verdict, int cards = 0, std::string expression = {})
{
    const std::optional<Bots::SolveRequest> request = bot.WantedSolve();
    ASSERT_TRUE(request);
    bot.Solved(request->view, Solver::Solution{verdict, std::move(expression), cards});
}

double Median(std::vector<double> values)
{
    std::nth_element(values.begin(), values.begin() + values.size() / 2, values.end());
    return values[values.size() / 2];
}

double SpreadOfLogs(const std::vector<double>& values)
{
    double sum = 0, squares = 0;
    for (const double value : values) {
        sum += std::log(value);
        squares += std::log(value) * std::log(value);
    }
    const double n = static_cast<double>(values.size());
    return std::sqrt(squares / n - (sum / n) * (sum / n));
}

// Many fields that a solution of 1..4 cards makes, one after another; each
// delay from the change to the hit over base + perCard × k, and how many
// fields it missed.
struct Draws {
    std::vector<double> scaled;
    int missed = 0;
};

Draws DrawDelays(int level, int count, bool changeHalfway = false)
{
    const Bots::Level& params = *Bots::FindLevel(level);
    Bot bot = SeatedBot(level, 1000 + level);
    Draws draws;
    for (int i = 0; i < count; ++i) {
        Time changed = Apart * i;
        const int cards = 1 + i % 4;
        bot.FieldChanged(Field, Target, changed);
        Answer(bot, Verdict::Yes, cards, "2+3+4");
        // A change halfway to the hit: the delay starts again from it.
        if (const std::optional<Time> wake = bot.NextWake(); wake && changeHalfway) {
            changed += (*wake - changed) / 2;
            bot.FieldChanged(Field, Target, changed);
            EXPECT_FALSE(bot.NextWake());
            Answer(bot, Verdict::Yes, cards, "2+3+4");
        }
        if (const std::optional<Time> wake = bot.NextWake())
            draws.scaled.push_back(static_cast<double>((*wake - changed).count())
                                   / (1000.0 * (params.base + params.perCard * cards)));
        else
            ++draws.missed;
    }
    return draws;
}

TEST(Bot, DelaysHaveMedianOneAndTheLogNormalSpreadAndMissesTheirShare)
{
    for (const Bots::Level& level : Bots::Levels) {
        SCOPED_TRACE("level " + std::to_string(level.number));
        const int count = 8000;
        const Draws draws = DrawDelays(level.number, count);
        EXPECT_NEAR(Median(draws.scaled), 1.0, 0.03);
        EXPECT_NEAR(SpreadOfLogs(draws.scaled), Bots::DelaySpread, 0.02);
        EXPECT_NEAR(static_cast<double>(draws.missed) / count, level.miss, 0.02);
    }
}

TEST(Bot, AChangeBeforeTheHitStartsANewDrawFromTheChange)
{
    // Were the old draw kept, the delays from the second change would have a median of one half.
    const Draws draws = DrawDelays(5, 4000, true);
    EXPECT_NEAR(Median(draws.scaled), 1.0, 0.04);
    EXPECT_NEAR(SpreadOfLogs(draws.scaled), Bots::DelaySpread, 0.03);
}

TEST(Bot, HitsByMistakeOnlyAfterDealtCardsThatCannotMakeTheTargetAtTheLevelsRate)
{
    for (const Bots::Level& level : Bots::Levels) {
        SCOPED_TRACE("level " + std::to_string(level.number));
        Bot bot = SeatedBot(level.number, 77 + level.number);
        const int count = 40000;
        int mistakes = 0;
        for (int i = 0; i < count; ++i) {
            bot.CardDealt({1}, 50, Apart * i);
            Answer(bot, Verdict::No);
            if (const std::optional<Time> wake = bot.NextWake()) {
                ++mistakes;
                ASSERT_EQ(bot.Wake(*wake)->kind, Bots::Action::Kind::Hit);
                bot.AnswerOpened(*wake);
                // Its answer reads back and does not make the target.
                const Solver::AnswerResult answer = Solver::CheckAnswer(bot.Wake(*bot.NextWake())->expression, {1});
                ASSERT_EQ(answer.outcome, Solver::AnswerOutcome::Evaluated);
                EXPECT_FALSE(answer.value == (Solver::Rational{50, 1}));
            }
            bot.FieldChanged({1}, 50, Apart * i);  // cards taken, or a new target: never a mistake
            Answer(bot, Verdict::No);
            EXPECT_FALSE(bot.NextWake());
        }
        EXPECT_NEAR(static_cast<double>(mistakes) / count, level.wrong, level.wrong / 4 + 1e-9);
    }
}

TEST(Bot, AnswersOneToThreeSecondsAfterItsAnswerOpensWithAnExpressionOfTheFewestCards)
{
    Bot bot = SeatedBot(5, 9);
    std::mt19937 random(9);
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    std::vector<Time::rep> answerDelays;
    for (int round = 0; round < 200; ++round) {
        std::shuffle(deck.begin(), deck.end(), random);
        const std::vector<int> field(deck.begin(), deck.begin() + 3 + round % 6);
        const std::int64_t target = 1 + round % 60;
        const Time dealt = Apart * round;
        bot.CardDealt(field, target, dealt);
        const std::optional<Bots::SolveRequest> request = bot.WantedSolve();
        ASSERT_TRUE(request);
        const Solver::Solution solution =
            Solver::Solve(request->field, request->target, Solver::Rule::AnySubset, std::chrono::seconds(20));
        bot.Solved(request->view, solution);
        if (solution.verdict != Verdict::Yes)
            continue;
        const Time hit = *bot.NextWake();
        EXPECT_FALSE(bot.Wake(hit - Time{1}));
        ASSERT_EQ(bot.Wake(hit)->kind, Bots::Action::Kind::Hit);
        EXPECT_FALSE(bot.NextWake());  // one hit a field
        const Time opened = hit + Time{20};
        bot.AnswerOpened(opened);
        const Time answerAt = *bot.NextWake();
        answerDelays.push_back((answerAt - opened).count());
        const std::optional<Bots::Action> answer = bot.Wake(answerAt);
        ASSERT_EQ(answer->kind, Bots::Action::Kind::Answer);
        const Solver::AnswerResult checked = Solver::CheckAnswer(answer->expression, field);
        ASSERT_EQ(checked.outcome, Solver::AnswerOutcome::Evaluated) << answer->expression;
        EXPECT_EQ(checked.value, (Solver::Rational{target, 1})) << answer->expression;
        EXPECT_EQ(Solver::ParseAnswer(answer->expression).numbers.size(), static_cast<std::size_t>(solution.cards));
    }
    ASSERT_GT(answerDelays.size(), 100u);
    const auto [fastest, slowest] = std::minmax_element(answerDelays.begin(), answerDelays.end());
    EXPECT_GE(*fastest, 1000);
    EXPECT_LT(*fastest, 1100);
    EXPECT_LE(*slowest, 3000);
    EXPECT_GT(*slowest, 2900);
}

TEST(Bot, NeverActsWithoutASeatAndHitsOnlyWhenItMay)
{
    Bot bot(Bots::BotName(2), *Bots::FindLevel(5), 3);
    bot.CardDealt(Field, Target, Time{0});
    EXPECT_FALSE(bot.WantedSolve());  // not seated yet

    bot.SetSeated(true, Time{100});
    Answer(bot, Verdict::Yes, 3, "2+3+4");
    const Time hit = *bot.NextWake();
    bot.SetMayHit(false);  // penalised, or another player's answer is open
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + Apart));
    bot.SetMayHit(true);
    EXPECT_EQ(bot.NextWake(), hit);

    // A solve asked for while seated and answered after it stood up counts for nothing.
    bot.FieldChanged(Field, Target, hit);
    const std::uint64_t view = bot.WantedSolve()->view;
    bot.SetSeated(false, hit);
    bot.Solved(view, Solver::Solution{Verdict::Yes, "2+3+4", 3});
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + Apart));

    // Seated again it looks afresh; standing up with its answer open, it does not answer.
    bot.SetSeated(true, hit);
    Answer(bot, Verdict::Yes, 3, "2+3+4");
    ASSERT_EQ(bot.Wake(*bot.NextWake())->kind, Bots::Action::Kind::Hit);
    bot.AnswerOpened(hit + Apart);
    bot.SetSeated(false, hit + Apart);
    EXPECT_FALSE(bot.NextWake());
    EXPECT_FALSE(bot.Wake(hit + 2 * Apart));

    bot.SetSeated(true, hit + Apart);
    bot.GameEnded();
    EXPECT_FALSE(bot.WantedSolve());
    EXPECT_FALSE(bot.NextWake());
}

TEST(Bot, AnUndecidedSolveIsNoSolutionUntilTheNextChange)
{
    Bot bot = SeatedBot(5, 4);
    bot.CardDealt(Field, Target, Time{0});
    Answer(bot, Verdict::Undecided);
    EXPECT_FALSE(bot.WantedSolve());
    EXPECT_FALSE(bot.NextWake());
    bot.FieldChanged(Field, Target, Time{10});
    Answer(bot, Verdict::Yes, 3, "2+3+4");
    EXPECT_TRUE(bot.NextWake());
}

TEST(Bots, NamesAreRoboOneToNineInCp932TheFirstFreeTakenAndLevelsOneToFive)
{
    EXPECT_EQ(Bots::BotName(1), Cp932::FromUtf8("ロボ1"));
    EXPECT_LE(Bots::BotName(Bots::MaxBotNumber).size(), 8u);
    const auto takenUpTo = [](int last) {
        return [last](std::string_view name) {
            for (int number = 1; number <= last; ++number)
                if (name == Bots::BotName(number))
                    return true;
            return false;
        };
    };
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(0)), Cp932::FromUtf8("ロボ1"));
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(2)), Cp932::FromUtf8("ロボ3"));
    EXPECT_EQ(Bots::FreeBotName(takenUpTo(9)), std::nullopt);
    EXPECT_FALSE(Bots::FindLevel(0));
    EXPECT_FALSE(Bots::FindLevel(6));
}

}  // namespace
