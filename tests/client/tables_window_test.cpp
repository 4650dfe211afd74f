// The window at a server of many tables, against a scripted server: the
// announcement names the table (and a resume names it too), the table list
// and moving to another table, watching, a refused join, and a server without
// tables that ignores the table asked for.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "client/table_list_dialog.h"
#include "client_test_support.h"
#include "protocol/roster_text.h"

using namespace client_test;
using test::WaitUntil;

namespace {

const std::string Token = "0123456789abcdef0123456789abcdef";
const std::string WatcherToken(32, '0');

class TablesWindow : public ::testing::Test {
protected:
    // Types the name and the address (the listener's port, then the rest),
    // presses Connect and takes the connection the window makes.
    void ConnectTo(const QString& rest, bool watch = false)
    {
        w.edtName->setText(QStringLiteral("KENJ"));
        w.edtAddress->setText(QStringLiteral("127.0.0.1:%1").arg(listener.Port()) + rest);
        w.chkWatch->setChecked(watch);
        QTest::mouseClick(w.btnConnect, Qt::LeftButton);
        Accept();
    }
    void Accept() { peer = std::make_unique<ScriptedPeer>(listener.Accept(WaitMs)); }

    // Answers a join as a level-2 server does, with a game where KENJ sits at seat 2.
    void AcceptJoin(const std::string& token = Token)
    {
        peer->SendAndWait(player, {"/list " + Protocol::RosterText({"TARO    ", "KENJ    "}),
                                   "/state begin " + token + " 120", "/init", "/take 0 TARO    ",
                                   "/take 2 KENJ    ", "/state end"});
    }

    // The action controls that are enabled.
    QStringList EnabledActions() const
    {
        QStringList enabled;
        std::vector<QWidget*> controls = {w.btnDraw, w.edtMokuteki, w.btnSet, w.btnB2Y, w.btnHit,
                                          w.btnHele, w.btnInit, w.edtMessage, w.btnSend};
        for (int s = 0; s < TForm1::SeatCount; ++s)
            controls.insert(controls.end(), {w.btnTakes[s], w.btnB2Ts[s], w.btnT2Ys[s]});
        for (QWidget* control : controls)
            if (control->isEnabled())
                enabled << control->objectName();
        return enabled;
    }

    test::ReportRecorder reports;
    test::RawListener listener;
    std::unique_ptr<ScriptedPeer> peer;
    Player player;
    TForm1& w = *player.window;
};

std::string Announced(std::string_view fields)
{
    return Join("KENJ    ") + std::string(fields);
}

TEST_F(TablesWindow, TheJoinNamesTheTableAndKeyAndTheResumeNamesThemToo)
{
    ConnectTo(QStringLiteral("/金曜#key=s3cret!"));
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("金曜") + " KEY=s3cret!"));
    AcceptJoin();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント - 金曜"));
    EXPECT_TRUE(w.btnTables->isVisible());

    w.Reconnector.UseManualClock();
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting(); }, WaitMs));
    w.Reconnector.Advance(1000);
    Accept();
    EXPECT_EQ(peer->ReadPacket(), Announced(" RESUME=" + Token + " TABLE=" + Sjis("金曜") + " KEY=s3cret!"));
    AcceptJoin();
    EXPECT_EQ(w.btnTakes[2]->text(), QStringLiteral("離席"));

    // The main table: the plain announcement, and the title says so.
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    ConnectTo(QStringLiteral("/"));
    EXPECT_EQ(peer->ReadPacket(), Join("KENJ    "));
    AcceptJoin();
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント - （メイン）"));
    EXPECT_TRUE(reports.reports.empty());

    // A name the wire cannot carry is refused before any connection.
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    w.edtAddress->setText(QStringLiteral("127.0.0.1/a b"));
    QTest::mouseClick(w.btnConnect, Qt::LeftButton);
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_TRUE(reports.reports[0].text.startsWith(QStringLiteral("テーブル名は")));
    EXPECT_TRUE(w.btnConnect->isEnabled());
}

TEST_F(TablesWindow, TheListFillsRefreshesAndMovingToATableLeavesFirst)
{
    ConnectTo(QString());
    ASSERT_EQ(peer->ReadPacket(), Join("KENJ    "));
    AcceptJoin();
    w.timTables.UseManualClock();
    QTest::mouseClick(w.btnTables, Qt::LeftButton);
    ASSERT_TRUE(w.TablesDialog->isVisible());
    EXPECT_EQ(peer->ReadPacket(), Nul("/tables"));
    peer->SendAndWait(player, {"/tables begin", "/tables row 3 2 0 1 ", "/tables row 1 0 2 0 " + Sjis("金曜"),
                               "/tables end"});
    EXPECT_EQ(ListedTables(w), (QStringList{QStringLiteral("（メイン）|3|2|0|対戦中"), QStringLiteral("金曜|1|0|2|")}));

    // Refreshed while open; a listing shows only once it is whole.
    w.timTables.Advance(1500);
    EXPECT_EQ(peer->ReadPacket(), Nul("/tables"));
    peer->SendAndWait(player, {"/tables begin", "/tables row 4 2 0 1 ", "/tables row 1 1 2 1 " + Sjis("金曜")});
    EXPECT_EQ(ListedTables(w).value(0), QStringLiteral("（メイン）|3|2|0|対戦中"));
    peer->SendAndWait(player, {"/tables row 1 0 0 0 abc", "/tables end"});
    EXPECT_EQ(ListedTables(w), (QStringList{QStringLiteral("（メイン）|4|2|0|対戦中"), QStringLiteral("金曜|1|1|2|対戦中"),
                                   QStringLiteral("abc|1|0|0|")}));

    // Joining 金曜: the leave sequence, then a join that names it.
    w.TablesDialog->grdTables->selectRow(1);
    QTest::mouseClick(w.TablesDialog->btnJoin, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/left KENJ    "));
    EXPECT_EQ(peer->ReadPacket(), Nul("/fleav 2"));
    EXPECT_TRUE(peer->WaitClosed());
    Accept();
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("金曜")));
    EXPECT_EQ(w.edtAddress->text(), QStringLiteral("127.0.0.1:%1/金曜").arg(listener.Port()));
    EXPECT_FALSE(w.TablesDialog->isVisible());
    AcceptJoin();

    // A new private table from the list; a name the wire cannot carry is refused in the dialog.
    QTest::mouseClick(w.btnTables, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/tables"));
    w.TablesDialog->edtNewName->setText(QStringLiteral("a/b"));
    QTest::mouseClick(w.TablesDialog->btnCreate, Qt::LeftButton);
    EXPECT_FALSE(w.TablesDialog->lblProblem->text().isEmpty());
    EXPECT_TRUE(w.btnDisconnect->isEnabled()) << "still at its table";
    w.TablesDialog->edtNewName->setText(QStringLiteral("土曜"));
    w.TablesDialog->edtNewKey->setText(QStringLiteral("k1"));
    QTest::mouseClick(w.TablesDialog->btnCreate, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), Nul("/left KENJ    "));
    Accept();
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("土曜") + " KEY=k1"));
    EXPECT_TRUE(reports.reports.empty());
}

TEST_F(TablesWindow, AWatcherSeesTheTableAndChatButNothingOffersToActAndItNeverResumes)
{
    ConnectTo(QStringLiteral("/金曜"), true);
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("金曜") + " WATCH"));
    EXPECT_TRUE(EnabledActions().isEmpty()) << EnabledActions().join(u' ').toStdString();
    EXPECT_FALSE(w.chkWatch->isEnabled());
    AcceptJoin(WatcherToken);
    EXPECT_TRUE(EnabledActions().isEmpty()) << EnabledActions().join(u' ').toStdString();
    EXPECT_TRUE(w.Panel2->isVisible());
    EXPECT_EQ(w.btnTakes[2]->text(), QStringLiteral("座る")) << "a player's seat of the same name is not the watcher's";
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント - 金曜（観戦）"));
    EXPECT_TRUE(w.btnTables->isEnabled());
    peer->Send({"/draw TARO     05", "/kill KENJ    ", "TARO    : hello"});
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("TARO    : hello"); }, WaitMs));
    EXPECT_EQ(w.BafudaCount, 1);
    EXPECT_TRUE(w.btnDisconnect->isEnabled()) << "the kill was for the player of its name";

    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.btnConnect->isEnabled(); }, WaitMs));
    EXPECT_FALSE(w.Reconnector.Active());
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント"));

    // A watcher leaves without a word: it has no roster entry.
    ConnectTo(QStringLiteral("/金曜"), true);
    peer->ReadPacket();
    AcceptJoin(WatcherToken);
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    EXPECT_EQ(peer->ReadPacket(), "(nothing)");

    // As a player again, every control is back.
    ConnectTo(QStringLiteral("/金曜"));
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("金曜")));
    AcceptJoin();
    EXPECT_EQ(EnabledActions().size(), 9 + 3 * TForm1::SeatCount);
}

TEST_F(TablesWindow, ARefusalShowsItsSentenceAndNeitherAJoinNorAResumeIsRetried)
{
    ConnectTo(QStringLiteral("/秘密"));
    peer->ReadPacket();
    peer->Send({"/refused key " + Sjis("このテーブルには鍵が必要です")});
    ASSERT_TRUE(WaitUntil([&] { return !reports.reports.empty(); }, WaitMs));
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("このテーブルには鍵が必要です"));
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_TRUE(w.btnConnect->isEnabled());
    EXPECT_FALSE(w.Reconnector.Active());

    // A resume that is refused ends the coming back.
    ConnectTo(QStringLiteral("/秘密#key=k"));
    peer->ReadPacket();
    AcceptJoin();
    w.Reconnector.UseManualClock();
    peer->ShutDown();
    ASSERT_TRUE(WaitUntil([&] { return w.Reconnector.Waiting(); }, WaitMs));
    w.Reconnector.Advance(1000);
    Accept();
    EXPECT_EQ(peer->ReadPacket(), Announced(" RESUME=" + Token + " TABLE=" + Sjis("秘密") + " KEY=k"));
    peer->Send({"/refused closed "});
    ASSERT_TRUE(WaitUntil([&] { return reports.reports.size() == 2; }, WaitMs));
    EXPECT_TRUE(reports.reports[1].text.contains(QStringLiteral("closed")));
    EXPECT_TRUE(peer->WaitClosed());
    EXPECT_FALSE(w.Reconnector.Active());
    EXPECT_FALSE(w.lblReconnect->isVisible());
    EXPECT_TRUE(w.btnConnect->isEnabled());
}

TEST_F(TablesWindow, ALevel1ServerIgnoresTheTableAndTheWindowSaysSo)
{
    const QString notice = QStringLiteral("このサーバーはテーブルに対応していません");
    ConnectTo(QStringLiteral("/金曜"), true);
    EXPECT_EQ(peer->ReadPacket(), Announced(" TABLE=" + Sjis("金曜") + " WATCH"));
    // Something other than a sync block follows the roster: level 1.
    peer->Send({"/list " + Protocol::RosterText({"KENJ    "}), "/take 0 TARO    "});
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0).contains(notice); }, WaitMs));
    EXPECT_EQ(w.windowTitle(), QStringLiteral("Kivolクライアント"));
    EXPECT_FALSE(w.btnTables->isVisible());
    EXPECT_EQ(EnabledActions().size(), 9 + 3 * TForm1::SeatCount) << "the level-1 server made it a player";

    // Nothing follows the roster: the wait for a sync block ends.
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    w.timLevel.UseManualClock();
    ConnectTo(QStringLiteral("/金曜"));
    peer->ReadPacket();
    peer->Send({"/list " + Protocol::RosterText({"KENJ    "})});
    ASSERT_TRUE(WaitUntil([&] { return w.timLevel.Enabled(); }, WaitMs));
    EXPECT_TRUE(player.ChatLines().isEmpty());
    w.timLevel.Advance(2000);
    EXPECT_TRUE(player.ChatLines().value(0).contains(notice));

    // Without a table asked for, a level-1 server is nothing to mention.
    QTest::mouseClick(w.btnDisconnect, Qt::LeftButton);
    ConnectTo(QString());
    peer->ReadPacket();
    peer->Send({"/list " + Protocol::RosterText({"KENJ    "}), "/take 0 TARO    ", "marker"});
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("marker"); }, WaitMs));
    EXPECT_EQ(player.ChatLines().size(), 1);
    EXPECT_TRUE(reports.reports.empty());
}

}  // namespace
