#include <gtest/gtest.h>

#include "protocol/card_number_text.h"
#include "protocol/fields.h"
#include "protocol/padded_name.h"

using namespace Protocol;

TEST(Fields, RunsAreCutAtTheEnds)
{
    const AnsiString draw = "/draw AB       07";
    EXPECT_EQ(Field(draw, 7, PaddedNameLength), "AB      ");
    EXPECT_EQ(Field(draw, 16, 2), "07");
    EXPECT_EQ(Field(draw, 17, 2), "7") << "reaches past the end";
    EXPECT_EQ(Field(draw, 18, 2), "") << "starts just past the end";
    EXPECT_EQ(Field(draw, 1000, 2), "");
    EXPECT_EQ(Field("/take 3", 7, 1), "3");
    EXPECT_EQ(Field("/take 3", 9, PaddedNameLength), "") << "a text cut before the name";
    EXPECT_EQ(Field(draw, 1, 5), "/draw");
    EXPECT_EQ(Field(draw, 0, 2), "/d") << "positions below 1 count as 1";
    EXPECT_EQ(Field(draw, 3, 0), "");
    EXPECT_EQ(Field(draw, 3, -1), "");
    EXPECT_EQ(Field("", 1, 8), "");
}

TEST(Fields, FieldFromTakesTheRest)
{
    EXPECT_EQ(FieldFrom("/set AB       47", 15), "47");
    EXPECT_EQ(FieldFrom("/list ", 7), "");
    EXPECT_EQ(FieldFrom("/list", 7), "");
    EXPECT_EQ(FieldFrom("/hit AB       2003/05/17 21:04:09", 6), "AB       2003/05/17 21:04:09");
}

TEST(PaddedName, IsAlwaysEightBytes)
{
    EXPECT_EQ(PaddedName("AB"), "AB      ");
    EXPECT_EQ(PaddedName("CDEFGHIJ"), "CDEFGHIJ");
    EXPECT_EQ(PaddedName("\x8E\x52\x8E\x44"), "\x8E\x52\x8E\x44    ") << "counts bytes, not characters";
    EXPECT_EQ(PaddedName("ABCDEFGHIJ"), "ABCDEFGH");
    EXPECT_EQ(PaddedName(""), "        ");
}

TEST(CardNumberText, HasAtLeastTwoDigits)
{
    EXPECT_EQ(CardNumberText(1), "01");
    EXPECT_EQ(CardNumberText(9), "09");
    EXPECT_EQ(CardNumberText(10), "10");
    EXPECT_EQ(CardNumberText(54), "54");
    EXPECT_EQ(CardNumberText(NoCard), "999");
    EXPECT_EQ(CardNumberText(NoCard).substr(0, 2), "99");
}
