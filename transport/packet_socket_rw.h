#pragma once

#include <functional>

#include "transport/custom_socket_rw.h"

// Delivers one whole packet: a pointer into the receive buffer, valid only
// during the call, and the payload length.
using TPacketArrivedEvent =
    std::function<void(TObject* aSender, TCustomWinSocket* aSocket, const void* data, int aSize)>;

// Frames messages as packets: a 4-byte signed little-endian payload length,
// then the payload.
//
// A length that is negative, or so large that the header and payload would
// not fit a signed 32-bit size, cannot be framed: the connection is closed and
// ESocketError says so. A packet longer, header included, than
// MaxUnprocessedSize ends the connection as soon as its header arrives. A handler that throws leaves its packet unconsumed; it
// is delivered again when more bytes arrive.
class TPacketSocketRW : public TCustomSocketRW {
public:
    explicit TPacketSocketRW(TCustomWinSocket* socket);

    // Queues the 4-byte size and size bytes of buf (size 0 sends a bare header).
    void Send(const void* buf, int size);
    using TCustomSocketRW::SendStream;
    // Queues count bytes read from the stream's position (count 0: the stream's
    // size; an empty stream sends nothing). EReadError, with nothing queued,
    // when the stream cannot deliver them.
    void SendStream(TStream* stream, int count) override;

    // Opens a packet: returns the send buffer for the payload to be written
    // into. Neither send through this reader-writer nor let the event loop run
    // until PacketEnd or PacketDiscard.
    TStream* PacketBegin();
    // Closes the open packet and sends it; an empty one is dropped unsent.
    void PacketEnd();
    // Drops the open packet; without one, nothing changes.
    void PacketDiscard();

    void ReadEvent(TObject* sender, TCustomWinSocket* socket) override;

    int PacketStart = -1;
    TPacketArrivedEvent OnPacketArrived;

private:
    void AppendHeader(int size);
};
