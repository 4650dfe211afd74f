#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "table/roster.h"

TEST(Roster, NamesMatchIgnoringTheCaseOfAsciiLettersOnly)
{
    EXPECT_TRUE(SameNameIgnoringCase("AbCd    ", "aBcD    "));
    EXPECT_FALSE(SameNameIgnoringCase("AbCd    ", "AbCd"));
    EXPECT_FALSE(SameNameIgnoringCase("AB@[    ", "ab`{    ")) << "only letters fold";
    // Katakana "a" (83 41) and "chi" (83 61) differ in a trail byte that
    // looks like a letter; they are different names.
    EXPECT_FALSE(SameNameIgnoringCase("\x83\x41" "B     ", "\x83\x61" "B     "));
    EXPECT_TRUE(SameNameIgnoringCase("\x83\x41" "B     ", "\x83\x41" "b     "));
    // A lead byte that ends the name stands alone.
    EXPECT_TRUE(SameNameIgnoringCase("Ab\x83", "aB\x83"));
}

TEST(Roster, FindsTheFirstEqualEntryAndDeletesOnlyValidIndexes)
{
    TRoster roster;
    std::vector<std::string> events;
    roster.OnAdded = [&](int index, const AnsiString& name) { events.push_back("+" + std::to_string(index) + name); };
    roster.OnDeleted = [&](int index) { events.push_back("-" + std::to_string(index)); };
    for (const char* name : {"AB      ", "CD      ", "ab      "})
        roster.Add(name);
    EXPECT_EQ(roster.IndexOf("Ab      "), 0);
    EXPECT_EQ(roster.IndexOf("EF      "), -1);

    roster.Delete(roster.IndexOf("EF      "));
    roster.Delete(3);
    roster.Delete(roster.IndexOf("aB      "));
    EXPECT_EQ(roster.Text(), "\"CD      \",\"ab      \"");
    EXPECT_EQ(events, (std::vector<std::string>{"+0AB      ", "+1CD      ", "+2ab      ", "-0"}));
}
