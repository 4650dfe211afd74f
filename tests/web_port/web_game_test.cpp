// Browser players at the real game: a WebSocket player beside a TCP player
// at the same table.

#include <algorithm>

#include "protocol/level2.h"
#include "server/game_server_fixture.h"
#include "server/web_admission.h"
#include "web_port_fixture.h"

using namespace std::string_literals;

namespace server_test {
namespace {

class WebGameTest : public GameServerTest {
protected:
    WebGameTest() : GameServerTest(IdentityRules()) {}

    void SetUp() override
    {
        GameServerTest::SetUp();
        TWebPortOptions options;
        options.Port = 0;
        options.Root = web.path();
        TWebRouteHooks hooks;
        hooks.ListTables = [this] { return server.ListedTables(); };
        AdmitWebPlayers(hooks, server);
        port = std::make_unique<TWebPort>(options, server, hooks, Log());
        ASSERT_EQ(port->Start(QString()), QString());
    }

    // A browser player joined as 太郎 (a resume with token), its frames
    // recorded, read up to the end of the sync block.
    std::unique_ptr<QWebSocket> JoinTaro(std::vector<QString>& frames, const std::string& token = {})
    {
        auto client = std::make_unique<QWebSocket>();
        QObject::connect(client.get(), &QWebSocket::textMessageReceived,
                         [&frames](const QString& text) { frames.push_back(text); });
        client->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port->Port())));
        EXPECT_TRUE(WaitUntil([&] { return client->state() == QAbstractSocket::ConnectedState; }));
        const std::string join = "/join 太郎    \0KIVOL/2"s + (token.empty() ? "" : " RESUME=" + token);
        client->sendTextMessage(QString::fromUtf8(join.data(), static_cast<qsizetype>(join.size())));
        // The sync block's end; a "/site" line may follow it.
        EXPECT_TRUE(WaitUntil(
            [&] { return std::find(frames.begin(), frames.end(), QStringLiteral("/state end")) != frames.end(); }));
        return client;
    }

    // A WebSocket at /ws once open; null when the port refused it (and with
    // OpenOnceAdmitted, the first that opens).
    std::unique_ptr<QWebSocket> TryOpen()
    {
        auto client = std::make_unique<QWebSocket>();
        bool failed = false;
        QObject::connect(client.get(), &QWebSocket::stateChanged, [&failed](QAbstractSocket::SocketState state) {
            failed = failed || state == QAbstractSocket::UnconnectedState;
        });
        client->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port->Port())));
        EXPECT_TRUE(WaitUntil([&] { return failed || client->state() == QAbstractSocket::ConnectedState; }));
        client->disconnect();
        return failed ? nullptr : std::move(client);
    }

    std::unique_ptr<QWebSocket> OpenOnceAdmitted()
    {
        std::unique_ptr<QWebSocket> client;
        EXPECT_TRUE(WaitUntil([&] { return (client = TryOpen()) != nullptr; }));
        return client;
    }

    // The token of the sync block among the frames.
    static std::string Token(const std::vector<QString>& frames)
    {
        for (const QString& frame : frames)
            if (frame.startsWith(QLatin1String("/state begin ")))
                return frame.toStdString().substr(Protocol::Level2::StateBegin.size() + 1, Protocol::Level2::TokenLength);
        return {};
    }

    QTemporaryDir web;
    std::unique_ptr<TWebPort> port;
};

// Chat in Japanese, with the characters Shift-JIS and code page 932 disagree
// on, arrives byte-exact both ways.
TEST_F(WebGameTest, JapaneseChatCrossesBetweenBrowserAndTcpPlayersByteExact)
{
    auto tcp = Connect();
    Join(*tcp, "\x89\xd4\x8e\x71");  // 花子
    std::vector<QString> frames;
    auto browser = JoinTaro(frames);

    browser->sendTextMessage(QStringLiteral("太郎    : こんにちは～①"));
    const std::string taro = "\x91\xbe\x98\x59    : \x82\xb1\x82\xf1\x82\xc9\x82\xbf\x82\xcd\x81\x60\x87\x40"s + '\0';
    std::optional<std::string> packet;
    while ((packet = tcp->NextPacket()) && *packet != taro) {
    }
    EXPECT_EQ(packet, taro);

    ASSERT_TRUE(tcp->SendPacket("\x89\xd4\x8e\x71    : \x97\xb9\x89\xf0\x81\x60"s + '\0'));
    EXPECT_TRUE(test::WaitUntil([&] { return frames.back() == QStringLiteral("花子    : 了解～"); }));
}

// A browser player whose connection drops is away, as a TCP player would be,
// and takes its entry back with its token.
TEST_F(WebGameTest, ADroppedBrowserPlayerIsAwayAndResumesWithItsToken)
{
    std::vector<QString> frames;
    auto browser = JoinTaro(frames);
    const std::string token = Token(frames);
    ASSERT_TRUE(Protocol::Level2::IsToken(token));

    browser->abort();
    ASSERT_TRUE(test::WaitUntil([&] { return game.Roster.Count() == 1 && game.Roster.Entry(0).Away; }));
    EXPECT_TRUE(Logged("/離脱  太郎    [127.0.0.1]"));

    std::vector<QString> resumed;
    auto back = JoinTaro(resumed, token);
    EXPECT_EQ(game.Roster.Count(), 1);
    EXPECT_FALSE(game.Roster.Entry(0).Away);
    EXPECT_NE(Token(resumed), token);
}

// Upgrades whose handshake fails after the admission give it back, once:
// more of them than the limit leave the address admitted, while the
// WebSockets that opened still count until they close.
TEST_F(WebGameTest, FailedUpgradesGiveTheirAdmissionBackAndOpenWebSocketsStillCount)
{
    server.SetAddressLimits({2, 0, true});
    for (const char* version : {"99", "12", "14", "0", "9"}) {
        test::RawPeer peer = test::RawPeer::Connect(port->Port());
        peer.Write("GET /ws HTTP/1.1\r\nHost: 127.0.0.1\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                   "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: "s + version + "\r\n\r\n");
        EXPECT_TRUE(peer.WaitClosed());
    }

    auto first = OpenOnceAdmitted();
    auto second = OpenOnceAdmitted();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(TryOpen(), nullptr);

    // The close of an opened one gives its admission back, and only that.
    first->close();
    ASSERT_TRUE(WaitUntil([&] { return server.Peers().size() == 1; }));
    auto third = OpenOnceAdmitted();
    EXPECT_EQ(TryOpen(), nullptr);
}

// A browser player is told where the pages are at the address it reached,
// IPv4 written as such although the port listens on every address.
TEST_F(WebGameTest, ABrowserPlayerIsToldWhereThePagesAre)
{
    server.ServeSite({}, port->Port(), false);
    std::vector<QString> frames;
    auto taro = JoinTaro(frames);
    const QString site = QStringLiteral("/site http://127.0.0.1:%1/").arg(port->Port());
    EXPECT_TRUE(WaitUntil([&] { return frames.back() == site; }));
}

}  // namespace
}  // namespace server_test
