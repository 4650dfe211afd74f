#pragma once

#include <cstdint>

#include "platform/custom_win_socket.h"
#include "platform/socket_types.h"
#include "platform/stream.h"

// A stream over a connected socket in blocking mode, meant for a thread of its
// own. Read and Write wait until the socket is ready before each system call
// and move bytes directly into or out of the caller's buffer; they end early
// when the peer closes or an error was handled without an exception. The
// stream's position is always 0 and its size is the number of bytes that can
// be read without waiting. The socket is not owned.
//
// Without a socket (null) Read, Write and Seek return 0 and the waits return
// false; a socket that is not connected makes Read and Write return 0.
class TBlockingSocketStream : public TStream {
public:
    // The time-out that means "wait without limit".
    static constexpr unsigned int NoTimeLimit = 0xFFFFFFFF;

    // ESocketError "Socket mode must be Blocking." for a non-blocking socket.
    explicit TBlockingSocketStream(TCustomWinSocket* socket);

    int Read(void* buffer, int count) override;
    int Write(const void* buffer, int count) override;
    // (0, from end) gives the number of bytes waiting at the socket; a
    // positive offset from the current position receives that many bytes
    // (waiting as Read does, EReadError when the peer closes first) and
    // discards them; all else gives 0.
    int Seek(int offset, std::uint16_t origin) override;

    // True when the socket became readable (or writable) in time. Readiness
    // includes a closed or failed connection, which the next transfer reports.
    // A failing readiness test gives false, also for the waits without limit.
    bool WaitForRead();
    bool WaitForRead(unsigned int milliseconds);
    bool WaitForWrite();
    bool WaitForWrite(unsigned int milliseconds);

    // Takes the calling thread's last system error into LastError; when it is
    // not 0, offers it to OnError (which may clear it) and raises ESocketError
    // naming the operation unless it was cleared.
    void SocketError(TErrorEvent errorEvent);

    TCustomWinSocket* Socket;
    // Read and Write hold the socket's lock for the whole transfer, waits included.
    bool LockSocket = false;
    int LastError = 0;
    // Called with this stream as the sender; setting the code to 0 makes the
    // transfer end quietly with the bytes moved so far.
    TSocketErrorEvent OnError;
};
