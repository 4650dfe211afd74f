// The table's buttons: the exact bytes each sends, the checks that refuse,
// and the roster's focus handling.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "client_test_support.h"

using namespace client_test;
using test::WaitUntil;

namespace {

class PlayerActions : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), server.Port()));
        ASSERT_TRUE(server.WaitForPackets(1));
        server.Send(Nul("/init"));
        ASSERT_TRUE(WaitUntil([&] { return w.Panel2->isVisible(); }, WaitMs));
        server.packets.clear();
    }

    // Clicks the button and returns the packet it sent; a click that sends
    // nothing gives the hit that a second click sends, as a marker.
    std::string Sent(QPushButton* button)
    {
        const std::size_t before = server.packets.size();
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::mouseClick(w.btnHit, Qt::LeftButton);
        EXPECT_TRUE(server.WaitForPackets(before + 1));
        return server.packets.at(before);
    }

    void Receive(std::string_view command)
    {
        server.Send(Nul(command));
        server.Send(Nul("marker"));
        ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
    }

    const std::string marker = Nul("/hit KENJ    ");
    test::ReportRecorder reports;
    RecordingServer server;
    Player player;
    TForm1& w = *player.window;
};

}  // namespace

TEST_F(PlayerActions, SittingMarksTheSeatAtOnceAndStandingFreesIt)
{
    EXPECT_EQ(Sent(w.btnTakes[2]), Nul("/take 2 KENJ    "));
    EXPECT_EQ(w.btnTakes[2]->text(), QStringLiteral("離席"));
    EXPECT_TRUE(w.btnB2Ts[2]->isVisible());
    EXPECT_TRUE(w.btnT2Ys[2]->isVisible());
    EXPECT_TRUE(w.lblTNames[2]->text().isEmpty()) << "the label waits for the server's copy";

    Receive("/take 2 KENJ    ");
    const std::string leave = Sent(w.btnTakes[2]);
    EXPECT_EQ(leave, Nul("/leave 2"));
    EXPECT_EQ(leave.size(), 9u);
    EXPECT_EQ(w.btnTakes[2]->text(), QStringLiteral("座る"));
    EXPECT_FALSE(w.btnB2Ts[2]->isVisible());
    EXPECT_FALSE(w.btnT2Ys[2]->isVisible());
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(PlayerActions, ASeatTakenByAnotherIsRefusedAndAnEmptiedOneTakenAgain)
{
    Receive("/take 4 KENJI   ");
    EXPECT_EQ(Sent(w.btnTakes[4]), marker);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("残念でしたぁ。早い者勝ちですｗ"));
    EXPECT_EQ(reports.reports[0].caption, QStringLiteral("警告！！"));
    EXPECT_EQ(w.btnTakes[4]->text(), QStringLiteral("座る"));

    // Seated here, but the seat was emptied meanwhile: pressing sits again.
    QTest::mouseClick(w.btnTakes[1], Qt::LeftButton);
    Receive("/leave 1");
    EXPECT_EQ(Sent(w.btnTakes[1]), Nul("/take 1 KENJ    "));
    EXPECT_EQ(w.btnTakes[1]->text(), QStringLiteral("離席"));
}

TEST_F(PlayerActions, MovesAreRefusedWhenTheTableShowsNothingToMove)
{
    EXPECT_EQ(Sent(w.btnTakes[3]), Nul("/take 3 KENJ    "));
    EXPECT_EQ(Sent(w.btnB2Ts[3]), marker);
    EXPECT_EQ(Sent(w.btnT2Ys[3]), marker);
    EXPECT_EQ(Sent(w.btnB2Y), marker);
    ASSERT_EQ(reports.reports.size(), 3u);
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("もう場札無いでしょ！"));
    EXPECT_EQ(reports.reports[0].caption, QStringLiteral("あほ！！"));
    EXPECT_EQ(reports.reports[1].text, QStringLiteral("もう手札無いでしょ！"));
    EXPECT_EQ(reports.reports[1].caption, QStringLiteral("あほ！！"));
    EXPECT_EQ(reports.reports[2].text, QStringLiteral("もう場札無いです"));
    EXPECT_EQ(reports.reports[2].caption, QStringLiteral("警告"));

    Receive("/draw AB       10");
    Receive("/T2Y 3 AB      ");  // the hand shows -1: not empty
    EXPECT_EQ(Sent(w.btnB2Ts[3]), Nul("/B2T 3 KENJ    "));
    EXPECT_EQ(Sent(w.btnT2Ys[3]), Nul("/T2Y 3 KENJ    "));
    EXPECT_EQ(Sent(w.btnB2Y), Nul("/B2Y"));
    EXPECT_EQ(reports.reports.size(), 3u);
}

TEST_F(PlayerActions, DrawingStopsAtTwelveFieldCardsAndAnEmptyPile)
{
    EXPECT_EQ(Sent(w.btnDraw), Nul("/draw KENJ    "));
    for (int card = 1; card <= 12; ++card)
        server.Send(Nul("/draw AB       " + std::string(card < 10 ? "0" : "") + std::to_string(card)));
    Receive("/set AB       1");
    ASSERT_EQ(w.BafudaCount, 12);
    EXPECT_EQ(Sent(w.btnDraw), marker) << "the pile still holds 42 cards";
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("もう引けません"));
    EXPECT_EQ(reports.reports[0].caption, QStringLiteral("警告！！"));

    Receive("/init");
    Receive("/draw AB       999");
    EXPECT_EQ(Sent(w.btnDraw), marker);
    EXPECT_EQ(reports.reports.size(), 2u);
}

TEST_F(PlayerActions, HitSetAndReactionSendTheirExactBytes)
{
    EXPECT_EQ(Sent(w.btnHele), Nul("/hele"));
    const std::string set = Sent(w.btnSet);
    EXPECT_EQ(set, Nul("/set KENJ     47"));
    EXPECT_EQ(set.size(), 17u);
    w.edtMokuteki->clear();
    EXPECT_EQ(Sent(w.btnSet), Nul("/set KENJ     "));

    // Alt+H presses the hit button.
    const std::size_t before = server.packets.size();
    QTest::keyClick(&w, Qt::Key_H, Qt::AltModifier);
    ASSERT_TRUE(server.WaitForPackets(before + 1));
    EXPECT_EQ(server.packets[before], Nul("/hit KENJ    "));
}

TEST_F(PlayerActions, ANewGameIsSentOnlyAfterTheConfirmation)
{
    reports.answer = IDCANCEL;
    EXPECT_EQ(Sent(w.btnInit), marker);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].text,
              QStringLiteral("初期化します。現在プレイ中のゲームのデータはクリアされます。よろしいですか？"));
    EXPECT_EQ(reports.reports[0].caption, QStringLiteral("警告！！"));
    EXPECT_EQ(reports.reports[0].flags, MB_OKCANCEL | MB_DEFBUTTON2);

    reports.answer = IDOK;
    EXPECT_EQ(Sent(w.btnInit), Nul("/init"));
}

TEST_F(PlayerActions, TheRosterDoesNotKeepTheFocusAndLosesItsSelection)
{
    Receive("/list A,B");
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));

    w.btnInit->setFocus();
    QTest::keyClick(w.btnInit, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.btnInit);

    w.edtMessage->setFocus();
    QTest::mouseClick(w.lstPlayers->viewport(), Qt::LeftButton, {},
                      w.lstPlayers->visualItemRect(w.lstPlayers->item(1)).center());
    EXPECT_EQ(QApplication::focusWidget(), w.edtMessage);

    // From the reaction button the roster may take the focus; entering and
    // leaving it clears its selection.
    w.lstPlayers->item(0)->setSelected(true);
    w.btnHele->setFocus();
    w.lstPlayers->setFocus();
    EXPECT_EQ(QApplication::focusWidget(), w.lstPlayers);
    EXPECT_TRUE(w.lstPlayers->selectedItems().isEmpty());
    w.lstPlayers->item(0)->setSelected(true);
    w.mmChat->setFocus();
    EXPECT_TRUE(w.lstPlayers->selectedItems().isEmpty());
}

TEST(PlayerActionsTogether, TwoPlayersOfOneNameCanFreeEachOthersSeat)
{
    test::ReportRecorder reports;
    GameServer server;
    Player first, second;
    ASSERT_TRUE(first.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(second.Connect(QStringLiteral("KENJ"), server.Port()));
    QTest::mouseClick(first.window->btnInit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return second.window->Panel2->isVisible(); }, WaitMs));

    QTest::mouseClick(first.window->btnTakes[1], Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return !second.window->lblTNames[1]->text().isEmpty(); }, WaitMs));
    QTest::mouseClick(second.window->btnTakes[1], Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return first.window->lblTNames[1]->text().isEmpty(); }, WaitMs));
    EXPECT_EQ(first.window->btnTakes[1]->text(), QStringLiteral("離席"));
    EXPECT_EQ(reports.reports.size(), 1u) << "the new-game confirmation only";
}
