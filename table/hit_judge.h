#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "solver/solver.h"

// The time all solving on the event thread may take together: at most Budget
// in any Window, however many tables judge hits, so that a storm of hits and
// target changes at a thousand tables never takes the thread from the players.
class TSolveBudget {
public:
    static constexpr std::chrono::milliseconds Budget{100};
    static constexpr std::chrono::milliseconds Window{1000};

    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // What is left of the budget at now.
    std::chrono::nanoseconds Left(std::chrono::steady_clock::time_point now);
    void Spend(std::chrono::steady_clock::time_point start, std::chrono::nanoseconds duration);

    Clock Now = [] { return std::chrono::steady_clock::now(); };

private:
    // When each solve of the last Window started, and how long it took.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::chrono::nanoseconds>> spent_;
};

// Judges a hit at one table: whether the target can be made from the field
// cards as they lie. One field and target are solved once and the verdict
// reused for every further hit until either changes; one solve never runs
// past its limit nor past what the shared budget has left, and the verdict is
// "?" (undecided) once the budget is spent.
class THitJudge {
public:
    using SolveFunction =
        std::function<Solver::Solution(const std::vector<int>& field, std::int64_t target, std::chrono::nanoseconds limit)>;

    struct TVerdict {
        char Verdict = '?';      // 'Y', 'N' or '?'
        std::string Expression;  // for 'Y' only
    };

    THitJudge(std::chrono::milliseconds limit, TSolveBudget& budget);
    ~THitJudge();

    // The verdict for the field's card numbers and the target (none: no judgement).
    TVerdict Judge(const std::vector<int>& field, std::optional<std::int64_t> target);

    // The search itself; tests put in one whose cost they control.
    SolveFunction Solve;

private:
    std::chrono::milliseconds limit_;
    TSolveBudget& budget_;
    // The last field and target judged, and the verdict they got.
    std::vector<int> field_;
    std::optional<std::int64_t> target_;
    std::optional<TVerdict> verdict_;
    // One solver per field keeps what it worked out for the next target.
    std::unique_ptr<Solver::FieldSolver> fieldSolver_;
    std::vector<int> solverField_;
};
