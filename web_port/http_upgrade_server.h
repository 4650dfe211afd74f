#pragma once

#include <QAbstractHttpServer>
#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "web_port/http_answer.h"

class QHttpServerRequest;

// Qt HTTP Server as the web port uses it, with everything that depends on its
// 6.4 interface in this one class: requests come in with their socket, and a
// WebSocket upgrade is handed to the WebSocket server only when the request
// handler accepts it without writing anything (6.8 replaces this with
// upgrade verifiers).
class THttpUpgradeServer : public QAbstractHttpServer {
public:
    // The answer of an ordinary request.
    std::function<THttpAnswer(const QHttpServerRequest& request)> Answer;
    // An upgrade to WebSocket: nothing to accept it, else the refusal to write.
    std::function<std::optional<THttpAnswer>(const QHttpServerRequest& request, bool secure)> Upgrade;
    // A WebSocket connection whose handshake is done, with the socket it
    // reads from (null if that could not be told).
    std::function<void(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport)> WebSocketOpened;

    THttpUpgradeServer();

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    static void Write(const QHttpServerRequest& request, QTcpSocket* socket, const THttpAnswer& answer);
    void TakeWebSockets();
    // The accepted upgrade's socket that the WebSocket now reads, told by
    // the connection's two ends (the library hands over the socket only).
    QTcpSocket* TakeTransport(const QWebSocket& socket);

    // The socket whose upgrade was refused and answered just now: the
    // library then reports it as missing, and it must not be answered twice.
    QTcpSocket* refused_ = nullptr;
    // Sockets of accepted upgrades whose WebSocket has not come out yet.
    std::vector<QPointer<QTcpSocket>> upgrading_;
};
