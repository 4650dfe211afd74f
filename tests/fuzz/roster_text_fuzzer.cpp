// The roster text split: arbitrary bytes must split without reading past the
// text, and the entries must survive a round trip: writing them as roster text
// and splitting that again gives the same entries.
//
// One kind of entry cannot: one that ends in a lone Shift-JIS lead byte (the
// split yields it only at the very end of a text). A reader takes the lead
// byte and whatever follows it, a closing quote or a comma, as one character,
// so no roster text carries such an entry anywhere but last and bare. Those
// inputs are split, but not checked for the round trip.
#include <cstdint>
#include <string_view>

#include "fuzz_support.h"
#include "platform/cp932.h"
#include "protocol/roster_text.h"

namespace {

bool EndsInLoneLeadByte(std::string_view entry)
{
    std::size_t i = 0;
    while (i + 1 < entry.size())
        i += Cp932::IsLeadByte(static_cast<unsigned char>(entry[i])) ? 2 : 1;
    return i + 1 == entry.size() && Cp932::IsLeadByte(static_cast<unsigned char>(entry[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The input lies in a block of exactly its size: a read past its end is caught.
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::vector<AnsiString> entries = Protocol::SplitRosterText(text);
    if (!entries.empty() && EndsInLoneLeadByte(entries.back()))
        return 0;
    const AnsiString written = Protocol::RosterText(entries);
    if (Protocol::SplitRosterText(written) != entries)
        fuzz::Fail("roster text does not split back into its entries");
    return 0;
}
