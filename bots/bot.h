#pragma once

// A computer player at a table, as a model: it is told what happens at the
// table and the clock's time, and says what it wants solved, when it wants to
// be woken and, once woken, what it does. It owns no socket and no timer; its
// random source is seeded by whoever creates it.
//
// After each change of the field or target it asks for a solve of what lies
// there. When the target can be made with k cards at the fewest, it sees the
// solution D = (base + perCard × k) × X seconds after the change, X drawn
// from a log-normal of median 1 and σ 0.35, and hits; with the level's "miss"
// chance it does not see it at this field. When the target cannot be made
// and the change was a dealt card, it hits by mistake with the level's
// "wrong" chance, base × X seconds after the card. A change before it hits
// starts over: a new solve and a new draw. Once its answer opens it answers
// 1 to 3 seconds later with the solution's expression.
//
// The owner asks WantedSolve, NextWake and Wake again after every event.

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "bots/bot_level.h"
#include "solver/solver.h"

namespace Bots {

// The clock's time, counted from any fixed start.
using Time = std::chrono::milliseconds;

inline constexpr double DelaySpread = 0.35;  // σ of the delay's log-normal factor
inline constexpr Time EarliestAnswer{1000};  // after the answer opens
inline constexpr Time LatestAnswer{3000};

struct SolveRequest {
    std::uint64_t view = 0;  // hand it back with the result
    std::vector<int> field;  // card numbers as they lie
    std::int64_t target = 0;
};

struct Action {
    enum class Kind { Hit, Answer };
    Kind kind = Kind::Hit;
    std::string expression;  // for Answer: ASCII, reads back as an answer
};

class Bot {
public:
    Bot(std::string name, const Level& level, std::uint64_t seed);

    const std::string& Name() const { return name_; }  // CP932 bytes, unpadded
    const Level& PlayLevel() const { return level_; }

    // The field or the target changed otherwise than by a dealt card (cards
    // taken or returned, a new target). No target: none is set.
    void FieldChanged(const std::vector<int>& field, std::optional<std::int64_t> target, Time now);
    // A card was dealt; field already holds it.
    void CardDealt(const std::vector<int>& field, std::optional<std::int64_t> target, Time now);
    // Whether it holds a seat. Taking one, it starts looking at the field
    // afresh; without one it neither asks, hits nor answers.
    void SetSeated(bool seated, Time now);
    // Whether a hit would count now (not while penalised or while an answer
    // is open). A solution seen while it may not hit is hit once it may.
    void SetMayHit(bool mayHit);
    // Its own answer opened, after its hit.
    void AnswerOpened(Time now);
    // The game is over: it forgets everything and wants nothing more.
    void GameEnded();

    // The solve it wants of the table as it now sees it, under the game's
    // rule (any subset of the field); none when it wants none.
    std::optional<SolveRequest> WantedSolve() const;
    // The result for request.view; a result for a view it no longer has is
    // ignored. Undecided (the solving budget was spent): it does not see the
    // solution at this field and asks again after the next change.
    void Solved(std::uint64_t view, const Solver::Solution& solution);

    // When it next wants to be woken (possibly already past); none: not
    // until another event.
    std::optional<Time> NextWake() const;
    // What it does at now, if anything.
    std::optional<Action> Wake(Time now);

private:
    void Look(const std::vector<int>& field, std::optional<std::int64_t> target, bool dealt, Time now);
    void StartLooking(Time now);
    Time Scaled(double seconds);
    bool MayHitNow() const { return seated_ && mayHit_; }

    std::string name_;
    Level level_;
    std::mt19937_64 random_;

    bool seated_ = false;
    bool mayHit_ = true;

    // The table as it sees it, and since when.
    std::vector<int> field_;
    std::optional<std::int64_t> target_;
    bool dealt_ = false;  // the last change was a dealt card
    Time lookedAt_{0};
    std::uint64_t view_ = 0;
    bool wantsSolve_ = false;

    std::optional<Time> hitAt_;
    std::string answer_;  // what it answers once its answer opens after its hit
    std::optional<Time> answerAt_;
};

}  // namespace Bots
