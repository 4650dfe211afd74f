// The client's picture of a dealt game fed with what the real server (in
// memory, its clock moved by the test) sends two level-2 players through a
// whole game: hits answered right, wrong and not at all, a hit that cannot be
// made, the end with its standings, もう一局 with the same fields, a late
// joiner's catch-up, a refusal and a stop.
#include <gtest/gtest.h>

#include "client/dealt_game.h"
#include "platform/cp932.h"
#include "server/dealt_game_rig.h"

namespace {

using namespace server_test;
using namespace std::chrono_literals;

// One player's models, kept up with what its connection received.
struct TFollower {
    explicit TFollower(TRigClient& client) : Client(client) {}

    TRigClient& Client;
    TDealtGame Game;
    std::size_t Read = 0;
    int Penalties = 0;
    // The expression of this player's latest reachable verdict.
    std::string Expression;
    char Verdict = ' ';

    void Follow(std::chrono::steady_clock::time_point now)
    {
        for (; Read < Client.Received.size(); ++Read) {
            const std::string& text = Client.Received[Read];
            if (text.starts_with("/game penalty "))
                ++Penalties;
            if (text.starts_with("/judge " + Client.Name + " ") && text.size() > 20) {
                Verdict = text[16];
                Expression = text.substr(20);
            }
            const bool isGame = text.starts_with("/game ");
            EXPECT_EQ(Game.Apply(text, now).has_value(), isGame) << text;
        }
    }
};

class DealtGameModel : public ::testing::Test {
protected:
    DealtGameModel() : ann(rig.Join("ann", true)), bob(rig.Join("bob", true))
    {
        rig.Send(ann.Client, "/init");
        rig.Send(ann.Client, "/take 0 ann     ");
        rig.Send(bob.Client, "/take 3 bob     ");
        Follow();
    }

    void Follow()
    {
        ann.Follow(rig.Now());
        bob.Follow(rig.Now());
    }

    void Send(TFollower& player, const std::string& text)
    {
        rig.Send(player.Client, text);
        Follow();
    }

    void Advance(std::chrono::milliseconds by)
    {
        rig.Advance(by);
        Follow();
    }

    TDealOptions options = [] {
        TDealOptions o;
        o.Target = std::nullopt;
        o.Pace = 1;
        o.Answer = 5;
        return o;
    }();
    TDealtGameRig rig{7};
    TFollower ann;
    TFollower bob;
};

TEST_F(DealtGameModel, FollowsAWholeGameToItsStandingsAndStartsTheSameAgain)
{
    Send(ann, DealStartText(ann.Client.Name, options));
    ASSERT_TRUE(ann.Game.Running());
    EXPECT_EQ(bob.Game.Host(), ann.Client.Name);
    EXPECT_EQ(bob.Game.Options(), options);

    Send(bob, DealStartText(bob.Client.Name, options));
    EXPECT_EQ(bob.Game.Refusal(), Cp932::FromUtf8("対局はもう始まっています"));
    EXPECT_TRUE(ann.Game.Refusal().empty()) << "a refusal goes to its sender alone";

    // ann hits at every dealt card: a reachable field is answered right, or
    // wrongly at every third answer, or not at all at every fifth.
    int answers = 0, cardsSeen = 0, takes = 0;
    for (int step = 0; step < 3000 && ann.Game.Running(); ++step) {
        Advance(250ms);
        if (ann.Game.Hitter() || ann.Client.Model.FieldCount() == cardsSeen)
            continue;
        cardsSeen = ann.Client.Model.FieldCount();
        if (cardsSeen == 0)
            continue;
        ann.Verdict = ' ';
        Send(ann, "/hit " + ann.Client.Name);
        if (!ann.Game.Hitter())
            continue;  // cannot be made (a penalty at once), or still penalised
        EXPECT_EQ(bob.Game.Hitter(), ann.Client.Name);
        EXPECT_EQ(bob.Game.SecondsLeft(rig.Now()), options.Answer);
        EXPECT_EQ(bob.Game.SecondsLeft(rig.Now() + 4500ms), 1) << "rounded up";
        ++answers;
        if (answers % 5 == 0) {
            Advance(6s);
            EXPECT_EQ(bob.Game.LastPenalty(), (TGamePenalty{ann.Client.Name, TGamePenalty::TWhy::Time}));
        } else if (answers % 3 == 0 || ann.Verdict != 'Y') {
            Send(ann, "/answer " + ann.Client.Name + " 0");
            EXPECT_EQ(bob.Game.LastPenalty(), (TGamePenalty{ann.Client.Name, TGamePenalty::TWhy::Answer}));
        } else {
            const int field = ann.Client.Model.FieldCount();
            Send(ann, "/answer " + ann.Client.Name + " " + ann.Expression);
            ASSERT_TRUE(bob.Game.LastTake().has_value());
            EXPECT_EQ(*bob.Game.LastTake(), std::pair(ann.Client.Name, field));
            ++takes;
            cardsSeen = 0;
        }
        EXPECT_FALSE(bob.Game.Hitter()) << "the answer closed";
    }
    ASSERT_TRUE(ann.Game.Ended());
    EXPECT_GT(takes, 0);
    EXPECT_GT(ann.Penalties, 0);
    EXPECT_EQ(ann.Game.EndReason(), "deck");
    EXPECT_EQ(static_cast<int>(bob.Game.Penalties().size()), bob.Penalties);
    // The standings are the hands, best first, one line per player.
    const auto& hands = bob.Client.Model.Table().Hands;
    const std::vector<TGameStanding> expected =
        hands[0] >= hands[3]
            ? std::vector<TGameStanding>{{1, hands[0], ann.Client.Name}, {hands[3] == hands[0] ? 1 : 2, hands[3], bob.Client.Name}}
            : std::vector<TGameStanding>{{1, hands[3], bob.Client.Name}, {2, hands[0], ann.Client.Name}};
    EXPECT_EQ(bob.Game.Standings(), expected);
    EXPECT_EQ(ann.Game.Standings(), expected);

    // もう一局 from the other player: the same fields again, a fresh picture.
    Send(bob, DealStartText(bob.Client.Name, bob.Game.Options()));
    ASSERT_TRUE(ann.Game.Running());
    EXPECT_EQ(ann.Game.Host(), bob.Client.Name);
    EXPECT_EQ(ann.Game.Options(), options);
    EXPECT_TRUE(ann.Game.Standings().empty() && ann.Game.Penalties().empty());
    Advance(3s);
    EXPECT_EQ(ann.Game.Round(), 1);

    // A late joiner catches up with the round and the open answer.
    Send(ann, "/hit " + ann.Client.Name);
    const bool open = ann.Game.Hitter().has_value();
    Advance(2s);
    TFollower carl(rig.Join("carl", true));
    carl.Follow(rig.Now());
    EXPECT_TRUE(carl.Game.Running());
    EXPECT_EQ(carl.Game.Host(), bob.Client.Name);
    EXPECT_EQ(carl.Game.Options().Pace, options.Pace);
    EXPECT_EQ(carl.Game.Round(), ann.Game.Round());
    EXPECT_EQ(carl.Game.Hitter().has_value(), open);
    if (open) {
        EXPECT_EQ(carl.Game.SecondsLeft(rig.Now()), options.Answer - 2);
    }

    // Only the host stops it; everyone sees the standings of a stop.
    Send(ann, DealStopText(ann.Client.Name));
    EXPECT_EQ(ann.Game.Refusal(), Cp932::FromUtf8("対局を止められるのは始めた人です"));
    Send(bob, DealStopText(bob.Client.Name));
    carl.Follow(rig.Now());
    EXPECT_TRUE(carl.Game.Ended());
    EXPECT_EQ(carl.Game.EndReason(), "stop");
    EXPECT_EQ(carl.Game.Standings().size(), 2u);
}

TEST(DealtGameLines, BotsAreNamedAndUnreadableLinesChangeNothing)
{
    const auto now = std::chrono::steady_clock::time_point{} + 1h;
    TDealtGame game;
    ASSERT_EQ(game.Apply("/game start ann      random 2 30", now), TDealtGame::TEvent::Started);
    const AnsiString robo = Cp932::FromUtf8("ロボ1") + "   ";
    EXPECT_EQ(game.Apply("/game bot " + robo + " 4", now), TDealtGame::TEvent::Bot);
    EXPECT_TRUE(game.IsBot(robo));
    EXPECT_FALSE(game.IsBot("ann     "));
    EXPECT_EQ(game.Options().Bots, 1);
    EXPECT_EQ(game.Options().Level, 4);
    EXPECT_EQ(DealStartText("ann     ", game.Options()),
              "/deal ann      start TARGET=random PACE=2 ANSWER=30 BOTS=1 LEVEL=4");

    const TDealtGame before = game;
    for (const char* text : {"/game answer ann      ", "/game answer ann", "/game round x", "/game take ann      -1",
                             "/game penalty ann      late", "/game result 1 ann     ", "/game start ann 47 5 20",
                             "/game start ann      47 5", "/game gossip", "/gamestart ann      47 5 20"})
        EXPECT_FALSE(game.Apply(text, now).has_value()) << text;
    EXPECT_EQ(game.Bots(), before.Bots());
    EXPECT_EQ(game.Round(), before.Round());
    EXPECT_FALSE(game.Hitter());
    // A penalty for someone else leaves the open answer open.
    game.Apply("/game answer ann      30", now);
    game.Apply("/game penalty bob      wrong", now);
    EXPECT_EQ(game.Hitter(), "ann     ");
    EXPECT_EQ(game.SecondsLeft(now + 31s), 0);
}

}  // namespace
