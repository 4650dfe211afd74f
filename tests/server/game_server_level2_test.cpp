// Level 2 at the server over real loopback connections: the sync block, away
// entries, resume, grace expiry and the identity rules, with a level-1 peer
// watching that it never meets anything new.

#include <chrono>
#include <map>

#include "client/table_model.h"
#include "game_server_fixture.h"
#include "protocol/command_text.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"

using namespace std::string_literals;
using Protocol::IsCommand;
using Protocol::PaddedName;

namespace server_test {

namespace {

std::string Level2Join(std::string_view name, std::string_view token = {})
{
    std::string join = Nul("/join " + PaddedName(name)) + "KIVOL/2";
    if (!token.empty())
        join += " RESUME=" + std::string(token);
    return join;
}

bool StartsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// Takes packets at peer until the payload arrives; false when it never does.
bool DrainUntil(LoopbackPeer& peer, const std::string& payload)
{
    for (std::optional<std::string> packet; (packet = peer.NextPacket());)
        if (*packet == payload)
            return true;
    return false;
}

// A client that announced level 2: what it received, its token, and its
// table model fed every command, as the real client's window is fed.
struct Level2Client {
    std::unique_ptr<LoopbackPeer> peer;
    std::string token;
    TTableModel model;

    // Takes packets until the text arrives; false when it never does.
    bool ReadUntil(std::string_view text, std::vector<std::string>* seen = nullptr)
    {
        for (;;) {
            const std::optional<std::string> packet = peer->NextPacket();
            if (!packet)
                return false;
            const std::string command = Protocol::CommandText(packet->data(), static_cast<int>(packet->size()));
            if (StartsWith(command, Protocol::Level2::StateBegin))
                token = command.substr(Protocol::Level2::StateBegin.size() + 1, 32);
            model.Apply(command);
            if (seen)
                seen->push_back(command);
            if (command == text)
                return true;
        }
    }
};

}  // namespace

class Level2ServerTest : public GameServerTest {
protected:
    Level2ServerTest() : GameServerTest(IdentityRules()) {}

    void SetUp() override
    {
        GameServerTest::SetUp();
        server.Now = [this] { return now; };
        server.SetRandomEngine(engine);
    }

    // Joins with the announcement (a resume when token is given) and reads
    // through the sync block.
    Level2Client JoinLevel2(std::string_view name, std::string_view token = {})
    {
        Level2Client client{Connect(), {}, {}};
        EXPECT_TRUE(client.peer->SendPacket(Level2Join(name, token)));
        EXPECT_TRUE(client.ReadUntil("/state end"));
        return client;
    }

    // A level-1 peer that checks every packet it ever receives.
    void ExpectLevel1Clean(const std::string& packet, const std::vector<std::string>& tokens)
    {
        const std::size_t nul = packet.find('\0');
        EXPECT_EQ(nul, packet.size() - 1) << "a trailer or a missing NUL: " << packet;
        for (std::string_view word : Protocol::Command::Level2)
            EXPECT_FALSE(StartsWith(packet, word)) << packet;
        for (const std::string& token : tokens)
            EXPECT_EQ(packet.find(token), std::string::npos) << "a token reached a level-1 peer";
    }

    std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
    std::mt19937 engine{20261207};
};

// A scripted game played by two level-2 players while a level-1 player
// watches: a third level-2 player who joins late rebuilds exactly the table
// that the watchers built from every command; the level-1 peer never sees a
// level-2 word, a trailer or a token.
TEST_F(Level2ServerTest, ALateJoinerRebuildsTheTableAndALevel1PeerNeverNoticesLevel2)
{
    auto old = Connect();
    ASSERT_TRUE(old->SendPacket(Nul("/join OLD     ")));
    Level2Client a = JoinLevel2("AA");
    Level2Client b = JoinLevel2("BB");
    EXPECT_NE(a.token, b.token);
    EXPECT_TRUE(Protocol::Level2::IsToken(a.token));

    const std::string A = PaddedName("AA"), B = PaddedName("BB");
    const std::vector<std::string> script = {
        "/init", "/take 0 " + A, "/take 3 " + B, "/draw " + A, "/draw " + B, "/B2T 0 " + A,
        "/draw " + A, "/draw " + B, "/B2T 3 " + B, "/draw " + A, "/T2Y 3 " + B, "/draw " + B,
        "/B2T 3 " + B, "/leave 3",  // seat 3 is freed while its hand holds a card
        "/draw " + A, "/B2Y", "/set " + A + " 24", "/take 4 " + A, "/draw " + B, "/hit " + A,
    };
    // One command at a time, each sender's own chat line closing its step,
    // so that the server takes them in the script's order.
    for (std::size_t i = 0; i < script.size(); ++i) {
        const std::string& command = script[i];
        Level2Client& sender = command.find(B) != std::string::npos ? b : a;
        const std::string step = (&sender == &b ? B : A) + ": step " + std::to_string(i);
        ASSERT_TRUE(sender.peer->SendPacket(Nul(command)));
        ASSERT_TRUE(sender.peer->SendPacket(Nul(step)));
        ASSERT_TRUE(a.ReadUntil(step)) << command;
    }
    ASSERT_TRUE(b.ReadUntil(A + ": step " + std::to_string(script.size() - 1)));

    Level2Client late = JoinLevel2("CC");
    EXPECT_EQ(late.model.Table(), a.model.Table());
    EXPECT_EQ(late.model.Table(), b.model.Table());
    EXPECT_EQ(late.model.Table().Field.size(), 4u);
    EXPECT_EQ(late.model.Table().Hands[3], 1);
    EXPECT_EQ(late.model.Table().Occupants[3], std::optional<AnsiString>(""));
    EXPECT_EQ(late.model.Table().Target, std::optional<AnsiString>("24"));

    std::vector<std::string> tokens = {a.token, b.token, late.token};
    ASSERT_TRUE(late.peer->SendPacket(Nul(PaddedName("CC") + ": end")));
    int received = 0;
    for (;;) {
        const std::optional<std::string> packet = old->NextPacket();
        ASSERT_TRUE(packet);
        ++received;
        ExpectLevel1Clean(*packet, tokens);
        if (*packet == Nul(PaddedName("CC") + ": end"))
            break;
    }
    EXPECT_GT(received, static_cast<int>(script.size()));
}

// A dropped player comes back with its token: the same roster entry, its
// seats, a fresh token; the others see "/join", the same "/list" and "/back".
// The old token is used up; unknown tokens, tokens of connected entries and
// tokens under another name join plainly.
TEST_F(Level2ServerTest, ResumeKeepsTheEntryAndSeatsAndEveryOtherTokenJoinsPlainly)
{
    Level2Client a = JoinLevel2("AA");
    Level2Client b = JoinLevel2("BB");
    ASSERT_TRUE(a.ReadUntil("/list \"AA      \",\"BB      \""));
    const std::string A = PaddedName("AA");
    ASSERT_TRUE(a.peer->SendPacket(Nul("/init")));
    ASSERT_TRUE(a.peer->SendPacket(Nul("/take 2 " + A)));
    ASSERT_TRUE(b.ReadUntil("/take 2 " + A));

    a.peer.reset();
    ASSERT_TRUE(b.ReadUntil("/away " + A));
    EXPECT_TRUE(game.Roster.Entry(0).Away);
    EXPECT_TRUE(Logged("/離脱  AA      [127.0.0.1]"));

    const std::string oldToken = a.token;
    Level2Client back{Connect(), {}, {}};
    ASSERT_TRUE(back.peer->SendPacket(Level2Join("aa", oldToken)));
    std::vector<std::string> seen;
    ASSERT_TRUE(back.ReadUntil("/state end", &seen));
    EXPECT_EQ(seen.front(), "/list \"AA      \",\"BB      \"");
    EXPECT_EQ(seen[1].rfind("/state begin ", 0), 0u);
    EXPECT_NE(back.token, oldToken);
    EXPECT_EQ(game.Roster.Count(), 2);
    EXPECT_FALSE(game.Roster.Entry(0).Away);
    EXPECT_EQ(back.model.Table().Occupants[2], std::optional<AnsiString>(A));

    std::vector<std::string> atB;
    ASSERT_TRUE(b.ReadUntil("/back " + A, &atB));
    EXPECT_EQ(atB, (std::vector<std::string>{"/join " + PaddedName("aa"), "/list \"AA      \",\"BB      \"",
                                             "/back " + A}));

    // Used up, unknown, held by a connected entry, or under another name:
    // each is a plain join with a new entry.
    b.peer.reset();
    ASSERT_TRUE(back.ReadUntil("/away " + PaddedName("BB")));
    const std::string unknown(32, 'a');
    for (const auto& [name, token] : std::vector<std::pair<std::string, std::string>>{
             {"aa", oldToken}, {"AA", unknown}, {"AA", back.token}, {"ZZ", b.token}}) {
        const int before = game.Roster.Count();
        Level2Client plain = JoinLevel2(name, token);
        EXPECT_EQ(game.Roster.Count(), before + 1) << name << " " << token;
    }
    EXPECT_TRUE(game.Roster.Entry(1).Away) << "BB's token under another name resumed nothing";
}

// When an away entry's grace ends every connection hears what that player's
// own leaving would have sent, in that order; a player still connected under
// the same name keeps the seats; --grace 0 keeps an entry away until cleared.
TEST_F(Level2ServerTest, GraceExpirySendsListLeftAndFleavInSeatOrder)
{
    auto watcher = Connect();
    ASSERT_TRUE(watcher->SendPacket(Nul("/join WATCH   ")));
    Level2Client a = JoinLevel2("AA");
    const std::string A = PaddedName("AA");
    for (const std::string& command : {"/init"s, "/take 5 " + A, "/take 2 " + A})
        ASSERT_TRUE(a.peer->SendPacket(Nul(command)));
    ASSERT_TRUE(a.ReadUntil("/take 2 " + A));
    ASSERT_TRUE(watcher->SendPacket(Nul("/take 0 " + PaddedName("WATCH"))));
    ASSERT_TRUE(a.ReadUntil("/take 0 " + PaddedName("WATCH")));
    ASSERT_TRUE(DrainUntil(*watcher, Nul("/take 0 " + PaddedName("WATCH"))));

    a.peer.reset();
    ASSERT_TRUE(WaitUntil([&] { return game.Roster.Entry(1).Away; }));
    now += std::chrono::seconds(119);
    server.WakeTables();
    EXPECT_EQ(game.Roster.Count(), 2) << "not before the grace period ends";
    now += std::chrono::seconds(1);
    server.WakeTables();
    EXPECT_EQ(Next(*watcher), Nul("/list \"WATCH   \""));
    EXPECT_EQ(Next(*watcher), Nul("/left " + A));
    EXPECT_EQ(Next(*watcher), Nul("/fleav 2"));
    EXPECT_EQ(Next(*watcher), Nul("/fleav 5"));
    ASSERT_TRUE(watcher->SendPacket(Nul(PaddedName("WATCH") + ": next")));
    EXPECT_EQ(Next(*watcher), Nul(PaddedName("WATCH") + ": next"));
    EXPECT_TRUE(Logged("/退席  AA      [猶予切れ]"));
    EXPECT_EQ(game.Table.Occupants[2], "");
}

TEST_F(Level2ServerTest, ASameNamedPlayerStillConnectedKeepsTheSeats)
{
    Level2Client a = JoinLevel2("AA");
    Level2Client twin = JoinLevel2("AA");
    const std::string A = PaddedName("AA");
    ASSERT_TRUE(a.peer->SendPacket(Nul("/init")));
    ASSERT_TRUE(a.peer->SendPacket(Nul("/take 1 " + A)));
    ASSERT_TRUE(twin.ReadUntil("/take 1 " + A));
    a.peer.reset();
    ASSERT_TRUE(twin.ReadUntil("/away " + A));
    now += std::chrono::seconds(120);
    server.WakeTables();
    std::vector<std::string> seen;
    ASSERT_TRUE(twin.peer->SendPacket(Nul(A + ": still here")));
    ASSERT_TRUE(twin.ReadUntil(A + ": still here", &seen));
    EXPECT_EQ(seen, (std::vector<std::string>{"/list \"AA      \"", "/left " + A, A + ": still here"}));
    EXPECT_EQ(game.Table.Occupants[1], A);
}

// Identity: a connection acts and speaks only in the names it joined with; a
// connection that never joined sends nothing anywhere; server-only words are
// never relayed; refusals are logged once a minute per connection.
TEST_F(Level2ServerTest, ForgedNamesAndUnjoinedPacketsGoNowhere)
{
    auto stranger = Connect();
    Level2Client a = JoinLevel2("AA");
    Level2Client b = JoinLevel2("BB");
    ASSERT_TRUE(a.ReadUntil("/list \"AA      \",\"BB      \""));
    const std::string B = PaddedName("BB");
    for (const std::string& packet : {Nul(B + ": hi"), Nul("/init"), Nul("/draw " + B), Nul("/hele")})
        ASSERT_TRUE(stranger->SendPacket(packet));
    ASSERT_TRUE(WaitUntil([&] { return !log.empty() && log.back().find("BB[") != std::string::npos; }));
    for (const std::string& packet :
         {Nul("/draw " + B), Nul("/hit " + B), Nul("/take 0 " + B), Nul("/B2T 0 " + B), Nul("/T2Y 0 " + B),
          Nul("/set " + B + " 47"), Nul("/left " + B), Nul(B + ": I am BB"), Nul("AA: short"), Nul(""),
          Nul("/state end"), Nul("/away " + B), Nul("/back " + B), Nul("/judge " + B + " Y 1 1+1")})
        ASSERT_TRUE(a.peer->SendPacket(packet));
    // Its own name, in another letter case, passes.
    ASSERT_TRUE(a.peer->SendPacket(Nul(PaddedName("aa") + ": mine")));
    std::vector<std::string> atB;
    ASSERT_TRUE(b.ReadUntil(PaddedName("aa") + ": mine", &atB));
    EXPECT_EQ(atB, std::vector<std::string>{PaddedName("aa") + ": mine"});
    EXPECT_EQ(game.Yamafuda.Count, 54);
    EXPECT_EQ(game.Roster.Count(), 2);

    // Server-only words are refused on every try, identity breaches once a
    // minute per connection.
    std::vector<AnsiString> refusals;
    for (const AnsiString& line : log)
        if (line.rfind(Cp932::FromUtf8("/拒否  "), 0) == 0)
            refusals.push_back(line.substr(Cp932::FromUtf8("/拒否  ").size()));
    EXPECT_EQ(refusals, (std::vector<AnsiString>{"BB[127.0.0.1]", "/draw[127.0.0.1]", "/state[127.0.0.1]",
                                                 "/away[127.0.0.1]", "/back[127.0.0.1]", "/judge[127.0.0.1]"}));
}

// Every join sends the roster to everyone: a connection holds at most four names.
TEST_F(Level2ServerTest, AConnectionHoldsAtMostFourNames)
{
    auto a = Connect();
    for (const char* name : {"A1", "A2", "A3", "A4", "A5"})
        ASSERT_TRUE(a->SendPacket(Nul("/join " + PaddedName(name))));
    ASSERT_TRUE(a->SendPacket(Nul(PaddedName("A5") + ": refused")));
    ASSERT_TRUE(a->SendPacket(Nul(PaddedName("A4") + ": mine")));
    int lists = 0;
    for (std::optional<std::string> packet; (packet = a->NextPacket()) && *packet != Nul(PaddedName("A4") + ": mine");)
        lists += StartsWith(*packet, "/list ");
    EXPECT_EQ(lists, 4);
    EXPECT_EQ(game.Roster.Count(), 4);
}

// A draw that lost the race for the twelfth field slot is dropped: a
// thirteenth card would lie where no table shows it.
TEST_F(Level2ServerTest, NoThirteenthCardReachesTheField)
{
    Level2Client a = JoinLevel2("AA");
    const std::string A = PaddedName("AA");
    ASSERT_TRUE(a.peer->SendPacket(Nul("/init")));
    for (int i = 0; i < 13; ++i)
        ASSERT_TRUE(a.peer->SendPacket(Nul("/draw " + A)));
    ASSERT_TRUE(a.peer->SendPacket(Nul(A + ": drawn")));
    std::vector<std::string> seen;
    ASSERT_TRUE(a.ReadUntil(A + ": drawn", &seen));
    EXPECT_EQ(seen.size(), 1u + 12u + 1u);
    EXPECT_EQ(game.Bafuda.Count, 12);
    EXPECT_EQ(game.Yamafuda.Count, 42);
    EXPECT_EQ(a.model.Table().Pile, std::optional<int>(42));
}

// A packet whose handling throws is logged and dropped; it is not handed
// over again, and the packets behind it go on.
TEST(GameServerFailure, APacketWhoseHandlingThrowsIsDroppedOnceAndLogged)
{
    TPacketServerSocket socket;
    std::vector<AnsiString> lines;
    bool failed = false;
    TGameServer game(socket, [&](const AnsiString& line) {
        if (!failed) {
            failed = true;
            throw std::runtime_error("disk full");
        }
        lines.push_back(line);
    });
    socket.SetAddress("127.0.0.1");
    socket.SetActive(true);
    LoopbackPeer peer(socket.Socket()->LocalPort());
    ASSERT_TRUE(peer.SendPacket(Nul("/join " + PaddedName("AA"))));
    ASSERT_TRUE(peer.SendPacket(Nul(PaddedName("AA") + ": after")));
    EXPECT_EQ(peer.NextPacket(), Nul("/list \"AA      \""));
    EXPECT_EQ(peer.NextPacket(), Nul(PaddedName("AA") + ": after"));
    EXPECT_EQ(game.Main().Roster.Count(), 1);
    EXPECT_EQ(lines, std::vector<AnsiString>{Cp932::FromUtf8("/例外  disk full[127.0.0.1]")});
}


// A level-2 client is told where the server's pages are, after its sync
// block and the away lines, at the address it connected to or the one the
// operator gave; a level-1 peer never is, and a client that forges "/site"
// or "/namekey" reaches nobody.
TEST_F(Level2ServerTest, ALevel2ClientIsToldWhereThePagesAre)
{
    auto old = Connect();
    ASSERT_TRUE(old->SendPacket(Nul("/join OLD     ")));
    server.ServeSite({}, 8080, false);
    Level2Client a = JoinLevel2("AA");
    a.peer.reset();
    ASSERT_TRUE(WaitUntil([&] { return game.Roster.Entry(1).Away; }));
    Level2Client b{Connect(), {}, {}};
    ASSERT_TRUE(b.peer->SendPacket(Level2Join("BB")));
    std::vector<std::string> seen;
    ASSERT_TRUE(b.ReadUntil("/site http://127.0.0.1:8080/", &seen));
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[seen.size() - 2], "/away " + PaddedName("AA"));

    server.ServeSite(QStringLiteral("https://kivol.example/"), 8080, true);
    Level2Client c{Connect(), {}, {}};
    ASSERT_TRUE(c.peer->SendPacket(Level2Join("CC")));
    ASSERT_TRUE(c.ReadUntil("/site https://kivol.example/"));

    ASSERT_TRUE(c.peer->SendPacket(Nul("/site http://elsewhere/")));
    ASSERT_TRUE(c.peer->SendPacket(Nul("/namekey " + PaddedName("CC") + " " + std::string(32, 'a'))));
    ASSERT_TRUE(c.peer->SendPacket(Nul(PaddedName("CC") + ": end")));
    for (;;) {
        const std::optional<std::string> packet = old->NextPacket();
        ASSERT_TRUE(packet);
        EXPECT_FALSE(StartsWith(*packet, "/site")) << *packet;
        EXPECT_FALSE(StartsWith(*packet, "/namekey")) << *packet;
        if (*packet == Nul(PaddedName("CC") + ": end"))
            break;
    }
}

}  // namespace server_test
