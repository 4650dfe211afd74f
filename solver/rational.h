#pragma once

// Exact rationals over 64-bit integers. Every value is kept in lowest terms
// with a positive denominator, and the numerator never takes the one value
// (INT64_MIN) whose negation does not fit. The arithmetic is checked: an
// operation whose exact result does not fit, or a division by zero, yields
// no value instead of a wrong one.

#include <cstdint>
#include <optional>
#include <string>

namespace Solver {

struct Rational {
    std::int64_t num = 0;
    std::int64_t den = 1;
};

// "3", "-7/2".
std::string RationalText(Rational r);

bool operator==(Rational a, Rational b);

inline Rational Integer(std::int64_t n) { return Rational{n, 1}; }

// num/den in lowest terms; none when den is 0 or the result does not fit.
std::optional<Rational> MakeRational(std::int64_t num, std::int64_t den);

std::optional<Rational> Add(Rational a, Rational b);
std::optional<Rational> Subtract(Rational a, Rational b);
std::optional<Rational> Multiply(Rational a, Rational b);
std::optional<Rational> Divide(Rational a, Rational b);  // none when b is 0

// A well-mixed hash of the value, for hash sets of rationals.
std::uint64_t Hash(Rational r);

}  // namespace Solver
