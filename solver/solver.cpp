#include "solver/solver.h"

#include "solver/card_values.h"
#include "solver/multiset_key.h"
#include "solver/search.h"

namespace Solver {
namespace {

// The values of the cards, jokers included; numbers that are no card are left out.
MultisetKey FieldOf(const std::vector<int>& cards)
{
    MultisetKey field = 0;
    for (const int card : cards) {
        const int value = CardValue(card);
        if (value >= 0 && CountOf(field, value) < 15)  // four bits a value
            field += KeyOfValue(value);
    }
    return field;
}

struct Found {
    ExpressionText expression;
    MultisetKey cards;  // the values the expression uses, each once
};

// Every sub-multiset of the field, smallest first: the cheap searches come
// first, a target within reach of few cards is found fast, and the first
// expression found uses the fewest cards.
std::optional<Found> FindWithAnySubset(Search& search, MultisetKey field, Rational target)
{
    std::vector<std::vector<MultisetKey>> bySize(SizeOf(field) + 1);
    ForEachPart(field, [&](MultisetKey part) {
        bySize[SizeOf(part)].push_back(part);
        return false;
    });
    for (std::size_t size = 1; size < bySize.size(); ++size)
        for (const MultisetKey part : bySize[size])
            if (std::optional<ExpressionText> found = search.Find(part, target))
                return Found{std::move(*found), part};
    return std::nullopt;
}

std::optional<Found> FindWithAllCards(Search& search, MultisetKey field, Rational target)
{
    if (std::optional<ExpressionText> found = search.Find(field, target))
        return Found{std::move(*found), field};
    return std::nullopt;
}

}  // namespace

FieldSolver::FieldSolver(const std::vector<int>& cards) : field_(FieldOf(cards)), search_(std::make_unique<Search>())
{
}

FieldSolver::~FieldSolver() = default;

Solution FieldSolver::Solve(std::int64_t target, Rule rule, std::chrono::nanoseconds limit)
{
    const std::optional<Rational> wanted = MakeRational(target, 1);
    if (field_ == 0 || !wanted)
        return {Verdict::No, {}};
    const auto now = Search::Clock::now();
    // A limit too long to add to the clock means no limit.
    search_->SetDeadline(limit < Search::Clock::time_point::max() - now ? now + limit
                                                                          : Search::Clock::time_point::max());
    try {
        const std::optional<Found> found = rule == Rule::AllCards ? FindWithAllCards(*search_, field_, *wanted)
                                                                  : FindWithAnySubset(*search_, field_, *wanted);
        if (!found)
            return {Verdict::No, {}};
        return {Verdict::Yes, found->expression.text, SizeOf(found->cards)};
    } catch (const SearchExpired&) {
        return {Verdict::Undecided, {}};
    }
}

Solution Solve(const std::vector<int>& cards, std::int64_t target, Rule rule,
               std::chrono::nanoseconds limit)
{
    return FieldSolver(cards).Solve(target, rule, limit);
}

}  // namespace Solver
