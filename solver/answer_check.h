#pragma once

// Reads a player's answer and judges it against the cards on the field.

#include <cstddef>
#include <string_view>
#include <vector>

#include "solver/rational.h"

namespace Solver {

enum class AnswerOutcome {
    Unreadable,  // not an expression, too long, too deep, a number or value
                 // that does not fit, or a division by zero
    NotOnField,  // a number that no distinct field card can stand for
    Evaluated,   // value holds the exact result
};

struct AnswerResult {
    AnswerOutcome outcome = AnswerOutcome::Unreadable;
    Rational value;
};

inline constexpr std::size_t MaxAnswerBytes = 200;

// fieldCards: card numbers 1..54 (a joker matches any number 1..13).
AnswerResult CheckAnswer(std::string_view expression, const std::vector<int>& fieldCards);

}  // namespace Solver
