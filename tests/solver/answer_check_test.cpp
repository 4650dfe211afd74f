// Reading and judging a player's answer: the grammar, the bounds, and the
// matching of its numbers to distinct cards on the field.
#include <gtest/gtest.h>

#include "solver/answer_check.h"
#include "solver/answer_parser.h"

namespace {

using Solver::AnswerOutcome;
using Solver::CheckAnswer;

// Two cards of every rank 1..13 and a joker: enough for any answer below.
const std::vector<int> Plenty = [] {
    std::vector<int> cards;
    for (int card = 1; card <= 26; ++card)
        cards.push_back(card);
    cards.push_back(53);
    return cards;
}();

std::string ValueOf(std::string_view answer)
{
    const Solver::AnswerResult result = CheckAnswer(answer, Plenty);
    return result.outcome == AnswerOutcome::Evaluated ? Solver::RationalText(result.value) : "unreadable";
}

TEST(AnswerCheck, PrecedenceLeftToRightAndExactFractions)
{
    EXPECT_EQ(ValueOf("1+2*3"), "7");
    EXPECT_EQ(ValueOf("(1+2)*3"), "9");
    EXPECT_EQ(ValueOf("8-3-2"), "3");    // (8-3)-2, not 8-(3-2)
    EXPECT_EQ(ValueOf("8/4/2"), "1");    // (8/4)/2
    EXPECT_EQ(ValueOf("2*3/4"), "3/2");
    EXPECT_EQ(ValueOf("1-2*3"), "-5");
    EXPECT_EQ(ValueOf("1/3+1/6"), "1/2");
    EXPECT_EQ(ValueOf("1-7/2"), "-5/2");
    EXPECT_EQ(ValueOf("(1-4)/(13-7)"), "-1/2");
    EXPECT_EQ(ValueOf(" ( 12 +1 ) * 2 "), "26");
    EXPECT_EQ(ValueOf("5"), "5");
    EXPECT_EQ(ValueOf("((((5))))"), "5");
    EXPECT_EQ(ValueOf("05"), "5");
}

TEST(AnswerCheck, TextThatIsNoExpressionIsUnreadable)
{
    for (const char* text : {"", "   ", "-5", "2*-3", "+5", "5+", "(5", "5)", "()", "5 5", "1..2", "5%2", "2^3",
                             "1\t+2", "1,5", "１+2", "5=5", "(1+2)(3)"})
        EXPECT_EQ(ValueOf(text), "unreadable") << '"' << text << '"';
    // A NUL byte is no end of the text.
    EXPECT_EQ(ValueOf(std::string_view("5\0+1", 4)), "unreadable");
    EXPECT_EQ(ValueOf(std::string_view("5\0", 2)), "unreadable");
}

TEST(AnswerCheck, BoundsOnLengthNestingAndNumbers)
{
    // 200 bytes are read, 201 are not.
    EXPECT_EQ(ValueOf(std::string(199, ' ') + "1"), "1");
    EXPECT_EQ(ValueOf(std::string(200, ' ') + "1"), "unreadable");

    const auto nested = [](int depth) { return std::string(depth, '(') + "7" + std::string(depth, ')'); };
    EXPECT_EQ(ValueOf(nested(Solver::MaxAnswerDepth)), "7");
    EXPECT_EQ(ValueOf(nested(Solver::MaxAnswerDepth + 1)), "unreadable");
    EXPECT_EQ(Solver::ParseAnswer(nested(Solver::MaxAnswerDepth)).deepest, Solver::MaxAnswerDepth);

    // A number that does not fit in 64 bits, and a value along the way that does not.
    EXPECT_EQ(Solver::ParseAnswer("9223372036854775807").readable, true);
    EXPECT_EQ(Solver::ParseAnswer("9223372036854775808").readable, false);
    EXPECT_EQ(Solver::ParseAnswer("3037000500*3037000500").readable, false);
    EXPECT_EQ(Solver::ParseAnswer("1/3037000500/3037000500").readable, false);
}

TEST(AnswerCheck, DivisionByZeroIsUnreadableEvenWithNumbersOffTheField)
{
    EXPECT_EQ(ValueOf("1/0"), "unreadable");
    EXPECT_EQ(ValueOf("1/(2-2)"), "unreadable");
    EXPECT_EQ(ValueOf("0/5"), "unreadable");  // 0 is on no field: readable, but not matched
    EXPECT_EQ(Solver::ParseAnswer("0/5").readable, true);
    // Unreadable is judged before the field: neither 0 nor three 2s lie on {1, 2}.
    EXPECT_EQ(CheckAnswer("1/(2-2*2+2)", {1, 2}).outcome, AnswerOutcome::Unreadable);
    EXPECT_EQ(CheckAnswer("1/(2-2*2)", {1, 2}).outcome, AnswerOutcome::NotOnField);
}

TEST(AnswerCheck, NumbersMatchDistinctCardsAndJokersMatchAnyValue)
{
    struct Case {
        const char* answer;
        std::vector<int> field;
        AnswerOutcome outcome;
    };
    const Case cases[] = {
        {"5+5", {5, 53}, AnswerOutcome::Evaluated},            // 5 -> card 5, 5 -> joker
        {"5+5", {5}, AnswerOutcome::NotOnField},               // one card, used twice
        {"5+5", {5, 18}, AnswerOutcome::Evaluated},            // two fives of different suits
        {"13*13", {53, 54}, AnswerOutcome::Evaluated},         // both jokers
        {"13*13*13", {53, 54}, AnswerOutcome::NotOnField},
        {"1+14", {1, 14}, AnswerOutcome::NotOnField},          // card 14 is worth 1
        {"1+1", {1, 14}, AnswerOutcome::Evaluated},
        {"13+12", {13, 52, 51}, AnswerOutcome::Evaluated},     // card 52 is worth 13, 51 is worth 12
        {"14", {53}, AnswerOutcome::NotOnField},               // a joker is 1..13 only
        {"0+1", {1, 53}, AnswerOutcome::NotOnField},
        {"3+4", {3, 4, 0, 55}, AnswerOutcome::Evaluated},      // numbers that are no card are ignored
        {"3+4", {3, 0, 55}, AnswerOutcome::NotOnField},
        {"2*3+2", {2, 3, 15}, AnswerOutcome::Evaluated},
        {"2*3+2+2", {2, 3, 15, 53}, AnswerOutcome::Evaluated}, // the joker takes the third 2
        {"2*3+2+2+2", {2, 3, 15, 53}, AnswerOutcome::NotOnField},
        {"7", {}, AnswerOutcome::NotOnField},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CheckAnswer(c.answer, c.field).outcome, c.outcome) << c.answer;
}

TEST(AnswerCheck, ParserWorkGrowsLinearlyWithTheText)
{
    // The worst shapes: deep nesting at the bound, long chains, many spaces.
    for (const std::string& text :
         {std::string(32, '(') + "1" + std::string(32, ')'), std::string(100, '1'), std::string(200, ' '),
          [] {
              std::string chain = "1";
              while (chain.size() + 2 <= 200)
                  chain += "*1";
              return chain;
          }(),
          std::string(40, '(') + "1"}) {
        const Solver::ParsedAnswer parsed = Solver::ParseAnswer(text);
        EXPECT_LE(parsed.steps, 3 * text.size() + 3) << text;
    }
}

}  // namespace
