#include <QNetworkRequest>

#include "transport/custom_socket_rw.h"
#include "web_port_fixture.h"

namespace test {
namespace {

using namespace std::string_literals;
using WebSocket = WebPortTest;

const std::string JoinFrame = "/join 太郎～\0KIVOL/2 TABLE=金曜"s;
const std::string JoinPayload = "/join \x91\xbe\x98\x59\x81\x60\0KIVOL/2 TABLE=\x8b\xe0\x97\x6a"s;

QString Frame(const std::string& utf8)
{
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The status of a raw upgrade request (0 when none came).
int UpgradeStatus(int port, const std::string& path, const std::string& origin,
                  const std::string& connection = "keep-alive, Upgrade")
{
    RawPeer peer = RawPeer::Connect(port);
    peer.Write("GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
               "\r\nUpgrade: websocket\r\nConnection: " + connection + "\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
               "Sec-WebSocket-Version: 13\r\n" + (origin.empty() ? "" : "Origin: " + origin + "\r\n") + "\r\n");
    std::string received;
    WaitUntil([&] { return (received += peer.ReadAvailable()).find("\r\n\r\n") != std::string::npos; });
    return received.size() > 12 ? std::stoi(received.substr(9, 3)) : 0;
}

// Only the page's own site, and the sites the operator allows, may open the
// game's WebSocket; a request from no browser (no Origin) may too.
TEST_F(WebSocket, UpgradesOnlyForTheOwnOrAnAllowedOrigin)
{
    TWebPortOptions options;
    options.AllowedOrigins = {QStringLiteral("https://kivol.example")};
    StartPort(options);
    const int p = port->Port();
    const std::string own = "http://127.0.0.1:" + std::to_string(p);
    const std::vector<std::pair<std::string, int>> cases = {
        {own, 101}, {"", 101}, {"https://kivol.example", 101}, {"https://KIVOL.example:443", 101},
        {"http://evil.example", 403}, {"http://127.0.0.1:" + std::to_string(p + 1), 403},
        {"https://127.0.0.1:" + std::to_string(p), 403}, {"null", 403}, {"http://kivol.example", 403},
    };
    int upgraded = 0;
    for (const auto& [origin, status] : cases) {
        SCOPED_TRACE(origin);
        EXPECT_EQ(UpgradeStatus(p, "/ws", origin), status);
        upgraded += status == 101;
    }
    EXPECT_EQ(UpgradeStatus(p, "/elsewhere", own), 404);
    EXPECT_EQ(UpgradeStatus(p, "/ws", own, "keep-alive"), 404);  // no upgrade: an ordinary request
    EXPECT_TRUE(WaitUntil([&] { return owner.opened == upgraded && owner.closed == upgraded; }));
}

// Japanese text crosses byte-exact both ways: UTF-8 frames, code page 932
// packets; the trailer rides to the game but never back to the browser.
TEST_F(WebSocket, CarriesJapaneseByteExactAndDropsWhatCodePage932Lacks)
{
    StartPort();
    auto client = OpenWebSocket();
    std::vector<QString> received;
    QObject::connect(client.get(), &QWebSocket::textMessageReceived, [&](const QString& text) { received.push_back(text); });

    client->sendTextMessage(Frame(JoinFrame));
    ASSERT_TRUE(WaitUntil([&] { return owner.packets.size() == 1; }));
    EXPECT_EQ(owner.packets[0], JoinPayload);
    EXPECT_EQ(owner.open[0]->PeerAddress(), "127.0.0.1");

    owner.open[0]->SendPacket("\x91\xbe\x98\x59\x81\x60: \x82\xb1\x82\xf1\0KIVOL/2 x", 22);
    ASSERT_TRUE(WaitUntil([&] { return received.size() == 1; }));
    EXPECT_EQ(received[0].toStdString(), "太郎～: こん");

    // Two frames with an emoji are dropped and logged once; the next arrives.
    client->sendTextMessage(Frame("太郎～: 😀"));
    client->sendTextMessage(Frame("太郎～: 🎴"));
    client->sendTextMessage(Frame("太郎～: ?"));
    ASSERT_TRUE(WaitUntil([&] { return owner.packets.size() == 2; }));
    EXPECT_EQ(owner.packets[1], "\x91\xbe\x98\x59\x81\x60: ?");
    EXPECT_EQ(log.size(), 1u);
}

// Each fault closes with its code, and the game sees each close once.
TEST_F(WebSocket, ClosesWithTheCodeOfEachFault)
{
    StartPort();
    struct Case {
        const char* what;
        std::vector<std::string> frames;
        bool binary;
        int code;
    };
    const std::vector<Case> cases = {
        {"binary first", {}, true, 1003},
        {"binary after join", {JoinFrame}, true, 1003},
        {"another command first", {"/hit 太郎"}, false, 1008},
        {"a level-1 join", {"/join 太郎"}, false, 1008},
        {"a join after the listing", {"/tables", "/tables", JoinFrame, "/hit", std::string(65536, 'x'),
                                      std::string(65537, 'x')}, false, 1009},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const int closedBefore = owner.closed;
        auto client = OpenWebSocket();
        client->setOutgoingFrameSize(1000);
        for (const std::string& frame : c.frames)
            client->sendTextMessage(Frame(frame));
        if (c.binary)
            client->sendBinaryMessage("x");
        EXPECT_EQ(CloseCode(*client), c.code);
        EXPECT_TRUE(WaitUntil([&] { return owner.closed == closedBefore + 1; }));
    }
    // The last case's packets up to the oversized message all arrived.
    ASSERT_GE(owner.packets.size(), 5u);
    EXPECT_EQ(owner.packets.back(), std::string(65536, 'x'));
    EXPECT_EQ(owner.packets[owner.packets.size() - 2], "/hit");
}

// CloseAfterSending sends what was queued first; the game hears of each
// close once, from the event loop, however it came about.
TEST_F(WebSocket, ReportsEveryCloseOnceAfterwards)
{
    StartPort();
    auto leaving = OpenWebSocket();
    auto dropping = OpenWebSocket();
    auto staying = OpenWebSocket();
    ASSERT_TRUE(WaitUntil([&] { return owner.opened == 3; }));
    std::vector<QString> received;
    QObject::connect(leaving.get(), &QWebSocket::textMessageReceived, [&](const QString& text) { received.push_back(text); });

    owner.open[0]->SendPacket("/refused closed bye", 20);
    owner.open[0]->CloseAfterSending();
    EXPECT_EQ(owner.closed, 0);
    EXPECT_EQ(CloseCode(*leaving), 1000);
    EXPECT_EQ(received, std::vector<QString>{QStringLiteral("/refused closed bye")});
    dropping->abort();
    EXPECT_TRUE(WaitUntil([&] { return owner.closed == 2; }));

    port.reset();
    EXPECT_EQ(owner.closed, 3);
    EXPECT_TRUE(owner.open.empty());
}

// Behind a trusted proxy the player's address is the one the proxy adds last.
TEST_F(WebSocket, TakesTheForwardedAddressFromTrustedProxiesOnly)
{
    TWebPortOptions options;
    options.TrustedProxies = {QStringLiteral("127.0.0.1")};
    StartPort(options);
    for (const auto& [forwarded, address] : std::vector<std::pair<QByteArray, AnsiString>>{
             {"198.51.100.7, 2001:DB8:0:0::1", "2001:db8::1"}, {"10.0.0.1", "10.0.0.1"},
             {"::ffff:192.0.2.1", "192.0.2.1"}, {"1.2.3.4, not an address", "127.0.0.1"}}) {
        QNetworkRequest request(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port->Port())));
        request.setRawHeader("X-Forwarded-For", forwarded);
        QWebSocket client;
        client.open(request);
        ASSERT_TRUE(WaitUntil([&] { return owner.open.size() == 1; }));
        EXPECT_EQ(owner.open[0]->PeerAddress(), address);
        client.abort();
        ASSERT_TRUE(WaitUntil([&] { return owner.open.empty(); }));
    }
}

// A peer that sends faster than it earns is read later, not lost; a peer
// that answers no ping and one that reads nothing are dropped.
TEST_F(WebSocket, PacesSendersAndDropsSilentOrStuckPeers)
{
    TWebSocketLimits limits;
    limits.RelayRate = 20000;
    limits.RelayBurst = 2000;
    limits.MaxSendQueue = 64 * 1024;
    limits.PingInterval = std::chrono::milliseconds(50);
    limits.SilenceLimit = std::chrono::milliseconds(300);
    StartPort({}, limits);
    const double pacedBefore = TCustomSocketRW::PacedSeconds();
    auto talker = OpenWebSocket();
    talker->sendTextMessage(Frame(JoinFrame));
    for (int i = 0; i < 20; ++i)
        talker->sendTextMessage(QString::number(i) + QLatin1Char(':') + QString(1000, QLatin1Char('x')));
    ASSERT_TRUE(WaitUntil([&] { return owner.packets.size() == 21; }));
    for (int i = 0; i < 20; ++i) {
        const std::string& packet = owner.packets[static_cast<std::size_t>(i) + 1];
        EXPECT_EQ(packet.substr(0, packet.find(':')), std::to_string(i));
    }
    EXPECT_GT(TCustomSocketRW::PacedSeconds(), pacedBefore + 0.5);  // 20 KB at 20 KB/s, less the burst
    PumpFor(500);
    EXPECT_EQ(owner.closed, 0);  // it answers pings
    // A peer that goes while it owes is still reported.
    for (int i = 0; i < 20; ++i)
        talker->sendTextMessage(QString(1000, QLatin1Char('z')));
    ASSERT_TRUE(WaitUntil([&] { return owner.packets.size() > 21; }));
    talker->abort();
    ASSERT_TRUE(WaitUntil([&] { return owner.closed == 1; }));

    // The handshake alone, then silence: no pong, no reading.
    RawPeer silent = RawPeer::Connect(port->Port());
    silent.Write("GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                 "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(WaitUntil([&] { return owner.opened == 2; }));
    EXPECT_TRUE(WaitUntil([&] { return owner.closed == 2; }));

    RawPeer stuck = RawPeer::Connect(port->Port());
    stuck.Write("GET /ws HTTP/1.1\r\nHost: x\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
    ASSERT_TRUE(WaitUntil([&] { return owner.opened == 3; }));
    const std::string chat(1000, 'y');
    for (int i = 0; i < 100000 && owner.closed == 2; ++i)
        owner.open.back()->SendPacket(chat.data(), static_cast<int>(chat.size()));
    EXPECT_TRUE(WaitUntil([&] { return owner.closed == 3; }));
    EXPECT_TRUE(owner.open.empty());
}

}  // namespace
}  // namespace test
