#include "transport/packet_server_socket.h"

#include "platform/exceptions.h"

TCustomPacketServerSocket::TCustomPacketServerSocket()
{
    SetServerSocket(std::make_unique<TServerWinSocket>());
    ServerSocket->OnGetSocket = [this](TObject* sender, int handle, TServerClientWinSocket*& client) {
        GetSocketEvent(sender, handle, client);
    };
}

TCustomPacketServerSocket::~TCustomPacketServerSocket()
{
    // Close while every part of the component still exists.
    ServerSocket->OnSocketEvent = nullptr;
    ServerSocket->Close();
}

void TCustomPacketServerSocket::GetSocketEvent(TObject*, int socketHandle, TServerClientWinSocket*& clientSocket)
{
    if (clientSocket)
        return;
    TCustomPacketServerClientWinSocket* s = DoGetSocket(socketHandle);
    if (s->MaxRecvSize() == 0)
        s->SetMaxRecvSize(maxRecvSize_);
    if (s->SocketRW->MaxUnprocessedSize == 0)
        s->SocketRW->MaxUnprocessedSize = maxUnprocessedSize_;
    s->SocketRW->MaxSendQueue = MaxSendQueue;
    s->SocketRW->DeferredFlush = DeferredFlush;
    s->SocketRW->RelayRate = RelayRate;
    s->SocketRW->RelayBurst = RelayBurst;
    clientSocket = s;
}

TCustomWinSocket* TCustomPacketServerSocket::GetClientSocket(int index) const
{
    return ServerSocket->Connections(index);
}

void TCustomPacketServerSocket::SetMaxRecvSize(int value)
{
    maxRecvSize_ = value;
    for (int i = 0; i < ServerSocket->ActiveConnections(); ++i)
        static_cast<TCustomPacketServerClientWinSocket*>(ServerSocket->Connections(i))->SetMaxRecvSize(value);
}

void TCustomPacketServerSocket::SetMaxUnprocessedSize(int value)
{
    maxUnprocessedSize_ = value;
    for (int i = 0; i < ServerSocket->ActiveConnections(); ++i)
        static_cast<TCustomPacketServerClientWinSocket*>(ServerSocket->Connections(i))->SocketRW->MaxUnprocessedSize =
            value;
}

void TCustomPacketServerSocket::ForEachConnection(TCustomWinSocket* except,
                                                  const std::function<void(TCustomWinSocket*)>& visit) const
{
    const int count = ServerSocket->ActiveConnections();
    for (int i = 0; i < count && i < ServerSocket->ActiveConnections(); ++i) {
        TCustomWinSocket* socket = ServerSocket->Connections(i);
        if (socket != except)
            visit(socket);
    }
}

void TCustomPacketServerSocket::SendStream(TCustomWinSocket* socket, TStream* stream)
{
    static_cast<TCustomPacketServerClientWinSocket*>(socket)->SendStream(stream);
}

void TCustomPacketServerSocket::SendStream(TCustomWinSocket* socket, TStream* stream, int count)
{
    static_cast<TCustomPacketServerClientWinSocket*>(socket)->SendStream(stream, count);
}

void TCustomPacketServerSocket::SendStreamToAll(TStream* stream)
{
    SendStreamToAllExcept(stream, static_cast<int>(stream->GetSize()), nullptr);
}

void TCustomPacketServerSocket::SendStreamToAll(TStream* stream, int count)
{
    SendStreamToAllExcept(stream, count, nullptr);
}

void TCustomPacketServerSocket::SendStreamToAllExcept(TStream* stream, TCustomWinSocket* except)
{
    SendStreamToAllExcept(stream, static_cast<int>(stream->GetSize()), except);
}

void TCustomPacketServerSocket::SendStreamToAllExcept(TStream* stream, int count, TCustomWinSocket* except)
{
    const std::int64_t start = stream->GetPosition();
    ForEachConnection(except, [&](TCustomWinSocket* socket) {
        stream->SetPosition(start);
        SendStream(socket, stream, count);
    });
}

TCustomPacketServerClientWinSocket* TPacketServerSocket::DoGetSocket(int socketHandle)
{
    auto* s = new TPacketServerClientWinSocket(socketHandle, ServerSocket.get());
    s->Owner = connectionOwner_;
    if (!s->OnPacketArrived)
        s->OnPacketArrived = [this](TObject* sender, TCustomWinSocket* socket, const void* data, int size) {
            PacketServerClientWinSocketPacketArrived(sender, socket, data, size);
        };
    return s;
}

void TPacketServerSocket::SetConnectionOwner(TPacketConnectionOwner* owner)
{
    connectionOwner_ = owner;
    // What the previous owner kept for a connection is not the new one's.
    for (int i = 0; i < ClientCount(); ++i) {
        auto* connection = static_cast<TPacketServerClientWinSocket*>(GetClientSocket(i));
        connection->Owner = owner;
        connection->SetOwnerData(nullptr);
    }
}

void TPacketServerSocket::PacketServerClientWinSocketPacketArrived(TObject*, TCustomWinSocket* aSocket,
                                                                   const void* data, int aSize)
{
    auto* connection = static_cast<TPacketServerClientWinSocket*>(aSocket);
    if (connection->Closing())
        return;
    // The owner never destroys a connection inside its handling (a close
    // is posted), so the connection is still whole afterwards.
    if (connection->Owner)
        connection->Owner->PacketArrived(connection, data, aSize);
    if (OnPacketArrived)
        OnPacketArrived(this, aSocket, data, aSize);
}

void TPacketServerSocket::Send(TCustomWinSocket* socket, const void* buf, int size)
{
    auto* connection = dynamic_cast<TPacketServerClientWinSocket*>(socket);
    if (!connection)
        throw EInvalidCast(Messages::InvalidCast);
    connection->Send(buf, size);
}

void TPacketServerSocket::SendToAll(const void* buf, int size)
{
    SendToAllExcept(buf, size, nullptr);
}

void TPacketServerSocket::SendToAllExcept(const void* buf, int size, TCustomWinSocket* except)
{
    ForEachConnection(except, [&](TCustomWinSocket* socket) { Send(socket, buf, size); });
}

TLineServerSocket::~TLineServerSocket()
{
    OnLineArrived = nullptr;
    ServerSocket->OnSocketEvent = nullptr;
    ServerSocket->Close();
}

TCustomPacketServerClientWinSocket* TLineServerSocket::DoGetSocket(int socketHandle)
{
    auto* s = new TLineServerClientWinSocket(socketHandle, ServerSocket.get());
    if (!s->OnLineArrived)
        s->OnLineArrived = [this](TObject* sender, TCustomWinSocket* socket, const AnsiString line) {
            LineServerClientWinSocketLineArrived(sender, socket, line);
        };
    return s;
}

void TLineServerSocket::LineServerClientWinSocketLineArrived(TObject*, TCustomWinSocket* aSocket,
                                                             const AnsiString aLine)
{
    if (OnLineArrived)
        OnLineArrived(this, aSocket, aLine);
}

void TLineServerSocket::Send(TCustomWinSocket* socket, const AnsiString& line)
{
    auto* connection = dynamic_cast<TLineServerClientWinSocket*>(socket);
    if (!connection)
        throw EInvalidCast(Messages::InvalidCast);
    connection->Send(line);
}

void TLineServerSocket::SendToAll(const AnsiString& line)
{
    SendToAllExcept(line, nullptr);
}

void TLineServerSocket::SendToAllExcept(const AnsiString& line, TCustomWinSocket* except)
{
    ForEachConnection(except, [&](TCustomWinSocket* socket) { Send(socket, line); });
}
