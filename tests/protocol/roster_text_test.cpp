#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "protocol/padded_name.h"
#include "protocol/roster_text.h"

using Protocol::PaddedName;
using Protocol::RosterText;
using Protocol::SplitRosterText;
using Roster = std::vector<AnsiString>;

namespace {

// Splits a copy of the text held in a heap block of exactly its size, so that
// AddressSanitizer reports any read past its end.
Roster SplitExact(const std::string& text)
{
    const auto block = std::make_unique<char[]>(text.size());
    text.copy(block.get(), text.size());
    return SplitRosterText(std::string_view(block.get(), text.size()));
}

}  // namespace

TEST(RosterText, PaddedNamesEndingInSpacesAreQuotedFullNamesBare)
{
    const Roster roster = {PaddedName("AB"), PaddedName("CDEFGHIJ")};
    const AnsiString text = RosterText(roster);
    EXPECT_EQ(text, "\"AB      \",CDEFGHIJ");
    EXPECT_EQ(SplitExact(text), roster);
}

TEST(RosterText, EmptyRostersAndEmptyEntries)
{
    EXPECT_EQ(RosterText({}), "");
    EXPECT_EQ(SplitExact(""), Roster());
    EXPECT_EQ(SplitExact(" \t "), Roster()) << "blanks alone hold no entry";

    EXPECT_EQ(RosterText({""}), "\"\"");
    EXPECT_EQ(SplitExact("\"\""), Roster({""}));

    for (const Roster& roster : {Roster{"", "x"}, Roster{"x", ""}, Roster{"", ""}, Roster{"a", "", "b"}})
        EXPECT_EQ(SplitExact(RosterText(roster)), roster) << RosterText(roster);
}

TEST(RosterText, TrailingCommaAddsOneEmptyEntryOnlyAsTheLastByte)
{
    EXPECT_EQ(SplitExact("AB,"), Roster({"AB", ""}));
    EXPECT_EQ(SplitExact("\"A B\","), Roster({"A B", ""}));
    EXPECT_EQ(SplitExact("AB, "), Roster({"AB"})) << "blanks after the comma";
    EXPECT_EQ(SplitExact(","), Roster({"", ""}));
}

TEST(RosterText, QuotesCommasAndBlanksInsideEntries)
{
    const Roster roster = {"a\"b", "c,d", "\"", "e f", "tab\tx", "\x01", "plain"};
    const AnsiString text = RosterText(roster);
    EXPECT_EQ(text, "\"a\"\"b\",\"c,d\",\"\"\"\",\"e f\",\"tab\tx\",\"\x01\",plain");
    EXPECT_EQ(SplitExact(text), roster);
}

TEST(RosterText, ReaderSkipsBlanksAndEndsBareEntriesAtThem)
{
    EXPECT_EQ(SplitExact("  AB ,  CD  "), Roster({"AB", "CD"}));
    EXPECT_EQ(SplitExact("AB CD"), Roster({"AB", "CD"})) << "a blank ends a bare entry";
    EXPECT_EQ(SplitExact("\"AB\"CD"), Roster({"AB", "CD"})) << "an entry may follow a quoted one directly";
    EXPECT_EQ(SplitExact("\"AB"), Roster({"AB"})) << "an unclosed quote runs to the end";
    EXPECT_EQ(SplitExact("\"AB\"\""), Roster({"AB\""})) << "a doubled quote at the end";
}

TEST(RosterText, DoubleByteCharactersAreSteppedOverWhole)
{
    // ソ (83 5C) and 表 (95 5C) end in a backslash byte; 山札 is 8E 52 8E 44.
    const Roster japanese = {PaddedName("\x83\x5C\x95\x5C"), "\x8E\x52\x8E\x44\x83\x5C\x95\x5C"};
    const AnsiString text = RosterText(japanese);
    EXPECT_EQ(text, "\"\x83\x5C\x95\x5C    \",\x8E\x52\x8E\x44\x83\x5C\x95\x5C");
    EXPECT_EQ(SplitExact(text), japanese);

    // Trail bytes equal to a quote, a comma, a space or a control byte never end
    // an entry, quoted or bare, and a quote after a lead byte is never doubled.
    for (const char trail : {'"', ',', ' ', '\x01'}) {
        const AnsiString name = AnsiString("A\x81") + trail + "B";
        const Roster roster = {name, "next"};
        EXPECT_EQ(SplitExact(RosterText(roster)), roster) << "trail byte " << int(trail);
        EXPECT_EQ(SplitExact(name + ",next"), roster) << "bare, trail byte " << int(trail);
    }
    EXPECT_EQ(RosterText({"\x81\""}), "\"\x81\"\"") << "the quote is a trail byte";
}

TEST(RosterText, TruncatedTextsNeverReadPastTheEnd)
{
    const AnsiString full = RosterText({PaddedName("\x83\x5C"), "x\"y", PaddedName("AB"), "\x8E\x52\x8E\x44"});
    for (std::size_t n = 0; n <= full.size(); ++n)
        SplitExact(full.substr(0, n));

    EXPECT_EQ(SplitExact("AB,\x81"), Roster({"AB", "\x81"})) << "a lead byte as the last byte";
    EXPECT_EQ(SplitExact("\"\x81"), Roster({"\x81"}));
}

TEST(RosterText, NulEndsTheText)
{
    EXPECT_EQ(SplitExact(std::string("AB,CD\0,EF", 9)), Roster({"AB", "CD"}));
    EXPECT_EQ(SplitExact(std::string("AB,\0", 4)), Roster({"AB", ""})) << "the comma is the last byte before the NUL";
    EXPECT_EQ(SplitExact(std::string("\x81\0X", 3)), Roster({"\x81"})) << "a lead byte never swallows the NUL";
}
