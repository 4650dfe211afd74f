// The operator window on a real socket: its log lines, its roster rows and
// its buttons, clicked.

#include <gtest/gtest.h>

#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include "server_window_fixture.h"

using namespace std::string_literals;

namespace server_test {

// The window as a level-1 server runs it: some tests send in names their
// connection did not join with, which no real client does.
inline TServerOptions TrustingOptions()
{
    TServerOptions options;
    options.Rules.TrustNames = true;
    return options;
}

class ServerWindowTest : public ServerWindowFixture {
protected:
    ServerWindowTest() : ServerWindowFixture(TrustingOptions()) {}

    void SetUp() override
    {
        ServerWindowFixture::SetUp();
        form.show();
    }

    void SelectRow(int row)
    {
        QListWidgetItem* item = form.lstPlayers->item(row);
        ASSERT_NE(item, nullptr);
        QTest::mouseClick(form.lstPlayers->viewport(), Qt::LeftButton, {},
                          form.lstPlayers->visualItemRect(item).center());
        ASSERT_TRUE(item->isSelected());
    }
};

TEST_F(ServerWindowTest, AConnectionWithoutJoinLeavesTwoLogLinesAndNoRosterRow)
{
    {
        LoopbackPeer peer(port);
        ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 1; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return LogLines().size() == 2; }));
    const QRegularExpression connected(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d+:\\d{2}:\\d{2}  /接続  \\S*\\[127\\.0\\.0\\.1\\]$"));
    const QRegularExpression disconnected(QStringLiteral("^\\S+ \\S+  /切断  \\S*\\[127\\.0\\.0\\.1\\]$"));
    EXPECT_TRUE(connected.match(LogLines()[0]).hasMatch()) << LogLines()[0].toStdString();
    EXPECT_TRUE(disconnected.match(LogLines()[1]).hasMatch()) << LogLines()[1].toStdString();
    EXPECT_EQ(form.lstPlayers->count(), 0);
}

TEST_F(ServerWindowTest, RosterRowsFollowJoinsAndLeftsInShiftJisDecoded)
{
    auto a = JoinedPeer("\x91\xbe\x98\x59    ");  // "太郎" and four spaces
    auto b = JoinedPeer("CD      ");
    ASSERT_EQ(form.lstPlayers->count(), 2);
    EXPECT_EQ(form.lstPlayers->item(0)->text(), QStringLiteral("太郎    "));
    EXPECT_EQ(form.lstPlayers->item(1)->text(), QStringLiteral("CD      "));
    // The connect lines come whenever their name lookups answer.
    EXPECT_EQ(LogLines().filter(QStringLiteral("/参加  CD      [127.0.0.1]")).size(), 1);

    ASSERT_TRUE(b->SendPacket(Nul("/left \x91\xbe\x98\x59    ")));
    ASSERT_TRUE(WaitUntil([&] { return form.lstPlayers->count() == 1; }));
    EXPECT_EQ(form.lstPlayers->item(0)->text(), QStringLiteral("CD      "));
}

TEST_F(ServerWindowTest, ARowIsMarkedAwayWhileItsPlayersConnectionIsGone)
{
    auto a = JoinedPeer("AB      ");
    auto b = JoinedPeer("CD      ");
    a.reset();
    ASSERT_TRUE(WaitUntil([&] { return form.lstPlayers->item(0)->text() == QStringLiteral("AB       (不在)"); }));
    EXPECT_EQ(form.lstPlayers->item(1)->text(), QStringLiteral("CD      "));
    EXPECT_TRUE(LogLines().filter(QStringLiteral("/離脱  AB      [127.0.0.1]")).size() == 1);
}

TEST_F(ServerWindowTest, KillSendsTheSelectedNameToEveryoneAndKeepsTheRow)
{
    auto a = JoinedPeer("AB      ");
    auto b = JoinedPeer("CD      ");
    a->NextPacket();
    a->NextPacket();

    QTest::mouseClick(form.btnKill, Qt::LeftButton);  // nothing selected: nothing sent
    SelectRow(1);
    QTest::mouseClick(form.btnKill, Qt::LeftButton);
    const std::string kill = Nul("/kill CD      ");
    ASSERT_EQ(kill.size(), 15u);
    EXPECT_EQ(a->NextPacket(), kill);
    EXPECT_EQ(b->NextPacket(), kill);
    EXPECT_EQ(form.lstPlayers->count(), 2);
}

TEST_F(ServerWindowTest, MuteAndBanActOnTheSelectedRowAsKivolctlWould)
{
    auto a = JoinedPeer("AB      ");
    auto b = JoinedPeer("CD      ");
    a->NextPacket();
    a->NextPacket();
    SelectRow(1);
    QTest::mouseClick(form.btnMute, Qt::LeftButton);
    ASSERT_TRUE(b->SendPacket(Nul("hi")));
    EXPECT_EQ(b->NextPacket(), Nul(Cp932::FromUtf8("【管理】発言が制限されています")));
    QTest::mouseClick(form.btnBan, Qt::LeftButton);
    EXPECT_EQ(a->NextPacket(), Nul("/kill CD      "));
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_EQ(a->NextPacket(), Nul("/list \"AB      \""));
    EXPECT_EQ(a->NextPacket(), Nul("/left CD      "));
    EXPECT_TRUE(form.Game.Bans.MatchName("cd"));
}

TEST_F(ServerWindowTest, ClearOnTheOnlyRowSendsAnEmptyListToEveryone)
{
    auto a = JoinedPeer("AB      ");
    LoopbackPeer watcher(port);
    ASSERT_TRUE(WaitUntil([&] { return form.PacketServerSocket1.ClientCount() == 2; }));

    QTest::mouseClick(form.btnClear, Qt::LeftButton);  // nothing selected: nothing sent
    SelectRow(0);
    QTest::mouseClick(form.btnClear, Qt::LeftButton);
    EXPECT_EQ(a->NextPacket(), "/list \0"s);
    EXPECT_EQ(watcher.NextPacket(), "/list \0"s);
    EXPECT_EQ(form.lstPlayers->count(), 0);
    EXPECT_EQ(form.Game.Main().Roster.Count(), 0);
}

// Rows of every table, the main table's first; another table's rows and log
// lines name it; Kill and Clear act at the selected entry's table only.
TEST_F(ServerWindowTest, RowsAndLogLinesOfOtherTablesNameThemAndTheButtonsActAtTheEntrysTable)
{
    auto join = [&](std::string_view name, std::string_view table) {
        auto peer = std::make_unique<LoopbackPeer>(port);
        EXPECT_TRUE(peer->SendPacket(Nul("/join " + std::string(name)) + "KIVOL/2" +
                                     (table.empty() ? "" : " TABLE=" + std::string(table))));
        for (auto packet = peer->NextPacket(); packet && *packet != Nul("/state end"); packet = peer->NextPacket()) {
        }
        return peer;
    };
    auto fri = join("AB      ", "Fri");
    auto main = join("CD      ", "");
    auto sat = join("EF      ", "Sat");
    ASSERT_EQ(form.lstPlayers->count(), 3);
    EXPECT_EQ(form.lstPlayers->item(0)->text(), QStringLiteral("CD      "));
    EXPECT_EQ(form.lstPlayers->item(1)->text(), QStringLiteral("「Fri」AB      "));
    EXPECT_EQ(form.lstPlayers->item(2)->text(), QStringLiteral("「Sat」EF      "));
    EXPECT_TRUE(LogLines().filter(QRegularExpression(QStringLiteral("  「Fri」/参加  AB      \\[127\\.0\\.0\\.1\\]$"))).size() == 1);
    EXPECT_TRUE(LogLines().filter(QRegularExpression(QStringLiteral("  /参加  CD      \\[127\\.0\\.0\\.1\\]$"))).size() == 1);

    SelectRow(2);
    QTest::mouseClick(form.btnKill, Qt::LeftButton);
    EXPECT_EQ(sat->NextPacket(), Nul("/kill EF      "));
    sat.reset();
    ASSERT_TRUE(WaitUntil([&] { return form.lstPlayers->item(2)->text().endsWith(QStringLiteral(" (不在)")); }));
    SelectRow(2);
    QTest::mouseClick(form.btnClear, Qt::LeftButton);
    EXPECT_EQ(form.lstPlayers->count(), 2);
    EXPECT_EQ(form.Game.FindTable("Sat"), nullptr) << "its last entry cleared, the table goes";
    EXPECT_EQ(main->TryNextPacket(), std::nullopt) << "nothing of another table reached the main table";
    EXPECT_EQ(fri->TryNextPacket(), std::nullopt);
}

TEST_F(ServerWindowTest, MinimizeWithoutANotificationAreaMinimisesInsteadOfHiding)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable()) << "the offscreen platform has no notification area";
    QTest::mouseClick(form.btnMinimize, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return form.isMinimized(); }));
    EXPECT_TRUE(form.isVisible());
    EXPECT_TRUE(messageBoxes.empty());
}


// Headless, nobody sees the window: players join, leave and drop at several
// tables, and the rosters follow, but the window's list of players stays empty.
TEST(HeadlessServerWindow, JoinsAndLeavesAtAnyTableFillNoPlayerList)
{
    struct THeadless {
        THeadless() { Application.Headless = true; }
        ~THeadless() { Application.Headless = false; }
    } headless;
    TForm1 form{TServerOptions{}};
    form.PacketServerSocket1.SetAddress("127.0.0.1");
    form.PacketServerSocket1.SetActive(true);
    const int port = form.PacketServerSocket1.Socket()->LocalPort();
    std::vector<std::unique_ptr<LoopbackPeer>> peers;
    for (const std::string_view table : {"", "Fri", "Fri"}) {
        auto& peer = peers.emplace_back(std::make_unique<LoopbackPeer>(port));
        ASSERT_TRUE(peer->SendPacket(Nul("/join P" + std::to_string(peers.size()) + "      ") + "KIVOL/2" +
                                     (table.empty() ? "" : " TABLE=" + std::string(table))));
    }
    ASSERT_TRUE(WaitUntil([&] {
        const TGameTable* fri = form.Game.FindTable("Fri");
        return form.Game.Main().Roster.Count() == 1 && fri && fri->Roster.Count() == 2;
    }));
    peers.clear();
    ASSERT_TRUE(WaitUntil([&] { return form.Game.Peers().empty(); }));
    EXPECT_EQ(form.lstPlayers->count(), 0);
}

}  // namespace server_test
