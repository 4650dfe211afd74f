#pragma once

#include <QObject>
#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>
#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "platform/deadline_heap.h"
#include "transport/packet_connection.h"
#include "web_port/pacing_account.h"

// The bounds of one WebSocket connection.
struct TWebSocketLimits {
    // The longest message, in UTF-8 bytes, fragments counted together.
    qint64 MaxMessageBytes = 65536;
    // Bytes waiting to go to a peer that stopped reading: beyond this it is cut off.
    qint64 MaxSendQueue = 16 << 20;
    // Pacing as for TCP: bytes a second earned, and the most at once.
    std::int64_t RelayRate = 16 << 20;
    std::int64_t RelayBurst = 32 << 20;
    // A ping this often; no sign of the peer for this long drops it.
    std::chrono::milliseconds PingInterval{30000};
    std::chrono::milliseconds SilenceLimit{60000};
};

// One browser's game connection: each text frame is one packet (UTF-8 in the
// frame, code page 932 for the game), each packet the game sends one text
// frame. It reports to its owner as every carrier does: opened, packets,
// closed exactly once, from the event loop.
//
// A connection speaks level 2 only: until it has sent a "/join" announcing
// it, every frame must be that or a "/tables", else it is closed with 1008.
// A binary frame closes it with 1003, a message over the limit with 1009.
class TWebSocketConnection : public QObject, public TPacketConnection {
public:
    using Clock = std::chrono::steady_clock;
    using LogFunction = std::function<void(const AnsiString& message)>;

    // transport is the socket the WebSocket reads (held back while the peer
    // owes; may be null: no pacing then). finished runs after the owner
    // heard of the close; the connection may be deleted (later) from then on.
    TWebSocketConnection(std::unique_ptr<QWebSocket> socket, QTcpSocket* transport, AnsiString address, TPacketConnectionOwner& owner,
                         const TWebSocketLimits& limits, LogFunction log,
                         std::function<void(TWebSocketConnection*)> finished);
    ~TWebSocketConnection() override;

    // Tells the owner of the connection.
    void Open();

    void SendPacket(const void* data, int size) override;
    void CloseAfterSending() override;
    const AnsiString& PeerAddress() const override { return address_; }
    TKind Kind() const override { return TKind::WebSocket; }
    AnsiString ServerAddress() const override;

    // Tells the owner of the close now unless it was told (the port ends).
    void ReportClosed();

private:
    void MessageArrived(const QString& text);
    void Deliver(const QByteArray& utf8);
    // The level-2 rule for a packet before the join; false closes with 1008.
    bool Admits(const AnsiString& payload);
    void LogDroppedFrame();
    // Pings the peer, or drops it when nothing came from it for too long;
    // every PingInterval from the open, on the connection's own deadline, so
    // that the pings of many connections spread over the interval.
    void KeepAlive();
    // A close by the server: the peer is told why, and the owner sees a drop.
    void Close(QWebSocketProtocol::CloseCode code, const QString& reason);
    void Drop();
    void Disconnected();
    void Pause();
    // Resumes once the debt is paid; the wait counts as paced time.
    void HoldUntilPaid();
    void Resume();

    std::unique_ptr<QWebSocket> socket_;
    QPointer<QTcpSocket> transport_;
    AnsiString address_;
    TPacketConnectionOwner& owner_;
    TWebSocketLimits limits_;
    LogFunction log_;
    std::function<void(TWebSocketConnection*)> finished_;

    TPacingAccount pacing_;
    TDeadline resumeDeadline_;
    TDeadline closeDeadline_;
    TDeadline pingDeadline_;
    // Messages the peer sent after it ran into debt, delivered once paid.
    std::deque<QByteArray> held_;
    Clock::time_point lastHeard_;
    std::optional<Clock::time_point> lastDropLogged_;
    bool joined_ = false;
    bool paused_ = false;
    bool closing_ = false;
    bool disconnected_ = false;
    bool reported_ = false;
};
