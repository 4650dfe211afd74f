#include "table/hit_judge.h"

#include <algorithm>

std::chrono::nanoseconds TSolveBudget::Left(std::chrono::steady_clock::time_point now)
{
    while (!spent_.empty() && spent_.front().first + Window <= now)
        spent_.pop_front();
    std::chrono::nanoseconds left = Budget;
    for (const auto& [start, duration] : spent_)
        left -= duration;
    return left;
}

void TSolveBudget::Spend(std::chrono::steady_clock::time_point start, std::chrono::nanoseconds duration)
{
    spent_.emplace_back(start, duration);
}

THitJudge::THitJudge(std::chrono::milliseconds limit, TSolveBudget& budget) : limit_(limit), budget_(budget)
{
    Solve = [this](const std::vector<int>& field, std::int64_t target, std::chrono::nanoseconds solveLimit) {
        if (!fieldSolver_ || solverField_ != field) {
            fieldSolver_ = std::make_unique<Solver::FieldSolver>(field);
            solverField_ = field;
        }
        return fieldSolver_->Solve(target, Solver::Rule::AnySubset, solveLimit);
    };
}

THitJudge::~THitJudge() = default;

THitJudge::TVerdict THitJudge::Judge(const std::vector<int>& field, std::optional<std::int64_t> target)
{
    if (!target || field.empty())
        return {};
    if (verdict_ && field == field_ && target == target_)
        return *verdict_;

    const auto start = budget_.Now();
    const std::chrono::nanoseconds left = budget_.Left(start);
    if (left <= std::chrono::nanoseconds::zero())
        return {};
    const std::chrono::nanoseconds limit = std::min<std::chrono::nanoseconds>(limit_, left);
    const Solver::Solution solution = Solve(field, *target, limit);
    budget_.Spend(start, budget_.Now() - start);

    TVerdict verdict;
    verdict.Verdict = solution.verdict == Solver::Verdict::Yes  ? 'Y'
                      : solution.verdict == Solver::Verdict::No ? 'N'
                                                                : '?';
    if (verdict.Verdict == 'Y')
        verdict.Expression = solution.expression;
    // An undecided search cut short by the budget may decide later, with the
    // full limit; one that had its full limit would only repeat itself.
    if (verdict.Verdict != '?' || limit == std::chrono::nanoseconds(limit_)) {
        field_ = field;
        target_ = target;
        verdict_ = verdict;
    }
    return verdict;
}
