#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "protocol/command_text.h"
#include "protocol/command_words.h"

using namespace Protocol;

TEST(CommandText, StopsAtTheFirstNulOrThePayloadsEnd)
{
    const std::string payload("/draw AB      \0junk", 19);
    EXPECT_EQ(CommandText(payload.data(), static_cast<int>(payload.size())), "/draw AB      ");

    // A payload without NUL, followed in the receive buffer by the next
    // packet's length bytes: only the payload's own bytes become the text.
    const std::string buffer("/hele\x06\x00\x00\x00", 9);
    EXPECT_EQ(CommandText(buffer.data(), 5), "/hele");

    const auto exact = std::make_unique<char[]>(3);
    std::copy_n("abc", 3, exact.get());
    EXPECT_EQ(CommandText(exact.get(), 3), "abc") << "never reads past the payload";

    EXPECT_EQ(CommandText(payload.data(), 0), "");
    EXPECT_EQ(CommandText(payload.data(), -4), "");
    EXPECT_EQ(CommandText(nullptr, 10), "");
    EXPECT_EQ(CommandText("\0abc", 4), "");
}

TEST(CommandText, TextPacketEndsInExactlyOneNul)
{
    EXPECT_EQ(TextPacket("/init"), std::string("/init\0", 6));
    EXPECT_EQ(TextPacket(""), std::string(1, '\0'));
    const AnsiString chat = "AB      : " + std::string(3000, 'x');
    const AnsiString packet = TextPacket(chat);
    EXPECT_EQ(packet.size(), chat.size() + 1);
    EXPECT_EQ(CommandText(packet.data(), static_cast<int>(packet.size())), chat);
}

TEST(CommandWords, CompareExactlyTheWordsLeadingBytes)
{
    EXPECT_TRUE(IsCommand("/draw AB      ", Command::Draw));
    EXPECT_TRUE(IsCommand("/drawing", Command::Draw)) << "what follows the word is ignored";
    EXPECT_TRUE(IsCommand("/fleav 3", Command::FLeave));
    EXPECT_FALSE(IsCommand("/Draw", Command::Draw)) << "case-sensitive";
    EXPECT_FALSE(IsCommand("/dra", Command::Draw)) << "shorter than the word";
    EXPECT_FALSE(IsCommand("", Command::B2Y));
    EXPECT_FALSE(IsCommand("AB      : /draw", Command::Draw));
}

TEST(CommandWords, LengthsAndNoWordBeginsAnother)
{
    const std::pair<std::string_view, std::size_t> lengths[] = {
        {Command::Join, 5}, {Command::Left, 5}, {Command::Take, 5}, {Command::Leave, 6}, {Command::FLeave, 6},
        {Command::Set, 4},  {Command::Init, 5}, {Command::Draw, 5}, {Command::B2T, 4},   {Command::T2Y, 4},
        {Command::B2Y, 4},  {Command::Hit, 4},  {Command::List, 5}, {Command::Kill, 5},  {Command::Hele, 5}};
    for (const auto& [word, length] : lengths) {
        EXPECT_EQ(word.size(), length) << word;
        EXPECT_EQ(word.front(), Command::Prefix) << word;
    }
    EXPECT_EQ(std::size(Command::All), std::size(lengths));
    for (std::string_view a : Command::All)
        for (std::string_view b : Command::All)
            EXPECT_EQ(IsCommand(a, b), a == b) << a << " / " << b;
}
