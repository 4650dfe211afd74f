#include "bots/bot.h"

#include <cmath>
#include <utility>

#include "solver/card_values.h"

namespace Bots {
namespace {

// What it answers after a hit by mistake: one card's value. The target is no
// card's value (else it could be made), and with a joker on the field it is
// none of 1..13 (else the joker would make it), so the answer is wrong.
std::string WrongAnswer(const std::vector<int>& field)
{
    for (const int card : field)
        if (const int value = Solver::CardValue(card); value >= 0)
            return std::to_string(value == Solver::JokerValue ? Solver::MinCardValue : value);
    return std::to_string(Solver::MinCardValue);
}

}  // namespace

Bot::Bot(std::string name, const Level& level, std::uint64_t seed)
    : name_(std::move(name)), level_(level), random_(seed)
{
}

void Bot::FieldChanged(const std::vector<int>& field, std::optional<std::int64_t> target, Time now)
{
    Look(field, target, false, now);
}

void Bot::CardDealt(const std::vector<int>& field, std::optional<std::int64_t> target, Time now)
{
    Look(field, target, true, now);
}

void Bot::Look(const std::vector<int>& field, std::optional<std::int64_t> target, bool dealt, Time now)
{
    field_ = field;
    target_ = target;
    dealt_ = dealt;
    StartLooking(now);
}

void Bot::StartLooking(Time now)
{
    ++view_;
    lookedAt_ = now;
    hitAt_.reset();
    wantsSolve_ = target_.has_value() && !field_.empty();
}

void Bot::SetSeated(bool seated, Time now)
{
    if (seated == seated_)
        return;
    seated_ = seated;
    if (seated) {
        dealt_ = false;
        StartLooking(now);
    } else {
        ++view_;  // a solve asked for while seated no longer counts
        hitAt_.reset();
        answerAt_.reset();
    }
}

void Bot::SetMayHit(bool mayHit)
{
    mayHit_ = mayHit;
}

void Bot::AnswerOpened(Time now)
{
    if (!seated_ || answer_.empty())
        return;
    std::uniform_int_distribution<Time::rep> after(EarliestAnswer.count(), LatestAnswer.count());
    answerAt_ = now + Time(after(random_));
}

void Bot::GameEnded()
{
    seated_ = false;
    mayHit_ = true;
    field_.clear();
    target_.reset();
    dealt_ = false;
    ++view_;
    wantsSolve_ = false;
    hitAt_.reset();
    answer_.clear();
    answerAt_.reset();
}

std::optional<SolveRequest> Bot::WantedSolve() const
{
    if (!seated_ || !wantsSolve_)
        return std::nullopt;
    return SolveRequest{view_, field_, *target_};
}

void Bot::Solved(std::uint64_t view, const Solver::Solution& solution)
{
    if (view != view_ || !wantsSolve_ || !seated_)
        return;
    wantsSolve_ = false;
    switch (solution.verdict) {
    case Solver::Verdict::Yes:
        if (std::bernoulli_distribution(level_.miss)(random_))
            return;
        hitAt_ = lookedAt_ + Scaled(level_.base + level_.perCard * solution.cards);
        answer_ = solution.expression;
        return;
    case Solver::Verdict::No:
        if (!dealt_ || !std::bernoulli_distribution(level_.wrong)(random_))
            return;
        hitAt_ = lookedAt_ + Scaled(level_.base);
        answer_ = WrongAnswer(field_);
        return;
    case Solver::Verdict::Undecided:
        return;
    }
}

Time Bot::Scaled(double seconds)
{
    const double factor = std::lognormal_distribution<double>(0.0, DelaySpread)(random_);
    return Time(std::llround(seconds * factor * 1000.0));
}

std::optional<Time> Bot::NextWake() const
{
    std::optional<Time> next = seated_ ? answerAt_ : std::nullopt;
    if (MayHitNow() && hitAt_ && (!next || *hitAt_ < *next))
        next = hitAt_;
    return next;
}

std::optional<Action> Bot::Wake(Time now)
{
    if (seated_ && answerAt_ && now >= *answerAt_) {
        answerAt_.reset();
        return Action{Action::Kind::Answer, std::exchange(answer_, {})};
    }
    if (MayHitNow() && hitAt_ && now >= *hitAt_) {
        hitAt_.reset();
        return Action{Action::Kind::Hit, {}};
    }
    return std::nullopt;
}

}  // namespace Bots
