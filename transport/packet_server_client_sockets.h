#pragma once

#include <memory>

#include "platform/deadline_heap.h"
#include "platform/server_win_socket.h"
#include "transport/packet_connection.h"
#include "transport/packet_endpoints.h"

// A server connection with its own reader-writer. Every event of the
// connection goes first to the reader-writer (buffers, cutting, draining),
// then to the server's routing (client connect, disconnect, read, write).
class TCustomPacketServerClientWinSocket : public TServerClientWinSocket {
public:
    TCustomPacketServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
    ~TCustomPacketServerClientWinSocket() override;

    void Event(TCustomWinSocket* socket, TSocketEvent event) override;

    int MaxRecvSize() const { return SocketRW->MaxRecvSize; }
    void SetMaxRecvSize(int value) { SocketRW->MaxRecvSize = value; }

    // The stream must stand at its beginning.
    void SendStream(TStream* stream);
    void SendStream(TStream* stream, int count);

    TCustomSocketRW* SocketRW = nullptr;

protected:
    // Attaches the subclass's reader-writer the way the platform expects: the
    // reader-writer finds no handler to keep, and the server's routing stays
    // installed on this connection.
    void AttachSocketRW(TCustomSocketRW* rw);
};

// A packet connection of a server, also as the game sees a connection: it
// reports its opening, packets and close to Owner (when set) before the
// server's own events.
class TPacketServerClientWinSocket : public TCustomPacketServerClientWinSocket,
                                     public TPacketEndpoint,
                                     public TPacketConnection {
public:
    // How long CloseAfterSending waits for a peer that does not read.
    static constexpr int CloseAfterSendingMs = 2000;

    TPacketServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
    // Disconnects while the whole object, and so its owner's view of it, exists.
    ~TPacketServerClientWinSocket() override;

    void Event(TCustomWinSocket* socket, TSocketEvent event) override;

    void SendPacket(const void* data, int size) override { Send(data, size); }
    void CloseAfterSending() override;
    const AnsiString& PeerAddress() const override { return peerAddress_; }
    TKind Kind() const override { return TKind::Tcp; }
    AnsiString ServerAddress() const override { return LocalAddress(); }
    // True once CloseAfterSending was called: nothing more is delivered.
    bool Closing() const { return closing_; }

    TPacketConnectionOwner* Owner = nullptr;

private:
    // Closes once the send buffer has drained.
    void CloseWhenDrained();

    AnsiString peerAddress_;
    bool closing_ = false;
    // Closes a peer that does not read within CloseAfterSendingMs.
    std::unique_ptr<TDeadline> closeLimit_;
};

class TLineServerClientWinSocket : public TCustomPacketServerClientWinSocket, public TLineEndpoint {
public:
    TLineServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
    // Disconnects while OnLineArrived still exists: the disconnect delivers
    // the last partial line, which must not reach a half-destroyed object.
    ~TLineServerClientWinSocket() override;
};
