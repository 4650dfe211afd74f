// The operator window serving on every address, IPv6 and IPv4 alike: a
// client reaches it over ::1 and plays, and the log shows each peer's
// address in its own family.
#include <gtest/gtest.h>

#include <netdb.h>

#include <QPlainTextEdit>

#include "game_server_fixture.h"
#include "server/server_window.h"
#include "transport/packet_client_socket.h"

using namespace std::string_literals;

namespace server_test {
namespace {

// A game client component that keeps every packet it receives.
class Client {
public:
    Client()
    {
        socket.OnPacketArrived = [this](TObject*, TCustomWinSocket*, const void* data, int size) {
            packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
        };
        socket.OnConnect = [this](TObject*, TCustomWinSocket*) { connected = true; };
        socket.OnDisconnect = [this](TObject*, TCustomWinSocket*) { disconnected = true; };
    }

    bool Connect(const AnsiString& host, int port)
    {
        socket.SetHost(host);
        socket.SetPort(port);
        socket.SetActive(true);
        return WaitUntil([this] { return connected; });
    }

    void Send(const std::string& payload) { socket.Send(payload.data(), static_cast<int>(payload.size())); }

    std::optional<std::string> NextPacket()
    {
        if (!WaitUntil([this] { return !packets.empty(); }))
            return std::nullopt;
        std::string packet = packets.front();
        packets.erase(packets.begin());
        return packet;
    }

    TPacketClientSocket socket;
    std::vector<std::string> packets;
    bool connected = false;
    bool disconnected = false;
};

class DualStackServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        Application.OnMessageBox = [](const QString&, const QString&, int) { return IDOK; };
        ASSERT_TRUE(form.FormCreate());
        port = form.PacketServerSocket1.Socket()->LocalPort();
        ASSERT_GT(port, 0);
    }
    void TearDown() override { Application.OnMessageBox = nullptr; }

    bool LogHas(const QString& text)
    {
        return WaitUntil([&] { return form.mmLog->toPlainText().contains(text); });
    }

    static TServerOptions EphemeralPort()
    {
        TServerOptions options;
        options.Port = 0;
        options.Web.Port = 0;
        return options;
    }

    TForm1 form{EphemeralPort()};
    int port = 0;
};

TEST_F(DualStackServer, AClientReachesTheServerOverIPv6LoopbackAndDrawsACard)
{
    Client client;
    ASSERT_TRUE(client.Connect("::1", port));
    client.Send(Nul("/join AB      "));
    EXPECT_EQ(client.NextPacket(), "/list \"AB      \"\0"s);
    EXPECT_TRUE(LogHas(QStringLiteral("/参加  AB      [::1]")));

    client.Send(Nul("/draw AB      "));
    const auto draw = client.NextPacket();
    ASSERT_TRUE(draw.has_value());
    EXPECT_EQ(draw->substr(0, 6), "/draw ");
    EXPECT_EQ(draw->size(), 18u);
    EXPECT_EQ(form.Game.Main().Yamafuda.Count, 53);
}

TEST_F(DualStackServer, AnIPv4ClientOnTheSameSocketIsLoggedWithItsDottedAddress)
{
    Client v4, v6;
    ASSERT_TRUE(v4.Connect("127.0.0.1", port));
    ASSERT_TRUE(v6.Connect("::1", port));
    v4.Send(Nul("/join V4      "));
    v6.Send(Nul("/join V6      "));
    EXPECT_TRUE(LogHas(QStringLiteral("/参加  V4      [127.0.0.1]")));
    EXPECT_TRUE(LogHas(QStringLiteral("/参加  V6      [::1]")));
    EXPECT_FALSE(form.mmLog->toPlainText().contains(QStringLiteral("::ffff:")));
    EXPECT_TRUE(WaitUntil([&] { return form.Game.Main().Roster.Count() == 2; }));
}

TEST_F(DualStackServer, AListenAddressOfOneFamilyKeepsTheOtherOut)
{
    TServerOptions options;
    options.Port = 0;
    options.Web.Port = 0;
    options.ListenAddress = QStringLiteral("::1");
    TForm1 v6only(options);
    ASSERT_TRUE(v6only.FormCreate());
    const int v6port = v6only.PacketServerSocket1.Socket()->LocalPort();
    EXPECT_EQ(v6only.PacketServerSocket1.Socket()->LocalAddress(), "::1");
    test::ReportRecorder reports;
    Client refused;
    refused.socket.SetHost("127.0.0.1");
    refused.socket.SetPort(v6port);
    refused.socket.SetActive(true);
    EXPECT_TRUE(WaitUntil([&] { return refused.disconnected; }));
    EXPECT_FALSE(refused.connected);
}

TEST_F(DualStackServer, ANameWithBothFamiliesIsTriedAddressByAddress)
{
    // "localhost" must name ::1 before 127.0.0.1 for this to show anything.
    addrinfo hints{};
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    ASSERT_EQ(getaddrinfo("localhost", nullptr, &hints, &found), 0);
    const bool ipv6First = found->ai_family == AF_INET6 && found->ai_next;
    freeaddrinfo(found);
    if (!ipv6First)
        GTEST_SKIP() << "localhost does not resolve to ::1 first here";

    TServerOptions options;
    options.Port = 0;
    options.Web.Port = 0;
    options.ListenAddress = QStringLiteral("127.0.0.1");
    TForm1 v4only(options);
    ASSERT_TRUE(v4only.FormCreate());
    Client client;
    ASSERT_TRUE(client.Connect("localhost", v4only.PacketServerSocket1.Socket()->LocalPort()));
    EXPECT_EQ(client.socket.Socket()->RemoteAddress(), "127.0.0.1");
}

}  // namespace
}  // namespace server_test
