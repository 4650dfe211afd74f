#include "web_port_fixture.h"

#include <QDir>
#include <QFile>
#include <QNetworkRequest>
#include <algorithm>

namespace test {

void RecordingOwner::ConnectionOpened(TPacketConnection* connection)
{
    EXPECT_EQ(std::count(open.begin(), open.end(), connection), 0);
    EXPECT_EQ(connection->Kind(), TPacketConnection::TKind::WebSocket);
    open.push_back(connection);
    ++opened;
}

void RecordingOwner::PacketArrived(TPacketConnection* connection, const void* data, int size)
{
    EXPECT_EQ(std::count(open.begin(), open.end(), connection), 1);
    packets.emplace_back(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

void RecordingOwner::ConnectionClosed(TPacketConnection* connection)
{
    EXPECT_EQ(std::count(open.begin(), open.end(), connection), 1);
    open.erase(std::find(open.begin(), open.end(), connection));
    ++closed;
}

namespace {

void WriteFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

}  // namespace

WebPortTest::WebPortTest() : root(dir.filePath(QStringLiteral("web")))
{
    WriteFile(root + "/index.html", "<!doctype html><title>Kivol</title>");
    WriteFile(root + "/assets/app.3f9a1c2b.js", "console.log(1);");
    WriteFile(root + "/assets/icons/logo.png", "\x89PNG");
    WriteFile(dir.filePath("secret.txt"), "secret");
    QFile::link(dir.filePath("secret.txt"), root + "/assets/out.txt");
}

void WebPortTest::StartPort(TWebPortOptions options, const TWebSocketLimits& limits)
{
    options.Port = 0;
    options.Root = root;
    TWebRouteHooks hooks;
    hooks.ListTables = [this] { return tables; };
    hooks.AcceptingPlayers = [] { return true; };
    hooks.Records = records;
    port = std::make_unique<TWebPort>(options, owner, hooks, [this](const AnsiString& line) { log.push_back(line); },
                                      limits);
    ASSERT_EQ(port->Start(QString()), QString());
}

HttpResponse WebPortTest::Request(const std::string& head, bool headRequest)
{
    RawPeer peer = RawPeer::Connect(port->Port());
    peer.Write(head);
    std::string received;
    HttpResponse response;
    const bool complete = WaitUntil([&] {
        received += peer.ReadAvailable();
        const auto end = received.find("\r\n\r\n");
        if (end == std::string::npos)
            return false;
        response.headers.clear();
        std::size_t line = received.find("\r\n") + 2;
        while (line < end) {
            const std::size_t next = received.find("\r\n", line);
            const std::string header = received.substr(line, next - line);
            std::string name = header.substr(0, header.find(':'));
            std::transform(name.begin(), name.end(), name.begin(), ::tolower);
            response.headers[name] = header.substr(header.find(':') + 2);
            line = next + 2;
        }
        const std::size_t length = headRequest ? 0 : std::stoul(response.headers["content-length"]);
        response.body = received.substr(end + 4);
        return response.body.size() >= length;
    });
    EXPECT_TRUE(complete) << received;
    response.status = received.size() > 12 ? std::stoi(received.substr(9, 3)) : 0;
    return response;
}

HttpResponse WebPortTest::Get(const std::string& path, const std::string& method)
{
    return Request(method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", method == "HEAD");
}

std::unique_ptr<QWebSocket> WebPortTest::OpenWebSocket(const QString& origin)
{
    auto client = std::make_unique<QWebSocket>(origin);
    client->open(QUrl(QStringLiteral("ws://127.0.0.1:%1/ws").arg(port->Port())));
    EXPECT_TRUE(WaitUntil([&] { return client->state() == QAbstractSocket::ConnectedState; }));
    return client;
}

int WebPortTest::CloseCode(QWebSocket& client)
{
    EXPECT_TRUE(WaitUntil([&] { return client.state() == QAbstractSocket::UnconnectedState; }));
    return client.closeCode();
}

}  // namespace test
