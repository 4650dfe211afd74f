#include <gtest/gtest.h>

#include "platform/cp932.h"

#include <utility>

TEST(Cp932, RoundTripsJapaneseText)
{
    const QString text = QStringLiteral("へぇ～ 山札ｗ");
    const AnsiString bytes = Cp932::Encode(text);
    EXPECT_EQ(bytes, "\x82\xd6\x82\xa5\x81\x60 \x8e\x52\x8e\x44\x82\x97");
    EXPECT_EQ(Cp932::Decode(bytes), text);
    EXPECT_EQ(Cp932::ByteLength(QStringLiteral("名前ab")), 6);
    EXPECT_EQ(Cp932::ToUtf8(Cp932::FromUtf8("警告！")), "警告！");
}

TEST(Cp932, InvalidAndTruncatedBytesBecomeReplacementCharacters)
{
    const QChar bad(0xFFFD);
    EXPECT_EQ(Cp932::Decode("a\x82"), QStringLiteral("a") + bad) << "lead byte cut off at the end";
    EXPECT_EQ(Cp932::Decode("\x82 b"), QString(bad) + QStringLiteral(" b")) << "an ASCII byte after a lead byte survives";
    EXPECT_EQ(Cp932::Decode(std::string_view("x\0y", 3)), QString::fromUtf16(u"x\0y", 3));
    // Every byte value, alone and in pairs, decodes without reading past the input.
    for (int a = 0; a < 256; ++a) {
        const char one[1] = {static_cast<char>(a)};
        EXPECT_FALSE(Cp932::Decode(std::string_view(one, 1)).isEmpty());
        for (int b = 0; b < 256; b += 7) {
            const char two[2] = {static_cast<char>(a), static_cast<char>(b)};
            Cp932::Decode(std::string_view(two, 2));
        }
    }
}

TEST(Cp932, UnwritableCharactersBecomeQuestionMarks)
{
    EXPECT_EQ(Cp932::Encode(QStringLiteral("a😀b")), "a?b");
    EXPECT_EQ(Cp932::FromUtf8("x\xff" "y"), "x?y") << "invalid UTF-8 input";
}

TEST(Cp932, WritesOtherSystemsCharactersForTheSameCodes)
{
    // What a Japanese input method elsewhere gives, and what Windows itself
    // writes, for the same code.
    const std::pair<const char*, const char*> pairs[] = {
        {"\u301C", "\uFF5E"}, {"\u2016", "\u2225"}, {"\u2212", "\uFF0D"}, {"\u00A2", "\uFFE0"},
        {"\u00A3", "\uFFE1"}, {"\u00AC", "\uFFE2"}, {"\u2014", "\u2015"}, {"\u00A6", "\uFFE4"},
    };
    for (const auto& [other, windows] : pairs) {
        const std::string text = std::string("a") + other + "b";
        ASSERT_EQ(Cp932::FromUtf8Exactly(text), Cp932::FromUtf8(std::string("a") + windows + "b")) << other;
        EXPECT_EQ(Cp932::FromUtf8(text).size(), 4u) << other;
    }
    EXPECT_EQ(Cp932::FromUtf8Exactly("\u301C\u6CE2"), "\x81\x60\x94\x67");
    EXPECT_EQ(Cp932::FromUtf8Exactly("a\U0001F600b"), std::nullopt);
    EXPECT_EQ(Cp932::FromUtf8Exactly("x\xff" "y"), std::nullopt);
    EXPECT_EQ(Cp932::FromUtf8Exactly("?"), "?");
}

TEST(Cp932, LeadBytes)
{
    EXPECT_TRUE(Cp932::IsLeadByte(0x81));
    EXPECT_TRUE(Cp932::IsLeadByte(0x9F));
    EXPECT_TRUE(Cp932::IsLeadByte(0xE0));
    EXPECT_TRUE(Cp932::IsLeadByte(0xFC));
    EXPECT_FALSE(Cp932::IsLeadByte(0x80));
    EXPECT_FALSE(Cp932::IsLeadByte(0xA0));
    EXPECT_FALSE(Cp932::IsLeadByte(0xB1)) << "half-width katakana are single bytes";
    EXPECT_FALSE(Cp932::IsLeadByte('/'));
}
