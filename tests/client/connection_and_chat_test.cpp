// Joining, chatting, the roster and leaving, against the real game server
// and against a server that records the exact packets.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include "client_test_support.h"
#include "protocol/padded_name.h"

using namespace client_test;
using test::WaitUntil;

TEST(ClientConnection, JoiningShowsTheRoomAndTheRosterAndTellsTheOthers)
{
    test::ReportRecorder reports;
    GameServer server;
    Player kenj;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    EXPECT_TRUE(kenj.window->Panel1->isVisible());
    EXPECT_FALSE(kenj.window->Panel2->isVisible()) << "the table waits for the first new game";
    EXPECT_FALSE(kenj.window->btnConnect->isEnabled());
    EXPECT_FALSE(kenj.window->edtName->isEnabled());
    EXPECT_FALSE(kenj.window->edtAddress->isEnabled());
    EXPECT_EQ(kenj.window->PlayerName, "KENJ    ");
    ASSERT_TRUE(WaitUntil([&] { return Roster(*kenj.window) == QStringList{QStringLiteral("KENJ    ")}; }));

    Player taro;
    ASSERT_TRUE(taro.Connect(QStringLiteral("太郎"), server.Port()));
    const QStringList both{QStringLiteral("KENJ    "), QStringLiteral("太郎    ")};
    ASSERT_TRUE(WaitUntil([&] { return Roster(*kenj.window) == both && Roster(*taro.window) == both; }));
    EXPECT_EQ(kenj.ChatLines(), QStringList{QStringLiteral("---  太郎     --- が参加しました")});
    EXPECT_EQ(kenj.Sounds(), QStringList{QStringLiteral("join")});
    EXPECT_TRUE(taro.ChatLines().isEmpty()) << "the server does not send one's own join back";

    QTest::mouseClick(taro.window->btnDisconnect, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return Roster(*kenj.window) == QStringList{QStringLiteral("KENJ    ")}; }));
    ASSERT_TRUE(WaitUntil([&] { return kenj.ChatLines().size() == 2; }));
    EXPECT_EQ(kenj.ChatLines().first(), QStringLiteral("---  太郎     --- が退席しました"));
    EXPECT_FALSE(taro.window->Panel1->isVisible());
    EXPECT_TRUE(taro.window->btnConnect->isEnabled());
    EXPECT_TRUE(taro.window->edtName->isEnabled());
    EXPECT_FALSE(taro.window->btnDisconnect->isEnabled());
    EXPECT_TRUE(reports.reports.empty());
}

TEST(ClientConnection, AChatLineGoesRoundTripToEveryWindowTheSendersIncluded)
{
    GameServer server;
    Player kenj, taro;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(taro.Connect(QStringLiteral("太郎"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return kenj.ChatLines().size() == 1; }));  // taro's join

    TypeText(kenj.window->edtMessage, QStringLiteral("hello ～"));
    QTest::keyClick(kenj.window->edtMessage, Qt::Key_Return);
    EXPECT_TRUE(kenj.window->edtMessage->text().isEmpty());
    const QString line = QStringLiteral("KENJ    : hello ～");
    ASSERT_TRUE(WaitUntil([&] { return taro.ChatLines().value(0) == line && kenj.ChatLines().value(0) == line; }));
    EXPECT_TRUE(taro.Sounds().contains(QStringLiteral("message")));

    // An empty input sends nothing; spaces only are a message.
    QTest::mouseClick(taro.window->btnSend, Qt::LeftButton);
    taro.window->edtMessage->setText(QStringLiteral("  "));
    QTest::mouseClick(taro.window->btnSend, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return kenj.ChatLines().value(0) == QStringLiteral("太郎    :   "); }));
    EXPECT_EQ(kenj.ChatLines().value(1), line);
}

TEST(ClientConnection, KillForKenjReachesKenjAndNotKenji)
{
    test::ReportRecorder reports;
    GameServer server;
    Player kenji, kenj;
    ASSERT_TRUE(kenji.Connect(QStringLiteral("KENJI"), server.Port()));
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.game.Main().Roster.Count() == 2; }));
    kenj.window->Table.SetOwnSeat(3, true);  // sitting at seat 3

    server.game.Main().KillPlayer(server.game.Main().Roster.IndexOf("KENJ    "));
    ASSERT_TRUE(WaitUntil([&] { return !reports.reports.empty(); }));
    ASSERT_EQ(reports.reports.size(), 1u);
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("管理者より強制切断されました"));
    EXPECT_EQ(reports.reports[0].caption, QStringLiteral("警告！"));
    EXPECT_EQ(reports.reports[0].flags, MB_OK);
    EXPECT_FALSE(kenj.window->btnDisconnect->isEnabled());
    EXPECT_EQ(kenj.window->btnTakes[3]->text(), QStringLiteral("座る"));

    // The server's roster loses KENJ only through KENJ's own "/left".
    ASSERT_TRUE(WaitUntil([&] { return server.game.Main().Roster.Count() == 1; }));
    EXPECT_EQ(server.game.Main().Roster[0], "KENJI   ");
    ASSERT_TRUE(WaitUntil([&] { return Roster(*kenji.window) == QStringList{QStringLiteral("KENJI   ")}; }));
    EXPECT_TRUE(kenji.window->btnDisconnect->isEnabled());
}

TEST(ClientConnection, DisconnectingFromSeatsTwoAndFiveLeavesThemInSeatOrderThenCloses)
{
    RecordingServer server;
    Player kenj;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
    for (int seat : {5, 2})
        kenj.window->Table.SetOwnSeat(seat, true);
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));

    QTest::mouseClick(kenj.window->btnDisconnect, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 0; }));
    EXPECT_EQ(server.packets, (std::vector<std::string>{Join("KENJ    "), Nul("/left KENJ    "),
                                                         Nul("/fleav 2"), Nul("/fleav 5")}));
    for (int seat = 0; seat < TForm1::SeatCount; ++seat) {
        EXPECT_EQ(kenj.window->btnTakes[seat]->text(), QStringLiteral("座る"));
        EXPECT_FALSE(kenj.window->btnB2Ts[seat]->isVisible());
        EXPECT_FALSE(kenj.window->btnT2Ys[seat]->isVisible());
    }
}

TEST(ClientConnection, ClosingTheWindowWhileConnectedLeavesTheRoomAndWhileDisconnectedSendsNothing)
{
    RecordingServer server;
    {
        Player kenj;
        ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server.Port()));
        kenj.window->Table.SetOwnSeat(0, true);
        ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    }
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 0; }));
    EXPECT_EQ(server.packets,
              (std::vector<std::string>{Join("KENJ    "), Nul("/left KENJ    "), Nul("/fleav 0")}));

    server.packets.clear();
    {
        Player taro;
        ASSERT_TRUE(taro.Connect(QStringLiteral("TARO"), server.Port()));
        QTest::mouseClick(taro.window->btnDisconnect, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 0; }));
    }
    test::PumpFor(50);
    EXPECT_EQ(server.packets, (std::vector<std::string>{Join("TARO    "), Nul("/left TARO    ")}));
}

TEST(ClientConnection, TheServerClosingTheConnectionSwitchesTheWindowBackSilently)
{
    test::ReportRecorder reports;
    auto server = std::make_unique<RecordingServer>();
    Player kenj;
    ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), server->Port()));
    ASSERT_TRUE(server->WaitForPackets(1));  // nothing unread: the server's close is orderly
    server.reset();
    ASSERT_TRUE(WaitUntil([&] { return kenj.window->btnConnect->isEnabled(); }));
    EXPECT_FALSE(kenj.window->Panel1->isVisible());
    EXPECT_FALSE(kenj.window->btnDisconnect->isEnabled());
    EXPECT_TRUE(reports.reports.empty());
}

TEST(ClientConnection, AServerThatResetsTheConnectionIsLeftSilentlyToo)
{
    test::ReportRecorder reports;
    test::RawListener listener;
    Player kenj;
    kenj.window->ServerPort = listener.Port();
    kenj.window->edtName->setText(QStringLiteral("KENJ"));
    kenj.window->edtAddress->setText(QStringLiteral("127.0.0.1"));
    kenj.window->btnConnect->click();
    test::RawPeer server = listener.Accept();
    ASSERT_TRUE(WaitUntil([&] { return kenj.window->btnDisconnect->isEnabled(); }));
    server.Reset();
    ASSERT_TRUE(WaitUntil([&] { return kenj.window->btnConnect->isEnabled(); }));
    EXPECT_FALSE(kenj.window->Panel1->isVisible());
    EXPECT_TRUE(reports.reports.empty());
}

TEST(ClientName, IsRefusedEmptyOrWithALeadingSlashAndOtherwisePaddedToEightBytes)
{
    test::ReportRecorder reports;
    RecordingServer server;
    Player player;
    player.window->ServerPort = server.Port();
    QTest::mouseClick(player.window->btnConnect, Qt::LeftButton);
    player.window->edtName->setText(QStringLiteral("/AB"));
    QTest::keyClick(player.window->edtName, Qt::Key_Return);
    ASSERT_EQ(reports.reports.size(), 2u);
    EXPECT_EQ(reports.reports[0].text, QStringLiteral("さすがに名無し、ってのはまずくない？"));
    EXPECT_EQ(reports.reports[1].text, QStringLiteral("名前の最初の文字は\"/\"以外にしてください"));
    for (const auto& report : reports.reports) {
        EXPECT_EQ(report.caption, QStringLiteral("警告！！"));
        EXPECT_EQ(report.flags, MB_OK);
    }
    test::PumpFor(50);
    EXPECT_EQ(server.ClientCount(), 0);

    // A slash elsewhere and a leading space are fine.
    ASSERT_TRUE(player.Connect(QStringLiteral(" A/B"), server.Port()));
    ASSERT_TRUE(server.WaitForPackets(1));
    EXPECT_EQ(server.packets[0], Join(" A/B    "));
    EXPECT_EQ(reports.reports.size(), 2u);
}

TEST(ClientName, HoldsEightShiftJisBytesWhileTyping)
{
    RecordingServer server;
    Player player;
    TypeText(player.window->edtName, QStringLiteral("太郎花子次"));
    EXPECT_EQ(player.window->edtName->text(), QStringLiteral("太郎花子")) << "a fifth double-byte character";
    player.window->edtName->setText(QStringLiteral("ABCDEFG"));
    TypeText(player.window->edtName, QStringLiteral("漢H"));
    EXPECT_EQ(player.window->edtName->text(), QStringLiteral("ABCDEFGH")) << "one byte left: no room for two";

    player.window->edtName->setText(QStringLiteral("太郎花子"));
    ASSERT_TRUE(player.Connect(player.window->edtName->text(), server.Port()));
    EXPECT_EQ(player.window->PlayerName, Sjis("太郎花子"));
    ASSERT_TRUE(server.WaitForPackets(1));
    EXPECT_EQ(server.packets[0], Join(Sjis("太郎花子")));
}

TEST(ClientChat, ShowsTheNineNewestLinesNewestOnTop)
{
    RecordingServer server;
    Player player;
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    for (int i = 1; i <= 10; ++i)
        server.Send(Nul("line " + std::to_string(i)));
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("line 10"); }));
    QStringList expected;
    for (int i = 10; i >= 2; --i)
        expected << QStringLiteral("line %1").arg(i);
    EXPECT_EQ(player.ChatLines(), expected);
    EXPECT_EQ(player.Sounds().count(QStringLiteral("message")), 10);

    // A line with a line break in it takes two lines and pushes out two.
    server.Send(Nul("two\r\nlines"));
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().value(0) == QStringLiteral("two"); }));
    EXPECT_EQ(player.ChatLines().size(), 9);
    EXPECT_EQ(player.ChatLines().value(1), QStringLiteral("lines"));
    EXPECT_EQ(player.ChatLines().last(), QStringLiteral("line 4"));
}

TEST(ClientChat, AnEmptyPacketIsAChatLineAndAnUnknownCommandIsReported)
{
    RecordingServer server;
    Player player;
    ASSERT_TRUE(player.Connect(QStringLiteral("KENJ"), server.Port()));
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    // A bare header is delivered once the next packet's bytes follow it.
    server.Send("");
    server.Send(Nul("/unknown"));
    server.Send("no NUL at the end");
    ASSERT_TRUE(WaitUntil([&] { return player.ChatLines().size() == 3; }));
    EXPECT_EQ(player.ChatLines(),
              (QStringList{QStringLiteral("no NUL at the end"),
                           QStringLiteral("未対応のコマンドです。クライアントとサーバーのバージョンが違う可能性があります"),
                           QString()}));
    EXPECT_EQ(player.Sounds(), (QStringList{QStringLiteral("message"), QStringLiteral("message")}))
        << "the unknown command plays nothing";
}
