#include "transport/packet_endpoints.h"

TPacketSocketRW* TPacketEndpoint::MakePacketSocketRW(TCustomWinSocket* socket, TObject* sender)
{
    PacketSocketRW = new TPacketSocketRW(socket);
    PacketSocketRW->OnPacketArrived = [this, sender](TObject*, TCustomWinSocket* s, const void* data, int size) {
        PacketSocketRWPacketArrived(sender, s, data, size);
    };
    return PacketSocketRW;
}

void TPacketEndpoint::PacketSocketRWPacketArrived(TObject* sender, TCustomWinSocket* aSocket, const void* data,
                                                  int aSize)
{
    if (OnPacketArrived)
        OnPacketArrived(sender, aSocket, data, aSize);
}

TLineSocketRW* TLineEndpoint::MakeLineSocketRW(TCustomWinSocket* socket, TObject* sender)
{
    LineSocketRW = new TLineSocketRW(socket);
    LineSocketRW->OnLineArrived = [this, sender](TObject*, TCustomWinSocket* s, const AnsiString line) {
        LineSocketRWLineArrived(sender, s, line);
    };
    return LineSocketRW;
}

void TLineEndpoint::LineSocketRWLineArrived(TObject* sender, TCustomWinSocket* aSocket, const AnsiString aLine)
{
    if (OnLineArrived)
        OnLineArrived(sender, aSocket, aLine);
}
