// What the game server delivers for each command, byte for byte, over real
// loopback connections.

#include <QRegularExpression>
#include <set>

#include "game_server_fixture.h"

using namespace std::string_literals;
using Protocol::PaddedName;

namespace server_test {

TEST_F(GameServerTest, JoinGoesToTheOthersAsReceivedAndTheNewListToAll)
{
    auto a = Connect();
    auto b = Connect();
    ASSERT_TRUE(a->SendPacket(Nul("/join AB      ")));
    EXPECT_EQ(Next(*a), Nul("/list \"AB      \""));
    EXPECT_EQ(Next(*b), Nul("/join AB      "));
    EXPECT_EQ(Next(*b), Nul("/list \"AB      \""));

    // Bytes after the NUL stay in what is relayed as received.
    const std::string join = "/join CDEFGHIJ\0tail"s;
    ASSERT_TRUE(b->SendPacket(join));
    EXPECT_EQ(Next(*a), join);
    EXPECT_EQ(Next(*a), Nul("/list \"AB      \",CDEFGHIJ"));
    EXPECT_EQ(Next(*b), Nul("/list \"AB      \",CDEFGHIJ"));
    ExpectOnlyMarkerNext(*b, {a.get(), b.get()});

    EXPECT_TRUE(Logged("/参加  AB      [127.0.0.1]"));
    EXPECT_TRUE(Logged("/参加  CDEFGHIJ[127.0.0.1]"));
}

TEST_F(GameServerTest, LeftReachesTheOthersWithTheNewListFirstAndIgnoresLetterCase)
{
    auto a = Connect();
    auto b = Connect();
    Join(*a, "AbCd");
    ASSERT_EQ(Next(*b), Nul("/join AbCd    "));
    Next(*b);
    Join(*b, "XY");
    Next(*a);
    Next(*a);

    const std::string left = "/left aBcD    \0zz"s;
    ASSERT_TRUE(a->SendPacket(left));
    EXPECT_EQ(Next(*b), Nul("/list \"XY      \""));
    EXPECT_EQ(Next(*b), left);
    ExpectOnlyMarkerNext(*a, {a.get(), b.get()});
    EXPECT_TRUE(Logged("/退席  aBcD    [127.0.0.1]"));

    // A name the roster does not hold changes nothing; both packets still go.
    ASSERT_TRUE(a->SendPacket(Nul("/left QQ      ")));
    EXPECT_EQ(Next(*b), Nul("/list \"XY      \""));
    EXPECT_EQ(Next(*b), Nul("/left QQ      "));
    EXPECT_EQ(game.Roster.Count(), 1);
}

TEST_F(GameServerTest, DuplicateNamesMakeTwoEntriesAndOneLeftRemovesTheFirst)
{
    auto a = Connect();
    Join(*a, "AB");
    Join(*a, "CD");
    Join(*a, "AB");
    ASSERT_EQ(game.Roster.Text(), "\"AB      \",\"CD      \",\"AB      \"");

    auto b = Connect();
    ASSERT_TRUE(a->SendPacket(Nul("/left AB      ")));
    EXPECT_EQ(Next(*b), Nul("/list \"CD      \",\"AB      \""));
}

TEST_F(GameServerTest, DrawAnswersEveryoneWithTheTextASpaceAndTheCardDigits)
{
    auto a = Connect();
    auto b = Connect();
    const int top = game.Yamafuda.Cards[game.Yamafuda.Count - 1];
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02d", top);

    ASSERT_TRUE(a->SendPacket("/draw AB      \0junk"s));
    const std::string expected = Nul("/draw AB       "s + digits);
    ASSERT_EQ(expected.size(), 18u);
    EXPECT_EQ(Next(*a), expected);
    EXPECT_EQ(Next(*b), expected);
    EXPECT_EQ(game.Bafuda.Count, 1);
    EXPECT_EQ(game.Bafuda.Cards[0], top);
}

TEST_F(GameServerTest, FiftyFourDrawsDealEveryCardOnceThenTheEmptyDeckAnswers999)
{
    auto a = Connect();
    std::string burst;
    for (int i = 0; i < 56; ++i)
        burst += Framed(Nul("/draw AB      "));
    ASSERT_TRUE(a->SendRaw(burst));

    std::set<std::string> cards;
    for (int i = 0; i < 54; ++i) {
        const std::string reply = Next(*a);
        ASSERT_EQ(reply.size(), 18u) << reply;
        cards.insert(reply.substr(15, 2));
    }
    EXPECT_EQ(cards.size(), 54u);
    EXPECT_EQ(*cards.begin(), "01");
    EXPECT_EQ(*cards.rbegin(), "54");
    EXPECT_EQ(Next(*a), Nul("/draw AB       999"));
    EXPECT_EQ(Next(*a), Nul("/draw AB       999"));
    EXPECT_EQ(game.Bafuda.Count, 54);
    EXPECT_EQ(game.Yamafuda.Count, 0);
}

TEST_F(GameServerTest, InitRelaysAsReceivedAndTheNextDrawTakesFromAFreshDeck)
{
    auto a = Connect();
    std::string burst;
    for (int i = 0; i < 54; ++i)
        burst += Framed(Nul("/draw AB      "));
    ASSERT_TRUE(a->SendRaw(burst + Framed(Nul("/B2T 2 AB      "))));
    for (int i = 0; i < 55; ++i)
        Next(*a);
    ASSERT_EQ(game.Yamafuda.Count, 0);
    ASSERT_EQ(game.Tefuda[2].Count, 1);

    const std::string init = "/init\0xx"s;
    ASSERT_TRUE(a->SendRaw(Framed(init) + Framed(Nul("/draw AB      "))));
    EXPECT_EQ(Next(*a), init);
    const std::string draw = Next(*a);
    EXPECT_EQ(draw.size(), 18u) << "not the empty deck's 999: " << draw;
    EXPECT_EQ(game.Yamafuda.Count, 53);
    EXPECT_EQ(game.Bafuda.Count, 1);
    for (const TCardPile& hand : game.Tefuda)
        EXPECT_EQ(hand.Count, 0);
}

TEST_F(GameServerTest, TableCommandsAreRelayedAsReceivedFleavToTheOthersOnly)
{
    auto a = Connect();
    auto b = Connect();
    for (const std::string& command :
         {"/take 1 AB      \0x"s, "/leave 1\0"s, "/set AB       47\0"s, "/B2T 0 AB      \0y"s,
          "/T2Y 0 AB      \0"s, "/B2Y\0z"s, "/init\0"s}) {
        ASSERT_TRUE(a->SendPacket(command));
        EXPECT_EQ(Next(*a), command);
        EXPECT_EQ(Next(*b), command);
    }
    ASSERT_TRUE(a->SendPacket("/fleav 3\0q"s));
    EXPECT_EQ(Next(*b), "/fleav 3\0q"s);
    ExpectOnlyMarkerNext(*a, {a.get(), b.get()});
}

TEST_F(GameServerTest, ChatHeleAndUnknownWordsGoToEveryoneAsTextAndOneNul)
{
    auto a = Connect();
    auto b = Connect();
    const std::pair<std::string, std::string> cases[] = {
        {"AB      : hello\0trailing"s, Nul("AB      : hello")},
        {"/hele\0"s, Nul("/hele")},
        {"/what"s, Nul("/what")},
    };
    for (const auto& [sent, relayed] : cases) {
        ASSERT_TRUE(a->SendPacket(sent));
        EXPECT_EQ(Next(*a), relayed);
        EXPECT_EQ(Next(*b), relayed);
    }
}

TEST_F(GameServerTest, EveryPacketInAndOutIsCountedForTheMetrics)
{
    auto a = Connect();
    auto b = Connect();
    ASSERT_TRUE(a->SendPacket(Nul("/join AB      ")));
    std::size_t bytes = 0;
    for (LoopbackPeer* peer : {a.get(), b.get(), b.get()})
        bytes += Next(*peer).size();
    ASSERT_TRUE(a->SendPacket("AB      : hi\0behind"s));
    for (LoopbackPeer* peer : {a.get(), b.get()})
        bytes += Next(*peer).size();
    EXPECT_EQ(server.Metrics.Counter(KivolMetrics::PacketsReceived), 2);
    EXPECT_EQ(server.Metrics.Counter(KivolMetrics::PacketsSent), 5);
    EXPECT_EQ(server.Metrics.Counter(KivolMetrics::BytesSent), static_cast<double>(bytes));
}

TEST_F(GameServerTest, APayloadWithoutNulEndsWithItsPacketEvenInTheSameWriteAndGetsOne)
{
    auto a = Connect();
    ASSERT_TRUE(a->SendRaw(Framed("hello") + Framed("") + Framed("/hele") + Framed(Nul("AB      : x"))));
    EXPECT_EQ(Next(*a), Nul("hello"));
    EXPECT_EQ(Next(*a), Nul(""));
    EXPECT_EQ(Next(*a), Nul("/hele"));
    EXPECT_EQ(Next(*a), Nul("AB      : x"));
}

TEST_F(GameServerTest, HitIsStampedWithTheServersDateAndTime)
{
    auto a = Connect();
    auto b = Connect();
    ASSERT_TRUE(a->SendPacket("/hit AB      \0x"s));
    const std::string reply = Next(*b);
    EXPECT_EQ(Next(*a), reply);
    ASSERT_FALSE(reply.empty());
    EXPECT_EQ(reply.back(), '\0');
    const QString text = QString::fromLatin1(reply.data(), static_cast<int>(reply.size()) - 1);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^/hit AB       \\S+ \\S+$")).match(text).hasMatch())
        << reply;
}

}  // namespace server_test
