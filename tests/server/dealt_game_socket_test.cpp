// A dealt game over real sockets at the main table: an original client
// (level 1) sits, sees the dealer deal, hits and answers in the chat, while a
// level-2 client hosts the game and stops it. Every packet the level-1 client
// receives is a level-1 word, and after every move of the dealer its picture
// of the table is the server's.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "client/table_model.h"
#include "dealt_game_rig.h"
#include "game_server_fixture.h"
#include "platform/cp932.h"
#include "protocol/level2.h"
#include "solver/solver.h"

namespace {

using namespace server_test;

const std::string Dealer = Cp932::FromUtf8("親") + "      ";

class DealtGameOverSockets : public GameServerTest {
protected:
    DealtGameOverSockets() : GameServerTest(IdentityRules()) {}

    // Reads what reached the level-1 player into its picture until the
    // condition holds.
    bool Level1Until(LoopbackPeer& peer, const std::function<bool()>& condition, int timeoutMs = 60000)
    {
        return WaitUntil(
            [&] {
                while (auto packet = peer.TryNextPacket()) {
                    const std::string text(Protocol::CommandText(packet->data(), static_cast<int>(packet->size())));
                    level1.push_back(text);
                    EXPECT_TRUE(IsLevel1Word(text)) << "the level-1 client got " << Cp932::ToUtf8(text);
                    if (TTableModel::IsTableCommand(text))
                        picture.Apply(text);
                }
                return condition();
            },
            timeoutMs);
    }

    // What reached the level-2 host so far.
    void ReadLevel2(LoopbackPeer& peer)
    {
        while (auto packet = peer.TryNextPacket())
            level2.emplace_back(Protocol::CommandText(packet->data(), static_cast<int>(packet->size())));
    }

    bool Level1Got(std::string_view start) const
    {
        for (const std::string& text : level1)
            if (text.starts_with(start))
                return true;
        return false;
    }

    bool Level2Got(std::string_view start) const
    {
        for (const std::string& text : level2)
            if (text.starts_with(start))
                return true;
        return false;
    }

    TTableModel picture;
    std::vector<std::string> level1, level2;
};

TEST_F(DealtGameOverSockets, ALevel1PlayerHitsAndAnswersInTheChatAndItsTableIsAlwaysTheServers)
{
    auto taro = Connect();
    Join(*taro, "taro");
    auto hana = Connect();
    ASSERT_TRUE(hana->SendPacket(Nul("/join hana    ") + std::string(Protocol::Level2::Announcement)));
    ASSERT_TRUE(WaitUntil([&] {
        ReadLevel2(*hana);
        return Level2Got(Protocol::Level2::StateEnd);
    }));
    ASSERT_TRUE(taro->SendPacket(Nul("/take 0 taro    ")));
    ASSERT_TRUE(hana->SendPacket(Nul("/take 3 hana    ")));
    ASSERT_TRUE(Level1Until(*taro, [&] { return picture.Table().Occupants[3].has_value(); }));
    ASSERT_TRUE(hana->SendPacket(Nul("/deal hana     start TARGET=random PACE=1 ANSWER=5")));

    // Each card the dealer deals: the picture becomes the server's, then
    // taro looks for a solution on it and, once, hits and answers in the chat.
    bool answered = false;
    std::size_t seen = 0;
    const auto dealt = [&] {
        while (seen < level1.size())
            if (level1[seen++].starts_with("/draw " + Dealer))
                return true;
        return false;
    };
    while (!answered) {
        ASSERT_TRUE(Level1Until(*taro, dealt)) << "no card dealt";
        ASSERT_TRUE(Level1Until(*taro, [&] { return PictureDifference(picture.Table(), game).empty(); }))
            << PictureDifference(picture.Table(), game);
        std::vector<int> field;
        for (const TFieldCard& card : picture.Table().Field)
            field.push_back(std::atoi(card.Number.c_str()));
        const Solver::Solution solution = Solver::Solve(field, std::atoll(picture.Table().Target.value_or("").c_str()),
                                                        Solver::Rule::AnySubset, std::chrono::milliseconds(500));
        if (solution.verdict != Solver::Verdict::Yes)
            continue;
        ASSERT_TRUE(taro->SendPacket(Nul("/hit taro    ")));
        ASSERT_TRUE(Level1Until(*taro, [&] { return Level1Got(Cp932::FromUtf8("【親】taroの解答を待ちます")); }));
        ASSERT_TRUE(taro->SendPacket(Nul("taro    : " + solution.expression)));
        answered = true;
    }
    ASSERT_TRUE(Level1Until(*taro, [&] { return Level1Got(Cp932::FromUtf8("【親】taroが")); }));
    ASSERT_TRUE(Level1Until(*taro, [&] { return PictureDifference(picture.Table(), game).empty(); }))
        << PictureDifference(picture.Table(), game);
    const int taken = picture.Table().Hands[0];
    EXPECT_GT(taken, 0);

    ASSERT_TRUE(hana->SendPacket(Nul("/deal hana     stop")));
    ASSERT_TRUE(Level1Until(*taro, [&] { return Level1Got(Cp932::FromUtf8("【親】終局")); }));
    ASSERT_TRUE(WaitUntil([&] {
        ReadLevel2(*hana);
        return Level2Got("/game end stop");
    }));
    EXPECT_TRUE(Level2Got("/game result 1 " + std::to_string(taken) + " taro    "));
    EXPECT_TRUE(PictureDifference(picture.Table(), game).empty()) << PictureDifference(picture.Table(), game);

    // The whole game as the original client received it, for whoever wants to read it.
    if (const char* path = std::getenv("KIVOL_TRANSCRIPT")) {
        std::ofstream transcript(path);
        for (const std::string& text : level1)
            transcript << Cp932::ToUtf8(text) << '\n';
    }
}

}  // namespace
