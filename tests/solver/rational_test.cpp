// Exact rationals over 64-bit integers: lowest terms, checked arithmetic, and
// the card values and targets the judgement starts from.
#include <gtest/gtest.h>

#include <limits>

#include "solver/card_values.h"
#include "solver/rational.h"

namespace {

using Solver::Rational;

std::string Text(const std::optional<Rational>& r)
{
    return r ? Solver::RationalText(*r) : "none";
}

constexpr std::int64_t Max = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t Min = std::numeric_limits<std::int64_t>::min();

TEST(Rational, LowestTermsWithThePositiveDenominator)
{
    EXPECT_EQ(Text(Solver::MakeRational(6, 4)), "3/2");
    EXPECT_EQ(Text(Solver::MakeRational(6, -4)), "-3/2");
    EXPECT_EQ(Text(Solver::MakeRational(-6, -3)), "2");
    EXPECT_EQ(Text(Solver::MakeRational(0, -7)), "0");
    EXPECT_EQ(Text(Solver::MakeRational(1, 0)), "none");
    EXPECT_EQ(Text(Solver::MakeRational(Max, Max)), "1");
    EXPECT_EQ(Text(Solver::MakeRational(Min, 2)), "-4611686018427387904");
    EXPECT_EQ(Text(Solver::MakeRational(Min, 1)), "none");  // its negation would not fit
    EXPECT_EQ(Text(Solver::MakeRational(1, Min)), "none");
    EXPECT_TRUE(*Solver::MakeRational(2, 4) == (Rational{1, 2}));
}

TEST(Rational, ArithmeticIsExactOrGivesNothing)
{
    const Rational half{1, 2}, third{1, 3};
    EXPECT_EQ(Text(Solver::Add(half, third)), "5/6");
    EXPECT_EQ(Text(Solver::Subtract(third, half)), "-1/6");
    EXPECT_EQ(Text(Solver::Multiply(Rational{-2, 3}, Rational{3, 4})), "-1/2");
    EXPECT_EQ(Text(Solver::Divide(half, third)), "3/2");
    EXPECT_EQ(Text(Solver::Divide(half, Rational{-1, 4})), "-2");
    EXPECT_EQ(Text(Solver::Divide(half, Rational{0, 1})), "none");

    EXPECT_EQ(Text(Solver::Add(Solver::Integer(Max), Solver::Integer(1))), "none");
    EXPECT_EQ(Text(Solver::Add(Solver::Integer(Max), Solver::Integer(-1))), "9223372036854775806");
    EXPECT_EQ(Text(Solver::Subtract(Solver::Integer(-Max), Solver::Integer(1))), "none");
    EXPECT_EQ(Text(Solver::Multiply(Solver::Integer(Max / 2 + 1), Solver::Integer(2))), "none");
    EXPECT_EQ(Text(Solver::Multiply(Solver::Integer(-(Max / 2) - 1), Solver::Integer(2))), "none");  // exactly Min
    // Terms that overflow before reducing but not after.
    EXPECT_EQ(Text(Solver::Multiply(Rational{Max, 2}, Rational{2, Max})), "1");
    EXPECT_EQ(Text(Solver::Add(Rational{1, Max}, Rational{1, Max})), "2/9223372036854775807");
    EXPECT_EQ(Text(Solver::Add(Rational{1, Max}, Rational{1, Max - 1})), "none");
}

TEST(CardValues, SuitsRepeatTheRanksAndJokersAreWild)
{
    EXPECT_EQ(Solver::CardValue(1), 1);
    EXPECT_EQ(Solver::CardValue(13), 13);
    EXPECT_EQ(Solver::CardValue(14), 1);
    EXPECT_EQ(Solver::CardValue(40), 1);
    EXPECT_EQ(Solver::CardValue(52), 13);
    EXPECT_EQ(Solver::CardValue(53), Solver::JokerValue);
    EXPECT_EQ(Solver::CardValue(54), Solver::JokerValue);
    EXPECT_EQ(Solver::CardValue(0), -1);
    EXPECT_EQ(Solver::CardValue(55), -1);
}

TEST(CardValues, TargetsAreAnOptionalMinusAndOneToNineDigits)
{
    EXPECT_EQ(Solver::ParseTarget("24"), 24);
    EXPECT_EQ(Solver::ParseTarget("  -7 "), -7);
    EXPECT_EQ(Solver::ParseTarget("-0"), 0);
    EXPECT_EQ(Solver::ParseTarget("007"), 7);
    EXPECT_EQ(Solver::ParseTarget("999999999"), 999999999);
    EXPECT_EQ(Solver::ParseTarget("-999999999"), -999999999);
    for (const char* text : {"", "   ", "-", "1000000000", "+5", "5 5", "- 5", "5-", "1.5", "x", "２４", "\t24"})
        EXPECT_EQ(Solver::ParseTarget(text), std::nullopt) << '"' << text << '"';
}

}  // namespace
