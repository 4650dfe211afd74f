// The operator's commands as an operator gives them: kivolctl over a real
// control socket, against a game server with real clients on loopback.
#include <arpa/inet.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cmath>

#include "control/control_server.h"
#include "game_server_fixture.h"
#include "protocol/level2.h"
#include "protocol/tables.h"
#include "records/sqlite_record_store.h"
#include "server/operator_commands.h"
#include "server/table_store.h"

using namespace std::string_literals;
using Protocol::PaddedName;
using Protocol::Tables::TRefusal;

namespace server_test {
namespace {

struct TCtl {
    int Status = -1;
    std::string Out;
    std::string Err;
};

class OperatorCommandsTest : public GameServerTest {
protected:
    OperatorCommandsTest() : operations(server, Log()), control(operations.Handler()) {}

    void SetUp() override
    {
        GameServerTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("control")).toStdString();
        ASSERT_EQ(control.Listen({path, std::nullopt, {}}), "");
        ASSERT_TRUE(server.Bans.Load(dir.filePath(QStringLiteral("bans.json"))).isEmpty());
    }

    // Runs kivolctl while the event loop serves the socket and the game.
    TCtl Ctl(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(KIVOLCTL_PATH), QStringList{QStringLiteral("--control"),
                                                                 QString::fromStdString(path)} + arguments);
        EXPECT_TRUE(WaitUntil([&] { return process.state() == QProcess::NotRunning; }, 20000));
        return {process.exitCode(), process.readAllStandardOutput().toStdString(),
                process.readAllStandardError().toStdString()};
    }

    // Joins with level 2 (at a table, or watching) and reads up to the end of the sync block.
    void JoinLevel2(LoopbackPeer& peer, std::string_view name, std::string_view fields = "")
    {
        ASSERT_TRUE(peer.SendPacket(Nul("/join " + PaddedName(name)) + "KIVOL/2" + std::string(fields)));
        SkipUntil(peer, "/state end");
    }

    // Reads packets up to and including the first that starts with prefix.
    static std::string SkipUntil(LoopbackPeer& peer, std::string_view prefix)
    {
        for (;;) {
            const auto packet = peer.NextPacket();
            if (!packet)
                return "<nothing arrived>";
            if (packet->rfind(prefix, 0) == 0)
                return *packet;
        }
    }

    static std::string Refused(TRefusal refusal, std::string_view utf8Text)
    {
        return Nul(Protocol::Tables::RefusedText(refusal, Cp932::FromUtf8(utf8Text)));
    }

    bool LogHas(std::string_view utf8Part) const
    {
        const AnsiString part = Cp932::FromUtf8(utf8Part);
        return std::any_of(log.begin(), log.end(), [&](const AnsiString& line) { return line.find(part) != AnsiString::npos; });
    }

    // taro, seated at seat 2, and hana at the main table; hana has seen the seat taken.
    struct TTaroAndHana {
        std::unique_ptr<LoopbackPeer> taro, hana;
    };
    TTaroAndHana SeatTaroBesideHana()
    {
        TTaroAndHana both{Connect(), nullptr};
        Join(*both.taro, "taro");
        both.hana = Connect();
        Join(*both.hana, "hana");
        EXPECT_TRUE(both.taro->SendPacket(Nul("/take 2 " + PaddedName("taro"))));
        EXPECT_EQ(SkipUntil(*both.hana, "/take"), Nul("/take 2 " + PaddedName("taro")));
        return both;
    }

    // What hana receives when taro's entry goes as a leave: the roster, the leave, the seat freed.
    void ExpectTaroLeftSeatTwo(LoopbackPeer& hana)
    {
        EXPECT_EQ(Next(hana), Nul("/list \"" + PaddedName("hana") + "\""));
        EXPECT_EQ(Next(hana), Nul("/left " + PaddedName("taro")));
        EXPECT_EQ(Next(hana), Nul("/fleav 2"));
    }

    QTemporaryDir dir;
    std::string path;
    TOperatorCommands operations;
    Control::TControlServer control;
};

// A connection from 127.0.0.2 (another loopback address) to the server.
std::unique_ptr<test::RawPeer> ConnectFrom127_0_0_2(int port)
{
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    inet_pton(AF_INET, "127.0.0.2", &local.sin_addr);
    EXPECT_EQ(::bind(handle, reinterpret_cast<sockaddr*>(&local), sizeof local), 0);
    sockaddr_in remote{};
    remote.sin_family = AF_INET;
    remote.sin_port = htons(static_cast<std::uint16_t>(port));
    inet_pton(AF_INET, "127.0.0.1", &remote.sin_addr);
    EXPECT_EQ(::connect(handle, reinterpret_cast<sockaddr*>(&remote), sizeof remote), 0);
    return std::make_unique<test::RawPeer>(handle);
}

// The value of an unlabelled series in a metrics text; NaN when absent.
double MetricValue(const std::string& text, const std::string& series)
{
    const auto at = text.find("\n" + series + " ");
    return at == std::string::npos ? std::nan("") : std::stod(text.substr(at + series.size() + 2));
}

// What the metrics count as sent is what the clients receive, the packets
// the server sends of itself (the table list, a refusal, the muted notice)
// included; and a connection held back by pacing shows as paced seconds.
TEST_F(OperatorCommandsTest, MetricsCountWhatTheClientsReceiveAndTheTimePacingHeldThemBack)
{
    // About 20 KB charged against a 2 KB burst: most of a second owed.
    socket.RelayRate = 20000;
    socket.RelayBurst = 2000;
    auto taro = Connect();
    auto ken = Connect();
    auto far = Connect();
    std::vector<std::string> seen;  // every packet the three have received
    const auto arrived = [&](std::string_view prefix) {
        for (LoopbackPeer* peer : {taro.get(), ken.get(), far.get()})
            while (auto packet = peer->TryNextPacket())
                seen.push_back(*packet);
        return std::count_if(seen.begin(), seen.end(), [&](const std::string& p) { return p.starts_with(prefix); });
    };
    ASSERT_TRUE(taro->SendPacket(Nul("/join " + PaddedName("taro"))));
    ASSERT_TRUE(ken->SendPacket(Nul("/join " + PaddedName("ken")) + "KIVOL/2 TABLE=room"));
    ASSERT_TRUE(ken->SendPacket(Nul("/tables")));
    ASSERT_TRUE(far->SendPacket(Nul("/join " + PaddedName("far")) + "KIVOL/2 TABLE=" + std::string(40, 'x')));
    server.Mute("taro", {});
    ASSERT_TRUE(taro->SendPacket(Nul("muted")));
    ASSERT_TRUE(WaitUntil([&] {
        return arrived(Cp932::FromUtf8("【管理】")) && arrived(Protocol::Tables::ListEnd) && arrived("/refused");
    }));
    // The chat is relayed back, so taro is charged twice for each line; the
    // packet after the echoes finds taro owing, and its reading is held back.
    server.Unmute("taro");
    const std::string chat = Nul(std::string(500, 'z'));
    for (int i = 0; i < 20; ++i)
        ASSERT_TRUE(taro->SendPacket(chat));
    ASSERT_TRUE(WaitUntil([&] { return arrived(chat) == 20; }));
    ASSERT_TRUE(taro->SendPacket(Nul("marker")));
    const auto counted = [&](const std::string& text) {
        double bytes = 0;
        for (const std::string& packet : seen)
            bytes += static_cast<double>(packet.size());
        return MetricValue(text, "kivol_packets_sent_total") == static_cast<double>(seen.size()) &&
               MetricValue(text, "kivol_bytes_sent_total") == bytes;
    };
    ASSERT_TRUE(WaitUntil([&] { return arrived(Nul("marker")) && counted(operations.MetricsText()); }));
    const TCtl metrics = Ctl({"metrics"});
    EXPECT_TRUE(counted(metrics.Out)) << metrics.Out;
    EXPECT_GT(MetricValue(metrics.Out, "kivol_paced_seconds_total"), 0.1) << metrics.Out;
}

TEST_F(OperatorCommandsTest, KickClosesAClientThatIgnoresKillAndTheOthersSeeItLeaveWithItsSeat)
{
    auto [taro, hana] = SeatTaroBesideHana();

    const TCtl players = Ctl({"players"});
    EXPECT_EQ(players.Status, 0);
    EXPECT_NE(players.Out.find("(main)  taro  127.0.0.1  level 1  seats 2  connected"), std::string::npos)
        << players.Out;

    const TCtl kick = Ctl({"kick", "taro", "--reason", "spam"});
    EXPECT_EQ(kick.Status, 0) << kick.Err;
    EXPECT_TRUE(LogHas("control: uid " + std::to_string(getuid()) + ": kick taro --reason spam"));
    // taro reads "/kill" and does nothing: the server closes it all the same.
    EXPECT_EQ(SkipUntil(*taro, "/kill"), Nul("/kill " + PaddedName("taro")));
    EXPECT_TRUE(taro->WaitClosed(TGameServer::KickGrace.count() * 1000 + 3000));
    EXPECT_EQ(Next(*hana), Nul("/kill " + PaddedName("taro")));
    ExpectTaroLeftSeatTwo(*hana);
    EXPECT_EQ(game.Roster.Count(), 1);

    EXPECT_EQ(Ctl({"kick", "nobody"}).Status, 1);
}

// A level-1 client that obeys "/kill" runs its whole leave sequence: the
// others, level 1 and level 2 alike, receive exactly what its own leaving
// would have sent, every seat freed, and nothing after it.
TEST_F(OperatorCommandsTest, KickOfAClientThatObeysKillRelaysItsWholeLeaveSequence)
{
    auto [taro, hana] = SeatTaroBesideHana();
    ASSERT_TRUE(taro->SendPacket(Nul("/take 5 " + PaddedName("taro"))));
    EXPECT_EQ(Next(*hana), Nul("/take 5 " + PaddedName("taro")));
    auto ken = Connect();
    JoinLevel2(*ken, "ken");
    SkipUntil(*hana, "/list");

    ASSERT_EQ(Ctl({"kick", "taro"}).Status, 0);
    EXPECT_EQ(SkipUntil(*taro, "/kill"), Nul("/kill " + PaddedName("taro")));
    for (const std::string& packet : {Nul("/left " + PaddedName("taro")), Nul("/fleav 2"), Nul("/fleav 5")})
        ASSERT_TRUE(taro->SendPacket(packet));
    taro.reset();
    const std::string list = Nul("/list \"" + PaddedName("hana") + "\",\"" + PaddedName("ken") + "\"");
    for (LoopbackPeer* other : {hana.get(), ken.get()}) {
        EXPECT_EQ(Next(*other), Nul("/kill " + PaddedName("taro")));
        EXPECT_EQ(Next(*other), list);
        EXPECT_EQ(Next(*other), Nul("/left " + PaddedName("taro")));
        EXPECT_EQ(Next(*other), Nul("/fleav 2"));
        EXPECT_EQ(Next(*other), Nul("/fleav 5"));
    }
    EXPECT_TRUE(WaitUntil([&] { return server.Peers().size() == 2; }));
    ExpectOnlyMarkerNext(*hana, {hana.get(), ken.get()});
    EXPECT_EQ(game.Table.Occupants[2], "");
    EXPECT_EQ(game.Table.Occupants[5], "");
    EXPECT_EQ(game.Roster.Count(), 2);
}

// A kicked client that sends its "/left" and closes without freeing its seat
// leaves no seat behind: the server frees it as the leave would have.
TEST_F(OperatorCommandsTest, AKickedClientThatClosesAfterItsLeftHasItsSeatFreed)
{
    auto [taro, hana] = SeatTaroBesideHana();
    ASSERT_EQ(Ctl({"kick", "taro"}).Status, 0);
    EXPECT_EQ(SkipUntil(*taro, "/kill"), Nul("/kill " + PaddedName("taro")));
    ASSERT_TRUE(taro->SendPacket(Nul("/left " + PaddedName("taro"))));
    taro.reset();
    EXPECT_EQ(Next(*hana), Nul("/kill " + PaddedName("taro")));
    ExpectTaroLeftSeatTwo(*hana);
    ExpectOnlyMarkerNext(*hana, {hana.get()});
    EXPECT_EQ(game.Table.Occupants[2], "");
}

// An operator who wants to ban a player who just dropped sees where it came
// from: an away entry keeps its last address and level, also after a resume.
TEST_F(OperatorCommandsTest, PlayersShowsAnAwayEntrysLastAddressAndLevel)
{
    auto taro = Connect();
    Join(*taro, "taro");
    auto ken = Connect();
    ASSERT_TRUE(ken->SendPacket(Nul("/join " + PaddedName("ken")) + "KIVOL/2"));
    std::string token;
    for (std::optional<std::string> packet; token.empty() && (packet = ken->NextPacket());)
        if (packet->starts_with(Protocol::Level2::StateBegin))
            token = packet->substr(std::string_view(Protocol::Level2::StateBegin).size() + 1,
                                   Protocol::Level2::TokenLength);
    ASSERT_FALSE(token.empty());
    ken.reset();
    taro.reset();
    ASSERT_TRUE(WaitUntil(
        [&] { return game.Roster.Count() == 2 && game.Roster.Entry(0).Away && game.Roster.Entry(1).Away; }));

    const TCtl players = Ctl({"players"});
    EXPECT_NE(players.Out.find("(main)  ken  127.0.0.1  level 2  seats -  away"), std::string::npos) << players.Out;
    EXPECT_NE(players.Out.find("(main)  taro  127.0.0.1  level 1  seats -  away"), std::string::npos) << players.Out;
    const TCtl json = Ctl({"--json", "players"});
    EXPECT_NE(json.Out.find("\"address\": \"127.0.0.1\""), std::string::npos) << json.Out;

    auto back = Connect();
    ASSERT_TRUE(back->SendPacket(Nul("/join " + PaddedName("ken")) + "KIVOL/2 RESUME=" + token));
    SkipUntil(*back, "/state end");
    EXPECT_NE(Ctl({"players"}).Out.find("(main)  ken  127.0.0.1  level 2  seats -  connected"), std::string::npos);
}

// A restart saves the tables at once: a kicked entry whose client has not
// closed yet goes first, seat and all, and is not kept for the next run.
TEST_F(OperatorCommandsTest, AKickedEntryIsNotSavedWhileItsClientLingers)
{
    auto [taro, hana] = SeatTaroBesideHana();
    ASSERT_EQ(Ctl({"kick", "taro"}).Status, 0);
    EXPECT_EQ(SkipUntil(*hana, "/kill"), Nul("/kill " + PaddedName("taro")));

    server.CompleteKicks();
    const std::vector<TSavedTable> saved = SaveTables(server);
    ASSERT_EQ(saved.size(), 1u);
    ASSERT_EQ(saved[0].Entries.size(), 1u);
    EXPECT_EQ(saved[0].Entries[0].Name, PaddedName("hana"));
    EXPECT_EQ(saved[0].Record.Occupants[2], "");
    ExpectTaroLeftSeatTwo(*hana);
    EXPECT_TRUE(taro->WaitClosed(TGameServer::KickGrace.count() * 1000 + 3000));
}

TEST_F(OperatorCommandsTest, BannedNameIsKickedWithItsReasonAndRefusedAtEveryLaterJoin)
{
    auto jiro = Connect();
    JoinLevel2(*jiro, "Jiro");
    EXPECT_EQ(Ctl({"ban", "jiro", "--reason", "荒らし"}).Status, 0);
    // A level-2 client reads why before anything else.
    EXPECT_EQ(Next(*jiro), Refused(TRefusal::Banned, "荒らし"));
    EXPECT_TRUE(jiro->WaitClosed(5000));
    EXPECT_TRUE(WaitUntil([&] { return game.Roster.Count() == 0; }));

    auto again = Connect();
    ASSERT_TRUE(again->SendPacket(Nul("/join " + PaddedName("JIRO")) + "KIVOL/2"));
    EXPECT_EQ(Next(*again), Nul(Protocol::Tables::RefusedText(
                                TRefusal::Banned, Protocol::Tables::RefusalSentence(TRefusal::Banned))));
    EXPECT_TRUE(again->WaitClosed());
    auto level1 = Connect();
    ASSERT_TRUE(level1->SendPacket(Nul("/join " + PaddedName("jiro"))));
    EXPECT_TRUE(level1->WaitClosed());
    EXPECT_EQ(game.Roster.Count(), 0);

    EXPECT_EQ(Ctl({"unban", "jiro"}).Status, 0);
    auto back = Connect();
    Join(*back, "jiro");
}

TEST_F(OperatorCommandsTest, BannedAddressIsRefusedAtAcceptWhileLoopbackOneTwoSevenZeroZeroOnePlaysOn)
{
    auto other = ConnectFrom127_0_0_2(port);
    ASSERT_TRUE(WaitUntil([&] { return server.Peers().size() == 1; }));
    auto player = Connect();
    Join(*player, "taro");

    const TCtl ban = Ctl({"ban", "127.0.0.2", "--minutes", "5"});
    EXPECT_EQ(ban.Status, 0) << ban.Err;
    EXPECT_TRUE(other->WaitClosed());
    for (int i = 0; i < 3; ++i) {
        auto refused = ConnectFrom127_0_0_2(port);
        EXPECT_TRUE(refused->WaitClosed());
    }
    EXPECT_EQ(server.Peers().size(), 1u);
    ASSERT_TRUE(player->SendPacket(Nul("still here")));
    EXPECT_EQ(Next(*player), Nul("still here"));
    const TCtl bans = Ctl({"bans"});
    EXPECT_NE(bans.Out.find("127.0.0.2  until "), std::string::npos) << bans.Out;
    EXPECT_EQ(Ctl({"unban", "127.0.0.2"}).Status, 0);
    auto welcome = ConnectFrom127_0_0_2(port);
    EXPECT_TRUE(WaitUntil([&] { return server.Peers().size() == 2; }));
}

TEST_F(OperatorCommandsTest, MutedPlayerIsToldAloneWhileSayReachesEveryTableOrOne)
{
    auto taro = Connect();
    Join(*taro, "taro");
    auto hana = Connect();
    Join(*hana, "hana");
    auto room = Connect();
    JoinLevel2(*room, "ken", " TABLE=room");
    SkipUntil(*taro, "/list");

    EXPECT_EQ(Ctl({"mute", "taro"}).Status, 0);
    ASSERT_TRUE(taro->SendPacket(Nul("うるさい")));
    EXPECT_EQ(Next(*taro), Nul(Cp932::FromUtf8("【管理】発言が制限されています")));
    ExpectOnlyMarkerNext(*hana, {hana.get(), taro.get()});

    EXPECT_EQ(Ctl({"say", "まもなく再起動します"}).Status, 0);
    for (LoopbackPeer* peer : {taro.get(), hana.get(), room.get()})
        EXPECT_EQ(Next(*peer), Nul(Cp932::FromUtf8("【管理】まもなく再起動します")));
    EXPECT_EQ(Ctl({"say", "room only", "--table", "ROOM"}).Status, 0);
    EXPECT_EQ(Next(*room), Nul(Cp932::FromUtf8("【管理】room only")));
    ExpectOnlyMarkerNext(*hana, {hana.get(), taro.get()});

    EXPECT_EQ(Ctl({"unmute", "taro"}).Status, 0);
    ASSERT_TRUE(taro->SendPacket(Nul("hello")));
    EXPECT_EQ(Next(*hana), Nul("hello"));
    EXPECT_EQ(Ctl({"unmute", "taro"}).Status, 1);
}

TEST_F(OperatorCommandsTest, CloseTableEndsItsPlayersAndWatchersAndTheTableGoes)
{
    auto ken = Connect();
    auto watcher = Connect();
    auto main = Connect();
    JoinLevel2(*ken, "ken", " TABLE=room");
    JoinLevel2(*watcher, "eye", " TABLE=room WATCH");
    Join(*main, "taro");
    ASSERT_NE(server.FindTable("room"), nullptr);

    EXPECT_EQ(Ctl({"close", "room", "--reason", "maintenance"}).Status, 0);
    EXPECT_EQ(Next(*ken), Refused(TRefusal::Closed, "maintenance"));
    // The watcher may see ken's "/kill" first.
    EXPECT_EQ(SkipUntil(*watcher, "/refused"), Refused(TRefusal::Closed, "maintenance"));
    EXPECT_TRUE(watcher->WaitClosed());
    EXPECT_TRUE(ken->WaitClosed(TGameServer::KickGrace.count() * 1000 + 3000));
    EXPECT_TRUE(WaitUntil([&] { return server.FindTable("room") == nullptr; }));
    EXPECT_EQ(game.Roster.Count(), 1);
    EXPECT_EQ(Ctl({"close", "room"}).Status, 1);
}

TEST_F(OperatorCommandsTest, ShutdownAnnouncesAtHalvingIntervalsThenClosesEveryConnection)
{
    // A long minute while the shutdown is cancelled, a short one for the run.
    operations.Minute = std::chrono::seconds(30);
    bool ended = false;
    operations.OnShutdown = [&] { ended = true; };
    auto taro = Connect();
    auto ken = Connect();
    Join(*taro, "taro");
    JoinLevel2(*ken, "ken", " TABLE=room");

    EXPECT_EQ(Ctl({"shutdown", "--in", "1"}).Status, 0);
    EXPECT_EQ(Ctl({"shutdown", "--cancel"}).Status, 0);
    for (LoopbackPeer* peer : {taro.get(), ken.get()}) {
        EXPECT_EQ(Next(*peer), Nul(Cp932::FromUtf8("【管理】サーバーはあと1分で終了します")));
        EXPECT_EQ(Next(*peer), Nul(Cp932::FromUtf8("【管理】サーバーの終了は取り消されました")));
    }
    EXPECT_EQ(Ctl({"shutdown", "--cancel"}).Status, 1);

    operations.Minute = std::chrono::milliseconds(1500);
    EXPECT_EQ(Ctl({"shutdown", "--in", "1", "--reason", "更新"}).Status, 0);
    for (const char* left : {"1分", "30秒", "10秒"}) {
        const std::string notice = "【管理】サーバーはあと"s + left + "で終了します（更新）";
        EXPECT_EQ(Next(*taro), Nul(Cp932::FromUtf8(notice)));
        EXPECT_EQ(Next(*ken), Nul(Cp932::FromUtf8(notice)));
    }
    EXPECT_EQ(Next(*ken), Nul(Protocol::Tables::RefusedText(
                              TRefusal::Closed, Protocol::Tables::RefusalSentence(TRefusal::Closed))));
    EXPECT_TRUE(taro->WaitClosed());
    EXPECT_TRUE(ken->WaitClosed());
    EXPECT_TRUE(WaitUntil([&] { return ended; }));
}

TEST_F(OperatorCommandsTest, LimitsPerAddressCloseConnectionsOverThemAtAcceptAndLogOnce)
{
    server.SetAddressLimits({2, 20, true});
    auto first = Connect();
    auto second = Connect();
    for (int i = 0; i < 3; ++i) {
        LoopbackPeer over(port);
        EXPECT_TRUE(over.WaitClosed());
    }
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const AnsiString& line) { return line.find(Cp932::FromUtf8("/制限")) == 0; }),
              1);
    second.reset();
    EXPECT_TRUE(WaitUntil([&] { return server.Peers().size() == 1; }));
    auto third = Connect();
    EXPECT_EQ(server.Peers().size(), 2u);
}

// The records through kivolctl: a game played here is listed and counted on
// its player's page, a registered name is listed, kept off the leaderboard
// and freed, and the live database is copied whole while the server runs.
TEST_F(OperatorCommandsTest, RecordsCommandsListGamesPlayersAndNamesAndBackUpTheDatabase)
{
    QString error;
    const QString live = dir.filePath(QStringLiteral("live"));
    ASSERT_TRUE(QDir().mkpath(live));
    auto store = Records::OpenSqliteRecordStore(live, server.RecordsLog(), error);
    ASSERT_TRUE(store) << error.toStdString();
    server.UseRecords(std::move(store));
    Records::TRecordStore& records = *server.RecordStore();

    auto ann = Connect();
    JoinLevel2(*ann, "ann");
    ASSERT_TRUE(ann->SendPacket(Nul("/register " + PaddedName("ann"))));
    EXPECT_EQ(SkipUntil(*ann, "/namekey ").size(), "/namekey ann      "s.size() + 32 + 1);
    ASSERT_TRUE(ann->SendPacket(Nul("/take 2 " + PaddedName("ann"))));
    ASSERT_TRUE(ann->SendPacket(Nul("/deal " + PaddedName("ann") + " start BOTS=1 LEVEL=2")));
    ASSERT_TRUE(ann->SendPacket(Nul("/deal " + PaddedName("ann") + " stop")));
    ASSERT_TRUE(WaitUntil([&] { return records.Counts().Written == 2; }));

    const TCtl games = Ctl({"games"});
    EXPECT_EQ(games.Status, 0) << games.Err;
    EXPECT_NE(games.Out.find("(main)  stop  ann place "), std::string::npos) << games.Out;
    EXPECT_EQ(Ctl({"games", "--player", "ANN"}).Out, games.Out);
    EXPECT_EQ(Ctl({"games", "--table", "other"}).Out, "");
    const TCtl player = Ctl({"player", "ann"});
    EXPECT_EQ(player.Status, 0) << player.Err;
    EXPECT_EQ(player.Out.rfind("ann  registered\nrating ", 0), 0u) << player.Out;
    EXPECT_NE(player.Out.find("\ngames 1\n"), std::string::npos) << player.Out;
    EXPECT_EQ(Ctl({"player", "nobody"}).Status, 1);

    EXPECT_EQ(Ctl({"unrank", "ANN"}).Status, 0);
    EXPECT_NE(Ctl({"names"}).Out.find("ann  since "), std::string::npos);
    EXPECT_NE(Ctl({"names"}).Out.find("  unranked\n"), std::string::npos);
    EXPECT_EQ(Ctl({"rank", "ann"}).Status, 0);
    EXPECT_EQ(Ctl({"names"}).Out.find("unranked"), std::string::npos);
    EXPECT_EQ(Ctl({"unrank", "bob"}).Status, 1);

    const QString copy = dir.filePath(QStringLiteral("copy"));
    ASSERT_TRUE(QDir().mkpath(copy));
    const TCtl backup = Ctl({"backup", copy + QStringLiteral("/kivol.db")});
    EXPECT_EQ(backup.Status, 0) << backup.Err;
    EXPECT_EQ(Ctl({"backup", live + QStringLiteral("/kivol.db")}).Status, 1) << "the live database itself";
    EXPECT_EQ(Ctl({"backup", QStringLiteral("relative.db")}).Status, 0) << "made absolute at kivolctl";
    EXPECT_TRUE(QFile::exists(QDir::current().absoluteFilePath(QStringLiteral("relative.db"))));
    QFile::remove(QDir::current().absoluteFilePath(QStringLiteral("relative.db")));
    {
        auto restored = Records::OpenSqliteRecordStore(copy, {}, error);
        ASSERT_TRUE(restored) << error.toStdString();
        EXPECT_EQ(restored->Games({}).size(), 1u);
        EXPECT_EQ(restored->Names().size(), 1u);
    }

    EXPECT_EQ(Ctl({"release", "ann"}).Status, 0);
    EXPECT_EQ(Ctl({"release", "ann"}).Status, 1);
    EXPECT_EQ(Ctl({"names"}).Out, "");
    EXPECT_TRUE(LogHas("管理: 登録名 ann を解放します"));
    ASSERT_TRUE(WaitUntil([&] { return records.Counts().Queued == 0; }));
    const std::string metrics = Ctl({"metrics"}).Out;
    EXPECT_NE(metrics.find("\nkivol_records_written_total " + std::to_string(records.Counts().Written) + "\n"),
              std::string::npos)
        << metrics;
    EXPECT_NE(metrics.find("\nkivol_records_queue 0\n"), std::string::npos) << metrics;
}

}  // namespace
}  // namespace server_test
