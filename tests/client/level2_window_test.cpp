// The window against a scripted server that speaks level 2 (or does not): the
// sync block applied silently, seats taken back, away marks, the judgement
// display and the answer box, and the way back after a dropped connection.
#include <sys/socket.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "client_test_support.h"
#include "protocol/roster_text.h"

using namespace client_test;
using test::WaitUntil;

namespace {

const std::string FirstToken = "0123456789abcdef0123456789abcdef";
const std::string SecondToken = "fedcba9876543210fedcba9876543210";

class Level2Window : public ::testing::Test {
protected:
    // Connects KENJ and answers as a level-2 server does: the roster, then a
    // sync block that seats KENJ at 3 and TARO at 0 during a game.
    void JoinDuringAGame()
    {
        ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener->Port()));
        peer = std::make_unique<ScriptedPeer>(listener->Accept(WaitMs));
        ASSERT_EQ(peer->ReadPacket(), Join("KENJ    "));
        peer->SendAndWait(player, {"/list " + Protocol::RosterText({"TARO    ", "KENJ    "}),
                                   "/state begin " + FirstToken + " 120", "/init", "/take 0 TARO    ",
                                   "/take 3 KENJ    ", "/draw TARO     05", "/B2T 0 TARO    ", "/draw KENJ     07",
                                   "/set TARO     24", "/state end", "/away TARO    "});
    }

    test::ReportRecorder reports;
    std::unique_ptr<test::RawListener> listener = std::make_unique<test::RawListener>();
    std::unique_ptr<ScriptedPeer> peer;
    Player player;
    TForm1& w = *player.window;
};

}  // namespace

TEST_F(Level2Window, TheSyncBlockRebuildsTheTableSilentlyGivesBackTheSeatsAndMarksAwayPlayers)
{
    JoinDuringAGame();
    EXPECT_TRUE(w.Panel2->isVisible());
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("52"));
    EXPECT_EQ(w.lblTables[0]->text(), QStringLiteral("1"));
    EXPECT_EQ(w.BafudaCount, 1);
    EXPECT_EQ(w.lblCards[0]->text(), QStringLiteral("KENJ    "));
    EXPECT_EQ(w.lblMokuteki->text(), QStringLiteral("24"));
    EXPECT_EQ(w.btnTakes[3]->text(), QStringLiteral("離席"));
    EXPECT_TRUE(w.btnB2Ts[3]->isVisible() && w.btnT2Ys[3]->isVisible());
    EXPECT_EQ(w.btnTakes[0]->text(), QStringLiteral("座る"));
    EXPECT_EQ(player.Sounds(), QStringList{QStringLiteral("message")}) << "only the marker line made a sound";
    EXPECT_TRUE(reports.reports.empty());

    EXPECT_EQ(Roster(w), (QStringList{QStringLiteral("TARO    （不在）"), QStringLiteral("KENJ    ")}));
    EXPECT_FALSE(w.lblTNames[0]->isEnabled()) << "the away player's seat is greyed";
    // A new roster keeps the marks by name.
    peer->SendAndWait(player, {"/list " + Protocol::RosterText({"KENJ    ", "TARO    ", "AB      "})});
    EXPECT_EQ(Roster(w), (QStringList{QStringLiteral("KENJ    "), QStringLiteral("TARO    （不在）"),
                                      QStringLiteral("AB      ")}));
    peer->SendAndWait(player, {"/back TARO    "});
    EXPECT_EQ(Roster(w).value(1), QStringLiteral("TARO    "));
    EXPECT_TRUE(w.lblTNames[0]->isEnabled());

    // Own seats are reclaimed from the table, so the buttons work on them.
    QTest::mouseClick(w.btnTakes[3], Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/leave 3"));
}

TEST_F(Level2Window, ADroppedConnectionResumesWithItsTokenAndDisconnectStopsTheWaiting)
{
    JoinDuringAGame();
    w.Reconnector.UseManualClock();
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting(); }, WaitMs));
    EXPECT_TRUE(w.lblReconnect->isVisible());
    EXPECT_TRUE(w.lblReconnect->text().startsWith(QStringLiteral("再接続中")));
    EXPECT_TRUE(w.btnDisconnect->isEnabled());
    EXPECT_FALSE(w.btnConnect->isEnabled());
    EXPECT_FALSE(w.Panel1->isEnabled()) << "nothing can be sent meanwhile";

    w.Reconnector.Advance(1000);
    peer = std::make_unique<ScriptedPeer>(listener->Accept(WaitMs));
    const std::string resume = peer->ReadPacket();
    EXPECT_EQ(resume, Nul("/join KENJ    ") + "KIVOL/2 RESUME=" + FirstToken);
    EXPECT_EQ(resume.size(), 62u);
    peer->SendAndWait(player, {"/list " + Protocol::RosterText({"TARO    ", "KENJ    "}),
                               "/state begin " + SecondToken + " 120", "/init", "/take 3 KENJ    ", "/state end"});
    EXPECT_FALSE(w.lblReconnect->isVisible());
    EXPECT_TRUE(w.Panel1->isEnabled());
    EXPECT_EQ(Roster(w), (QStringList{QStringLiteral("TARO    "), QStringLiteral("KENJ    ")}));
    EXPECT_EQ(w.btnTakes[3]->text(), QStringLiteral("離席"));
    EXPECT_TRUE(player.ChatLines().isEmpty());

    // A failed attempt waits longer, silently; Disconnect ends the waiting.
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting(); }, WaitMs));
    listener.reset();
    w.Reconnector.Advance(1000);
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting() && w.Reconnector.Attempt() == 2; }, WaitMs));
    EXPECT_EQ(w.Reconnector.WaitSeconds(), 2);
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    EXPECT_FALSE(w.Reconnector.Active());
    EXPECT_FALSE(w.lblReconnect->isVisible());
    EXPECT_TRUE(w.btnConnect->isEnabled());
    EXPECT_FALSE(w.Panel1->isVisible());
    test::PumpFor(50);
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(Level2Window, TheVerdictShowsWithTheHitAndOnlyTheHitterGetsAnAnswerBox)
{
    JoinDuringAGame();
    EXPECT_FALSE(w.lblJudge->isVisible());
    peer->SendAndWait(player, {"/hit KENJ     2003/05/17 21:04:09", "/judge KENJ     Y 1 (5+7)*2"});
    EXPECT_TRUE(w.lblHit->isVisible());
    EXPECT_EQ(w.lblJudge->text(), QStringLiteral("作れます　一番乗り KENJ"));
    EXPECT_TRUE(w.lblAnswer->text().isEmpty()) << "the expression waits until asked for";
    QTest::mouseClick(w.btnShowAnswer, Qt::LeftButton);
    EXPECT_EQ(w.lblAnswer->text(), QStringLiteral("(5+7)*2"));

    ASSERT_TRUE(w.edtAnswer->isVisible());
    TypeText(w.edtAnswer, QStringLiteral("(5 + 7) * 2"));
    QTest::keyClick(w.edtAnswer, Qt::Key_Return);
    EXPECT_EQ(peer->ReadPacket(), Nul("/answer KENJ     (5 + 7) * 2"));
    EXPECT_TRUE(w.edtAnswer->text().isEmpty());

    peer->SendAndWait(player, {"/hit TARO     2003/05/17 21:04:10", "/judge TARO     N 0 "});
    EXPECT_EQ(w.lblJudge->text(), QStringLiteral("作れません"));
    EXPECT_FALSE(w.edtAnswer->isVisible());
    EXPECT_FALSE(w.btnShowAnswer->isEnabled()) << "nothing to show";
}

TEST(Level1Server, NeverMeetsALevel2WordAndADropIsJustADrop)
{
    test::ReportRecorder reports;
    test::RawListener listener;
    Player player;
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener.Port()));
    ScriptedPeer peer(listener.Accept(WaitMs));
    EXPECT_EQ(peer.ReadPacket(), Join("KENJ    "));
    // No sync block came: the level-2 words are unknown commands, and a
    // "/state begin" that carries no token does not make a level-2 server.
    peer.Send({"/state begin nonsense 120", "/away KENJ    ", "/judge KENJ     Y 1 1", "marker"});
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
    ASSERT_EQ(player.ChatLines().size(), 4);
    for (int line = 1; line < 4; ++line)
        EXPECT_TRUE(player.ChatLines()[line].startsWith(QStringLiteral("未対応のコマンドです"))) << line;
    EXPECT_FALSE(player.window->lblJudge->isVisible());

    peer.ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return player.window->btnConnect->isEnabled(); }, WaitMs));
    EXPECT_FALSE(player.window->Reconnector.Active());
    EXPECT_FALSE(player.window->lblReconnect->isVisible());
    EXPECT_TRUE(reports.reports.empty());
}

TEST(Level2Game, ALateJoinerSeesTheTableAndACutPlayerComesBackToItsSeatsWithoutASecondRosterRow)
{
    test::ReportRecorder reports;
    GameServer server;
    Player kenj, taro;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.socket.ClientCount() == 1; }, WaitMs));
    ASSERT_TRUE(taro.Connect(QStringLiteral("TARO"), server.Port()));
    reports.answer = IDOK;
    QTest::mouseClick(kenj.window->btnInit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return kenj.window->Panel2->isVisible() && taro.window->Panel2->isVisible(); }));
    QTest::mouseClick(kenj.window->btnTakes[2], Qt::LeftButton);
    QTest::mouseClick(taro.window->btnTakes[5], Qt::LeftButton);
    for (int draw = 0; draw < 4; ++draw)
        QTest::mouseClick(kenj.window->btnDraw, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return taro.window->BafudaCount == 4; }, WaitMs));
    QTest::mouseClick(kenj.window->btnB2Ts[2], Qt::LeftButton);
    QTest::mouseClick(taro.window->btnSet, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return taro.window->Table.Table().Target == "47"; }, WaitMs));
    ASSERT_EQ(kenj.window->Table.Table(), taro.window->Table.Table());

    Player late;
    ASSERT_TRUE(late.Connect(QStringLiteral("AB"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return late.window->Table.Table() == taro.window->Table.Table(); }, WaitMs));
    EXPECT_TRUE(late.window->Panel2->isVisible());
    EXPECT_EQ(late.window->lblTables[2]->text(), QStringLiteral("1"));
    EXPECT_EQ(late.window->BafudaCount, 3);
    EXPECT_FALSE(late.Sounds().contains(QStringLiteral("draw"))) << "the rebuild is silent";

    // KENJ's connection is cut under it; the others see KENJ away.
    kenj.window->Reconnector.UseManualClock();
    ASSERT_EQ(::shutdown(server.socket.GetClientSocket(0)->SocketHandle(), SHUT_RDWR), 0);
    ASSERT_TRUE(WaitUntil([&] { return kenj.window->Reconnector.Waiting(); }, WaitMs));
    ASSERT_TRUE(WaitUntil([&] { return Roster(*taro.window).contains(QStringLiteral("KENJ    （不在）")); }, WaitMs));
    EXPECT_FALSE(taro.window->lblTNames[2]->isEnabled());

    kenj.window->Reconnector.Advance(1000);
    ASSERT_TRUE(WaitUntil([&] { return !kenj.window->Reconnector.Active(); }, WaitMs));
    ASSERT_TRUE(WaitUntil([&] { return Roster(*taro.window).contains(QStringLiteral("KENJ    ")); }, WaitMs));
    EXPECT_EQ(Roster(*taro.window).count(QStringLiteral("KENJ    ")), 1);
    EXPECT_EQ(Roster(*kenj.window), Roster(*taro.window));
    EXPECT_EQ(kenj.window->btnTakes[2]->text(), QStringLiteral("離席")) << "its seat is its own again";
    EXPECT_TRUE(taro.window->lblTNames[2]->isEnabled());
    EXPECT_EQ(kenj.window->Table.Table(), taro.window->Table.Table());
    QTest::mouseClick(kenj.window->btnB2Ts[2], Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return taro.window->lblTables[2]->text() == QStringLiteral("2"); }, WaitMs));
    EXPECT_TRUE(reports.reports.size() == 1 && reports.reports[0].caption == QStringLiteral("警告！！"))
        << "only the new-game confirmation";
}

TEST_F(Level2Window, ComingBackToAServerThatNoLongerSpeaksLevel2EndsTheWaitingAtItsRoster)
{
    JoinDuringAGame();
    w.Reconnector.UseManualClock();
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting(); }, WaitMs));
    w.Reconnector.Advance(1000);
    peer = std::make_unique<ScriptedPeer>(listener->Accept(WaitMs));
    EXPECT_EQ(peer->ReadPacket().size(), 62u);
    peer->SendAndWait(player, {"/list " + Protocol::RosterText({"KENJ    "})});
    EXPECT_FALSE(w.Reconnector.Active());
    EXPECT_FALSE(w.lblReconnect->isVisible());
    EXPECT_TRUE(w.Panel1->isEnabled());

    // A level-1 client now: the next drop is just a drop.
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.btnConnect->isEnabled(); }, WaitMs));
    EXPECT_FALSE(w.Reconnector.Active());
    EXPECT_TRUE(reports.reports.empty());
}
