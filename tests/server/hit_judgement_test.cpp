// Hit judgement at the server: the verdict sent to level-2 connections after
// each hit, the first-hit mark, answers judged in front of everyone, and the
// solving budget that keeps a storm of hits from slowing the table.

#include "game_server_fixture.h"
#include "protocol/command_text.h"
#include "table/hit_judge.h"

using namespace std::chrono_literals;
using Protocol::PaddedName;

namespace server_test {

namespace {

// A judge whose search costs what the test says, on a clock the test moves.
struct CostedJudge {
    explicit CostedJudge(std::chrono::milliseconds cost) : judge(50ms, budget)
    {
        budget.Now = [this] { return now; };
        judge.Solve = [this, cost](const std::vector<int>&, std::int64_t, std::chrono::nanoseconds limit) {
            ++solves;
            const auto spent = std::min<std::chrono::nanoseconds>(cost, limit);
            now += spent;
            return Solver::Solution{spent < cost ? Solver::Verdict::Undecided : Solver::Verdict::No, {}};
        };
    }
    TSolveBudget budget;
    THitJudge judge;
    std::chrono::steady_clock::time_point now{};
    int solves = 0;
};

}  // namespace

TEST(HitJudge, OneFieldAndTargetIsSolvedOnceAndSolvingStaysWithinItsBudget)
{
    CostedJudge costed(30ms);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(costed.judge.Judge({1, 2, 3}, 7).Verdict, 'N');
    EXPECT_EQ(costed.solves, 1) << "repeated hits reuse the verdict";

    // A storm of target changes: solving stops at the budget, the verdict is "?".
    for (std::int64_t target = 100; target < 200; ++target)
        costed.judge.Judge({1, 2, 3}, target);
    EXPECT_EQ(costed.solves, 4) << "30 + 30 + 30 + the 10 ms left";
    EXPECT_EQ(costed.judge.Judge({1, 2, 3}, 500).Verdict, '?');
    EXPECT_EQ(costed.solves, 4);

    // The budget is per second; a search cut short by it is tried again.
    costed.now += 1s;
    EXPECT_EQ(costed.judge.Judge({1, 2, 3}, 199).Verdict, 'N');
    EXPECT_EQ(costed.solves, 5);
    EXPECT_EQ(costed.judge.Judge({}, 5).Verdict, '?') << "an empty field is not judged";
    EXPECT_EQ(costed.judge.Judge({1}, std::nullopt).Verdict, '?') << "nor a target that is no number";
    EXPECT_EQ(costed.solves, 5);
}

class HitJudgementTest : public GameServerTest {
protected:
    HitJudgementTest() : GameServerTest(TGameRules()) {}

    std::unique_ptr<LoopbackPeer> JoinAs(std::string_view name, bool level2)
    {
        auto peer = Connect();
        std::string join = Nul("/join " + PaddedName(name));
        if (level2)
            join += "KIVOL/2";
        EXPECT_TRUE(peer->SendPacket(join));
        EXPECT_FALSE(ReadUntil(*peer, level2 ? "/state end" : "/list").empty());
        return peer;
    }

    // Texts received up to and including the first that begins with prefix.
    static std::vector<std::string> ReadUntil(LoopbackPeer& peer, std::string_view prefix)
    {
        std::vector<std::string> texts;
        for (std::optional<std::string> packet; (packet = peer.NextPacket());) {
            texts.push_back(Protocol::CommandText(packet->data(), static_cast<int>(packet->size())));
            if (texts.back().rfind(prefix, 0) == 0)
                return texts;
        }
        return {};
    }

    // Puts the cards on top of the deck, the first drawn first.
    void StackDeck(std::initializer_list<int> cards)
    {
        int top = game.Yamafuda.Count - 1;
        for (int card : cards) {
            const auto at = std::find(game.Yamafuda.Cards, game.Yamafuda.Cards + game.Yamafuda.Count, card);
            std::swap(*at, game.Yamafuda.Cards[top--]);
        }
    }
};

TEST_F(HitJudgementTest, HitsAreJudgedForLevel2OnlyAndAnswersInFrontOfEveryone)
{
    auto a = JoinAs("AA", true);
    auto b = JoinAs("BB", true);
    auto c = JoinAs("CC", false);
    const std::string A = PaddedName("AA"), B = PaddedName("BB");
    ASSERT_TRUE(a->SendPacket(Nul("/init")));
    ASSERT_FALSE(ReadUntil(*a, "/init").empty());
    StackDeck({1, 2, 3, 17, 53});  // values 1, 2, 3, 4 and a joker
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(a->SendPacket(Nul("/draw " + A)));
    ASSERT_TRUE(a->SendPacket(Nul("/set " + A + " 11")));
    ASSERT_FALSE(ReadUntil(*b, "/set").empty());
    ASSERT_TRUE(b->SendPacket(Nul("/hit " + B)));
    const std::vector<std::string> atA = ReadUntil(*a, "/judge");
    ASSERT_FALSE(atA.empty());
    ASSERT_EQ(atA.back().rfind("/judge " + B + " Y 1 ", 0), 0u) << atA.back();
    EXPECT_GT(atA.back().size(), ("/judge " + B + " Y 1 ").size()) << "with an expression";
    EXPECT_EQ(ReadUntil(*b, "/judge").back(), atA.back());

    ASSERT_TRUE(a->SendPacket(Nul("/hit " + A)));
    EXPECT_EQ(ReadUntil(*a, "/judge").back().rfind("/judge " + A + " Y 0 ", 0), 0u);

    // Answers: a player who did not hit is ignored; each hit answers once.
    ASSERT_TRUE(c->SendPacket(Nul("/answer " + PaddedName("CC") + " 11")));
    ASSERT_TRUE(b->SendPacket(Nul("/answer " + B + " (4+3)*2-3")));
    ASSERT_TRUE(b->SendPacket(Nul("/answer " + B + " 11")));
    ASSERT_FALSE(ReadUntil(*a, "\x81\x79").empty());
    ASSERT_TRUE(a->SendPacket(Nul("/answer " + A + " 13-13")));
    const std::vector<std::string> atC = ReadUntil(*c, Cp932::FromUtf8("【判定】" + A));
    std::vector<std::string> verdicts;
    for (const std::string& text : atC)
        if (text.rfind("\x81\x79", 0) == 0)  // "【"
            verdicts.push_back(text);
    EXPECT_EQ(verdicts, (std::vector<std::string>{
                            Cp932::FromUtf8("【判定】" + B + " (4+3)*2-3 = 11 正解"),
                            Cp932::FromUtf8("【判定】" + A + " 13-13 場札にない数"),
                        }))
        << "the joker stands for one card, the 3 it took in B's answer included";
    for (const std::string& text : atC)
        EXPECT_NE(text.rfind("/judge", 0), 0u) << "a level-1 client never gets a verdict";

    // A drawn card makes the next hit the first again; a bad target is "?".
    ASSERT_TRUE(a->SendPacket(Nul("/set " + A + " x7")));
    ASSERT_TRUE(a->SendPacket(Nul("/hit " + A)));
    EXPECT_EQ(ReadUntil(*a, "/judge").back(), "/judge " + A + " ? 1 ");
    ASSERT_TRUE(a->SendPacket(Nul("/answer " + A + " (1")));
    EXPECT_EQ(ReadUntil(*a, "\x81\x79").back(), Cp932::FromUtf8("【判定】" + A + " (1 式が読めません"));
}

}  // namespace server_test
