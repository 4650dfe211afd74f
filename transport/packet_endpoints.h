#pragma once

#include "platform/object.h"
#include "transport/line_socket_rw.h"
#include "transport/packet_socket_rw.h"

// What a component speaking packets offers, the same for a client component
// and a server's connection: the packet operations, forwarded to its packet
// reader-writer, and OnPacketArrived, re-raised with the component as sender.
class TPacketEndpoint {
public:
    TStream* PacketBegin() { return PacketSocketRW->PacketBegin(); }
    void PacketDiscard() { PacketSocketRW->PacketDiscard(); }
    void PacketEnd() { PacketSocketRW->PacketEnd(); }
    void Send(const void* buf, int size) { PacketSocketRW->Send(buf, size); }

    TPacketSocketRW* PacketSocketRW = nullptr;
    TPacketArrivedEvent OnPacketArrived;

protected:
    // Makes the reader-writer for socket, its packets re-raised with sender.
    TPacketSocketRW* MakePacketSocketRW(TCustomWinSocket* socket, TObject* sender);

private:
    void PacketSocketRWPacketArrived(TObject* sender, TCustomWinSocket* aSocket, const void* data, int aSize);
};

// The same for a component speaking lines.
class TLineEndpoint {
public:
    void Send(const AnsiString& line) { LineSocketRW->Send(line); }

    TLineSocketRW* LineSocketRW = nullptr;
    TLineArrivedEvent OnLineArrived;

protected:
    TLineSocketRW* MakeLineSocketRW(TCustomWinSocket* socket, TObject* sender);

private:
    void LineSocketRWLineArrived(TObject* sender, TCustomWinSocket* aSocket, const AnsiString aLine);
};
