// Dealt games in the window: the fields dialog and the exact "/deal" it sends,
// a game as a scripted server tells it (the round and the host, computer
// players marked, the hitter's countdown and focus, penalties, a refusal, the
// standings and もう一局 with the same fields, the stop), nothing of it at a
// level-1 server, and practice at a private table of the real server through
// a whole game against two bots.
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "client/deal_dialog.h"
#include "client_test_support.h"
#include "protocol/roster_text.h"

using namespace client_test;
using namespace std::chrono_literals;
using test::WaitUntil;

namespace {

const std::string Token = "0123456789abcdef0123456789abcdef";
const AnsiString Kenj = "KENJ    ";
const AnsiString Robo1 = Sjis("ロボ1") + "   ";
const AnsiString Robo2 = Sjis("ロボ2") + "   ";

// Fills the dialog's fields as a player would.
void ChooseFields(TDealDialog& dialog, bool random, int pace, int answer, int bots, int level)
{
    ASSERT_TRUE(dialog.isVisible());
    QTest::mouseClick(random ? dialog.rbRandom : dialog.rbFixed, Qt::LeftButton);
    dialog.spnPace->setValue(pace);
    dialog.spnAnswer->setValue(answer);
    dialog.spnBots->setValue(bots);
    dialog.cmbLevel->setCurrentIndex(level - 1);
}

class DealtGameWindow : public ::testing::Test {
protected:
    // KENJ alone at a level-2 server's fresh table: no game has shown it yet.
    void JoinAFreshTable()
    {
        w.Now = [this] { return now; };
        w.timAnswer.UseManualClock();
        ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener.Port()));
        peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs));
        ASSERT_EQ(peer->ReadPacket(), Join(Kenj));
        peer->SendAndWait(player, {"/list " + Protocol::RosterText({Kenj}), "/state begin " + Token + " 120",
                                   "/state end"});
    }

    // What the dealer sends as it starts KENJ's game with two level-4 bots.
    void DealerStarts(const std::string& target)
    {
        peer->SendAndWait(player, {"/init", "/take 0 " + Kenj, "/join " + Robo1,
                                   "/list " + Protocol::RosterText({Kenj, Robo1}), "/join " + Robo2,
                                   "/list " + Protocol::RosterText({Kenj, Robo1, Robo2}), "/take 1 " + Robo1,
                                   "/take 2 " + Robo2, "/game start " + Kenj + " " + target + " 2 30",
                                   "/game bot " + Robo1 + " 4", "/game bot " + Robo2 + " 4", "/game round 1"});
    }

    test::ReportRecorder reports;
    test::RawListener listener;
    std::unique_ptr<ScriptedPeer> peer;
    Player player;
    TForm1& w = *player.window;
    TDealtGame::TClock::time_point now = TDealtGame::TClock::time_point{} + 1h;
};

}  // namespace

TEST_F(DealtGameWindow, TheFieldsStartAGameThatShowsItsRoundBotsCountdownPenaltiesAndStandings)
{
    JoinAFreshTable();
    ASSERT_TRUE(w.btnDeal->isVisible());
    EXPECT_FALSE(w.btnStopDeal->isVisible());

    // Without a seat the player sits at the first free one, then starts.
    QTest::mouseClick(w.btnDeal, Qt::LeftButton);
    ChooseFields(*w.DealDialog, true, 2, 30, 2, 4);
    EXPECT_FALSE(w.DealDialog->spnTarget->isEnabled());
    QTest::mouseClick(w.DealDialog->btnStart, Qt::LeftButton);
    EXPECT_FALSE(w.DealDialog->isVisible());
    EXPECT_EQ(peer->ReadPacket(), Nul("/take 0 KENJ    "));
    const std::string start = Nul("/deal KENJ     start TARGET=random PACE=2 ANSWER=30 BOTS=2 LEVEL=4");
    EXPECT_EQ(peer->ReadPacket(), start);

    DealerStarts("random");
    EXPECT_EQ(w.lblGame->text(), QStringLiteral("第1局 ・ 親番 KENJ"));
    EXPECT_EQ(w.btnTakes[0]->text(), QStringLiteral("離席")) << "the dealer's seat is the player's own";
    EXPECT_EQ(w.lblTNames[1]->text(), QStringLiteral("ロボ1 CPU"));
    EXPECT_EQ(w.lblTNames[2]->toolTip(), QStringLiteral("コンピューター（上級）"));
    EXPECT_EQ(Roster(w), (QStringList{QStringLiteral("KENJ    "), QStringLiteral("ロボ1（CPU 上級）"),
                                      QStringLiteral("ロボ2（CPU 上級）")}));
    EXPECT_FALSE(w.btnDeal->isVisible());
    EXPECT_TRUE(w.btnStopDeal->isVisible()) << "the host may stop";
    for (QWidget* dealers : std::initializer_list<QWidget*>{w.btnDraw, w.btnSet, w.btnB2Y, w.btnInit, w.btnB2Ts[0]})
        EXPECT_FALSE(dealers->isEnabled()) << dealers->objectName().toStdString();
    EXPECT_TRUE(w.btnHit->isEnabled());

    // KENJ's answer opens: its box takes the focus and counts down.
    peer->SendAndWait(player, {"/set " + Sjis("親") + "      24", "/draw " + Sjis("親") + "      12",
                               "/draw " + Sjis("親") + "      11", "/hit KENJ     2026/12/09 14:00:00",
                               "/judge KENJ     Y 1 12+11", "/game answer KENJ     30"});
    ASSERT_TRUE(w.edtAnswer->isVisible());
    EXPECT_EQ(w.focusWidget(), w.edtAnswer);
    EXPECT_EQ(w.lblGameLive->text(), QStringLiteral("あなたの解答 残り 30 秒"));
    now += 11500ms;
    w.timAnswer.Advance(250);
    EXPECT_EQ(w.lblGameLive->text(), QStringLiteral("あなたの解答 残り 19 秒"));
    TypeText(w.edtAnswer, QStringLiteral("12+11"));
    QTest::keyClick(w.edtAnswer, Qt::Key_Return);
    EXPECT_EQ(peer->ReadPacket(), Nul("/answer KENJ     12+11"));

    // A take, then a bot's answer and its penalty; the seats show the standing.
    peer->SendAndWait(player, {"/B2T 0 KENJ    ", "/B2T 0 KENJ    ", "/game take KENJ     2", "/game round 2",
                               "/draw " + Sjis("親") + "      01", "/hit " + Robo1 + " 2026/12/09 14:00:09",
                               "/judge " + Robo1 + " Y 1 1", "/game answer " + Robo1 + " 30"});
    EXPECT_EQ(w.lblGame->text(), QStringLiteral("第2局 ・ 親番 KENJ"));
    EXPECT_EQ(w.lblGameLive->text(), QStringLiteral("ロボ1 の解答 残り 30 秒"));
    EXPECT_FALSE(w.edtAnswer->isVisible());
    peer->SendAndWait(player, {"/game penalty " + Robo1 + " time"});
    EXPECT_EQ(w.lblGameLive->text(), QStringLiteral("ロボ1：時間切れのペナルティ"));
    EXPECT_FALSE(w.timAnswer.Enabled());
    EXPECT_EQ(w.lblTables[0]->text(), QStringLiteral("2枚 1位"));
    EXPECT_EQ(w.lblTables[2]->text(), QStringLiteral("0枚 2位"));

    // A refusal is the server's sentence in a message box.
    peer->Send({"/game refused " + Sjis("対局はもう始まっています")});
    ASSERT_TRUE(WaitUntil([&] { return reports.Contains(QStringLiteral("対局はもう始まっています")); }, WaitMs));

    // The end: the standings over the field, and もう一局 sends the same start.
    peer->SendAndWait(player, {"/game result 1 2 " + Kenj, "/game result 2 0 " + Robo1, "/game result 2 0 " + Robo2,
                               "/game end deck", "/list " + Protocol::RosterText({Kenj}), "/left " + Robo1,
                               "/fleav 1", "/list " + Protocol::RosterText({Kenj}), "/left " + Robo2, "/fleav 2"});
    ASSERT_TRUE(w.frmStandings->isVisible());
    EXPECT_EQ(w.lblStandingsTitle->text(), QStringLiteral("終局"));
    EXPECT_EQ(w.lblStandings->text(), QStringLiteral("1位　KENJ　2枚\n2位　ロボ1（CPU 上級）　0枚\n"
                                                     "2位　ロボ2（CPU 上級）　0枚"));
    EXPECT_TRUE(w.lblGame->text().isEmpty());
    EXPECT_EQ(w.lblTables[0]->text(), QStringLiteral("2"));
    EXPECT_TRUE(w.btnDeal->isVisible() && w.btnDraw->isEnabled());
    QTest::mouseClick(w.btnOneMore, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), start) << "seated already: no take";
    QTest::mouseClick(w.btnCloseStandings, Qt::LeftButton);
    EXPECT_FALSE(w.frmStandings->isVisible());

    // The host's stop, after its confirmation.
    DealerStarts("47");
    ASSERT_TRUE(w.btnStopDeal->isVisible());
    reports.answer = IDCANCEL;
    QTest::mouseClick(w.btnStopDeal, Qt::LeftButton);
    reports.answer = IDOK;
    QTest::mouseClick(w.btnStopDeal, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/deal KENJ     stop")) << "nothing went for the cancel";
    peer->SendAndWait(player, {"/game result 1 0 " + Kenj, "/game end stop"});
    EXPECT_EQ(w.lblStandingsTitle->text(), QStringLiteral("終局（中止）"));
}

TEST_F(DealtGameWindow, AnotherPlayerMayStopOnlyOnceTheHostHasLeft)
{
    JoinAFreshTable();
    const AnsiString taro = "TARO    ";
    peer->SendAndWait(player, {"/list " + Protocol::RosterText({taro, Kenj}), "/init", "/take 0 " + taro,
                               "/take 3 " + Kenj, "/game start " + taro + " 47 5 20"});
    EXPECT_FALSE(w.btnStopDeal->isVisible());
    EXPECT_FALSE(w.btnDeal->isVisible()) << "a game runs";
    peer->SendAndWait(player, {"/list " + Protocol::RosterText({Kenj}), "/left " + taro, "/fleav 0"});
    EXPECT_TRUE(w.btnStopDeal->isVisible());
    EXPECT_EQ(w.lblGame->text(), QStringLiteral("親番 TARO")) << "before its first round";
}

TEST(DealtGameAtLevel1, NothingOfItShowsAndPracticeSaysWhy)
{
    test::ReportRecorder reports;
    test::RawListener listener;
    Player player;
    TForm1& w = *player.window;
    w.edtName->setText(QStringLiteral("KENJ"));
    w.edtAddress->setText(QStringLiteral("127.0.0.1:%1").arg(listener.Port()));
    ASSERT_TRUE(w.btnPractice->isVisible()) << "offered before connecting";
    QTest::mouseClick(w.btnPractice, Qt::LeftButton);
    ChooseFields(*w.DealDialog, true, 5, 20, 3, 2);
    QTest::mouseClick(w.DealDialog->btnStart, Qt::LeftButton);
    ScriptedPeer peer(listener.Accept(WaitMs));
    const std::string join = peer.ReadPacket();
    EXPECT_TRUE(join.starts_with(Nul("/join KENJ    ") + "KIVOL/2 TABLE=" + Sjis("練習"))) << join;
    EXPECT_NE(join.find(" KEY="), std::string::npos) << join;

    // A level-1 server answers the roster and goes on: no sync block.
    peer.Send({"/list KENJ    ", "/game start KENJ     47 5 20", "marker"});
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
    EXPECT_TRUE(player.ChatLines().contains(QStringLiteral("--- このサーバーは対局に対応していないので、練習はできません ---")));
    EXPECT_TRUE(player.ChatLines().value(1).startsWith(QStringLiteral("未対応のコマンドです")));
    EXPECT_FALSE(w.btnDeal->isVisible());
    EXPECT_FALSE(w.Game.Running());
}

TEST(DealtGamePractice, APrivateTableOfOnesOwnPlaysAWholeGameAgainstTwoBotsToTheStandingsAndOneMore)
{
    test::ReportRecorder reports;
    ClockedGameServer server(20261209);
    Player player;
    TForm1& w = *player.window;
    server.Follow(w);
    w.timHit.UseManualClock();
    OpenPractice(player, QStringLiteral("KENJ"), server.Port());
    ChooseFields(*w.DealDialog, true, 1, 10, 2, 3);
    QTest::mouseClick(w.DealDialog->btnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return w.Game.Running() && w.Game.Bots().size() == 2; }, WaitMs));

    // A private table of its own: not listed, named for practice, with a key.
    ASSERT_EQ(server.game.TableCount(), 1);
    const TGameTable& table = *server.game.Tables()[1];
    EXPECT_TRUE(table.Name().starts_with(Sjis("練習")));
    EXPECT_TRUE(table.Key.has_value());
    EXPECT_EQ(server.game.ListedTables().size(), 1u) << "only the main table is listed";
    EXPECT_EQ(w.Table.Table().Occupants[0], Kenj);
    EXPECT_EQ(w.Game.Host(), Kenj);

    // The window follows the server; KENJ hits at each new field and answers
    // with the judged calculation (a wrong one every other time).
    const auto caughtUp = [&] {
        const TTableState& seen = w.Table.Table();
        bool hands = true;
        for (int s = 0; s < TForm1::SeatCount; ++s)
            hands = hands && seen.Hands[static_cast<std::size_t>(s)] == table.Tefuda[s].Count;
        return hands && seen.Pile == table.Yamafuda.Count && w.Table.FieldCount() == table.Bafuda.Count &&
               w.Game.Running() == table.Game().Running() && w.Game.Hitter().value_or("") == table.Game().Hitter();
    };
    int answers = 0, hitAt = -1, focused = 0;
    for (int step = 0; step < 4000 && w.Game.Running(); ++step) {
        server.Advance(250ms);
        ASSERT_TRUE(WaitUntil(caughtUp, WaitMs)) << step;
        const int field = w.Table.FieldCount() * 100 + (54 - w.Table.Table().Pile.value_or(0));
        if (w.Game.Hitter() || field == hitAt || w.Table.FieldCount() == 0)
            continue;
        hitAt = field;
        // The hit's copy coming back means the server has judged it.
        w.Table.EndHit();
        QTest::mouseClick(w.btnHit, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return w.Table.HitShown(); }, WaitMs));
        ASSERT_TRUE(WaitUntil(caughtUp, WaitMs));
        if (w.Game.Hitter() != Kenj)
            continue;  // nothing to make: a penalty, or still penalised
        focused += w.focusWidget() == w.edtAnswer;
        EXPECT_EQ(w.lblGameLive->text(), QStringLiteral("あなたの解答 残り 10 秒"));
        const std::optional<TJudgement>& judged = w.Table.Judgement();
        const bool right = ++answers % 2 && judged && !judged->Expression.empty();
        const AnsiString expression = right ? judged->Expression : AnsiString("0");
        TypeText(w.edtAnswer, QString::fromStdString(expression));
        QTest::keyClick(w.edtAnswer, Qt::Key_Return);
        ASSERT_TRUE(WaitUntil([&] { return !table.Game().Hitter().size() && caughtUp(); }, WaitMs));
    }
    ASSERT_TRUE(w.Game.Ended());
    EXPECT_GT(answers, 0);
    EXPECT_EQ(focused, answers) << "the answer box had the focus at every answer";
    ASSERT_TRUE(w.frmStandings->isVisible());
    ASSERT_EQ(w.Game.Standings().size(), 3u);
    int cards = 0;
    for (const TGameStanding& standing : w.Game.Standings())
        cards += standing.Cards;
    int held = 0;
    for (int s = 0; s < TForm1::SeatCount; ++s)
        held += table.Tefuda[s].Count;
    EXPECT_EQ(cards, held);
    ASSERT_TRUE(WaitUntil([&] { return Roster(w) == QStringList{QStringLiteral("KENJ    ")}; }, WaitMs))
        << "the bots left";

    QTest::mouseClick(w.btnOneMore, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return w.Game.Running() && w.Game.Bots().size() == 2; }, WaitMs));
    EXPECT_EQ(w.Game.Options().Pace, 1);
    EXPECT_EQ(w.Game.Options().Answer, 10);
    EXPECT_FALSE(w.frmStandings->isVisible());
    EXPECT_TRUE(reports.reports.empty());
}
