#pragma once

// The text of an expression the solver found, built bottom up. Parentheses
// are written wherever the answer grammar (left to right, * and / before +
// and -) would otherwise read the text as a different tree, so that the text
// evaluates step by step exactly as the solver did.

#include <string>

namespace Solver {

struct ExpressionText {
    std::string text;
    int level = 0;  // 0 a number or parenthesised, 1 a product or quotient, 2 a sum or difference
};

ExpressionText NumberText(int value);
ExpressionText Combine(const ExpressionText& left, char op, const ExpressionText& right);

}  // namespace Solver
