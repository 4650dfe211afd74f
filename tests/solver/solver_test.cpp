// The solver against a brute-force reference on every small field, and every
// expression it returns read back through the answer checker.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <numeric>
#include <random>
#include <set>

#include "reference_values.h"
#include "solver/answer_check.h"
#include "solver/answer_parser.h"
#include "solver/solver.h"

namespace {

using Solver::Rule;
using Solver::Verdict;

// Long enough that no small field is ever undecided, even under sanitizers.
constexpr std::chrono::seconds Ample{20};
constexpr int Joker = 53;

// Card numbers for the ranks: each further card of a rank from the next suit.
std::vector<int> CardsOf(const std::vector<int>& ranks, int jokers = 0)
{
    std::vector<int> cards;
    for (std::size_t i = 0; i < ranks.size(); ++i)
        cards.push_back(ranks[i] + 13 * static_cast<int>(std::count(ranks.begin(), ranks.begin() + i, ranks[i])));
    for (int j = 0; j < jokers; ++j)
        cards.push_back(Joker + j);
    return cards;
}

// Every multiset of count ranks 1..13, as non-decreasing lists.
std::vector<std::vector<int>> RankMultisets(int count)
{
    std::vector<std::vector<int>> all{{}};
    for (int i = 0; i < count; ++i) {
        std::vector<std::vector<int>> longer;
        for (const auto& ranks : all)
            for (int r = ranks.empty() ? 1 : ranks.back(); r <= 13; ++r) {
                longer.push_back(ranks);
                longer.back().push_back(r);
            }
        all = std::move(longer);
    }
    return all;
}

std::string Describe(const std::vector<int>& cards, std::int64_t target, Rule rule)
{
    std::string text = rule == Rule::AllCards ? "all cards" : "any subset";
    text += ", target " + std::to_string(target) + ", cards";
    for (const int card : cards)
        text += " " + std::to_string(card);
    return text;
}

// A "yes" must carry an expression that reads back as an answer over distinct
// field cards and makes the target; under AllCards it uses every card.
void ExpectSoundExpression(const Solver::Solution& solution, const std::vector<int>& cards,
                           std::int64_t target, Rule rule)
{
    const Solver::AnswerResult checked = Solver::CheckAnswer(solution.expression, cards);
    ASSERT_EQ(checked.outcome, Solver::AnswerOutcome::Evaluated) << solution.expression;
    EXPECT_EQ(Solver::RationalText(checked.value), std::to_string(target)) << solution.expression;
    EXPECT_EQ(solution.expression.find_first_not_of("0123456789+-*/()"), std::string::npos);
    if (rule == Rule::AllCards) {
        EXPECT_EQ(Solver::ParseAnswer(solution.expression).numbers.size(), cards.size()) << solution.expression;
    }
}

// Every target from -10 to 100 on the field, against the reference's values.
void ExpectAgreement(const std::vector<int>& cards, const reference::Fractions& reachable, Rule rule)
{
    Solver::FieldSolver solver(cards);
    for (std::int64_t target = -10; target <= 100; ++target) {
        const Solver::Solution solution = solver.Solve(target, rule, Ample);
        const bool expected = reachable.contains({target, 1});
        ASSERT_EQ(solution.verdict, expected ? Verdict::Yes : Verdict::No) << Describe(cards, target, rule);
        if (expected) {
            ExpectSoundExpression(solution, cards, target, rule);
        } else {
            EXPECT_TRUE(solution.expression.empty());
        }
    }
}

// The reference's values for a field with jokers: those of every choice of
// values for the jokers.
reference::Fractions ReferenceWithJokers(const std::vector<int>& ranks, int jokers, Rule rule)
{
    reference::Fractions values;
    for (const auto& chosen : RankMultisets(jokers)) {
        std::vector<int> numbers = ranks;
        numbers.insert(numbers.end(), chosen.begin(), chosen.end());
        const reference::Reachable reachable = reference::ReachableValues(numbers);
        const auto& more = rule == Rule::AllCards ? reachable.allCards : reachable.anySubset;
        values.insert(more.begin(), more.end());
    }
    return values;
}

// The fields of one to four ranks in groups of similar cost (by count and by
// lowest rank), so that they run in parallel.
struct FieldGroup {
    const char* name;
    int count;  // 0: one to three ranks
    int lowestFrom, lowestTo;
};
constexpr FieldGroup Groups[] = {{"UpToThreeRanks", 0, 1, 13},
                                 {"FourRanksFrom1", 4, 1, 1},
                                 {"FourRanksFrom2", 4, 2, 2},
                                 {"FourRanksFrom3To4", 4, 3, 4},
                                 {"FourRanksFrom5Up", 4, 5, 13}};

std::vector<std::vector<int>> FieldsOf(const FieldGroup& group)
{
    std::vector<std::vector<int>> fields;
    for (int count = 1; count <= 4; ++count)
        if (group.count == 0 ? count <= 3 : count == group.count)
            for (const auto& ranks : RankMultisets(count))
                if (ranks.front() >= group.lowestFrom && ranks.front() <= group.lowestTo)
                    fields.push_back(ranks);
    return fields;
}

class EveryField : public testing::TestWithParam<std::tuple<Rule, int>> {};

std::string EveryFieldName(const testing::TestParamInfo<EveryField::ParamType>& info)
{
    return std::string(std::get<0>(info.param) == Rule::AllCards ? "AllCards" : "AnySubset") + "_"
           + Groups[std::get<1>(info.param)].name;
}

TEST_P(EveryField, AgreesWithTheReferenceOnEveryTargetFromMinus10To100)
{
    const auto [rule, group] = GetParam();
    for (const auto& ranks : FieldsOf(Groups[group]))
        ExpectAgreement(CardsOf(ranks), ReferenceWithJokers(ranks, 0, rule), rule);
}

INSTANTIATE_TEST_SUITE_P(RanksAndRules, EveryField,
                         testing::Combine(testing::Values(Rule::AnySubset, Rule::AllCards),
                                          testing::Range(0, static_cast<int>(std::size(Groups)))),
                         EveryFieldName);

TEST(Solver, TheFieldGroupsHoldEveryMultisetOfOneToFourRanksOnce)
{
    std::set<std::vector<int>> all;
    std::size_t total = 0;
    for (const FieldGroup& group : Groups) {
        const auto fields = FieldsOf(group);
        total += fields.size();
        all.insert(fields.begin(), fields.end());
    }
    EXPECT_EQ(total, 13u + 91u + 455u + 1820u);
    EXPECT_EQ(all.size(), total);
}

class EveryJokerField : public testing::TestWithParam<Rule> {};

TEST_P(EveryJokerField, JokersStandForEveryValue)
{
    for (int jokers = 1; jokers <= 2; ++jokers)
        for (int count = 0; count + jokers <= 3; ++count)
            for (const auto& ranks : RankMultisets(count))
                ExpectAgreement(CardsOf(ranks, jokers), ReferenceWithJokers(ranks, jokers, GetParam()),
                                GetParam());
}

INSTANTIATE_TEST_SUITE_P(Rules, EveryJokerField, testing::Values(Rule::AnySubset, Rule::AllCards),
                         [](const auto& info) { return info.param == Rule::AllCards ? "AllCards" : "AnySubset"; });

TEST(Solver, FourRanksWithAllCardsMake24In1362Of1820Multisets)
{
    int yes = 0;
    const auto multisets = RankMultisets(4);
    for (const auto& ranks : multisets) {
        const std::vector<int> cards = CardsOf(ranks);
        const Solver::Solution solution = Solver::Solve(cards, 24, Rule::AllCards, Ample);
        ASSERT_NE(solution.verdict, Verdict::Undecided);
        if (solution.verdict == Verdict::Yes) {
            ++yes;
            ExpectSoundExpression(solution, cards, 24, Rule::AllCards);
        }
    }
    EXPECT_EQ(multisets.size(), 1820u);
    EXPECT_EQ(yes, 1362);
}

TEST(Solver, ExpressionsOnLargerFieldsReadBackToTheTarget)
{
    std::mt19937 random(7);
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    std::uniform_int_distribution<std::int64_t> targets(-50, 400);
    int decided = 0;
    for (int round = 0; round < 60; ++round) {
        std::shuffle(deck.begin(), deck.end(), random);
        const std::vector<int> cards(deck.begin(), deck.begin() + 5 + round % 8);
        const std::int64_t target = targets(random);
        for (const Rule rule : {Rule::AnySubset, Rule::AllCards}) {
            const Solver::Solution solution = Solver::Solve(cards, target, rule, std::chrono::seconds(2));
            decided += solution.verdict != Verdict::Undecided;
            if (solution.verdict == Verdict::Yes)
                ExpectSoundExpression(solution, cards, target, rule);
        }
    }
    EXPECT_GT(decided, 60);
}

TEST(Solver, AnySubsetUsesTheFewestCardsThatMakeTheTarget)
{
    // Random fields of one to five cards, a joker in every third of up to
    // four, against the smallest subset whose every-card values hold the target.
    std::mt19937 random(25);
    for (int round = 0; round < 80; ++round) {
        const int size = 1 + round % 5;
        const int jokers = round % 3 == 0 && size < 5 ? 1 : 0;
        std::vector<int> ranks(size - jokers);
        for (int& rank : ranks)
            rank = 1 + static_cast<int>(random() % 13);
        std::map<std::int64_t, int> fewest;
        for (unsigned subset = 1; subset < 1u << (ranks.size() + jokers); ++subset) {
            std::vector<int> chosen;
            for (std::size_t i = 0; i < ranks.size(); ++i)
                if (subset >> i & 1)
                    chosen.push_back(ranks[i]);
            const int chosenJokers = static_cast<int>(subset >> ranks.size() & 1);
            const int used = static_cast<int>(chosen.size()) + chosenJokers;
            for (const auto& [num, den] : ReferenceWithJokers(chosen, chosenJokers, Rule::AllCards))
                if (den == 1 && (!fewest.contains(num) || fewest[num] > used))
                    fewest[num] = used;
        }
        const std::vector<int> cards = CardsOf(ranks, jokers);
        Solver::FieldSolver solver(cards);
        for (std::int64_t target = -10; target <= 100; ++target) {
            const Solver::Solution solution = solver.Solve(target, Rule::AnySubset, Ample);
            const auto expected = fewest.find(target);
            ASSERT_EQ(solution.verdict, expected == fewest.end() ? Verdict::No : Verdict::Yes)
                << Describe(cards, target, Rule::AnySubset);
            if (expected == fewest.end())
                continue;
            EXPECT_EQ(solution.cards, expected->second) << Describe(cards, target, Rule::AnySubset);
            EXPECT_EQ(Solver::ParseAnswer(solution.expression).numbers.size(),
                      static_cast<std::size_t>(solution.cards))
                << solution.expression;
            ExpectSoundExpression(solution, cards, target, Rule::AnySubset);
        }
    }
    EXPECT_EQ(Solver::Solve(CardsOf({2, 3, 4}, 1), 24, Rule::AllCards, Ample).cards, 4);
}

TEST(Solver, FieldsWithoutCardsAndNumbersThatAreNoCard)
{
    EXPECT_EQ(Solver::Solve({}, 5, Rule::AnySubset, Ample).verdict, Verdict::No);
    EXPECT_EQ(Solver::Solve({0, 55, -1}, 5, Rule::AllCards, Ample).verdict, Verdict::No);
    const Solver::Solution five = Solver::Solve({0, 18, 55}, 5, Rule::AllCards, Ample);
    EXPECT_EQ(five.verdict, Verdict::Yes);
    EXPECT_EQ(five.expression, "5");
}

TEST(Solver, NoLimitAtAll)
{
    const Solver::Solution solution = Solver::Solve({2, 3, 4}, 24, Rule::AllCards, std::chrono::nanoseconds::max());
    EXPECT_EQ(solution.verdict, Verdict::Yes);
}

TEST(Solver, PastTheTimeLimitTheVerdictIsUndecided)
{
    // Twelve small cards and a target only all of them together might reach:
    // no search ends within no time at all.
    const std::vector<int> cards{1, 14, 27, 40, 2, 15, 28, 41, 3, 16, 53, 54};
    for (const Rule rule : {Rule::AnySubset, Rule::AllCards}) {
        const Solver::Solution solution = Solver::Solve(cards, 4000001, rule, std::chrono::nanoseconds(0));
        EXPECT_EQ(solution.verdict, Verdict::Undecided);
        EXPECT_TRUE(solution.expression.empty());
    }
}

TEST(Solver, TargetsBeyondAnyExpressionOfTheCardsAreNoAtOnce)
{
    // However long the search could take, a target out of the cards' reach
    // needs none: the answer comes even with no time at all.
    const std::vector<int> cards{1, 14, 27, 40, 2, 15, 28, 41, 3, 16, 53, 54};
    EXPECT_EQ(Solver::Solve(cards, 999999999, Rule::AnySubset, std::chrono::nanoseconds(0)).verdict, Verdict::No);
    EXPECT_EQ(Solver::Solve(cards, -999999999, Rule::AllCards, std::chrono::nanoseconds(0)).verdict, Verdict::No);
    // The largest value of two 13s is found; one more is out of reach.
    EXPECT_EQ(Solver::Solve({13, 26}, 169, Rule::AllCards, Ample).expression, "13*13");
    EXPECT_EQ(Solver::Solve({13, 26}, 170, Rule::AllCards, Ample).verdict, Verdict::No);
}

}  // namespace
