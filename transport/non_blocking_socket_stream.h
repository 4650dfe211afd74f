#pragma once

#include "platform/custom_win_socket.h"
#include "platform/stream.h"

// The stream through which a reader-writer reads from and writes to its
// event-driven socket. It never waits: its size is the number of bytes waiting
// at the socket, a read takes what is there, a write what the socket accepts.
class TNonBlockingSocketStream : public TStream {
public:
    // ESocketError "Socket mode must be NonBlocking." for a blocking socket.
    explicit TNonBlockingSocketStream(TCustomWinSocket* socket);

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    // (0, from end) gives the waiting byte count; a positive offset from the
    // current position skips that many received bytes; all else gives 0.
    int Seek(int offset, std::uint16_t origin) override;

    TCustomWinSocket* Socket;
};
