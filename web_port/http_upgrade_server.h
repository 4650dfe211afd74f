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
    // What an upgrade to WebSocket is answered with: no refusal accepts it.
    // An accepted one may carry what to do should its WebSocket never open
    // (the handshake fails, the peer goes first, the server ends): it runs
    // once then, and never for an upgrade whose WebSocket came out.
    struct TUpgradeVerdict {
        std::optional<THttpAnswer> Refusal;
        std::function<void()> Abandoned;
    };
    std::function<TUpgradeVerdict(const QHttpServerRequest& request, bool secure)> Upgrade;
    // A WebSocket connection whose handshake is done, with the socket it
    // reads from (null if that could not be told).
    std::function<void(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport)> WebSocketOpened;

    THttpUpgradeServer();
    ~THttpUpgradeServer() override;

protected:
    bool handleRequest(const QHttpServerRequest& request, QTcpSocket* socket) override;
    void missingHandler(const QHttpServerRequest& request, QTcpSocket* socket) override;

private:
    static void Write(const QHttpServerRequest& request, QTcpSocket* socket, const THttpAnswer& answer);
    void TakeWebSockets();
    // The accepted upgrade's socket that the WebSocket now reads, told by
    // the connection's two ends (the library hands over the socket only).
    QTcpSocket* TakeTransport(const QWebSocket& socket);
    // Gives up the accepted upgrades whose socket has gone or is no longer
    // connected, and watches the others for their end.
    void SweepUpgrading();

    // The socket whose upgrade was refused and answered just now: the
    // library then reports it as missing, and it must not be answered twice.
    QTcpSocket* refused_ = nullptr;
    // Accepted upgrades whose WebSocket has not come out yet.
    struct TUpgrading {
        QPointer<QTcpSocket> Socket;
        std::function<void()> Abandoned;
        bool Watched = false;
    };
    std::vector<TUpgrading> upgrading_;
};
