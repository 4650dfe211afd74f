// Many tables on one server, over real loopback connections: tables are
// independent (the same names at two tables, a level-1 main table beside
// them), private keys, watchers, a table's lifetime, the table limit, the
// listing and refusals.

#include <chrono>
#include <map>
#include <random>

#include "game_server_fixture.h"
#include "protocol/card_number_text.h"
#include "protocol/command_text.h"
#include "protocol/level2.h"
#include "protocol/tables.h"

using Protocol::PaddedName;
using namespace std::chrono_literals;

namespace server_test {

namespace {

// "/join name" with "KIVOL/2" and the fields after it ("TABLE=A KEY=k", "WATCH", ...).
std::string JoinAt(std::string_view name, std::string_view fields)
{
    std::string join = Nul("/join " + PaddedName(name)) + "KIVOL/2";
    return fields.empty() ? join : join + " " + std::string(fields);
}

std::string Text(const std::string& payload)
{
    return Protocol::CommandText(payload.data(), static_cast<int>(payload.size()));
}

}  // namespace

class TablesTest : public GameServerTest {
protected:
    explicit TablesTest(TGameRules rules = IdentityRules()) : GameServerTest(rules) {}

    void SetUp() override
    {
        GameServerTest::SetUp();
        server.Now = [this] { return now; };
    }

    // Joins with the fields and reads through the sync block; the token is
    // returned through token when asked for.
    std::unique_ptr<LoopbackPeer> JoinTable(std::string_view name, std::string_view fields,
                                            std::string* token = nullptr)
    {
        auto peer = Connect();
        EXPECT_TRUE(peer->SendPacket(JoinAt(name, fields)));
        for (auto packet = peer->NextPacket(); packet; packet = peer->NextPacket()) {
            const std::string text = Text(*packet);
            if (token && text.starts_with(Protocol::Level2::StateBegin))
                *token = text.substr(Protocol::Level2::StateBegin.size() + 1, Protocol::Level2::TokenLength);
            if (text == Protocol::Level2::StateEnd)
                break;
        }
        return peer;
    }

    // What a join refused for reason gets: the refusal, then the close.
    void ExpectRefused(LoopbackPeer& peer, Protocol::Tables::TRefusal reason)
    {
        const std::string refused = Protocol::Tables::RefusedText(reason, Protocol::Tables::RefusalSentence(reason));
        EXPECT_EQ(Next(peer), Nul(refused));
        EXPECT_TRUE(peer.WaitClosed());
    }

    // The listing's rows, as one connection receives them.
    std::vector<std::string> Listing(LoopbackPeer& peer)
    {
        EXPECT_TRUE(peer.SendPacket(Nul("/tables")));
        EXPECT_EQ(Next(peer), Nul("/tables begin"));
        std::vector<std::string> rows;
        for (std::string row = Next(peer); row != Nul("/tables end") && row != "<nothing arrived>"; row = Next(peer))
            rows.push_back(Text(row));
        return rows;
    }

    // Sends a chat line in name from sender and expects it next at each of
    // peers: proof that nothing else reached them before it.
    static void ExpectMarkerNext(LoopbackPeer& sender, std::string_view name, std::initializer_list<LoopbackPeer*> peers)
    {
        const std::string marker = PaddedName(name) + ": marker";
        ASSERT_TRUE(sender.SendPacket(Nul(marker)));
        for (LoopbackPeer* peer : peers)
            EXPECT_EQ(Next(*peer), Nul(marker));
    }

    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
};

// Two players of the same names at each of two tables, and two level-1
// players at the main table, take random steps in turn: every connection
// receives exactly its own table's stream (checked packet by packet, and by a
// closing marker that must come next), so nothing of one table reaches
// another and the main table's level-1 players see what they always saw.
TEST_F(TablesTest, TablesWithTheSameNamesAreIndependentAndTheMainTableStaysLevel1)
{
    struct Player {
        std::unique_ptr<LoopbackPeer> peer;
        std::string name;
    };
    std::map<std::string, std::vector<Player>> tables;
    for (const char* table : {"Fri", "fri2"})
        for (const char* name : {"AA", "BB"}) {
            auto peer = JoinTable(name, std::string("TABLE=") + table);
            for (Player& other : tables[table])  // the others see the join and the roster
                EXPECT_EQ(Text(Next(*other.peer)), "/join " + PaddedName(name));
            for (Player& other : tables[table])
                EXPECT_EQ(Text(Next(*other.peer)).substr(0, 6), "/list ");
            tables[table].push_back({std::move(peer), PaddedName(name)});
        }
    for (const char* name : {"AA", "BB"}) {
        auto peer = Connect();
        ASSERT_TRUE(peer->SendPacket(Nul("/join " + PaddedName(name))));
        for (Player& other : tables[""])
            EXPECT_EQ(Next(*other.peer), Nul("/join " + PaddedName(name)));
        for (Player& other : tables[""])
            EXPECT_EQ(Next(*other.peer), Nul("/list \"AA      \",\"BB      \""));
        EXPECT_EQ(Next(*peer), Nul(std::string("/list \"AA      \"") + (name[0] == 'B' ? ",\"BB      \"" : "")));
        tables[""].push_back({std::move(peer), PaddedName(name)});
    }

    std::mt19937 random(20261208);
    std::vector<std::string> names{"", "Fri", "fri2"};
    for (int step = 0; step < 90; ++step) {
        const std::string& tableName = names[random() % names.size()];
        std::vector<Player>& players = tables[tableName];
        Player& actor = players[random() % players.size()];
        TGameTable& table = *server.FindTable(tableName);
        std::string sent, expected;
        switch (random() % 5) {
        case 0: sent = expected = "/init"; break;
        case 1: sent = expected = "/take " + std::to_string(random() % 6) + " " + actor.name; break;
        case 2: sent = expected = actor.name + ": " + tableName + " " + std::to_string(step); break;
        case 3: sent = expected = "/set " + actor.name + " " + std::to_string(random() % 50); break;
        default:
            sent = "/draw " + actor.name;
            expected = sent + " " +
                       (table.Bafuda.Count >= 12 ? "" : Protocol::CardNumberText(table.Yamafuda.Count > 0
                                                        ? table.Yamafuda.Cards[table.Yamafuda.Count - 1] : 999));
            if (table.Bafuda.Count >= 12)
                sent = expected = actor.name + ": no room";  // a thirteenth card would be dropped
            break;
        }
        ASSERT_TRUE(actor.peer->SendPacket(Nul(sent)));
        for (Player& player : players)
            ASSERT_EQ(Next(*player.peer), Nul(expected)) << "step " << step << " at table '" << tableName << "'";
    }
    for (auto& [tableName, players] : tables) {
        const std::string marker = players[0].name + ": end of " + tableName;
        ASSERT_TRUE(players[0].peer->SendPacket(Nul(marker)));
        for (Player& player : players)
            EXPECT_EQ(Next(*player.peer), Nul(marker)) << "table '" << tableName << "'";
    }
}

TEST_F(TablesTest, APrivateTableWantsItsKeyAndIsNeverListed)
{
    auto owner = JoinTable("AA", "TABLE=Secret KEY=s3cr3t");
    auto without = Connect();
    ASSERT_TRUE(without->SendPacket(JoinAt("BB", "TABLE=secret")));
    ExpectRefused(*without, Protocol::Tables::TRefusal::Key);
    auto wrong = Connect();
    ASSERT_TRUE(wrong->SendPacket(JoinAt("BB", "KEY=S3CR3T TABLE=SECRET")));
    ExpectRefused(*wrong, Protocol::Tables::TRefusal::Key);
    auto badKey = Connect();
    ASSERT_TRUE(badKey->SendPacket(JoinAt("BB", "TABLE=Other KEY=" + std::string(33, 'k'))));
    ExpectRefused(*badKey, Protocol::Tables::TRefusal::Key);
    EXPECT_EQ(server.FindTable("Other"), nullptr) << "a refused join makes no table";

    auto right = Connect();
    ASSERT_TRUE(right->SendPacket(JoinAt("BB", "TABLE=secret KEY=s3cr3t")));
    EXPECT_EQ(Next(*right), Nul("/list \"AA      \",\"BB      \""));
    EXPECT_EQ(Text(Next(*owner)), "/join " + PaddedName("BB"));

    auto open = JoinTable("CC", "TABLE=open");
    auto again = JoinTable("DD", "TABLE=OPEN KEY=ignored");
    EXPECT_FALSE(server.FindTable("open")->Key) << "only the join that makes a table can make it private";
    EXPECT_EQ(Listing(*again), (std::vector<std::string>{"/tables row 0 0 0 0 ", "/tables row 2 0 0 0 open"}));
}

TEST_F(TablesTest, AWatcherSeesTheTableAndEveryRelayButIsNotInTheRosterAndCannotAct)
{
    auto player = JoinTable("AA", "TABLE=W");
    ASSERT_TRUE(player->SendPacket(Nul("/init")));
    ASSERT_TRUE(player->SendPacket(Nul("/take 2 " + PaddedName("AA"))));
    EXPECT_EQ(Next(*player), Nul("/init"));
    EXPECT_EQ(Next(*player), Nul("/take 2 " + PaddedName("AA")));

    auto watcher = Connect();
    ASSERT_TRUE(watcher->SendPacket(JoinAt("EYE", "TABLE=w WATCH")));
    EXPECT_EQ(Next(*watcher), Nul("/list \"AA      \""));
    EXPECT_EQ(Next(*watcher), Nul("/state begin " + std::string(32, '0') + " 120"));
    EXPECT_EQ(Next(*watcher), Nul("/init"));
    EXPECT_EQ(Next(*watcher), Nul("/take 2 " + PaddedName("AA")));
    EXPECT_EQ(Next(*watcher), Nul("/state end"));

    // Its acts are dropped; the player's reach it.
    ASSERT_TRUE(watcher->SendPacket(Nul(PaddedName("EYE") + ": hello")));
    ASSERT_TRUE(watcher->SendPacket(Nul("/init")));
    ASSERT_TRUE(watcher->SendPacket(Nul("/join " + PaddedName("EYE"))));
    ExpectMarkerNext(*player, "AA", {player.get(), watcher.get()});
    EXPECT_EQ(server.FindTable("W")->Roster.Count(), 1);
    EXPECT_EQ(Listing(*watcher), (std::vector<std::string>{"/tables row 0 0 0 0 ", "/tables row 1 1 1 1 W"}));

    // A table with only a watcher left stays; without anybody it goes.
    ASSERT_TRUE(player->SendPacket(Nul("/left " + PaddedName("AA"))));
    player.reset();
    ASSERT_TRUE(WaitUntil([&] { return server.FindTable("W")->Roster.Count() == 0; }));
    EXPECT_NE(server.FindTable("W"), nullptr);
    watcher.reset();
    EXPECT_TRUE(WaitUntil([&] { return server.FindTable("W") == nullptr; }));
}

TEST_F(TablesTest, ATableGoesWhenItsLastGraceEndsAndComesBackFresh)
{
    std::string token;
    auto player = JoinTable("AA", "TABLE=Gone", &token);
    ASSERT_TRUE(player->SendPacket(Nul("/init")));
    ASSERT_TRUE(player->SendPacket(Nul("/draw " + PaddedName("AA"))));
    EXPECT_EQ(Next(*player), Nul("/init"));
    EXPECT_EQ(Text(Next(*player)).substr(0, 14), "/draw " + PaddedName("AA"));
    player.reset();
    ASSERT_TRUE(WaitUntil([&] { return server.FindTable("Gone")->Roster.Entry(0).Away; }));
    now += 119s;
    server.WakeTables();
    ASSERT_NE(server.FindTable("Gone"), nullptr) << "not before the grace period ends";
    now += 2s;
    server.WakeTables();
    EXPECT_EQ(server.FindTable("Gone"), nullptr);

    // The same name afresh: a full deck, no game, and the old token resumes nothing.
    auto again = Connect();
    ASSERT_TRUE(again->SendPacket(JoinAt("AA", "TABLE=gone RESUME=" + token)));
    EXPECT_EQ(Next(*again), Nul("/list \"AA      \""));
    EXPECT_EQ(Text(Next(*again)).substr(0, 13), "/state begin ");
    EXPECT_EQ(Next(*again), Nul("/state end"));
    EXPECT_EQ(server.FindTable("GONE")->Yamafuda.Count, 54);
    EXPECT_EQ(server.FindTable("GONE")->Name(), "gone") << "the table keeps the spelling it was made with";
}

TEST_F(TablesTest, AResumeNamingAnotherTableIsAPlainJoinThere)
{
    std::string token;
    auto player = JoinTable("AA", "TABLE=One", &token);
    player.reset();
    ASSERT_TRUE(WaitUntil([&] { return server.FindTable("One")->Roster.Entry(0).Away; }));
    auto elsewhere = Connect();
    ASSERT_TRUE(elsewhere->SendPacket(JoinAt("AA", "RESUME=" + token + " TABLE=Two")));
    EXPECT_EQ(Next(*elsewhere), Nul("/list \"AA      \""));
    EXPECT_TRUE(server.FindTable("One")->Roster.Entry(0).Away) << "the entry at One still waits";
    EXPECT_EQ(server.FindTable("Two")->Roster.Count(), 1);

    auto home = Connect();
    ASSERT_TRUE(home->SendPacket(JoinAt("AA", "TABLE=one RESUME=" + token)));
    EXPECT_EQ(Next(*home), Nul("/list \"AA      \""));
    EXPECT_FALSE(server.FindTable("One")->Roster.Entry(0).Away) << "at its own table the token resumes";
}

TEST_F(TablesTest, TheListingIsOrderedAndAnsweredOnceASecondAndBadNamesAreRefused)
{
    auto b = JoinTable("AA", "TABLE=beta");
    auto a = JoinTable("BB", "TABLE=Alpha");
    auto main = JoinTable("CC", "");
    EXPECT_EQ(Listing(*main), (std::vector<std::string>{"/tables row 1 0 0 0 ", "/tables row 1 0 0 0 Alpha",
                                                        "/tables row 1 0 0 0 beta"}));
    ASSERT_TRUE(main->SendPacket(Nul("/tables")));  // within the second: dropped
    ExpectMarkerNext(*main, "CC", {main.get()});
    now += 1s;
    EXPECT_EQ(Listing(*main).size(), 3u);

    for (const std::string& fields : std::vector<std::string>{"TABLE=", "TABLE=a/b", "TABLE=" + std::string(17, 'x')}) {
        auto bad = Connect();
        ASSERT_TRUE(bad->SendPacket(JoinAt("DD", fields)));
        ExpectRefused(*bad, Protocol::Tables::TRefusal::Name);
    }
    auto level1 = Connect();
    ASSERT_TRUE(level1->SendPacket(Nul("/join " + PaddedName("EE"))));
    EXPECT_EQ(Text(Next(*level1)).substr(0, 6), "/list ");
    ASSERT_TRUE(level1->SendPacket(Nul("/tables")));  // a level-1 connection is never answered
    EXPECT_EQ(Next(*main), Nul("/join " + PaddedName("EE")));
    EXPECT_EQ(Text(Next(*main)).substr(0, 6), "/list ");
    ExpectMarkerNext(*level1, "EE", {level1.get(), main.get()});
}

class TableLimitTest : public TablesTest {
protected:
    TableLimitTest() : TablesTest(OneTable()) {}
    static TGameRules OneTable()
    {
        TGameRules rules;
        rules.MaxTables = 1;
        return rules;
    }
};

TEST_F(TableLimitTest, AJoinThatWouldMakeOneTableTooManyIsRefused)
{
    auto first = JoinTable("AA", "TABLE=First");
    auto second = Connect();
    ASSERT_TRUE(second->SendPacket(JoinAt("BB", "TABLE=Second")));
    ExpectRefused(*second, Protocol::Tables::TRefusal::Tables);
    auto same = JoinTable("BB", "TABLE=first");
    auto main = JoinTable("CC", "");
    EXPECT_EQ(server.TableCount(), 1);
    EXPECT_EQ(server.FindTable("First")->Roster.Count(), 2);
}

// With --trust-names a "/left" whose name two entries share removes the first
// of them, as a level-1 server does; with the name rules the sender's own.
TEST_F(GameServerTest, TrustingNamesALeftRemovesTheFirstEntryOfItsName)
{
    auto first = Connect();
    Join(*first, "AA");
    auto second = Connect();
    Join(*second, "AA");
    EXPECT_EQ(Next(*first), Nul("/join " + PaddedName("AA")));
    EXPECT_EQ(Text(Next(*first)).substr(0, 6), "/list ");
    ASSERT_TRUE(second->SendPacket(Nul("/left " + PaddedName("AA"))));
    EXPECT_EQ(Next(*first), Nul("/list \"AA      \""));
    first.reset();  // the remaining entry is the second connection's: it stays present
    ASSERT_TRUE(WaitUntil([&] { return socket.ClientCount() == 1; }));
    EXPECT_FALSE(game.Roster.Entry(0).Away);
}

TEST_F(TablesTest, WithTheNameRulesALeftRemovesTheSendersOwnEntry)
{
    auto first = JoinTable("AA", "");
    auto second = JoinTable("AA", "");
    ASSERT_TRUE(second->SendPacket(Nul("/left " + PaddedName("AA"))));
    EXPECT_EQ(Text(Next(*first)).substr(0, 6), "/join ");
    EXPECT_EQ(Text(Next(*first)).substr(0, 6), "/list ");
    EXPECT_EQ(Next(*first), Nul("/list \"AA      \""));
    first.reset();
    EXPECT_TRUE(WaitUntil([&] { return game.Roster.Entry(0).Away; }));
}

}  // namespace server_test
