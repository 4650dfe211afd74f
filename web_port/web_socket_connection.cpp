#include "web_port/web_socket_connection.h"

#include <QTcpSocket>
#include <QTimer>

#include "platform/cp932.h"
#include "protocol/command_words.h"
#include "protocol/level2.h"
#include "transport/custom_socket_rw.h"
#include "web_port/frame_text.h"

namespace {

// How long a closing peer may take to answer the close before it is cut off.
constexpr std::chrono::seconds CloseWait{5};
// A peer that keeps sending what cannot be converted is logged at most this often.
constexpr std::chrono::minutes DropLogInterval{1};

}  // namespace

TWebSocketConnection::TWebSocketConnection(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport,
                                           AnsiString address, TPacketConnectionOwner& owner, const TWebSocketLimits& limits,
                                           LogFunction log, std::function<void(TWebSocketConnection*)> finished)
    : socket_(std::move(socket)),
      transport_(transport),
      address_(std::move(address)),
      owner_(owner),
      limits_(limits),
      log_(std::move(log)),
      finished_(std::move(finished)),
      pacing_(limits.RelayRate, limits.RelayBurst),
      lastHeard_(Clock::now())
{
    socket_->setMaxAllowedIncomingFrameSize(static_cast<quint64>(limits_.MaxMessageBytes));
    socket_->setMaxAllowedIncomingMessageSize(static_cast<quint64>(limits_.MaxMessageBytes));
    // Room for a few of the largest frames: what the peer sends beyond that
    // waits in the kernel (and, once it owes, stays there).
    if (transport_)
        transport_->setReadBufferSize(4 * (limits_.MaxMessageBytes + 16));
    resumeDeadline_.SetAction([this] { Resume(); });
    closeDeadline_.SetAction([this] { Drop(); });
    pingDeadline_.SetAction([this] { KeepAlive(); });
    connect(socket_.get(), &QWebSocket::textMessageReceived, this, &TWebSocketConnection::MessageArrived);
    connect(socket_.get(), &QWebSocket::binaryFrameReceived, this,
            [this] { Close(QWebSocketProtocol::CloseCodeDatatypeNotSupported, QStringLiteral("text frames only")); });
    connect(socket_.get(), &QWebSocket::pong, this, [this] { lastHeard_ = Clock::now(); });
    connect(socket_.get(), &QWebSocket::disconnected, this, &TWebSocketConnection::Disconnected);
}

TWebSocketConnection::~TWebSocketConnection()
{
    socket_->disconnect(this);
    if (transport_)
        transport_->blockSignals(false);
    socket_->abort();
}

void TWebSocketConnection::Open()
{
    pingDeadline_.Start(limits_.PingInterval);
    owner_.ConnectionOpened(this);
}

void TWebSocketConnection::SendPacket(const void* data, int size)
{
    if (closing_)
        return;
    const QByteArray utf8 = QByteArray::fromStdString(FrameText::FromPayload(data, size));
    if (socket_->bytesToWrite() + utf8.size() > limits_.MaxSendQueue) {
        Drop();
        return;
    }
    socket_->sendTextMessage(QString::fromUtf8(utf8));
    TCustomSocketRW::QueuedOnThisThread() += utf8.size();
}

void TWebSocketConnection::CloseAfterSending()
{
    Close(QWebSocketProtocol::CloseCodeNormal, QString());
}

void TWebSocketConnection::KeepAlive()
{
    if (closing_)
        return;
    pingDeadline_.Start(limits_.PingInterval);
    if (paused_)
        return;
    if (Clock::now() - lastHeard_ > limits_.SilenceLimit)
        Drop();
    else
        socket_->ping();
}

void TWebSocketConnection::ReportClosed()
{
    if (reported_)
        return;
    reported_ = true;
    owner_.ConnectionClosed(this);
}

void TWebSocketConnection::MessageArrived(const QString& text)
{
    if (closing_)
        return;
    lastHeard_ = Clock::now();
    QByteArray utf8 = text.toUtf8();
    if (paused_)
        held_.push_back(std::move(utf8));
    else
        Deliver(utf8);
}

void TWebSocketConnection::Deliver(const QByteArray& utf8)
{
    const auto payload = FrameText::ToPayload(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
    if (!payload) {
        LogDroppedFrame();
        return;
    }
    if (!Admits(*payload)) {
        Close(QWebSocketProtocol::CloseCodePolicyViolated, QStringLiteral("join with KIVOL/2 or ask for /tables first"));
        return;
    }
    const std::int64_t queuedBefore = TCustomSocketRW::QueuedOnThisThread();
    owner_.PacketArrived(this, payload->data(), static_cast<int>(payload->size()));
    pacing_.Spend(utf8.size() + TCustomSocketRW::QueuedOnThisThread() - queuedBefore);
    if (!closing_ && pacing_.Owes(Clock::now()))
        Pause();
}

bool TWebSocketConnection::Admits(const AnsiString& payload)
{
    if (joined_)
        return true;
    const std::string_view text(payload.c_str());
    if (Protocol::IsCommand(text, Protocol::Command::Tables))
        return true;
    joined_ = Protocol::IsCommand(text, Protocol::Command::Join) &&
              Protocol::Level2::Announces(Protocol::Level2::Trailer(payload.data(), static_cast<int>(payload.size())));
    return joined_;
}

void TWebSocketConnection::LogDroppedFrame()
{
    const auto now = Clock::now();
    if (lastDropLogged_ && now - *lastDropLogged_ < DropLogInterval)
        return;
    lastDropLogged_ = now;
    if (log_)
        log_(Cp932::FromUtf8("/破棄  CP932 にない文字を含むフレーム[") + address_ + "]");
}

void TWebSocketConnection::Close(QWebSocketProtocol::CloseCode code, const QString& reason)
{
    if (closing_)
        return;
    closing_ = true;
    socket_->close(code, reason);
    closeDeadline_.Start(CloseWait);
}

void TWebSocketConnection::Drop()
{
    closing_ = true;
    socket_->abort();
    Disconnected();
}

void TWebSocketConnection::Disconnected()
{
    if (disconnected_)
        return;
    disconnected_ = true;
    closing_ = true;
    resumeDeadline_.Cancel();
    closeDeadline_.Cancel();
    pingDeadline_.Cancel();
    // The owner hears of it from the event loop, never inside one of its own
    // calls (a send that overflowed, a close it asked for).
    QTimer::singleShot(0, this, [this] {
        ReportClosed();
        finished_(this);
    });
}

void TWebSocketConnection::Pause()
{
    paused_ = true;
    // While the transport's signals are held back, the WebSocket reads
    // nothing more, and once the transport's buffer is full it stops
    // reading from the kernel, so TCP slows the peer down.
    if (transport_)
        transport_->blockSignals(true);
    HoldUntilPaid();
}

void TWebSocketConnection::HoldUntilPaid()
{
    const std::chrono::milliseconds held = pacing_.TimeToPay();
    TCustomSocketRW::CountPaced(held);
    resumeDeadline_.Start(held);
}

void TWebSocketConnection::Resume()
{
    if (pacing_.Owes(Clock::now())) {
        HoldUntilPaid();
        return;
    }
    paused_ = false;
    lastHeard_ = Clock::now();
    QTcpSocket* transport = transport_;
    if (transport)
        transport->blockSignals(false);
    while (!held_.empty() && !paused_ && !closing_) {
        const QByteArray utf8 = std::move(held_.front());
        held_.pop_front();
        Deliver(utf8);
    }
    if (paused_ || closing_ || !transport)
        return;
    // What happened while the signals were held back: the peer may have gone,
    // or its next bytes may be waiting.
    if (transport->state() != QAbstractSocket::ConnectedState)
        Drop();
    else if (transport->bytesAvailable() > 0)
        QMetaObject::invokeMethod(transport, &QIODevice::readyRead, Qt::QueuedConnection);
}

AnsiString TWebSocketConnection::ServerAddress() const
{
    // An IPv4 peer of a listener on every address reached an IPv4-mapped
    // address: written as the IPv4 address it is. A scope is no part of a link.
    QHostAddress local = socket_->localAddress();
    bool mapped = false;
    if (const quint32 ipv4 = local.toIPv4Address(&mapped); mapped)
        local = QHostAddress(ipv4);
    local.setScopeId(QString());
    return local.isNull() ? AnsiString() : local.toString().toStdString();
}
