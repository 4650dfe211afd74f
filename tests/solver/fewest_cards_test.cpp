// The fewest field cards a solution uses, against a brute force over every
// subset of small random fields, and the expression given for it read back.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>

#include "reference_values.h"
#include "solver/answer_check.h"
#include "solver/answer_parser.h"
#include "solver/card_values.h"
#include "solver/solver.h"

namespace {

constexpr std::chrono::seconds Ample{20};
constexpr std::int64_t LowestTarget = -10;
constexpr std::int64_t HighestTarget = 100;

// The reference's values of expressions using every card of cards exactly
// once, a joker taking each value 1..13 in turn.
reference::Fractions AllCardValues(const std::vector<int>& cards, std::size_t next = 0,
                                   std::vector<int> numbers = {})
{
    if (next == cards.size())
        return reference::ReachableValues(numbers).allCards;
    const int value = Solver::CardValue(cards[next]);
    reference::Fractions values;
    for (int number = value == Solver::JokerValue ? 1 : value; number <= (value == Solver::JokerValue ? 13 : value);
         ++number) {
        numbers.push_back(number);
        const reference::Fractions more = AllCardValues(cards, next + 1, numbers);
        values.insert(more.begin(), more.end());
        numbers.pop_back();
    }
    return values;
}

// For each target in range that the field can make, the fewest cards that make it.
std::map<std::int64_t, int> FewestByBruteForce(const std::vector<int>& field)
{
    std::map<std::int64_t, int> fewest;
    for (unsigned subset = 1; subset < (1u << field.size()); ++subset) {
        std::vector<int> cards;
        for (std::size_t i = 0; i < field.size(); ++i)
            if (subset & (1u << i))
                cards.push_back(field[i]);
        const int size = static_cast<int>(cards.size());
        for (const auto& [num, den] : AllCardValues(cards))
            if (den == 1 && num >= LowestTarget && num <= HighestTarget
                && (!fewest.contains(num) || fewest[num] > size))
                fewest[num] = size;
    }
    return fewest;
}

TEST(FewestCards, AgreeWithABruteForceOverEverySubsetOfRandomFields)
{
    std::mt19937 random(25);
    // One joker only: two on five cards would make the brute force slow.
    std::vector<int> deck(53);
    std::iota(deck.begin(), deck.end(), 1);
    for (int round = 0; round < 80; ++round) {
        std::shuffle(deck.begin(), deck.end(), random);
        const std::vector<int> field(deck.begin(), deck.begin() + 1 + round % 5);
        const std::map<std::int64_t, int> fewest = FewestByBruteForce(field);
        Solver::FieldSolver solver(field);
        for (std::int64_t target = LowestTarget; target <= HighestTarget; ++target) {
            const Solver::Solution solution = solver.Solve(target, Solver::Rule::AnySubset, Ample);
            const auto expected = fewest.find(target);
            SCOPED_TRACE("target " + std::to_string(target) + ", field of " + std::to_string(field.size())
                         + ", first card " + std::to_string(field[0]) + ": " + solution.expression);
            if (expected == fewest.end()) {
                ASSERT_EQ(solution.verdict, Solver::Verdict::No);
                continue;
            }
            ASSERT_EQ(solution.verdict, Solver::Verdict::Yes);
            EXPECT_EQ(solution.cards, expected->second);
            // The expression reads back over distinct field cards, exactly that many, to the target.
            const Solver::AnswerResult checked = Solver::CheckAnswer(solution.expression, field);
            ASSERT_EQ(checked.outcome, Solver::AnswerOutcome::Evaluated);
            EXPECT_EQ(checked.value, (Solver::Rational{target, 1}));
            EXPECT_EQ(Solver::ParseAnswer(solution.expression).numbers.size(),
                      static_cast<std::size_t>(solution.cards));
        }
    }
}

TEST(FewestCards, AllCardsCountsEveryCardAndAJokerCountsAsOne)
{
    const std::vector<int> field{2, 3, 4, 53};  // 2 3 4 and a joker
    EXPECT_EQ(Solver::Solve(field, 24, Solver::Rule::AllCards, Ample).cards, 4);
    EXPECT_EQ(Solver::Solve(field, 4, Solver::Rule::AnySubset, Ample).cards, 1);
    EXPECT_EQ(Solver::Solve(field, 24, Solver::Rule::AnySubset, Ample).cards, 2);  // 4 and a joker as 6
    EXPECT_EQ(Solver::Solve(field, 100000, Solver::Rule::AnySubset, Ample).cards, 0);
}

}  // namespace
