#pragma once

// What the cards on the field are worth, and the target a player sets.

#include <cstdint>
#include <optional>
#include <string_view>

namespace Solver {

// The value slot of a joker, which stands for any one value from 1 to 13.
inline constexpr int JokerValue = 0;
inline constexpr int MinCardValue = 1;
inline constexpr int MaxCardValue = 13;

// Cards 1..52 are worth ((n - 1) mod 13) + 1; cards 53 and 54 are jokers
// (JokerValue). Any other number is no card: -1.
int CardValue(int cardNumber);

// The target text with its surrounding spaces removed, read when it is an
// optional "-" and 1 to 9 decimal digits; anything else gives no target.
std::optional<std::int64_t> ParseTarget(std::string_view targetText);

}  // namespace Solver
