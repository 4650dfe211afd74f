#include "solver/answer_check.h"

#include <array>

#include "solver/answer_parser.h"
#include "solver/card_values.h"

namespace Solver {
namespace {

// True when each number can be given a card of its own: a card of its value,
// or else a joker (which stands for any value 1..13).
bool MatchesDistinctCards(const std::vector<std::int64_t>& numbers, const std::vector<int>& fieldCards)
{
    std::array<int, MaxCardValue + 1> onField{};  // index JokerValue counts the jokers
    for (const int card : fieldCards) {
        const int value = CardValue(card);
        if (value >= 0)
            ++onField[value];
    }
    std::array<int, MaxCardValue + 1> wanted{};
    for (const std::int64_t number : numbers) {
        if (number < MinCardValue || number > MaxCardValue)
            return false;
        ++wanted[number];
    }
    int jokersNeeded = 0;
    for (int value = MinCardValue; value <= MaxCardValue; ++value)
        if (wanted[value] > onField[value])
            jokersNeeded += wanted[value] - onField[value];
    return jokersNeeded <= onField[JokerValue];
}

}  // namespace

AnswerResult CheckAnswer(std::string_view expression, const std::vector<int>& fieldCards)
{
    if (expression.size() > MaxAnswerBytes)
        return {};
    const ParsedAnswer parsed = ParseAnswer(expression);
    if (!parsed.readable)
        return {};
    if (!MatchesDistinctCards(parsed.numbers, fieldCards))
        return {AnswerOutcome::NotOnField, {}};
    return {AnswerOutcome::Evaluated, parsed.value};
}

}  // namespace Solver
