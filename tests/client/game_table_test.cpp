// What received game commands do to the table: sent by a recording server
// over loopback, or handed straight to the packet handler where the test must
// see the moment a report is made.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "client_test_support.h"

using namespace client_test;
using test::WaitUntil;

namespace {

class GameTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), server.Port()));
        ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }, WaitMs));
        Receive("/init");
    }

    // Sends the command to the window and waits until a chat line marks that
    // it and everything before it has been applied.
    void Receive(std::string_view command)
    {
        server.Send(Nul(command));
        server.Send(Nul("marker"));
        ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
        w.mmChat->Clear();
    }

    // Applies the command inside the packet handler, as a delivered packet.
    void Handle(std::string_view command)
    {
        const std::string packet = Nul(command);
        w.pcsPacketArrived(&w.pcs, w.pcs.Socket(), packet.data(), static_cast<int>(packet.size()));
    }

    QStringList Drawers() const
    {
        QStringList names;
        for (QLabel* label : w.lblCards)
            names << label->text();
        return names;
    }

    int Pictures() const
    {
        int count = 0;
        for (QLabel* image : w.Images)
            count += image->pixmap().isNull() ? 0 : 1;
        return count;
    }

    test::ReportRecorder reports;
    RecordingServer server;
    Player player;
    TForm1& w = *player.window;
};

}  // namespace

TEST_F(GameTable, ANewGameShowsAnEmptyTableAndClearsEverySeatThisPlayersToo)
{
    EXPECT_TRUE(w.Panel2->isVisible());
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("54"));
    EXPECT_EQ(w.lblMokuteki->text(), QStringLiteral("目的数"));
    EXPECT_TRUE(w.lblMName->text().isEmpty());

    Receive("/take 1 KENJ    ");
    QTest::mouseClick(w.btnTakes[4], Qt::LeftButton);
    Receive("/draw KENJ     07");
    Receive("/set ab       12");
    Receive("/init");
    for (int s = 0; s < TForm1::SeatCount; ++s) {
        EXPECT_TRUE(w.lblTNames[s]->text().isEmpty());
        EXPECT_EQ(w.lblTables[s]->text(), QStringLiteral("0"));
        EXPECT_EQ(w.btnTakes[s]->text(), QStringLiteral("座る"));
        EXPECT_FALSE(w.btnB2Ts[s]->isVisible());
        EXPECT_FALSE(w.btnT2Ys[s]->isVisible());
    }
    EXPECT_EQ(w.BafudaCount, 0);
    EXPECT_EQ(Pictures(), 0);
    EXPECT_EQ(w.lblMokuteki->text(), QStringLiteral("目的数"));
    EXPECT_TRUE(w.lblMName->text().isEmpty());
    EXPECT_EQ(w.edtMokuteki->text(), QStringLiteral("12")) << "the target input stays";
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(GameTable, DrawsFillTheSlotsInOrderAndTakesAndReturnsEmptyTheLast)
{
    Receive("/draw KENJ     01");
    EXPECT_EQ(w.BafudaCount, 1);
    EXPECT_FALSE(w.Images[0]->pixmap().isNull());
    EXPECT_EQ(w.lblCards[0]->text(), QStringLiteral("KENJ    "));
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("53"));
    EXPECT_EQ(player.Sounds().count(QStringLiteral("draw")), 1);
    Receive("/hele");
    EXPECT_EQ(player.Sounds().count(QStringLiteral("hele")), 1);

    Receive("/draw " + Sjis("太郎") + "     54");
    Receive("/draw AB       30");
    EXPECT_EQ(Drawers().mid(0, 4),
              (QStringList{QStringLiteral("KENJ    "), QStringLiteral("太郎    "), QStringLiteral("AB      "), QString()}));
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("51"));

    Receive("/B2T 3 AB      ");
    EXPECT_EQ(w.BafudaCount, 2);
    EXPECT_TRUE(w.Images[2]->pixmap().isNull());
    EXPECT_TRUE(w.lblCards[2]->text().isEmpty());
    EXPECT_EQ(w.lblTables[3]->text(), QStringLiteral("1"));
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("51"));

    Receive("/B2Y");
    EXPECT_EQ(w.BafudaCount, 1);
    EXPECT_TRUE(w.lblCards[1]->text().isEmpty());
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("52"));

    // Only the sender's own button checks for an empty hand.
    Receive("/T2Y 0 AB      ");
    EXPECT_EQ(w.lblTables[0]->text(), QStringLiteral("-1"));
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("53"));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(GameTable, AnEmptyPileSetsTheCountToZeroAndLeavesTheField)
{
    Receive("/draw KENJ     12");
    Receive("/draw KENJ     999");
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("0"));
    EXPECT_EQ(w.BafudaCount, 1);
    EXPECT_EQ(Pictures(), 1);
    EXPECT_EQ(player.Sounds().count(QStringLiteral("draw")), 1);
}

TEST_F(GameTable, SeatsShowTheirOccupantsAndThisPlayersButtonOutlivesAnotherLeave)
{
    QTest::mouseClick(w.btnTakes[2], Qt::LeftButton);
    Receive("/take 2 KENJ    ");
    Receive("/take 5 " + Sjis("花子") + "    ");
    EXPECT_EQ(w.lblTNames[2]->text(), QStringLiteral("KENJ    "));
    EXPECT_EQ(w.lblTNames[5]->text(), QStringLiteral("花子    "));

    Receive("/leave 2");
    Receive("/fleav 5");
    EXPECT_TRUE(w.lblTNames[2]->text().isEmpty());
    EXPECT_TRUE(w.lblTNames[5]->text().isEmpty());
    EXPECT_EQ(w.btnTakes[2]->text(), QStringLiteral("離席"));
    EXPECT_TRUE(w.btnB2Ts[2]->isVisible());
}

TEST_F(GameTable, TheTargetAndItsSetterComeFromSet)
{
    Receive("/set " + Sjis("太郎") + "     108");
    EXPECT_EQ(w.lblMName->text(), QStringLiteral("太郎    "));
    EXPECT_EQ(w.lblMokuteki->text(), QStringLiteral("108"));
    EXPECT_EQ(w.edtMokuteki->text(), QStringLiteral("108"));
    Receive("/set AB       ");
    EXPECT_TRUE(w.lblMokuteki->text().isEmpty());
    EXPECT_TRUE(w.edtMokuteki->text().isEmpty());
}

TEST_F(GameTable, HitShowsUntilThreeSecondsAfterTheLatestHit)
{
    w.timHit.UseManualClock();
    Receive("/hit KENJ     2003/05/17 21:04:09");
    EXPECT_TRUE(w.lblHit->isVisible());
    EXPECT_EQ(player.Sounds().count(QStringLiteral("hit")), 1);
    w.timHit.Advance(2000);
    server.Send(Nul("/hit AB       2003/05/17 21:04:11"));
    ASSERT_TRUE(WaitUntil([&] { return player.Sounds().count(QStringLiteral("hit")) == 2; }, WaitMs));
    EXPECT_EQ(player.ChatLines().value(0),
              QStringLiteral("!!!!!!!!!--------   AB       2003/05/17 21:04:11       --------!!!!!!!!!"));
    w.timHit.Advance(2999);
    EXPECT_TRUE(w.lblHit->isVisible()) << "3 s after the first hit, 1 ms before the second's end";
    w.timHit.Advance(1);
    EXPECT_FALSE(w.lblHit->isVisible());
    EXPECT_FALSE(w.timHit.Enabled());
}

TEST_F(GameTable, AFailingCommandIsReportedAfterTheHandlerAndEndsOnlyItself)
{
    Handle("/draw KENJ     77");  // no bitmap 77.bmp
    EXPECT_TRUE(reports.reports.empty()) << "no message box inside the packet handler";
    ASSERT_TRUE(WaitUntil([&] { return reports.reports.size() == 1; }, WaitMs));
    EXPECT_TRUE(reports.Contains(QStringLiteral("77.bmp")));
    EXPECT_EQ(w.BafudaCount, 0);
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("54"));
    EXPECT_FALSE(player.Sounds().contains(QStringLiteral("draw")));

    // The commands behind it still arrive and apply.
    Receive("/draw KENJ     05");
    EXPECT_EQ(w.BafudaCount, 1);

    // A seat that is not a digit: read first in "/take" and "/leave", after
    // the field or pile changed in "/B2T" and "/T2Y".
    reports.reports.clear();
    Receive("/take x KENJ    ");
    Receive("/leave ?");
    Receive("/B2T x KENJ    ");
    Receive("/T2Y ");
    ASSERT_TRUE(WaitUntil([&] { return reports.reports.size() == 4; }, WaitMs));
    for (int s = 0; s < TForm1::SeatCount; ++s) {
        EXPECT_TRUE(w.lblTNames[s]->text().isEmpty());
        EXPECT_EQ(w.lblTables[s]->text(), QStringLiteral("0"));
    }
    EXPECT_EQ(w.BafudaCount, 0) << "the slot emptied before the seat was read";
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("54")) << "53 after the draw, raised before the seat was read";
    EXPECT_TRUE(reports.Contains(QStringLiteral("'x' は整数値ではありません")));
}

TEST_F(GameTable, CommandsBeyondTheTwelveSlotsAndSixSeatsTouchNothingOutside)
{
    Receive("/B2T 1 AB      ");
    Receive("/B2Y");
    EXPECT_EQ(w.BafudaCount, 0);
    EXPECT_EQ(w.lblTables[1]->text(), QStringLiteral("1")) << "the hand still gets the server's card";
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("55"));

    for (int card = 1; card <= 13; ++card)
        server.Send(Nul("/draw AB       " + std::string(card < 10 ? "0" : "") + std::to_string(card)));
    Receive("/take 7 AB      ");
    EXPECT_EQ(w.BafudaCount, 12);
    EXPECT_EQ(Pictures(), 12);
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("42")) << "the thirteenth card still left the pile";

    // A seat 6 to 9 is ignored whole, as the server ignores such a move.
    Receive("/leave 6");
    Receive("/fleav 9");
    Receive("/B2T 8 AB      ");
    Receive("/T2Y 9 AB      ");
    EXPECT_EQ(w.BafudaCount, 12);
    EXPECT_EQ(w.lblYamafuda->text(), QStringLiteral("42"));
    for (int s = 0; s < TForm1::SeatCount; ++s)
        EXPECT_EQ(w.lblTNames[s]->text().isEmpty(), true) << s;
    EXPECT_TRUE(reports.reports.empty());
}
