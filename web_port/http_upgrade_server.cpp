#include "web_port/http_upgrade_server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslSocket>
#include <algorithm>

namespace {

bool IsSecure(QTcpSocket* socket)
{
    const auto* ssl = qobject_cast<QSslSocket*>(socket);
    return ssl && ssl->isEncrypted();
}

// The library's own test: a websocket Upgrade header and "upgrade" among the
// Connection header's options. Anything else is an ordinary request, and is
// answered as one.
bool IsWebSocketUpgrade(const QHttpServerRequest& request)
{
    if (request.value("upgrade").trimmed().compare("websocket", Qt::CaseInsensitive) != 0)
        return false;
    const QList<QByteArray> options = request.value("connection").split(',');
    return std::any_of(options.begin(), options.end(), [](const QByteArray& option) {
        return option.trimmed().compare("upgrade", Qt::CaseInsensitive) == 0;
    });
}

}  // namespace

THttpUpgradeServer::THttpUpgradeServer()
{
    connect(this, &QAbstractHttpServer::newWebSocketConnection, this, &THttpUpgradeServer::TakeWebSockets);
}

bool THttpUpgradeServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (!IsWebSocketUpgrade(request)) {
        Write(request, socket, Answer(request));
        return true;
    }
    const auto refusal = Upgrade(request, IsSecure(socket));
    if (!refusal) {
        upgrading_.emplace_back(socket);
        return true;
    }
    Write(request, socket, *refusal);
    refused_ = socket;
    return false;
}

void THttpUpgradeServer::missingHandler(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (socket != refused_)
        Write(request, socket, ErrorAnswer(404));
    refused_ = nullptr;
}

void THttpUpgradeServer::Write(const QHttpServerRequest& request, QTcpSocket* socket, const THttpAnswer& answer)
{
    auto responder = makeResponder(request, socket);
    responder.writeStatusLine(static_cast<QHttpServerResponder::StatusCode>(answer.Status));
    for (const auto& [name, value] : answer.Headers)
        responder.writeHeader(name, value);
    responder.writeHeader("Content-Length", QByteArray::number(answer.Body.size()));
    responder.writeBody(request.method() == QHttpServerRequest::Method::Head ? QByteArray() : answer.Body);
}

void THttpUpgradeServer::TakeWebSockets()
{
    while (auto socket = nextPendingWebSocketConnection()) {
        QTcpSocket* transport = TakeTransport(*socket);
        WebSocketOpened(std::move(socket), transport);
    }
}

QTcpSocket* THttpUpgradeServer::TakeTransport(const QWebSocket& socket)
{
    QTcpSocket* found = nullptr;
    std::erase_if(upgrading_, [&](const QPointer<QTcpSocket>& transport) {
        if (!transport)
            return true;
        if (found || transport->peerPort() != socket.peerPort() || transport->localPort() != socket.localPort() ||
            transport->peerAddress() != socket.peerAddress())
            return false;
        found = transport;
        return true;
    });
    return found;
}
