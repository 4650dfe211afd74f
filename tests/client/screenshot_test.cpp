// Pictures of the client's window for a person to look at, not run by CTest:
//   xvfb-run -a env QT_QPA_PLATFORM=xcb build/<dir>/bin/test_client
//       --gtest_also_run_disabled_tests --gtest_filter='ClientScreenshot.*'
// writes /tmp/kivol_client.png (connected, before the first game) and
// /tmp/kivol_client_game.png and /tmp/kivol_client_game2.png (the two
// players' tables during a game, "HIT!!" showing; the first again in English:
// /tmp/kivol_client_game_english.png) and
// /tmp/kivol_client_version.png (the version dialog); on a level-2 server
// /tmp/kivol_client_early.png and /tmp/kivol_client_late.png (a player who was
// there from the start beside one who joined mid-game), then
// /tmp/kivol_client_judged.png (the hitter's table with the verdict and the
// answer box) and /tmp/kivol_client_reconnecting.png; and a judged hit seen by
// both players: /tmp/kivol_judged_hitter.png and /tmp/kivol_judged_other.png
// (five cards, a target, the verdict with the first-hit mark, the hitter's
// calculation and the judgement line in both chats); at a server of tables,
// /tmp/kivol_client_tables.png and /tmp/kivol_client_table_list.png (the
// window at a table and its table list) and /tmp/kivol_client_watching.png;
// from 練習 against two bots, /tmp/kivol_client_dealt_answer.png (the
// player's answer open with its countdown) and
// /tmp/kivol_client_dealt_standings.png (the standings at the end); with a
// registered name, /tmp/kivol_client_names.png (a full field beside the
// 名前・成績 button), /tmp/kivol_client_names_menu.png and
// /tmp/kivol_client_name_key.png (the key just registered).
#include <functional>
#include <random>

#include <QCheckBox>
#include <QComboBox>
#include <QSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <sys/socket.h>

#include <QMenu>

#include "client/client_language.h"
#include "client/deal_dialog.h"
#include "client/name_key_dialog.h"
#include "client/table_list_dialog.h"
#include "client/version_dialog.h"
#include "protocol/roster_text.h"
#include "client_test_support.h"

using namespace client_test;
using test::WaitUntil;

namespace {

void Save(QWidget& window, const char* path)
{
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_TRUE(window.grab().save(QString::fromLatin1(path)));
}

// KENJ and 太郎 at the server, in that order, and a new game started.
void StartGame(GameServer& server, Player& kenj, Player& taro)
{
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.socket.ClientCount() == 1; }));
    ASSERT_TRUE(taro.Connect(QStringLiteral("太郎"), server.Port()));
    QTest::mouseClick(kenj.window->btnInit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return taro.window->Panel2->isVisible(); }));
}

// Draws cards, each by the player taroDraws names, each seen at both tables.
void DrawCards(TForm1& k, TForm1& t, int cards, const std::function<bool(int draw)>& taroDraws)
{
    for (int draw = 1; draw <= cards; ++draw) {
        QTest::mouseClick((taroDraws(draw) ? t : k).btnDraw, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return k.BafudaCount == draw && t.BafudaCount == draw; }));
    }
}

}  // namespace

TEST(ClientScreenshot, DISABLED_ConnectedBeforeTheFirstGame)
{
    GameServer server;
    Player kenj, taro;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(taro.Connect(QStringLiteral("太郎"), server.Port()));
    TypeText(taro.window->edtMessage, QStringLiteral("よろしく～"));
    QTest::keyClick(taro.window->edtMessage, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return kenj.ChatLines().size() == 2; }));
    kenj.window->edtMessage->setText(QStringLiteral("こんにちは"));
    Save(*kenj.window, "/tmp/kivol_client.png");
}

TEST(ClientScreenshot, DISABLED_AGameInProgress)
{
    test::ReportRecorder reports;  // answers the new-game confirmation
    GameServer server;
    Player kenj, taro;
    StartGame(server, kenj, taro);
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    QTest::mouseClick(k.btnTakes[0], Qt::LeftButton);
    QTest::mouseClick(k.btnTakes[5], Qt::LeftButton);
    QTest::mouseClick(t.btnTakes[2], Qt::LeftButton);
    DrawCards(k, t, 8, [](int draw) { return draw % 3 == 0; });
    QTest::mouseClick(t.btnB2Ts[2], Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.BafudaCount == 7; }));
    QTest::mouseClick(k.btnSet, Qt::LeftButton);
    k.timHit.UseManualClock();
    t.timHit.UseManualClock();
    QTest::mouseClick(t.btnHit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.lblHit->isVisible() && !k.lblMName->text().isEmpty(); }));
    TypeText(k.edtMessage, QStringLiteral("はやっ！"));
    QTest::keyClick(k.edtMessage, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] { return taro.ChatLines().value(0).contains(QStringLiteral("はやっ")); }));
    Save(k, "/tmp/kivol_client_game.png");
    Save(t, "/tmp/kivol_client_game2.png");
    // The same window once the client speaks English.
    ASSERT_TRUE(UseClientLanguage(TClientLanguage::English));
    Save(k, "/tmp/kivol_client_game_english.png");
    UseClientLanguage(TClientLanguage::Japanese);
}

TEST(ClientScreenshot, DISABLED_TheVersionDialog)
{
    TForm2 dialog;
    dialog.show();
    Save(dialog, "/tmp/kivol_client_version.png");
}

TEST(ClientScreenshot, DISABLED_Level2LateJoinerJudgementAndReconnecting)
{
    test::ReportRecorder reports;  // answers the new-game confirmation
    GameServer server;
    Player kenj, taro;
    StartGame(server, kenj, taro);
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    QTest::mouseClick(k.btnTakes[0], Qt::LeftButton);
    QTest::mouseClick(t.btnTakes[3], Qt::LeftButton);
    DrawCards(k, t, 6, [](int draw) { return draw % 2 == 0; });
    QTest::mouseClick(t.btnB2Ts[3], Qt::LeftButton);
    QTest::mouseClick(k.btnSet, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return t.Table.Table().Target.has_value(); }));

    Player late;
    ASSERT_TRUE(late.Connect(QStringLiteral("AB"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return late.window->Table.Table() == t.Table.Table(); }));
    Save(k, "/tmp/kivol_client_early.png");
    Save(*late.window, "/tmp/kivol_client_late.png");

    // The hit as the server judges it; the example shows on request.
    t.timHit.UseManualClock();
    k.timHit.UseManualClock();
    QTest::mouseClick(t.btnHit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return t.lblHit->isVisible(); }));
    WaitUntil([&] { return t.lblJudge->isVisible(); });
    QTest::mouseClick(t.btnShowAnswer, Qt::LeftButton);
    TypeText(t.edtAnswer, t.lblAnswer->text());
    Save(t, "/tmp/kivol_client_judged.png");

    k.Reconnector.UseManualClock();
    ASSERT_EQ(::shutdown(server.socket.GetClientSocket(0)->SocketHandle(), SHUT_RDWR), 0);
    ASSERT_TRUE(WaitUntil([&] { return k.Reconnector.Waiting(); }));
    Save(k, "/tmp/kivol_client_reconnecting.png");
}

TEST(ClientScreenshot, DISABLED_Level2AJudgedHitAtBothTables)
{
    test::ReportRecorder reports;  // answers the new-game confirmation
    GameServer server;
    std::mt19937 engine(20261207);
    server.game.SetRandomEngine(engine);
    server.game.Main().Yamafuda.Reset();
    Player kenj, taro;
    StartGame(server, kenj, taro);
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    DrawCards(k, t, 5, [](int draw) { return draw % 2 == 0; });
    k.edtMokuteki->setText(QStringLiteral("24"));
    QTest::mouseClick(k.btnSet, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return t.Table.Table().Target == std::optional<AnsiString>("24"); }));

    t.timHit.UseManualClock();
    k.timHit.UseManualClock();
    QTest::mouseClick(t.btnHit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return t.lblJudge->isVisible() && k.lblJudge->isVisible(); }));
    // The hitter asks for the example and types it as the answer.
    QTest::mouseClick(t.btnShowAnswer, Qt::LeftButton);
    TypeText(t.edtAnswer, t.lblAnswer->text());
    QTest::keyClick(t.edtAnswer, Qt::Key_Return);
    ASSERT_TRUE(WaitUntil([&] {
        return kenj.ChatLines().value(0).startsWith(QStringLiteral("【判定】")) &&
               taro.ChatLines().value(0).startsWith(QStringLiteral("【判定】"));
    }));
    Save(t, "/tmp/kivol_judged_hitter.png");
    Save(k, "/tmp/kivol_judged_other.png");
}

TEST(ClientScreenshot, DISABLED_TablesTheListAndAWatcher)
{
    test::RawListener listener;
    for (const bool watch : {false, true}) {
        Player player;
        TForm1& w = *player.window;
        w.edtName->setText(QStringLiteral("KENJ"));
        w.edtAddress->setText(QStringLiteral("127.0.0.1:%1/金曜").arg(listener.Port()));
        w.chkWatch->setChecked(watch);
        QTest::mouseClick(w.btnConnect, Qt::LeftButton);
        ScriptedPeer peer(listener.Accept(WaitMs));
        peer.ReadPacket();
        peer.SendAndWait(player, {"/list " + Protocol::RosterText({"TARO    ", "KENJ    "}),
                                  "/state begin " + std::string(32, watch ? '0' : 'a') + " 120", "/init",
                                  "/take 0 TARO    ", "/draw TARO     05", "/draw TARO     33", "/state end",
                                  "TARO    : " + Sjis("よろしく")});
        if (watch) {
            Save(w, "/tmp/kivol_client_watching.png");
            continue;
        }
        Save(w, "/tmp/kivol_client_tables.png");
        QTest::mouseClick(w.btnTables, Qt::LeftButton);
        peer.SendAndWait(player, {"/tables begin", "/tables row 3 2 1 1 ", "/tables row 2 0 0 1 " + Sjis("金曜"),
                                  "/tables row 1 1 3 0 " + Sjis("初心者歓迎"), "/tables end"});
        Save(*w.TablesDialog, "/tmp/kivol_client_table_list.png");
    }
}

TEST(ClientScreenshot, DISABLED_APracticeGameItsOpenAnswerAndItsStandings)
{
    ClockedGameServer server(20261209);
    Player player;
    TForm1& w = *player.window;
    server.Follow(w);
    w.timHit.UseManualClock();
    OpenPractice(player, QStringLiteral("KENJ"), server.Port());
    w.DealDialog->spnPace->setValue(2);
    w.DealDialog->cmbLevel->setCurrentIndex(2);
    QTest::mouseClick(w.DealDialog->btnStart, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return w.Game.Running() && w.Game.Bots().size() == 2; }));

    // The bots play; KENJ hits once the field can make the target.
    bool answered = false;
    for (int step = 0; step < 8000 && w.Game.Running(); ++step) {
        server.Advance(std::chrono::milliseconds(250));
        test::PumpFor(2);
        if (answered || w.Game.Hitter() || w.Table.FieldCount() < 4)
            continue;
        w.Table.EndHit();
        QTest::mouseClick(w.btnHit, Qt::LeftButton);
        WaitUntil([&] { return w.Game.Hitter() == AnsiString("KENJ    ") || w.Game.LastPenalty(); }, 2000);
        if (w.Game.Hitter() != AnsiString("KENJ    "))
            continue;
        // Four seconds into the answer.
        server.Advance(std::chrono::seconds(4));
        w.timAnswer.Advance(250);
        QTest::mouseClick(w.btnShowAnswer, Qt::LeftButton);
        TypeText(w.edtAnswer, w.lblAnswer->text());
        Save(w, "/tmp/kivol_client_dealt_answer.png");
        QTest::keyClick(w.edtAnswer, Qt::Key_Return);
        answered = true;
    }
    ASSERT_TRUE(answered);
    ASSERT_TRUE(WaitUntil([&] { return w.frmStandings->isVisible() && Roster(w).size() == 1; }));
    Save(w, "/tmp/kivol_client_dealt_standings.png");
}

TEST(ClientScreenshot, DISABLED_ARegisteredNameItsMenuAndItsKey)
{
    test::RawListener listener;
    Player player;
    TForm1& w = *player.window;
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), listener.Port()));
    ScriptedPeer peer(listener.Accept(WaitMs));
    peer.ReadPacket();
    std::vector<std::string> field;
    for (int card = 1; card <= TForm1::SlotCount; ++card)
        field.push_back("/draw " + std::string(card % 2 ? "TARO    " : "KENJ    ") + " " +
                        (card < 10 ? "0" : "") + std::to_string(card));
    peer.SendAndWait(player, {"/list " + Protocol::RosterText({"TARO    ", "KENJ    "}),
                              "/state begin " + std::string(32, 'a') + " 120", "/init", "/take 0 TARO    ",
                              "/take 3 KENJ    "});
    for (const std::string& draw : field)
        peer.Send({draw});
    peer.SendAndWait(player, {"/state end", "/site http://127.0.0.1:8080/"});
    Save(w, "/tmp/kivol_client_names.png");
    QTest::mouseClick(w.btnNames, Qt::LeftButton);
    Save(*w.mnuNames, "/tmp/kivol_client_names_menu.png");
    w.mnuNames->hide();
    w.actRegister->trigger();
    peer.ReadPacket();
    peer.SendAndWait(player, {"/namekey KENJ     00112233445566778899aabbccddeeff"});
    Save(*w.NameKeyDialog, "/tmp/kivol_client_name_key.png");
}
