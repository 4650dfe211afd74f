#include "transport/packet_server_client_sockets.h"

#include "platform/deadline_heap.h"

TCustomPacketServerClientWinSocket::TCustomPacketServerClientWinSocket(int socketHandle,
                                                                       TServerWinSocket* serverWinSocket)
    : TServerClientWinSocket(socketHandle, serverWinSocket)
{
}

TCustomPacketServerClientWinSocket::~TCustomPacketServerClientWinSocket()
{
    // Leave the list and disconnect while this object is whole, so that the
    // disconnect still reaches the reader-writer; then free the reader-writer.
    Destroying();
    delete SocketRW;
}

void TCustomPacketServerClientWinSocket::AttachSocketRW(TCustomSocketRW* rw)
{
    TSocketEventEvent routing = std::move(OnSocketEvent);
    OnSocketEvent = nullptr;
    rw->SetSocket(this);
    OnSocketEvent = std::move(routing);
    SocketRW = rw;
}

void TCustomPacketServerClientWinSocket::Event(TCustomWinSocket* socket, TSocketEvent event)
{
    const auto alive = AliveToken();
    if (SocketRW) {
        SocketRW->SocketEvent(this, socket, event);
        if (!*alive)
            return;
    }
    TServerClientWinSocket::Event(socket, event);
}

void TCustomPacketServerClientWinSocket::SendStream(TStream* stream)
{
    SocketRW->SendStream(stream, static_cast<int>(stream->GetSize()));
}

void TCustomPacketServerClientWinSocket::SendStream(TStream* stream, int count)
{
    SocketRW->SendStream(stream, count);
}

TPacketServerClientWinSocket::TPacketServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket)
    : TCustomPacketServerClientWinSocket(socketHandle, serverWinSocket), peerAddress_(RemoteAddress())
{
    AttachSocketRW(MakePacketSocketRW(nullptr, this));
}

TPacketServerClientWinSocket::~TPacketServerClientWinSocket()
{
    Destroying();
}

void TPacketServerClientWinSocket::Event(TCustomWinSocket* socket, TSocketEvent event)
{
    const auto alive = AliveToken();
    if (event == seDisconnect && Owner)
        Owner->ConnectionClosed(this);
    if (!*alive)
        return;
    TCustomPacketServerClientWinSocket::Event(socket, event);
    if (!*alive)
        return;
    if (event == seConnect && Owner)
        Owner->ConnectionOpened(this);
    else if (event == seWrite && closing_)
        CloseWhenDrained();
}

void TPacketServerClientWinSocket::CloseAfterSending()
{
    if (closing_)
        return;
    closing_ = true;
    // Posted: the caller may be inside this connection's own packet handling,
    // and a deferred flush of what it just queued runs before this.
    PostToSelf([this] { CloseWhenDrained(); });
    closeLimit_ = std::make_unique<TDeadline>([this] {
        if (Connected())
            Close();
    });
    closeLimit_->Start(std::chrono::milliseconds(CloseAfterSendingMs));
}

void TPacketServerClientWinSocket::CloseWhenDrained()
{
    SocketRW->DoWrite();
    if (SocketRW->SendBuffer.Count() == 0 && Connected())
        Close();
}

TLineServerClientWinSocket::TLineServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket)
    : TCustomPacketServerClientWinSocket(socketHandle, serverWinSocket)
{
    AttachSocketRW(MakeLineSocketRW(nullptr, this));
}

TLineServerClientWinSocket::~TLineServerClientWinSocket()
{
    Destroying();
}
