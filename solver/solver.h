#pragma once

// Decides whether the cards on the field can make a target with + - * /
// and parentheses (exact rational arithmetic, each card used at most once),
// and gives one expression that does. Under AnySubset that expression uses
// the fewest cards any expression making the target uses.

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Solver {

enum class Rule {
    AnySubset,  // any non-empty subset of the cards (the game's rule)
    AllCards,   // every card exactly once
};

enum class Verdict { Yes, No, Undecided };

struct Solution {
    Verdict verdict = Verdict::Undecided;
    // For Yes only: card values (a joker as the value it takes), ASCII digits
    // and "+-*/()", no spaces; it reads back as an answer and makes the target.
    std::string expression;
    // For Yes only: how many field cards the expression uses. Under AnySubset
    // no expression over fewer cards makes the target; under AllCards it is
    // every card.
    int cards = 0;
};

// cards: card numbers 1..54 as they lie on the field (any order, at most 12;
// numbers that are no card are ignored). Past the time limit, or past the
// memory budget, the verdict is Undecided. An empty field is No.
Solution Solve(const std::vector<int>& cards, std::int64_t target, Rule rule,
               std::chrono::nanoseconds limit);

class Search;

// The same for one field and several targets: what is worked out for one
// target (the values of the field's sub-multisets) is kept for the next.
class FieldSolver {
public:
    explicit FieldSolver(const std::vector<int>& cards);
    ~FieldSolver();
    FieldSolver(const FieldSolver&) = delete;
    FieldSolver& operator=(const FieldSolver&) = delete;

    Solution Solve(std::int64_t target, Rule rule, std::chrono::nanoseconds limit);

private:
    std::uint64_t field_;  // the cards' values as a multiset key
    std::unique_ptr<Search> search_;
};

}  // namespace Solver
