// Thousands of random dealt games at the real table, connections in memory:
// after every step the 54 cards are where the server says, every client's
// picture equals the server's table, a level-1 client hears only level-1
// words, nobody holds two seats during a game, and every take, penalty and
// standing matches the hands.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "dealt_game_rig.h"
#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/player_name.h"
#include "records/standings.h"
#include "solver/solver.h"

namespace {

using namespace server_test;
using namespace std::chrono_literals;

const char* const Names[] = {"ann", "bob", "cy", "dee", "Eve", "fay"};

// Cards per player name over all its seats.
std::map<AnsiString, int> HandsByName(const TGameTable& table)
{
    std::map<AnsiString, int> hands;
    for (int s = 0; s < TTableRecord::SeatCount; ++s)
        if (!table.Table.Occupants[static_cast<std::size_t>(s)].empty())
            hands[Protocol::PlayerNameKey(table.Table.Occupants[static_cast<std::size_t>(s)])] += table.Tefuda[s].Count;
    return hands;
}

class DealtGameProperty {
public:
    explicit DealtGameProperty(std::uint32_t seed) : rig_(seed), random_(seed * 7919u + 1)
    {
        // Every finished game's events replay to the standings it recorded.
        rig_.Server().SetRecords(
            [this](Records::TGameRecord record) {
                ++recorded_;
                std::map<AnsiString, int> recorded, replayed;
                for (const Records::TGamePlayer& player : record.Players)
                    recorded[player.Name] = player.Cards;
                for (const Records::TStanding& standing : Records::ReplayStandings(record.Events))
                    replayed[standing.Name] = standing.Cards;
                EXPECT_EQ(recorded, replayed);
            },
            nullptr);
    }

    void Step()
    {
        const auto before = HandsByName(rig_.Table());
        const auto from = ReceivedCounts();
        advanced_ = false;
        Act();
        Check(before, from);
    }

    int GamesRecorded() const { return recorded_; }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    std::vector<TRigClient*> OpenPlayers()
    {
        std::vector<TRigClient*> open;
        for (auto& client : rig_.Clients())
            if (client->Open && !client->Connection.Closing())
                open.push_back(client.get());
        return open;
    }

    void Act()
    {
        auto players = OpenPlayers();
        const int choice = Pick(100);
        if (players.size() < 2 || choice < 4) {
            const char* name = Names[Pick(6)];
            const bool level2 = Pick(3) != 0;
            // A name already here resumes when it can (level 2 with a token), else joins again.
            std::string token;
            for (auto& client : rig_.Clients())
                if (!client->Open && client->Level2 && client->Name == Protocol::PaddedName(name))
                    token = client->Token;
            rig_.Join(name, level2, level2 ? token : std::string());
            return;
        }
        TRigClient& client = *players[static_cast<std::size_t>(Pick(static_cast<int>(players.size())))];
        const TGameTable& table = rig_.Table();
        if (choice < 20) {
            rig_.Send(client, "/take " + std::to_string(Pick(6)) + " " + client.Name);
        } else if (choice < 24) {
            rig_.Send(client, "/leave " + std::to_string(Pick(6)));
        } else if (choice < 28) {
            const char* fields[] = {"", " PACE=1 ANSWER=5", " TARGET=random PACE=2", " TARGET=10 PACE=1",
                                    " PACE=0", " TARGET=1000", " BOTS=2 LEVEL=5 PACE=1", " BOTS=1 LEVEL=1"};
            rig_.Send(client, "/deal " + client.Name + " start" + fields[Pick(8)]);
        } else if (choice < 29) {
            rig_.Send(client, "/deal " + client.Name + " stop");
        } else if (choice < 45) {
            rig_.Send(client, "/hit " + client.Name);
        } else if (choice < 60) {
            Answer(client, table);
        } else if (choice < 63) {
            // Moves only the dealer may make while a game runs.
            const char* moves[] = {"/init", "/B2Y", "/set ", "/draw "};
            const std::string move = moves[Pick(4)];
            rig_.Send(client, move == "/set " ? move + client.Name + " 12" : move == "/draw " ? move + client.Name : move);
        } else if (choice < 66) {
            rig_.Close(client);
        } else {
            advanced_ = true;
            rig_.Advance(std::chrono::milliseconds(Pick(choice < 90 ? 3000 : 40000)));
        }
    }

    void Answer(TRigClient& client, const TGameTable& table)
    {
        std::string expression = "1+1";
        if (Pick(3) != 0 && !table.Table.SetText.empty()) {
            const auto target = std::strtoll(table.Table.SetText.c_str() + 14, nullptr, 10);
            const Solver::Solution solution =
                Solver::Solve(std::vector<int>(table.Bafuda.Cards, table.Bafuda.Cards + table.Bafuda.Count), target,
                              Solver::Rule::AnySubset, 50ms);
            if (solution.verdict == Solver::Verdict::Yes)
                expression = solution.expression;
        }
        if (client.Level2 && Pick(2) == 0)
            rig_.Send(client, "/answer " + client.Name + " " + expression);
        else
            rig_.Send(client, client.Name + ": " + expression);
    }

    std::vector<std::size_t> ReceivedCounts()
    {
        std::vector<std::size_t> counts;
        for (auto& client : rig_.Clients())
            counts.push_back(client->Received.size());
        return counts;
    }

    void Check(const std::map<AnsiString, int>& before, const std::vector<std::size_t>& from)
    {
        const TGameTable& table = rig_.Table();
        // Every card once, in the deck, the field or a hand.
        std::multiset<int> cards(table.Yamafuda.Cards, table.Yamafuda.Cards + table.Yamafuda.Count);
        cards.insert(table.Bafuda.Cards, table.Bafuda.Cards + table.Bafuda.Count);
        for (const TCardPile& hand : table.Tefuda)
            cards.insert(hand.Cards, hand.Cards + hand.Count);
        ASSERT_EQ(cards.size(), 54u);
        ASSERT_EQ(std::set<int>(cards.begin(), cards.end()).size(), 54u);

        // Computer players belong to a running game and to nothing else.
        const bool botsHere = std::any_of(table.Roster.Entries().begin(), table.Roster.Entries().end(),
                                          [](const TRosterEntry& entry) { return entry.Bot; });
        ASSERT_TRUE(table.Game().Running() || !botsHere);
        if (table.Game().Running()) {
            std::set<AnsiString> seated;
            for (const AnsiString& occupant : table.Table.Occupants)
                if (!occupant.empty()) {
                    ASSERT_TRUE(seated.insert(Protocol::PlayerNameKey(occupant)).second) << "two seats: " << occupant;
                }
        }

        const auto after = HandsByName(table);
        for (std::size_t i = 0; i < rig_.Clients().size(); ++i) {
            TRigClient& client = *rig_.Clients()[i];
            const std::size_t start = i < from.size() ? from[i] : 0;
            for (std::size_t r = start; r < client.Received.size(); ++r) {
                const std::string& text = client.Received[r];
                if (!client.Level2) {
                    ASSERT_TRUE(IsLevel1Word(text)) << "a level-1 client got " << text;
                }
                if (client.Level2 && client.Open)
                    CheckGameLine(text, before, after, table);
            }
            // Between games players move cards as at any table (a move from an
            // empty pile shows at level-1 clients as it always did); from the
            // dealer's "/init" on, every picture is the server's.
            if (client.Open && table.Game().Running() && client.Model.Table().Shown)
                ExpectPictureEqualsServer(client, table);
        }
    }

    // The name in a "/game" line at the position after its word.
    static AnsiString NameAt(const std::string& text, std::size_t position)
    {
        return Protocol::PlayerNameKey(text.substr(position, Protocol::PaddedNameLength));
    }

    static int Count(const std::map<AnsiString, int>& hands, const AnsiString& key)
    {
        const auto found = hands.find(key);
        return found == hands.end() ? 0 : found->second;
    }

    void CheckGameLine(const std::string& text, const std::map<AnsiString, int>& before,
                       const std::map<AnsiString, int>& after, const TGameTable& table)
    {
        // Across a move of the clock more may follow a take or a penalty
        // (bots' turns, the next round): those lines are checked on direct steps.
        if (advanced_ && (text.starts_with("/game take ") || text.starts_with("/game penalty ")))
            return;
        if (text.starts_with("/game take ")) {
            const AnsiString name = NameAt(text, 11);
            const int taken = std::atoi(text.c_str() + 20);
            EXPECT_EQ(Count(after, name), Count(before, name) + taken) << text;
            EXPECT_EQ(table.Bafuda.Count, 0) << text;
        } else if (text.starts_with("/game penalty ")) {
            const AnsiString name = NameAt(text, 14);
            EXPECT_EQ(Count(after, name), std::max(0, Count(before, name) - 1)) << text;
        } else if (text.starts_with("/game result ")) {
            // "/game result " place " " cards " " name
            const std::size_t cardsAt = text.find(' ', 13) + 1;
            const std::size_t nameAt = text.find(' ', cardsAt) + 1;
            // Bots have left their seats by now; their cards are on the record.
            if (after.count(NameAt(text, nameAt)) || std::atoi(text.c_str() + cardsAt) == 0) {
                EXPECT_EQ(std::atoi(text.c_str() + cardsAt), Count(after, NameAt(text, nameAt))) << text;
            }
        }
    }

    // The last texts a client received, for a failure's message.
    static std::string Tail(const TRigClient& client)
    {
        std::string tail;
        const std::size_t from = client.Received.size() > 12 ? client.Received.size() - 12 : 0;
        for (std::size_t i = from; i < client.Received.size(); ++i)
            tail += "\n  " + Cp932::ToUtf8(client.Received[i]);
        return tail;
    }

    void ExpectPictureEqualsServer(const TRigClient& client, const TGameTable& table)
    {
        const std::string difference = PictureDifference(client.Model.Table(), table);
        ASSERT_TRUE(difference.empty()) << Cp932::ToUtf8(client.Name) << ": " << difference << Tail(client);
    }

    TDealtGameRig rig_;
    std::mt19937 random_;
    int recorded_ = 0;
    bool advanced_ = false;
};

TEST(DealtGameProperty, RandomGamesKeepTheCardsTheSeatsAndTheScoreTrue)
{
    int ended = 0;
    for (std::uint32_t seed = 1; seed <= 25; ++seed) {
        DealtGameProperty property(seed);
        for (int step = 0; step < 1500; ++step) {
            property.Step();
            if (::testing::Test::HasFatalFailure() || ::testing::Test::HasNonfatalFailure()) {
                ADD_FAILURE() << "seed " << seed << " step " << step;
                return;
            }
        }
        ended += property.GamesRecorded();
    }
    // The random walk plays whole games, not only starts (a stop ends one too).
    EXPECT_GT(ended, 50);
}

}  // namespace
