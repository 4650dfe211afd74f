#include "solver/answer_parser.h"

#include <limits>
#include <optional>

namespace Solver {
namespace {

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    ParsedAnswer Run()
    {
        const std::optional<Rational> value = Sum(0);
        // The whole text must be one expression: the last look ahead (past
        // trailing spaces) found the end, not a byte that no rule takes.
        if (value && pos_ == text_.size()) {
            result_.readable = true;
            result_.value = *value;
        }
        return std::move(result_);
    }

private:
    // The next byte that is not a space, '\0' at the end (a NUL byte in the
    // text reads as no token either).
    char Peek()
    {
        while (pos_ < text_.size() && text_[pos_] == ' ') {
            ++pos_;
            ++result_.steps;
        }
        ++result_.steps;
        return pos_ < text_.size() ? text_[pos_] : '\0';
    }

    std::optional<Rational> Sum(int depth)
    {
        return Chain('+', '-', [&] { return Product(depth); });
    }

    std::optional<Rational> Product(int depth)
    {
        return Chain('*', '/', [&] { return Operand(depth); });
    }

    // Operands joined left to right by the operators first and second. A
    // division by zero and a result that does not fit both end the reading.
    template <typename ReadOperand>
    std::optional<Rational> Chain(char first, char second, ReadOperand readOperand)
    {
        std::optional<Rational> left = readOperand();
        for (char op = Peek(); left && (op == first || op == second); op = Peek()) {
            ++pos_;
            const std::optional<Rational> right = readOperand();
            if (!right)
                return std::nullopt;
            left = Apply(op, *left, *right);
            ++result_.steps;
        }
        return left;
    }

    static std::optional<Rational> Apply(char op, Rational left, Rational right)
    {
        switch (op) {
        case '+': return Add(left, right);
        case '-': return Subtract(left, right);
        case '*': return Multiply(left, right);
        default: return Divide(left, right);
        }
    }

    std::optional<Rational> Operand(int depth)
    {
        const char c = Peek();
        if (c == '(') {
            if (depth + 1 > MaxAnswerDepth)
                return std::nullopt;
            ++pos_;
            if (depth + 1 > result_.deepest)
                result_.deepest = depth + 1;
            const std::optional<Rational> inner = Sum(depth + 1);
            if (!inner || Peek() != ')')
                return std::nullopt;
            ++pos_;
            return inner;
        }
        if (c < '0' || c > '9')
            return std::nullopt;
        std::int64_t number = 0;
        constexpr std::int64_t largest = std::numeric_limits<std::int64_t>::max();
        for (; pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9'; ++pos_) {
            ++result_.steps;
            const int digit = text_[pos_] - '0';
            if (number > (largest - digit) / 10)
                return std::nullopt;
            number = number * 10 + digit;
        }
        result_.numbers.push_back(number);
        return Integer(number);
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    ParsedAnswer result_;
};

}  // namespace

ParsedAnswer ParseAnswer(std::string_view text)
{
    return Parser(text).Run();
}

}  // namespace Solver
