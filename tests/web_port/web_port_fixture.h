#pragma once

#include <QTemporaryDir>
#include <QWebSocket>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "support/socket_test_support.h"
#include "web_port/web_port.h"

namespace test {

// A game that records what its carrier reports, in order, and checks the
// contract as it goes: nothing before opened or after closed, one close.
class RecordingOwner : public TPacketConnectionOwner {
public:
    void ConnectionOpened(TPacketConnection* connection) override;
    void PacketArrived(TPacketConnection* connection, const void* data, int size) override;
    void ConnectionClosed(TPacketConnection* connection) override;

    std::vector<TPacketConnection*> open;
    std::vector<std::string> packets;
    int opened = 0;
    int closed = 0;
};

struct HttpResponse {
    int status = 0;
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;
};

// A web port on a free port with a small client in a temporary web root
// (index.html, assets/), beside a file outside the root.
class WebPortTest : public ::testing::Test {
protected:
    WebPortTest();

    void StartPort(TWebPortOptions options = {}, const TWebSocketLimits& limits = {});
    // One request as written, over a raw socket; the answer as read.
    HttpResponse Request(const std::string& head, bool headRequest = false);
    HttpResponse Get(const std::string& path, const std::string& method = "GET");
    // A WebSocket client at /ws, connected (an empty origin sends none).
    std::unique_ptr<QWebSocket> OpenWebSocket(const QString& origin = {});
    // Waits for the client's close and gives its code.
    static int CloseCode(QWebSocket& client);

    QTemporaryDir dir;
    QString root;
    RecordingOwner owner;
    std::vector<Protocol::Tables::TTableRow> tables;
    // The records behind /api/leaderboard, /api/players and /api/games (null: none).
    const Records::TRecordStore* records = nullptr;
    std::vector<AnsiString> log;
    std::unique_ptr<TWebPort> port;
};

}  // namespace test
