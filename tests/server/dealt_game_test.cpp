// A dealt game's exact packets: the start, a correct answer, a wrong one, a
// timeout, a hit whose target cannot be made, a forfeit, the end, the
// refusals, the moves the dealer owns, and a game that goes on after a restart.
#include <gtest/gtest.h>

#include "dealt_game_rig.h"
#include "platform/cp932.h"
#include "server/table_store.h"
#include "solver/solver.h"

namespace {

using namespace server_test;
using namespace std::chrono_literals;

std::string U(std::string_view utf8)
{
    return Cp932::FromUtf8(utf8);
}

const std::string Oya = U("親") + "      ";

// What a client received since mark (its count of received texts).
std::vector<std::string> Since(const TRigClient& client, std::size_t mark)
{
    return {client.Received.begin() + static_cast<std::ptrdiff_t>(mark), client.Received.end()};
}

std::vector<int> Field(const TGameTable& table)
{
    return {table.Bafuda.Cards, table.Bafuda.Cards + table.Bafuda.Count};
}

class DealtGameTest : public ::testing::Test {
protected:
    DealtGameTest()
        : ann(rig.Join("ann", true)), bob(rig.Join("bob", false))
    {
        rig.Send(ann, "/init");
        rig.Send(bob, "/take 0 bob     ");
        rig.Send(bob, "/take 4 bob     ");
        rig.Send(ann, "/take 2 ann     ");
    }

    void Start(std::string_view fields = " TARGET=10 PACE=1 ANSWER=5")
    {
        rig.Send(ann, "/deal ann      start" + std::string(fields));
    }

    // Deals on until the target can (or cannot) be made with the field.
    Solver::Solution DealUntil(bool makeable)
    {
        for (int i = 0; i < 60; ++i) {
            const auto solution = Solver::Solve(Field(rig.Table()), 10, Solver::Rule::AnySubset, 100ms);
            if (rig.Table().Bafuda.Count > 0 && (solution.verdict == Solver::Verdict::Yes) == makeable)
                return solution;
            rig.Advance(1s);
        }
        ADD_FAILURE() << "the deal never gave such a field";
        return {};
    }

    TDealtGameRig rig;
    TRigClient& ann;
    TRigClient& bob;
};

TEST_F(DealtGameTest, StartSeatsEachPlayerOnceAndDealsTheFirstRoundInTheDealersName)
{
    const std::size_t annMark = ann.Received.size(), bobMark = bob.Received.size();
    Start();
    const std::string chat = U("【親】対局を始めます 目標 10 ・ 1秒ごとに配札 ・ 解答 5秒");
    EXPECT_EQ(Since(bob, bobMark), (std::vector<std::string>{"/init", "/take 0 bob     ", "/take 2 ann     ", chat}));
    EXPECT_EQ(Since(ann, annMark), (std::vector<std::string>{"/init", "/take 0 bob     ", "/take 2 ann     ",
                                                             "/game start ann      10 1 5", chat}));
    const std::size_t mark = bob.Received.size();
    rig.Advance(2999ms);
    EXPECT_EQ(bob.Received.size(), mark);
    rig.Advance(1ms);
    const auto dealt = Since(bob, mark);
    ASSERT_EQ(dealt.size(), 2u);
    EXPECT_EQ(dealt[0], "/set " + Oya + " 10");
    EXPECT_TRUE(dealt[1].starts_with("/draw " + Oya + " ")) << dealt[1];
    EXPECT_EQ(ann.Received[ann.Received.size() - 2], "/game round 1");
    EXPECT_EQ(rig.Table().Bafuda.Count, 1);
}

TEST_F(DealtGameTest, ACorrectAnswerInTheChatTakesTheFieldAndTheNextRoundFollows)
{
    Start();
    rig.Advance(3s);
    const Solver::Solution solution = DealUntil(true);
    const int fieldCards = rig.Table().Bafuda.Count;
    std::size_t mark = bob.Received.size();
    rig.Send(ann, "/hit ann     ");
    auto got = Since(bob, mark);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_TRUE(got[0].starts_with("/hit ann      "));
    EXPECT_EQ(got[1], U("【親】annの解答を待ちます（5秒）"));
    EXPECT_EQ(ann.Received.back(), U("【親】annの解答を待ちます（5秒）"));
    EXPECT_EQ(ann.Received[ann.Received.size() - 2], "/game answer ann      5");

    // Nothing is dealt while the answer is open.
    rig.Advance(4s);
    EXPECT_EQ(rig.Table().Bafuda.Count, fieldCards);
    mark = bob.Received.size();
    rig.Send(bob, "ann     : " + solution.expression);  // any client may carry it; identity aside, it is ann's line
    got = Since(bob, mark);
    EXPECT_TRUE(got.empty()) << "bob may not speak in ann's name";
    rig.Send(ann, "ann     : " + solution.expression);
    got = Since(bob, mark);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(3 + fieldCards));
    EXPECT_EQ(got[0], "ann     : " + solution.expression);
    EXPECT_TRUE(got[1].starts_with(U("【判定】") + "ann      " + solution.expression + " = 10")) << got[1];
    for (int i = 0; i < fieldCards; ++i)
        EXPECT_EQ(got[static_cast<std::size_t>(2 + i)], "/B2T 2 ann     ");
    EXPECT_EQ(got.back(), U("【親】annが") + std::to_string(fieldCards) + U("枚獲得"));
    EXPECT_EQ(ann.Received[ann.Received.size() - 2], "/game take ann      " + std::to_string(fieldCards));
    EXPECT_EQ(rig.Table().Tefuda[2].Count, fieldCards);

    mark = ann.Received.size();
    rig.Advance(3s);
    got = Since(ann, mark);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0], "/game round 2");
    EXPECT_TRUE(got[1].starts_with("/draw " + Oya));
}

TEST_F(DealtGameTest, AWrongAnswerATimeoutAndAnUnmakeableTargetArePenalties)
{
    Start();
    rig.Advance(3s);
    // Give ann a card to lose first: a take of a makeable field.
    const Solver::Solution solution = DealUntil(true);
    rig.Send(ann, "/hit ann     ");
    rig.Send(ann, "/answer ann      " + solution.expression);
    ASSERT_GT(rig.Table().Tefuda[2].Count, 0);
    rig.Advance(3s);

    DealUntil(true);
    int hand = rig.Table().Tefuda[2].Count;
    std::size_t mark = bob.Received.size();
    rig.Send(ann, "/hit ann     ");
    rig.Send(ann, "/answer ann      1+1");
    auto got = Since(bob, mark);
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(got[got.size() - 2], "/T2Y 2 ann     ");
    EXPECT_EQ(got.back(), U("【親】ann お手つき（解答が違います）"));
    EXPECT_EQ(ann.Received[ann.Received.size() - 2], "/game penalty ann      answer");
    EXPECT_EQ(rig.Table().Tefuda[2].Count, hand - 1);

    // Penalised: the next hit before a new card is ignored by the dealer.
    mark = ann.Received.size();
    rig.Send(ann, "/hit ann     ");
    for (const std::string& text : Since(ann, mark))
        EXPECT_FALSE(text.starts_with("/game")) << text;

    rig.Advance(1s);  // a new card lifts the penalty
    DealUntil(true);
    hand = rig.Table().Tefuda[2].Count;
    rig.Send(ann, "/hit ann     ");
    mark = ann.Received.size();
    rig.Advance(5s);
    got = Since(ann, mark);
    ASSERT_FALSE(got.empty());
    EXPECT_NE(std::find(got.begin(), got.end(), "/game penalty ann      time"), got.end());
    EXPECT_EQ(rig.Table().Tefuda[2].Count, std::max(0, hand - 1));

    DealUntil(false);
    hand = rig.Table().Tefuda[2].Count;
    mark = ann.Received.size();
    rig.Send(ann, "/hit ann     ");
    got = Since(ann, mark);
    EXPECT_NE(std::find(got.begin(), got.end(), "/game penalty ann      wrong"), got.end());
    EXPECT_EQ(std::count_if(got.begin(), got.end(), [](const std::string& t) { return t.starts_with("/game answer"); }),
              0);
    EXPECT_EQ(rig.Table().Tefuda[2].Count, std::max(0, hand - 1));
}

TEST_F(DealtGameTest, AForfeitReturnsTheHandAndTheEndGivesStandingsOnce)
{
    Start(" TARGET=10 PACE=1 ANSWER=5");
    rig.Advance(3s);
    const Solver::Solution solution = DealUntil(true);
    rig.Send(bob, "/hit bob     ");
    rig.Send(bob, "bob     : " + solution.expression);
    const int bobCards = rig.Table().Tefuda[0].Count;
    ASSERT_GT(bobCards, 0);

    std::size_t mark = ann.Received.size();
    rig.Send(bob, "/leave 0");
    auto got = Since(ann, mark);
    ASSERT_EQ(got.size(), static_cast<std::size_t>(1 + bobCards));
    EXPECT_EQ(got[0], "/leave 0");
    for (int i = 0; i < bobCards; ++i)
        EXPECT_EQ(got[static_cast<std::size_t>(1 + i)], "/T2Y 0 bob     ");
    EXPECT_EQ(rig.Table().Tefuda[0].Count, 0);

    // ann takes every field it can until the deck runs out.
    mark = ann.Received.size();
    for (int i = 0; i < 2000 && rig.Table().Game().Running(); ++i) {
        const auto now = Solver::Solve(Field(rig.Table()), 10, Solver::Rule::AnySubset, 100ms);
        if (rig.Table().Game().Hitter().empty() && now.verdict == Solver::Verdict::Yes) {
            rig.Send(ann, "/hit ann     ");
            rig.Send(ann, "/answer ann      " + now.expression);
        } else {
            rig.Advance(1s);
        }
    }
    got = Since(ann, mark);
    std::vector<std::string> results;
    for (const std::string& text : got)
        if (text.starts_with("/game result ") || text.starts_with("/game end "))
            results.push_back(text);
    const std::string annCards = std::to_string(rig.Table().Tefuda[2].Count);
    EXPECT_EQ(results, (std::vector<std::string>{"/game result 1 " + annCards + " ann     ",
                                                 "/game result 2 0 bob     ", "/game end deck"}));
    EXPECT_EQ(got.back(), U("【親】終局 1位 ann ") + annCards + U("枚 2位 bob 0枚"));
    EXPECT_FALSE(rig.Table().Game().Running());
    EXPECT_EQ(rig.Table().NextWake(), std::chrono::steady_clock::time_point{});
}

TEST_F(DealtGameTest, RefusalsGoToTheSenderAloneAndTheDealersMovesAreDroppedFromPlayers)
{
    std::size_t bobMark = bob.Received.size();
    rig.Send(ann, "/deal ann      start PACE=0");
    EXPECT_EQ(ann.Received.back(), "/game refused " + U("PACE は 1～60 秒です"));
    rig.Send(ann, "/deal ann      start TARGET=1000");
    EXPECT_EQ(ann.Received.back(), "/game refused " + U("TARGET は 1～999 か random です"));
    EXPECT_EQ(bob.Received.size(), bobMark);
    EXPECT_FALSE(rig.Table().Game().Running());

    TRigClient& cy = rig.Join("cy", true);
    rig.Send(cy, "/deal cy       start");
    EXPECT_EQ(cy.Received.back(), "/game refused " + U("席に着いてから対局を始めてください"));

    Start();
    rig.Send(ann, "/deal ann      start");
    EXPECT_EQ(ann.Received.back(), "/game refused " + U("対局はもう始まっています"));
    rig.Send(cy, "/deal cy       stop");
    EXPECT_EQ(cy.Received.back(), "/game refused " + U("対局を止められるのは始めた人です"));

    rig.Advance(3s);
    const int deck = rig.Table().Yamafuda.Count;
    bobMark = bob.Received.size();
    rig.Send(bob, "/draw bob     ");
    rig.Send(bob, "/init");
    rig.Send(bob, "/set bob      12");
    rig.Send(bob, "/take 2 bob     ");  // ann's seat
    rig.Send(bob, "/take 5 bob     ");  // a second seat
    EXPECT_EQ(bob.Received.size(), bobMark);
    EXPECT_EQ(rig.Table().Yamafuda.Count, deck);
    EXPECT_EQ(rig.Server().Metrics.Counter(KivolMetrics::DroppedPackets, {{"why", "game"}}), 5);

    // The host stops its game: the standings, then the table is free again.
    rig.Send(ann, "/deal ann      stop");
    EXPECT_EQ(ann.Received[ann.Received.size() - 2], "/game end stop");
    rig.Send(bob, "/take 5 bob     ");
    EXPECT_EQ(rig.Table().Table.Occupants[5], "bob     ");
}

TEST_F(DealtGameTest, NobodyMayJoinInTheDealersName)
{
    TRigClient& fake = rig.Join(U("親"), true);
    ASSERT_FALSE(fake.Received.empty());
    EXPECT_EQ(fake.Received.back(), "/refused claimed " + U("この名前は使えません"));
    EXPECT_TRUE(fake.Connection.Closing());
    TRigClient& fake1 = rig.Join(U("親"), false);
    EXPECT_TRUE(fake1.Received.empty());
    EXPECT_TRUE(fake1.Connection.Closing());
}

TEST_F(DealtGameTest, AGameSavedForARestartWaitsForASeatedPlayerAndGoesOn)
{
    Start();
    rig.Advance(3s);
    const Solver::Solution solution = DealUntil(true);
    rig.Send(ann, "/hit ann     ");
    rig.Advance(2s);  // 3 s of the answer left
    const std::string token = ann.Token;
    std::vector<TSavedTable> tables;
    ASSERT_TRUE(ReadTablesFile(TablesFileBytes(SaveTables(rig.Server())), tables).isEmpty());
    ASSERT_TRUE(tables[0].Game.has_value());

    TDealtGameRig restarted(2);
    RestoreTables(restarted.Server(), tables);
    EXPECT_TRUE(restarted.Table().Game().Running());
    // Everyone is away: the dealer waits (within the grace period).
    restarted.Advance(100s);
    EXPECT_EQ(restarted.Table().Game().Hitter(), "ann     ");

    TRigClient& back = restarted.Join("ann", true, token);
    const auto state = std::find(back.Received.begin(), back.Received.end(), "/game state ann      10 1 5 1");
    ASSERT_NE(state, back.Received.end());
    ASSERT_NE(state + 1, back.Received.end());
    // The answer has its 3 s left and the 3 s that follow a return.
    EXPECT_EQ(*(state + 1), "/game answer ann      6");
    // The answer still counts, and the cards go where they went before.
    restarted.Send(back, "/answer ann      " + solution.expression);
    EXPECT_GT(restarted.Table().Tefuda[2].Count, 0);
    EXPECT_EQ(back.Model.Table().Hands[2], restarted.Table().Tefuda[2].Count);
}

TEST(DealtGameFile, AnOlderTablesFileWithoutGamesStillLoads)
{
    TDealtGameRig rig;
    std::vector<TSavedTable> tables;
    QByteArray bytes = TablesFileBytes(SaveTables(rig.Server()));
    bytes.replace("\"game\": null", "\"unused\": 0");
    ASSERT_TRUE(ReadTablesFile(bytes, tables).isEmpty());
    EXPECT_FALSE(tables[0].Game.has_value());
}

TEST_F(DealtGameTest, BotsJoinSitPlayAndLeaveAsPlayersAndALevel1ClientSeesOnlyLevel1Words)
{
    rig.Send(bob, "/leave 0");
    rig.Send(bob, "/leave 4");
    const std::size_t bobMark = bob.Received.size();
    Start(" TARGET=random PACE=1 BOTS=2 LEVEL=5");
    const std::string robo1 = U("ロボ1") + "   ", robo2 = U("ロボ2") + "   ";
    auto got = Since(bob, bobMark);
    ASSERT_GE(got.size(), 6u);
    EXPECT_EQ(got[0], "/init");
    EXPECT_EQ(got[1], "/take 2 ann     ");
    EXPECT_EQ(got[2], "/join " + robo1);
    EXPECT_TRUE(got[3].starts_with("/list ")) << got[3];
    EXPECT_EQ(got[4], "/take 0 " + robo1);
    EXPECT_EQ(got[7], "/take 1 " + robo2);
    const auto botLine = std::find(ann.Received.begin(), ann.Received.end(), "/game bot " + robo1 + " 5");
    EXPECT_NE(botLine, ann.Received.end());

    // ann never hits: the bots take every field, in their own names, until the
    // deck is out (a card a second comes faster than a bot sees a solution, so
    // they take full fields).
    rig.Advance(30min);
    EXPECT_FALSE(rig.Table().Game().Running());
    int botHits = 0;
    for (const std::string& text : Since(bob, bobMark)) {
        ASSERT_FALSE(text.starts_with("/game") || text.starts_with("/judge") || text.starts_with("/state")) << text;
        if (text.starts_with("/hit ")) {
            ++botHits;
            EXPECT_TRUE(text.starts_with("/hit " + robo1) || text.starts_with("/hit " + robo2)) << text;
        }
    }
    EXPECT_GE(botHits, 4);
    EXPECT_EQ(rig.Table().Tefuda[2].Count, 0);
    EXPECT_EQ(rig.Table().Roster.IndexOf(robo1), -1);
    EXPECT_EQ(rig.Table().Roster.IndexOf(robo2), -1);
    EXPECT_EQ(bob.Model.Table().Occupants[0].value_or(""), "");
}

}  // namespace
