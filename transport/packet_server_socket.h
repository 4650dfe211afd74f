#pragma once

#include "platform/custom_server_socket.h"
#include "transport/packet_server_client_sockets.h"

// A server component whose every connection gets its own reader-writer, so
// that the owner receives whole packets (or lines) per connection and can
// answer one connection, all of them, or all but one. Broadcasts visit the
// connections in the order they were accepted, oldest first, and only queue
// the bytes on each, so a slow peer never holds up the others.
//
// Settings handed to every new connection, all off by default: MaxSendQueue
// (a send-queue limit), DeferredFlush, RelayRate and RelayBurst (pacing); see
// TCustomSocketRW.
class TCustomPacketServerSocket : public TCustomServerSocket {
public:
    TCustomPacketServerSocket();
    ~TCustomPacketServerSocket() override;

    TCustomWinSocket* GetClientSocket(int index) const;
    int ClientCount() const { return ServerSocket->ActiveConnections(); }

    // Sets the component's limit and that of every current connection.
    void SetMaxRecvSize(int value);
    int MaxRecvSize() const { return maxRecvSize_; }
    // The same for the limit on what a connection holds unprocessed (see
    // TCustomSocketRW::MaxUnprocessedSize).
    void SetMaxUnprocessedSize(int value);
    int MaxUnprocessedSize() const { return maxUnprocessedSize_; }

    // The socket arguments must be connections of this server.
    void SendStream(TCustomWinSocket* socket, TStream* stream);
    void SendStream(TCustomWinSocket* socket, TStream* stream, int count);
    // Every connection gets the same count bytes, those standing in the
    // stream from its position when the broadcast began.
    void SendStreamToAll(TStream* stream);
    void SendStreamToAll(TStream* stream, int count);
    void SendStreamToAllExcept(TStream* stream, TCustomWinSocket* except);
    void SendStreamToAllExcept(TStream* stream, int count, TCustomWinSocket* except);

    void GetSocketEvent(TObject* sender, int socketHandle, TServerClientWinSocket*& clientSocket);

    int MaxSendQueue = 0;
    bool DeferredFlush = false;
    std::int64_t RelayRate = 0;
    std::int64_t RelayBurst = 0;

protected:
    virtual TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) = 0;
    // Visits every connection in list order, the count read once; a connection
    // that a send destroys ends the visit early rather than skipping ahead.
    void ForEachConnection(TCustomWinSocket* except, const std::function<void(TCustomWinSocket*)>& visit) const;

private:
    int maxRecvSize_ = 0;
    int maxUnprocessedSize_ = 0;
};

class TPacketServerSocket : public TCustomPacketServerSocket {
public:
    // Where every connection, present and future, reports its opening,
    // packets and close (null: nowhere). Packets go there before OnPacketArrived.
    void SetConnectionOwner(TPacketConnectionOwner* owner);

    // EInvalidCast when socket is not a packet connection of a server.
    void Send(TCustomWinSocket* socket, const void* buf, int size);
    void SendToAll(const void* buf, int size);
    void SendToAllExcept(const void* buf, int size, TCustomWinSocket* except);

    TPacketArrivedEvent OnPacketArrived;

protected:
    TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) override;

private:
    TPacketConnectionOwner* connectionOwner_ = nullptr;
    void PacketServerClientWinSocketPacketArrived(TObject* aSender, TCustomWinSocket* aSocket, const void* data,
                                                  int aSize);
};

class TLineServerSocket : public TCustomPacketServerSocket {
public:
    // Partial lines flushed while the connections close are not passed on:
    // the owner may be gone already.
    ~TLineServerSocket() override;

    void Send(TCustomWinSocket* socket, const AnsiString& line);
    void SendToAll(const AnsiString& line);
    void SendToAllExcept(const AnsiString& line, TCustomWinSocket* except);

    TLineArrivedEvent OnLineArrived;

protected:
    TCustomPacketServerClientWinSocket* DoGetSocket(int socketHandle) override;

private:
    void LineServerClientWinSocketLineArrived(TObject* aSender, TCustomWinSocket* aSocket, const AnsiString aLine);
};
