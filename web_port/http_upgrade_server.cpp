#include "web_port/http_upgrade_server.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QSslSocket>
#include <QTimer>
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

THttpUpgradeServer::~THttpUpgradeServer()
{
    // The upgrades still under way never open now.
    std::vector<TUpgrading> left = std::move(upgrading_);
    upgrading_.clear();
    for (TUpgrading& upgrading : left) {
        if (upgrading.Socket)
            upgrading.Socket->disconnect(this);
        if (upgrading.Abandoned)
            upgrading.Abandoned();
    }
}

bool THttpUpgradeServer::handleRequest(const QHttpServerRequest& request, QTcpSocket* socket)
{
    if (!IsWebSocketUpgrade(request)) {
        Write(request, socket, Answer(request));
        return true;
    }
    TUpgradeVerdict verdict = Upgrade(request, IsSecure(socket));
    if (!verdict.Refusal) {
        upgrading_.push_back({socket, std::move(verdict.Abandoned)});
        // Once this returns, the library cuts every connection to the
        // socket's signals and hands it to its WebSocket server, which may
        // fail the handshake at once: the watch starts from the event loop.
        QTimer::singleShot(0, this, &THttpUpgradeServer::SweepUpgrading);
        return true;
    }
    Write(request, socket, *verdict.Refusal);
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
    const auto found = std::find_if(upgrading_.begin(), upgrading_.end(), [&](const TUpgrading& upgrading) {
        const QTcpSocket* transport = upgrading.Socket;
        return transport && transport->peerPort() == socket.peerPort() && transport->localPort() == socket.localPort() &&
               transport->peerAddress() == socket.peerAddress();
    });
    if (found == upgrading_.end())
        return nullptr;
    QTcpSocket* transport = found->Socket;
    upgrading_.erase(found);
    return transport;
}

void THttpUpgradeServer::SweepUpgrading()
{
    std::vector<std::function<void()>> abandoned;
    std::erase_if(upgrading_, [&](TUpgrading& upgrading) {
        if (upgrading.Socket && upgrading.Socket->state() == QAbstractSocket::ConnectedState)
            return false;
        if (upgrading.Abandoned)
            abandoned.push_back(std::move(upgrading.Abandoned));
        return true;
    });
    for (TUpgrading& upgrading : upgrading_) {
        if (upgrading.Watched)
            continue;
        upgrading.Watched = true;
        connect(upgrading.Socket, &QAbstractSocket::disconnected, this, &THttpUpgradeServer::SweepUpgrading);
        connect(upgrading.Socket, &QObject::destroyed, this, &THttpUpgradeServer::SweepUpgrading);
    }
    // Last, as these call out: the list is settled by then.
    for (const auto& action : abandoned)
        action();
}
