#pragma once

#include "platform/server_win_socket.h"
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

class TPacketServerClientWinSocket : public TCustomPacketServerClientWinSocket, public TPacketEndpoint {
public:
    TPacketServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
};

class TLineServerClientWinSocket : public TCustomPacketServerClientWinSocket, public TLineEndpoint {
public:
    TLineServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
    // Disconnects while OnLineArrived still exists: the disconnect delivers
    // the last partial line, which must not reach a half-destroyed object.
    ~TLineServerClientWinSocket() override;
};
