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

// Judges a hit: whether the target can be made from the field cards as they
// lie. Solving runs on the event thread, so it is kept cheap for the table:
// one field and target are solved once and the verdict reused for every
// further hit until either changes; one solve never runs past its limit; and
// all solving together takes at most Budget in any Window, past which the
// verdict is "?" (undecided), so that a storm of hits and target changes from
// one client never slows the table for the others.
class THitJudge {
public:
    static constexpr std::chrono::milliseconds Budget{100};
    static constexpr std::chrono::milliseconds Window{1000};

    using Clock = std::function<std::chrono::steady_clock::time_point()>;
    using SolveFunction =
        std::function<Solver::Solution(const std::vector<int>& field, std::int64_t target, std::chrono::nanoseconds limit)>;

    struct TVerdict {
        char Verdict = '?';      // 'Y', 'N' or '?'
        std::string Expression;  // for 'Y' only
    };

    explicit THitJudge(std::chrono::milliseconds limit);
    ~THitJudge();

    // The verdict for the field's card numbers and the target (none: no judgement).
    TVerdict Judge(const std::vector<int>& field, std::optional<std::int64_t> target);

    Clock Now = [] { return std::chrono::steady_clock::now(); };
    // The search itself; tests put in one whose cost they control.
    SolveFunction Solve;

private:
    std::chrono::nanoseconds SpentInWindow(std::chrono::steady_clock::time_point now);

    std::chrono::milliseconds limit_;
    // The last field and target judged, and the verdict they got.
    std::vector<int> field_;
    std::optional<std::int64_t> target_;
    std::optional<TVerdict> verdict_;
    // One solver per field keeps what it worked out for the next target.
    std::unique_ptr<Solver::FieldSolver> fieldSolver_;
    std::vector<int> solverField_;
    // When each solve of the last Window started, and how long it took.
    std::deque<std::pair<std::chrono::steady_clock::time_point, std::chrono::nanoseconds>> spent_;
};
