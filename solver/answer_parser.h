#pragma once

// The grammar of an answer: decimal numbers, + - * / and parentheses, spaces
// between them; * and / bind tighter than + and -, and operators of one level
// apply left to right. There is no unary minus. The parser reads the text
// once, front to back, and evaluates as it reads, so its work is linear in
// the length of the text; that work is counted for the fuzz target to check.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "solver/rational.h"

namespace Solver {

// The deepest nesting of parentheses an answer may have.
inline constexpr int MaxAnswerDepth = 32;

struct ParsedAnswer {
    // False when the text is not an expression, nests too deep, holds a
    // number or a value along the way that does not fit, or divides by zero.
    bool readable = false;
    Rational value;                     // when readable
    std::vector<std::int64_t> numbers;  // the numbers read, in order
    int deepest = 0;                    // the deepest nesting reached
    std::size_t steps = 0;              // bytes looked at and operations applied
};

ParsedAnswer ParseAnswer(std::string_view text);

}  // namespace Solver
