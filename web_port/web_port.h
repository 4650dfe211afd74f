#pragma once

#include <QHostAddress>
#include <QObject>
#include <memory>
#include <unordered_map>
#include <vector>

#include "transport/packet_connection.h"
#include "web_port/http_upgrade_server.h"
#include "web_port/web_origin.h"
#include "web_port/web_port_options.h"
#include "web_port/web_routes.h"
#include "web_port/web_socket_connection.h"

class QHttpServerRequest;
class QTcpServer;

// The web port of kivolsrv: the browser client's files, the table list and
// health check over HTTP (or HTTPS), and game connections over WebSocket,
// each reported to the game as a TPacketConnection. It runs on the thread
// that creates it, beside the game's TCP port.
//
// The owner must outlive the port; connections still open when the port is
// destroyed are closed and reported to it then.
class TWebPort : public QObject {
public:
    using LogFunction = TWebSocketConnection::LogFunction;

    TWebPort(const TWebPortOptions& options, TPacketConnectionOwner& owner, TWebRouteHooks hooks, LogFunction log,
             const TWebSocketLimits& limits = {});
    ~TWebPort() override;

    // Listens on the options' port (0 takes any free one) at the game's
    // address: empty for every address, IPv6 and IPv4, else one numeric
    // address. With a certificate and key it serves HTTPS only. Returns why
    // it cannot, or an empty text.
    QString Start(const QString& listenAddress);
    // The port listened on; 0 before Start.
    quint16 Port() const;
    bool Secure() const { return !options_.TlsCertificate.isEmpty(); }

    // Reads the certificate and key again for the connections to come (the
    // operator's SIGHUP). A pair that cannot be read leaves the old one in
    // use; the reason is logged and returned (empty on success).
    QString Reload();

private:
    THttpUpgradeServer::TUpgradeVerdict Upgrade(const QHttpServerRequest& request, bool secure) const;
    void WebSocketOpened(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport);
    void Finished(TWebSocketConnection* connection);

    TWebPortOptions options_;
    TPacketConnectionOwner& owner_;
    LogFunction log_;
    TWebSocketLimits limits_;
    TWebRoutes routes_;
    std::function<bool(const AnsiString& playerAddress)> admitPlayer_;
    std::function<void(const AnsiString& playerAddress)> releasePlayer_;
    std::vector<QHostAddress> trustedProxies_;
    std::vector<TWebOrigin> allowedOrigins_;
    THttpUpgradeServer server_;
    QTcpServer* listener_ = nullptr;  // owned by server_
    std::unordered_map<TWebSocketConnection*, std::unique_ptr<TWebSocketConnection>> connections_;
};
