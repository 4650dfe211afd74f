#include "transport/packet_server_client_sockets.h"

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
    : TCustomPacketServerClientWinSocket(socketHandle, serverWinSocket)
{
    AttachSocketRW(MakePacketSocketRW(nullptr, this));
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
