#pragma once

#include "platform/server_win_socket.h"
#include "transport/line_socket_rw.h"
#include "transport/packet_socket_rw.h"

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

class TPacketServerClientWinSocket : public TCustomPacketServerClientWinSocket {
public:
    TPacketServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);

    TStream* PacketBegin() { return PacketSocketRW->PacketBegin(); }
    void PacketDiscard() { PacketSocketRW->PacketDiscard(); }
    void PacketEnd() { PacketSocketRW->PacketEnd(); }
    void Send(const void* buf, int size) { PacketSocketRW->Send(buf, size); }

    TPacketSocketRW* PacketSocketRW = nullptr;
    TPacketArrivedEvent OnPacketArrived;

private:
    void PacketSocketRWPacketArrived(TObject* aSender, TCustomWinSocket* aSocket, const void* data, int aSize);
};

class TLineServerClientWinSocket : public TCustomPacketServerClientWinSocket {
public:
    TLineServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);

    void Send(const AnsiString& line) { LineSocketRW->Send(line); }

    TLineSocketRW* LineSocketRW = nullptr;
    TLineArrivedEvent OnLineArrived;

private:
    void LineSocketRWLineArrived(TObject* aSender, TCustomWinSocket* aSocket, const AnsiString aLine);
};
