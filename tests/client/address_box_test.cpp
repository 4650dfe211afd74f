// The address box read as host, host:port, an IPv6 address or [IPv6]:port:
// the window reaches a game server that listens on IPv6 loopback only.
#include <QLineEdit>
#include <QPushButton>

#include "client/client_test_support.h"

namespace client_test {
namespace {

// The real game server on ::1 with an ephemeral port.
class IPv6GameServer {
public:
    IPv6GameServer()
    {
        socket.SetAddress("::1");
        socket.SetActive(true);
        port = socket.Socket()->LocalPort();
    }

    TPacketServerSocket socket;
    TGameServer game{socket, nullptr};
    int port = 0;
};

bool ConnectWith(Player& player, const QString& address)
{
    player.window->edtName->setText(QStringLiteral("AB"));
    player.window->edtAddress->setText(address);
    QTest::mouseClick(player.window->btnConnect, Qt::LeftButton);
    return test::WaitUntil([&] { return player.window->btnDisconnect->isEnabled(); }, WaitMs);
}

TEST(AddressBox, ABracketedIPv6AddressWithAPortReachesTheServerOverIPv6)
{
    IPv6GameServer server;
    Player player;
    player.window->ServerPort = test::ClosedPort();  // the port comes from the box
    ASSERT_TRUE(ConnectWith(player, QStringLiteral("[::1]:%1").arg(server.port)));
    EXPECT_TRUE(test::WaitUntil([&] { return server.game.Main().Roster.Count() == 1; }, WaitMs));
}

TEST(AddressBox, AnIPv6AddressWithoutAPortUsesTheGamePort)
{
    IPv6GameServer server;
    Player player;
    player.window->ServerPort = server.port;
    ASSERT_TRUE(ConnectWith(player, QStringLiteral(" ::1 ")));
    EXPECT_TRUE(test::WaitUntil([&] { return server.game.Main().Roster.Count() == 1; }, WaitMs));
}

}  // namespace
}  // namespace client_test
