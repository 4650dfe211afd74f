// The answer parser and checker on arbitrary bytes. The first byte gives the
// number of field cards (0..12), the next bytes those cards (1..54), the rest
// is the answer text. Whatever the text, reading it must not crash, must stay
// within the nesting bound, and must take work linear in its length; the
// checker must refuse what is too long and agree with the parser on what it
// reads.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "solver/answer_check.h"
#include "solver/answer_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzz::InputReader input(data, size);
    std::vector<int> field(input.Byte() % 13);
    for (int& card : field)
        card = input.Byte() % 54 + 1;
    // The text keeps the input's own block, so that a read past its end is caught.
    const std::string_view text = input.Bytes(size);

    const Solver::ParsedAnswer parsed = Solver::ParseAnswer(text);
    if (parsed.deepest > Solver::MaxAnswerDepth)
        fuzz::Fail("nesting deeper than the bound: " + std::to_string(parsed.deepest));
    if (parsed.steps > 3 * text.size() + 3)
        fuzz::Fail("parser work " + std::to_string(parsed.steps) + " for " + std::to_string(text.size()) + " bytes");
    if (parsed.readable && (parsed.numbers.empty() || parsed.value.den <= 0))
        fuzz::Fail("a readable answer without numbers or with a bad value");
    if (parsed.readable && text.find_first_not_of("0123456789+-*/() ") != std::string_view::npos)
        fuzz::Fail("a byte outside the grammar in a readable answer");

    const Solver::AnswerResult checked = Solver::CheckAnswer(text, field);
    const bool tooLong = text.size() > Solver::MaxAnswerBytes;
    if ((checked.outcome == Solver::AnswerOutcome::Unreadable) != (tooLong || !parsed.readable))
        fuzz::Fail("checker and parser disagree on whether the text reads");
    if (checked.outcome == Solver::AnswerOutcome::Evaluated
        && (!(checked.value == parsed.value) || parsed.numbers.size() > field.size()))
        fuzz::Fail("checker's value differs from the parser's, or more numbers than cards");
    return 0;
}
