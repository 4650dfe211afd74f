#include "solver/solver.h"

#include <unordered_set>

#include "solver/card_values.h"
#include "solver/multiset_key.h"
#include "solver/search.h"

namespace Solver {
namespace {

// The multisets of count joker values: every way the jokers can stand for
// values 1..13, each multiset once.
std::vector<MultisetKey> JokerChoices(int count)
{
    std::vector<MultisetKey> choices{0};
    for (int i = 0; i < count; ++i) {
        std::vector<MultisetKey> longer;
        for (const MultisetKey choice : choices) {
            // Values in non-decreasing order: each multiset once.
            int lowest = MinCardValue;
            for (int value = MaxCardValue; value >= MinCardValue; --value)
                if (CountOf(choice, value) > 0) {
                    lowest = value;
                    break;
                }
            for (int value = lowest; value <= MaxCardValue; ++value)
                longer.push_back(choice + KeyOfValue(value));
        }
        choices = std::move(longer);
    }
    return choices;
}

struct Field {
    MultisetKey plain = 0;  // the values of the cards that are not jokers
    int jokers = 0;
    int size = 0;
};

Field FieldOf(const std::vector<int>& cards)
{
    Field field;
    for (const int card : cards) {
        const int value = CardValue(card);
        if (value == JokerValue)
            ++field.jokers;
        else if (value > 0 && CountOf(field.plain, value) < 15)  // four bits a value
            field.plain += KeyOfValue(value);
        else
            continue;
        ++field.size;
    }
    return field;
}

std::optional<ExpressionText> FindWithAllCards(Search& search, const Field& field, Rational target)
{
    for (const MultisetKey jokers : JokerChoices(field.jokers))
        if (std::optional<ExpressionText> found = search.Find(field.plain + jokers, target))
            return found;
    return std::nullopt;
}

// Every multiset the field's subsets can give, smallest first, so that the
// cheap searches come first and a target within reach of few cards is found
// fast.
std::optional<ExpressionText> FindWithAnySubset(Search& search, const Field& field, Rational target)
{
    std::vector<std::vector<MultisetKey>> plainBySize(field.size + 1);
    ForEachPart(field.plain, [&](MultisetKey part) {
        plainBySize[SizeOf(part)].push_back(part);
        return false;
    });
    std::vector<std::vector<MultisetKey>> jokersBySize;
    for (int used = 0; used <= field.jokers; ++used)
        jokersBySize.push_back(JokerChoices(used));
    std::unordered_set<MultisetKey> tried;
    for (int size = 1; size <= field.size; ++size)
        for (int used = 0; used <= field.jokers && used <= size; ++used)
            for (const MultisetKey plain : plainBySize[size - used])
                for (const MultisetKey jokers : jokersBySize[used])
                    if (tried.insert(plain + jokers).second)
                        if (std::optional<ExpressionText> found = search.Find(plain + jokers, target))
                            return found;
    return std::nullopt;
}

}  // namespace

Solution Solve(const std::vector<int>& cards, std::int64_t target, Rule rule,
               std::chrono::nanoseconds limit)
{
    const Field field = FieldOf(cards);
    const std::optional<Rational> wanted = MakeRational(target, 1);
    if (field.size == 0 || !wanted)
        return {Verdict::No, {}};
    Search search(Search::Clock::now() + limit);
    try {
        const std::optional<ExpressionText> found = rule == Rule::AllCards
                                                        ? FindWithAllCards(search, field, *wanted)
                                                        : FindWithAnySubset(search, field, *wanted);
        if (!found)
            return {Verdict::No, {}};
        return {Verdict::Yes, found->text};
    } catch (const SearchExpired&) {
        return {Verdict::Undecided, {}};
    }
}

}  // namespace Solver
