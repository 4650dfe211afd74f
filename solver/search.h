#pragma once

// The search over multisets of card values. Small multisets get the full set
// of values they can make (every expression using each of their cards once),
// memoised by key, so that identical multisets (duplicate ranks, several
// choices for a joker) are worked out once. A larger multiset is searched
// backwards from the value wanted: for each split A|B and each value a of the
// smaller side, the partner the wanted value needs from B (wanted - a,
// a - wanted, wanted + a, wanted / a, a / wanted, wanted * a) is looked for
// in B the same way.
//
// A joker is a card of its own whose values are 1..13: the values of a
// multiset that holds jokers are those of every choice of values for them.
//
// The search gives up with SearchExpired past its deadline or once it holds
// more values than its budget allows.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <unordered_map>

#include "solver/expression_text.h"
#include "solver/multiset_key.h"
#include "solver/rational.h"
#include "solver/value_set.h"

namespace Solver {

struct SearchExpired {};

class Search {
public:
    using Clock = std::chrono::steady_clock;

    // Multisets up to this weight get their full value set when first
    // searched; a card weighs 1, a joker 2 (it brings 13 values where a card
    // brings one). Heavier ones are searched backwards, until they have been
    // searched often enough that their full set is the cheaper way.
    static constexpr int ForwardLimit = 3;
    static constexpr int ForwardLimitWhenBusy = 6;
    static constexpr int BusyThreshold = 24;
    static constexpr std::size_t DefaultValueBudget = std::size_t{1} << 20;

    explicit Search(std::size_t valueBudget = DefaultValueBudget);

    // The searches that follow give up past deadline. What was worked out
    // before stays memoised.
    void SetDeadline(Clock::time_point deadline) { deadline_ = deadline; }

    // An expression that uses every value of key once and makes wanted.
    std::optional<ExpressionText> Find(MultisetKey key, Rational wanted);

private:
    const ValueSet& Values(MultisetKey key);
    bool WorthWorkingOut(MultisetKey key);
    ExpressionText Explain(MultisetKey key, Rational value);
    void Tick();

    Clock::time_point deadline_ = Clock::time_point::max();
    std::size_t valueBudget_;
    std::size_t valuesHeld_ = 0;
    std::uint32_t ticks_ = 0;
    std::unordered_map<MultisetKey, ValueSet> memo_;
    std::unordered_map<MultisetKey, int> searches_;  // backward searches so far
};

}  // namespace Solver
