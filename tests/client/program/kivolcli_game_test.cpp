// A whole game between two client windows over the real kivolsrv program,
// started headless on the game's fixed port; windows at two of its tables and
// the kivolcli program opened by a link.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QLabel>
#include <QListWidget>
#include <QLineEdit>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTest>

#include "../client_test_support.h"
#include "client/table_list_dialog.h"
#include "client/table_model.h"
#include "protocol/padded_name.h"
#include "protocol/command_text.h"

using namespace client_test;
using test::WaitUntil;

namespace {

// Starts kivolsrv as on a machine without a display and waits until it listens.
bool StartServer(QProcess& server, const QStringList& arguments = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(variable));
    server.setProcessEnvironment(environment);
    // The web port's default is one for the whole machine: tests run side by side go without it.
    server.start(QStringLiteral(KIVOLSRV_PATH), arguments + QStringList{QStringLiteral("--web-port"), QStringLiteral("0")});
    return server.waitForStarted() && WaitUntil(
                                          [&] {
                                              try {
                                                  test::RawPeer::Connect(TForm1::GamePort);
                                                  return true;
                                              } catch (const std::exception&) {
                                                  return server.state() == QProcess::NotRunning;
                                              }
                                          },
                                          30000) &&
           server.state() == QProcess::Running;
}

// Everything a table shows.
struct Table {
    QString pile;
    int fieldCount;
    QStringList drawers;
    QList<QImage> cards;
    QStringList seats;
    QList<int> hands;
    QString target;
    QString setter;
    bool operator==(const Table&) const = default;
};

Table Read(const TForm1& w)
{
    Table t{w.lblYamafuda->text(), w.BafudaCount, {}, {}, {}, {}, w.lblMokuteki->text(), w.lblMName->text()};
    for (int i = 0; i < TForm1::SlotCount; ++i) {
        t.drawers << w.lblCards[i]->text();
        t.cards << w.Images[i]->pixmap().toImage();
    }
    for (int s = 0; s < TForm1::SeatCount; ++s) {
        t.seats << w.lblTNames[s]->text();
        t.hands << w.lblTables[s]->text().toInt();
    }
    return t;
}

// Pile, field and hands together hold every card.
int CardsCounted(const Table& t)
{
    int cards = t.pile.toInt() + t.fieldCount;
    for (int hand : t.hands)
        cards += hand;
    return cards;
}

class KivolcliGame : public ::testing::Test {
protected:
    virtual QStringList ServerArguments() const { return {}; }

    void SetUp() override
    {
        ASSERT_TRUE(StartServer(server, ServerArguments())) << "is port 16523 taken by another program? "
                                         << server.readAllStandardError().toStdString();
        ASSERT_TRUE(kenj.Connect(QStringLiteral("KENJ"), TForm1::GamePort));
        ASSERT_TRUE(taro.Connect(QStringLiteral("太郎"), TForm1::GamePort));
    }

    void TearDown() override
    {
        server.terminate();
        server.waitForFinished(30000);
    }

    // Clicks the button, then waits until both tables show the same picture
    // and it passes the check.
    void Play(QPushButton* button, const std::function<bool(const Table&)>& check)
    {
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(WaitUntil(
            [&] {
                const Table a = Read(*kenj.window);
                return a == Read(*taro.window) && check(a);
            },
            WaitMs))
            << button->objectName().toStdString();
        EXPECT_EQ(CardsCounted(Read(*kenj.window)), 54) << button->objectName().toStdString();
    }

    test::ReportRecorder reports;  // answers the new-game confirmation with OK
    QProcess server;
    Player kenj, taro;
};

}  // namespace

TEST_F(KivolcliGame, TwoPlayersPlayAGameAndTheirTablesAgreeThroughout)
{
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    Play(k.btnInit, [](const Table& table) { return table.pile == QStringLiteral("54"); });
    EXPECT_TRUE(k.Panel2->isVisible() && t.Panel2->isVisible());

    Play(k.btnTakes[0], [](const Table& table) { return table.seats[0] == QStringLiteral("KENJ    "); });
    Play(t.btnTakes[3], [](const Table& table) { return table.seats[3] == QStringLiteral("太郎    "); });
    for (int draw = 1; draw <= 5; ++draw)
        Play((draw % 2 ? k : t).btnDraw, [draw](const Table& table) { return table.fieldCount == draw; });
    EXPECT_EQ(Read(k).drawers.mid(0, 3), (QStringList{QStringLiteral("KENJ    "), QStringLiteral("太郎    "),
                                                    QStringLiteral("KENJ    ")}));
    EXPECT_EQ(Read(k).pile, QStringLiteral("49"));

    k.edtMokuteki->setText(QStringLiteral("47"));
    Play(k.btnSet, [](const Table& table) { return table.setter == QStringLiteral("KENJ    "); });
    EXPECT_EQ(t.lblMokuteki->text(), QStringLiteral("47"));

    // The hit carries the server's own date and time to both players.
    QTest::mouseClick(t.btnHit, Qt::LeftButton);
    const QRegularExpression hitLine(QStringLiteral(
        "^!!!!!!!!!--------   太郎     \\d{4}/\\d{2}/\\d{2} \\d{1,2}:\\d{2}:\\d{2}       --------!!!!!!!!!$"));
    ASSERT_TRUE(WaitUntil([&] { return hitLine.match(kenj.ChatLines().value(0)).hasMatch(); }, WaitMs))
        << kenj.ChatLines().value(0).toStdString();
    ASSERT_TRUE(WaitUntil([&] { return taro.ChatLines().value(0) == kenj.ChatLines().value(0); }, WaitMs));
    EXPECT_TRUE(k.lblHit->isVisible() && t.lblHit->isVisible());

    Play(k.btnB2Ts[0], [](const Table& table) { return table.hands[0] == 1 && table.fieldCount == 4; });
    Play(t.btnB2Ts[3], [](const Table& table) { return table.hands[3] == 1 && table.fieldCount == 3; });
    Play(k.btnT2Ys[0], [](const Table& table) { return table.hands[0] == 0 && table.pile == QStringLiteral("50"); });
    Play(t.btnB2Y, [](const Table& table) { return table.fieldCount == 2 && table.pile == QStringLiteral("51"); });

    Play(t.btnInit, [](const Table& table) {
        return table.pile == QStringLiteral("54") && table.fieldCount == 0 && table.hands[3] == 0 &&
               table.seats[0].isEmpty();
    });
    for (TForm1* w : {&k, &t})
        for (QPushButton* take : w->btnTakes)
            EXPECT_EQ(take->text(), QStringLiteral("座る"));
    EXPECT_EQ(reports.reports.size(), 2u) << "the two new-game confirmations, nothing else";
}

namespace {

// A client that behaves as the original does: a plain "/join" without the
// level-2 announcement, and a table built from every command it receives.
struct OriginalClient {
    explicit OriginalClient(std::string_view name) : peer(test::RawPeer::Connect(TForm1::GamePort))
    {
        peer.Write(test::Packet(Nul("/join " + Protocol::PaddedName(name))));
    }
    // Applies every command that has arrived whole.
    void Receive()
    {
        pending += peer.ReadAvailable();
        while (pending.size() >= 4) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= std::uint32_t(static_cast<unsigned char>(pending[std::size_t(i)])) << (8 * i);
            if (pending.size() - 4 < n)
                break;
            const std::string text = Protocol::CommandText(pending.data() + 4, static_cast<int>(n));
            model.Apply(text);
            pending.erase(0, 4 + n);
        }
    }
    test::RawPeer peer;
    std::string pending;
    TTableModel model;
};

}  // namespace

// A third player who joins during a game sees the table the others see; a
// player whose connection is cut under it comes back on its own, to its
// seats, under its one roster row, and plays on.
TEST_F(KivolcliGame, ALateJoinerSeesTheTableAndACutConnectionComesBackToItsSeats)
{
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    Play(k.btnInit, [](const Table& table) { return table.pile == QStringLiteral("54"); });
    Play(k.btnTakes[0], [](const Table& table) { return table.seats[0] == QStringLiteral("KENJ    "); });
    Play(t.btnTakes[3], [](const Table& table) { return table.seats[3] == QStringLiteral("太郎    "); });
    for (int draw = 1; draw <= 4; ++draw)
        Play((draw % 2 ? k : t).btnDraw, [draw](const Table& table) { return table.fieldCount == draw; });
    Play(t.btnB2Ts[3], [](const Table& table) { return table.hands[3] == 1; });
    k.edtMokuteki->setText(QStringLiteral("24"));
    Play(k.btnSet, [](const Table& table) { return table.target == QStringLiteral("24"); });

    Player hanako;
    ASSERT_TRUE(hanako.Connect(QStringLiteral("花子"), TForm1::GamePort));
    ASSERT_TRUE(WaitUntil([&] { return hanako.window->Panel2->isVisible() && Read(*hanako.window) == Read(k); }, WaitMs));
    EXPECT_EQ(Read(*hanako.window).fieldCount, 3);

    const int rosterRows = k.lstPlayers->count();
    ::shutdown(t.pcs.Socket()->SocketHandle(), SHUT_RDWR);
    ASSERT_TRUE(WaitUntil([&] { return t.lblReconnect->isVisible(); }, WaitMs)) << "the window says it reconnects";
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !t.lblReconnect->isVisible() && t.btnDisconnect->isEnabled() && Read(t) == Read(k) &&
                   t.btnTakes[3]->text() == QStringLiteral("離席") && t.btnB2Ts[3]->isVisible() &&
                   k.lstPlayers->count() == rosterRows && t.lstPlayers->count() == rosterRows;
        },
        WaitMs))
        << "back at its seat, with no second roster row";
    for (int row = 0; row < rosterRows; ++row)
        EXPECT_FALSE(k.lstPlayers->item(row)->text().contains(QStringLiteral("不在")));
    Play(t.btnT2Ys[3], [](const Table& table) { return table.hands[3] == 0; });
}

class KivolcliShortGrace : public KivolcliGame {
protected:
    QStringList ServerArguments() const override { return {QStringLiteral("--grace"), QStringLiteral("2")}; }
};

// A level-2 player whose connection ends for good loses its seats at every
// table when the grace period is over, an original client's included.
TEST_F(KivolcliShortGrace, APlayerWhoNeverComesBackHasItsSeatsFreedEverywhere)
{
    TForm1& k = *kenj.window;
    OriginalClient old("OLD");
    Play(k.btnInit, [](const Table& table) { return table.pile == QStringLiteral("54"); });
    {
        test::RawPeer gone = test::RawPeer::Connect(TForm1::GamePort);
        gone.Write(test::Packet(client_test::Join(Protocol::PaddedName("GONE"))));
        gone.Write(test::Packet(Nul("/take 5 " + Protocol::PaddedName("GONE"))));
        gone.Write(test::Packet(Nul("/take 1 " + Protocol::PaddedName("GONE"))));
        ASSERT_TRUE(WaitUntil([&] { return k.lblTNames[1]->text().startsWith(QStringLiteral("GONE")); }, WaitMs));
        gone.Close();
    }
    ASSERT_TRUE(WaitUntil([&] { return k.lblTNames[5]->toolTip() == QStringLiteral("不在"); }, WaitMs))
        << "shown away while the grace period runs";
    ASSERT_TRUE(WaitUntil(
        [&] {
            old.Receive();
            return Read(k).seats[1].isEmpty() && Read(k).seats[5].isEmpty() && Read(*taro.window) == Read(k) &&
                   old.model.Table().Occupants[1] == AnsiString() && old.model.Table().Occupants[5] == AnsiString();
        },
        WaitMs));
    for (int row = 0; row < k.lstPlayers->count(); ++row)
        EXPECT_FALSE(k.lstPlayers->item(row)->text().startsWith(QStringLiteral("GONE")));
}

namespace {

// Types the name and the address with its table, presses Connect and waits
// until the server's sync block has arrived.
bool JoinTable(Player& player, const QString& name, const QString& table)
{
    player.window->edtName->setText(name);
    player.window->edtAddress->setText(QStringLiteral("127.0.0.1/") + table);
    QTest::mouseClick(player.window->btnConnect, Qt::LeftButton);
    return WaitUntil([&] { return player.window->btnTables->isVisible(); }, WaitMs);
}

}  // namespace

// Two windows at two tables of one server see nothing of each other's table;
// the kivolcli program, started with a kivol:// link, joins one of them, and
// the table list counts everyone where they are.
TEST(KivolcliTables, TwoTablesStayApartAndALinkJoinsOne)
{
    test::ReportRecorder reports;
    QProcess server;
    ASSERT_TRUE(StartServer(server)) << "is port 16523 taken by another program? "
                                     << server.readAllStandardError().toStdString();
    Player kenj, taro;
    ASSERT_TRUE(JoinTable(kenj, QStringLiteral("KENJ"), QStringLiteral("金曜")));
    ASSERT_TRUE(JoinTable(taro, QStringLiteral("太郎"), QStringLiteral("土曜")));
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    EXPECT_EQ(k.windowTitle(), QStringLiteral("Kivolクライアント - 金曜"));
    EXPECT_EQ(Roster(k), QStringList{QStringLiteral("KENJ    ")});
    EXPECT_EQ(Roster(t), QStringList{QStringLiteral("太郎    ")});

    QTest::mouseClick(k.btnInit, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.Panel2->isVisible(); }, WaitMs));
    QTest::mouseClick(k.btnDraw, Qt::LeftButton);
    ASSERT_TRUE(WaitUntil([&] { return k.BafudaCount == 1; }, WaitMs));

    QProcess link;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    link.setProcessEnvironment(environment);
    link.start(QStringLiteral(KIVOLCLI_PATH),
               {QStringLiteral("kivol://127.0.0.1:%1/%E9%87%91%E6%9B%9C").arg(TForm1::GamePort),
                QStringLiteral("--name"), QStringLiteral("HANAKO")});
    ASSERT_TRUE(link.waitForStarted());
    EXPECT_TRUE(WaitUntil([&] { return Roster(k).contains(QStringLiteral("HANAKO  ")); }, WaitMs))
        << link.readAllStandardError().toStdString();

    QTest::mouseClick(t.btnTables, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil(
        [&] {
            return ListedTables(t) == QStringList{QStringLiteral("（メイン）|0|0|0|"), QStringLiteral("金曜|2|0|0|対戦中"),
                                                  QStringLiteral("土曜|1|0|0|")};
        },
        WaitMs))
        << ListedTables(t).join(u' ').toStdString();
    EXPECT_FALSE(t.Panel2->isVisible()) << "no game was started at 土曜";
    EXPECT_EQ(Roster(t), QStringList{QStringLiteral("太郎    ")});

    // 太郎 moves to 金曜 from the list and sees its game.
    t.TablesDialog->grdTables->selectRow(1);
    QTest::mouseClick(t.TablesDialog->btnJoin, Qt::LeftButton);
    EXPECT_TRUE(WaitUntil([&] { return t.Panel2->isVisible() && t.BafudaCount == 1 && Roster(t).size() == 3; }, WaitMs));
    EXPECT_EQ(t.windowTitle(), QStringLiteral("Kivolクライアント - 金曜"));

    link.kill();
    link.waitForFinished(30000);
    server.terminate();
    server.waitForFinished(30000);
    EXPECT_EQ(reports.reports.size(), 1u) << "the new-game confirmation, nothing else";
}

// The server stopped (SIGTERM) and started again under two players: both
// windows keep trying while it is down and come back to their seats and the
// table they left, without a click.
TEST_F(KivolcliGame, BothPlayersSitAtTheSameTableAgainAfterTheServerRestarts)
{
    TForm1& k = *kenj.window;
    TForm1& t = *taro.window;
    Play(k.btnInit, [](const Table& table) { return table.pile == QStringLiteral("54"); });
    Play(k.btnTakes[0], [](const Table& table) { return table.seats[0] == QStringLiteral("KENJ    "); });
    Play(t.btnTakes[3], [](const Table& table) { return table.seats[3] == QStringLiteral("太郎    "); });
    for (int draw = 1; draw <= 3; ++draw)
        Play((draw % 2 ? k : t).btnDraw, [draw](const Table& table) { return table.fieldCount == draw; });
    Play(k.btnB2Ts[0], [](const Table& table) { return table.hands[0] == 1; });
    k.edtMokuteki->setText(QStringLiteral("31"));
    Play(k.btnSet, [](const Table& table) { return table.target == QStringLiteral("31"); });
    const Table before = Read(k);

    server.terminate();
    ASSERT_TRUE(server.waitForFinished(30000));
    EXPECT_EQ(server.exitCode(), 0);
    ASSERT_TRUE(WaitUntil([&] { return k.Reconnector.Active() && t.Reconnector.Active(); }, WaitMs));
    ASSERT_TRUE(StartServer(server));
    ASSERT_TRUE(WaitUntil(
        [&] {
            return !k.Reconnector.Active() && !t.Reconnector.Active() && Read(k) == before && Read(t) == before &&
                   k.btnTakes[0]->text() == QStringLiteral("離席") && t.btnTakes[3]->text() == QStringLiteral("離席");
        },
        60000))
        << "both back in their seats";
    EXPECT_EQ(k.lstPlayers->count(), 2);
    Play(t.btnDraw, [](const Table& table) { return table.fieldCount == 3; });
}
