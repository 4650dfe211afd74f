#pragma once

#include "platform/ansi_string.h"

// One peer of the game as the tables see it, whatever carries its packets (a
// TCP connection, a WebSocket, or memory in a test): packets in, packets out,
// a close. The carrier delivers through a TPacketConnectionOwner.
class TPacketConnection {
public:
    enum class TKind { Tcp, WebSocket, Memory };

    virtual ~TPacketConnection() = default;

    // Queues one packet for the peer: its payload (command text, NUL, any
    // trailer). Never blocks; a peer that stops reading is cut off at the
    // carrier's send-queue limit (the close then comes as for any drop).
    virtual void SendPacket(const void* data, int size) = 0;
    // Ends the connection once what is queued has gone to the peer, or after
    // a short bounded wait. ConnectionClosed follows from the event loop,
    // never inside this call; nothing is delivered from the peer meanwhile.
    virtual void CloseAfterSending() = 0;
    // The peer's address as the log shows it, fixed when the connection opened.
    virtual const AnsiString& PeerAddress() const = 0;
    virtual TKind Kind() const = 0;
    // The server's own address that the peer reached, as PeerAddress writes
    // one; empty where the carrier does not know it.
    virtual AnsiString ServerAddress() const { return {}; }

    // What the owner keeps for this connection, null until it sets it (and
    // again when the carrier hands the connection to another owner): the
    // owner finds it with every packet instead of looking it up.
    void* OwnerData() const { return ownerData_; }
    void SetOwnerData(void* data) { ownerData_ = data; }

private:
    void* ownerData_ = nullptr;
};

// What a carrier reports about its connections, in order: opened, any number
// of packets, closed (exactly once, also after CloseAfterSending). A
// connection stays valid until ConnectionClosed has returned.
class TPacketConnectionOwner {
public:
    virtual ~TPacketConnectionOwner() = default;
    virtual void ConnectionOpened(TPacketConnection* connection) = 0;
    // data is valid during the call only.
    virtual void PacketArrived(TPacketConnection* connection, const void* data, int size) = 0;
    virtual void ConnectionClosed(TPacketConnection* connection) = 0;
};
