#include "solver/card_values.h"

namespace Solver {

int CardValue(int cardNumber)
{
    if (cardNumber >= 1 && cardNumber <= 52)
        return (cardNumber - 1) % 13 + 1;
    if (cardNumber == 53 || cardNumber == 54)
        return JokerValue;
    return -1;
}

std::optional<std::int64_t> ParseTarget(std::string_view targetText)
{
    const std::size_t first = targetText.find_first_not_of(' ');
    if (first == std::string_view::npos)
        return std::nullopt;
    std::string_view text = targetText.substr(first, targetText.find_last_not_of(' ') - first + 1);
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return negative ? -value : value;
}

}  // namespace Solver
