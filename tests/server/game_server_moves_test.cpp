// How the game server moves cards between its piles, what it refuses, and
// that the 54 cards survive any sequence of commands.

#include <algorithm>
#include <numeric>
#include <random>

#include "game_server_fixture.h"

using namespace std::string_literals;

namespace server_test {

namespace {

struct PileSnapshot {
    std::vector<std::vector<int>> piles;
    bool operator==(const PileSnapshot&) const = default;
};

PileSnapshot Snapshot(const TGameTable& game)
{
    PileSnapshot snapshot;
    auto add = [&](const TCardPile& pile) { snapshot.piles.emplace_back(pile.Cards, pile.Cards + pile.Count); };
    add(game.Yamafuda);
    add(game.Bafuda);
    for (const TCardPile& hand : game.Tefuda)
        add(hand);
    return snapshot;
}

// Every card from 1 to 54 lies in exactly one pile, and nothing else does.
::testing::AssertionResult CardsConserved(const TGameTable& game)
{
    std::vector<int> all;
    for (const std::vector<int>& pile : Snapshot(game).piles) {
        if (pile.size() > 54)
            return ::testing::AssertionFailure() << "a pile holds " << pile.size() << " entries";
        all.insert(all.end(), pile.begin(), pile.end());
    }
    std::sort(all.begin(), all.end());
    std::vector<int> deck(54);
    std::iota(deck.begin(), deck.end(), 1);
    if (all != deck)
        return ::testing::AssertionFailure() << all.size() << " entries, not the cards 1 to 54 once each";
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST_F(GameServerTest, MovesTakeTheTopCardOfTheirPile)
{
    auto a = Connect();
    ASSERT_TRUE(a->SendRaw(Framed(Nul("/draw AB      ")) + Framed(Nul("/draw AB      "))));
    Next(*a);
    Next(*a);
    const int first = game.Bafuda.Cards[0];
    const int second = game.Bafuda.Cards[1];

    ASSERT_TRUE(a->SendPacket(Nul("/B2T 3 AB      ")));
    Next(*a);
    ASSERT_EQ(game.Tefuda[3].Count, 1);
    EXPECT_EQ(game.Tefuda[3].Cards[0], second) << "the most recently drawn card goes into the hand";
    EXPECT_EQ(game.Bafuda.Count, 1);

    ASSERT_TRUE(a->SendPacket(Nul("/T2Y 3 AB      ")));
    Next(*a);
    EXPECT_EQ(game.Tefuda[3].Count, 0);
    EXPECT_EQ(game.Yamafuda.Count, 53);
    EXPECT_TRUE(std::count(game.Yamafuda.Cards, game.Yamafuda.Cards + 53, second));

    ASSERT_TRUE(a->SendPacket(Nul("/B2Y")));
    Next(*a);
    EXPECT_EQ(game.Bafuda.Count, 0);
    EXPECT_EQ(game.Yamafuda.Count, 54);
    EXPECT_TRUE(std::count(game.Yamafuda.Cards, game.Yamafuda.Cards + 54, first));
    EXPECT_TRUE(CardsConserved(game));
}

TEST_F(GameServerTest, MovesFromAnEmptyPileAreRelayedButPutNoPhantomCardAnywhere)
{
    auto a = Connect();
    for (const std::string& command : {Nul("/B2T 1 AB      "), Nul("/T2Y 4 AB      "), Nul("/B2Y")}) {
        ASSERT_TRUE(a->SendPacket(command));
        EXPECT_EQ(Next(*a), command);
    }
    EXPECT_EQ(game.Tefuda[1].Count, 0);
    EXPECT_EQ(game.Yamafuda.Count, 54);
    EXPECT_TRUE(CardsConserved(game));
}

TEST_F(GameServerTest, ASeatOutsideTheTableIsDroppedUnrelayedWithNoPileTouched)
{
    auto a = Connect();
    auto b = Connect();
    ASSERT_TRUE(a->SendPacket(Nul("/draw AB      ")));
    Next(*a);
    Next(*b);
    const PileSnapshot before = Snapshot(game);
    for (const std::string& command : {"/B2T 6 AB      "s, "/B2T / AB      "s, "/B2T x"s, "/B2T "s, "/B2T"s,
                                       "/T2Y 9 AB      "s, "/T2Y\0" "0"s, "/T2Y"s})
        ASSERT_TRUE(a->SendPacket(Nul(command)));
    ExpectOnlyMarkerNext(*a, {a.get(), b.get()});
    EXPECT_EQ(Snapshot(game), before);
}

TEST_F(GameServerTest, TheOperatorsKillAndListAreNotAcceptedFromAClient)
{
    auto a = Connect();
    auto b = Connect();
    Join(*b, "AB");
    Next(*a);
    Next(*a);
    ASSERT_TRUE(a->SendPacket(Nul("/kill AB      ")));
    ASSERT_TRUE(a->SendPacket(Nul("/list \"XX      \"")));
    ASSERT_TRUE(a->SendPacket("/kill"s));
    ExpectOnlyMarkerNext(*a, {a.get(), b.get()});
    EXPECT_EQ(game.Roster.Count(), 1);
    EXPECT_TRUE(Logged("/拒否  /kill[127.0.0.1]"));
    EXPECT_TRUE(Logged("/拒否  /list[127.0.0.1]"));
}

// Thousands of random commands, valid and not, in bursts; after each burst
// the 54 cards are still spread over the eight piles, each once. Among them
// are the sequences that move "no card" around: a draw from an empty deck, a
// hand or field returned while empty.
TEST_F(GameServerTest, TheFiftyFourCardsSurviveAStormOfRandomCommands)
{
    auto a = Connect();
    std::mt19937 random(20030517);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const std::string seats = "0123456789/:xA";
    auto seat = [&] { return std::string(1, pick(4) ? seats[pick(6)] : seats[pick(static_cast<int>(seats.size()))]); };
    auto command = [&]() -> std::string {
        switch (pick(14)) {
        case 0: case 1: case 2: return Nul("/draw AB      ");
        case 3: case 4: return Nul("/B2T " + seat() + " AB      ");
        case 5: case 6: return Nul("/T2Y " + seat() + " AB      ");
        case 7: return Nul("/B2Y");
        case 8: return pick(20) ? Nul("/B2T") : Nul("/init");
        case 9: return pick(2) ? "/T2Y" : "/B2T " + seat();
        case 10: return Nul("/take " + seat() + " AB      ");
        case 11: return std::string(1, "/BT2Y"[pick(5)]) + std::string(1, static_cast<char>(pick(256)));
        case 12: {
            std::string junk(static_cast<std::size_t>(pick(24)), '\0');
            for (char& c : junk)
                c = static_cast<char>(pick(256));
            return junk;
        }
        default: return "";
        }
    };

    for (int burst = 0; burst < 40; ++burst) {
        std::string bytes;
        for (int i = 0; i < 150; ++i)
            bytes += Framed(command());
        const std::string marker = Nul("AB      : end of burst " + std::to_string(burst));
        ASSERT_TRUE(a->SendRaw(bytes + Framed(marker)));
        ASSERT_TRUE(WaitUntil([&] {
            std::optional<std::string> packet;
            while ((packet = a->TryNextPacket()))
                if (*packet == marker)
                    return true;
            return false;
        })) << "burst " << burst;
        ASSERT_TRUE(CardsConserved(game)) << "after burst " << burst;
    }
    EXPECT_TRUE(messageBoxes.empty());
}

}  // namespace server_test
