#include "web_port/web_port.h"

#include <QHttpServerRequest>
#include <QSslServer>
#include <QTcpServer>

#include "platform/cp932.h"
#include "web_port/player_address.h"
#include "web_port/text_compression.h"
#include "web_port/tls_files.h"

namespace {

QByteArray MethodWord(QHttpServerRequest::Method method)
{
    switch (method) {
    case QHttpServerRequest::Method::Get: return "GET";
    case QHttpServerRequest::Method::Head: return "HEAD";
    default: return "OTHER";
    }
}

QByteArray EncodedPath(const QHttpServerRequest& request)
{
    return request.url().path(QUrl::FullyEncoded).toLatin1();
}

}  // namespace

TWebPort::TWebPort(const TWebPortOptions& options, TPacketConnectionOwner& owner, TWebRouteHooks hooks,
                   LogFunction log, const TWebSocketLimits& limits)
    : options_(options),
      owner_(owner),
      log_(std::move(log)),
      limits_(limits),
      routes_(TWebRoot(options.Root), hooks),
      admitPlayer_(std::move(hooks.AdmitPlayer)),
      releasePlayer_(std::move(hooks.ReleasePlayer))
{
    for (const QString& proxy : options_.TrustedProxies)
        trustedProxies_.emplace_back(proxy);
    for (const QString& origin : options_.AllowedOrigins)
        if (const auto allowed = ReadWebOrigin(origin))
            allowedOrigins_.push_back(*allowed);

    server_.Answer = [this](const QHttpServerRequest& request) {
        THttpAnswer answer = routes_.Answer(MethodWord(request.method()), EncodedPath(request), request.remoteAddress(),
                                            request.url().query(QUrl::FullyEncoded).toLatin1());
        CompressTextAnswer(answer, request.value("accept-encoding"));
        return answer;
    };
    server_.Upgrade = [this](const QHttpServerRequest& request, bool secure) { return Upgrade(request, secure); };
    server_.WebSocketOpened = [this](std::unique_ptr<QWebSocket> socket, QTcpSocket* transport) {
        WebSocketOpened(std::move(socket), transport);
    };
}

TWebPort::~TWebPort()
{
    for (auto& [connection, owned] : connections_)
        connection->ReportClosed();
    connections_.clear();
}

QString TWebPort::Start(const QString& listenAddress)
{
    const QHostAddress address = listenAddress.isEmpty() ? QHostAddress(QHostAddress::Any) : QHostAddress(listenAddress);
    if (address.isNull())
        return QStringLiteral("The web port cannot listen on '%1': not an address.").arg(listenAddress);
    std::unique_ptr<QTcpServer> listener;
    if (Secure()) {
        QString problem;
        const auto tls = ReadTlsFiles(options_.TlsCertificate, options_.TlsKey, problem);
        if (!tls)
            return problem;
        auto sslServer = std::make_unique<QSslServer>();
        sslServer->setSslConfiguration(*tls);
        listener = std::move(sslServer);
    } else {
        listener = std::make_unique<QTcpServer>();
    }
    if (!listener->listen(address, static_cast<quint16>(options_.Port)))
        return QStringLiteral("The web port cannot listen on port %1: %2").arg(options_.Port).arg(listener->errorString());
    listener_ = listener.release();
    server_.bind(listener_);
    return {};
}

quint16 TWebPort::Port() const
{
    return listener_ ? listener_->serverPort() : 0;
}

QString TWebPort::Reload()
{
    auto* sslServer = qobject_cast<QSslServer*>(listener_);
    if (!sslServer)
        return {};
    QString problem;
    const auto tls = ReadTlsFiles(options_.TlsCertificate, options_.TlsKey, problem);
    if (!tls) {
        if (log_)
            log_(Cp932::FromUtf8("/証明書  読み込めないため以前のものを使います: ") + Cp932::Encode(problem));
        return problem;
    }
    sslServer->setSslConfiguration(*tls);
    return {};
}

THttpUpgradeServer::TUpgradeVerdict TWebPort::Upgrade(const QHttpServerRequest& request, bool secure) const
{
    if (EncodedPath(request) != "/ws")
        return {ErrorAnswer(404), {}};
    if (request.method() != QHttpServerRequest::Method::Get)
        return {ErrorAnswer(405), {}};
    if (!MayOpenWebSocket(request.value("origin"), secure, request.value("host"), allowedOrigins_))
        return {ErrorAnswer(403), {}};
    if (!admitPlayer_)
        return {};
    AnsiString address = PlayerAddress(request.remoteAddress(), request.value("x-forwarded-for"), trustedProxies_);
    if (!admitPlayer_(address))
        return {ErrorAnswer(403), {}};
    if (!releasePlayer_)
        return {};
    return {std::nullopt, [this, address = std::move(address)] { releasePlayer_(address); }};
}

void TWebPort::WebSocketOpened(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport)
{
    AnsiString address =
        PlayerAddress(socket->peerAddress(), socket->request().rawHeader("X-Forwarded-For"), trustedProxies_);
    auto connection = std::make_unique<TWebSocketConnection>(
        std::move(socket), transport, std::move(address), owner_, limits_, log_,
        [this](TWebSocketConnection* finished) { Finished(finished); });
    TWebSocketConnection* opened = connection.get();
    connections_.emplace(opened, std::move(connection));
    opened->Open();
}

void TWebPort::Finished(TWebSocketConnection* connection)
{
    const auto found = connections_.find(connection);
    if (found == connections_.end())
        return;
    // The connection is inside its own call now; it goes once that returned.
    found->second.release()->deleteLater();
    connections_.erase(found);
}
