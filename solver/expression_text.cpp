#include "solver/expression_text.h"

namespace Solver {

ExpressionText NumberText(int value)
{
    return {std::to_string(value), 0};
}

ExpressionText Combine(const ExpressionText& left, char op, const ExpressionText& right)
{
    const int level = op == '+' || op == '-' ? 2 : 1;
    ExpressionText result{{}, level};
    // The left operand of an operator is read first anyway; only a looser one
    // needs parentheses. The right operand needs them at the same level too.
    result.text = left.level > level ? "(" + left.text + ")" : left.text;
    result.text += op;
    result.text += right.level >= level ? "(" + right.text + ")" : right.text;
    return result;
}

}  // namespace Solver
