#include "streams/blocking_socket_stream.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <vector>

#include "platform/exceptions.h"

namespace {

// Seek skips received bytes through a scratch block of at most this size, so
// that a large offset does not allocate a block of its own size.
constexpr int SkipChunk = 0x10000;

// Holds the socket's lock for a scope when asked to; the lock is released also
// when an exception leaves the scope.
class SocketLockGuard {
public:
    SocketLockGuard(TCustomWinSocket* socket, bool take) : socket_(take ? socket : nullptr)
    {
        if (socket_)
            socket_->Lock();
    }
    ~SocketLockGuard()
    {
        if (socket_)
            socket_->Unlock();
    }
    SocketLockGuard(const SocketLockGuard&) = delete;
    SocketLockGuard& operator=(const SocketLockGuard&) = delete;

private:
    TCustomWinSocket* socket_;
};

// Waits until the handle is ready for the given poll events. poll rather than
// select: descriptor limits are commonly raised above FD_SETSIZE, and select
// cannot watch a handle beyond it. An error or hang-up on the connection counts
// as ready, so that the transfer that follows reports it. A handle that is not
// open, or a failing poll, gives false; an interrupted poll goes on with the
// time that is left.
bool WaitForHandle(int handle, short events, unsigned int milliseconds)
{
    if (handle < 0)
        return false;
    using Clock = std::chrono::steady_clock;
    const bool limited = milliseconds != TBlockingSocketStream::NoTimeLimit;
    const auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
        int timeout = -1;
        if (limited) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        pollfd watched{handle, events, 0};
        const int result = ::poll(&watched, 1, timeout);
        if (result > 0)
            return (watched.revents & POLLNVAL) == 0;
        if (result == 0) {
            if (Clock::now() >= deadline)
                return false;
            continue;  // woke before the deadline: wait for the time that is left
        }
        if (errno != EINTR)
            return false;
    }
}

// The loop of Read and Write: wait, move what the socket takes or gives, until
// count bytes have moved, the peer has closed, the wait fails or an error was
// handled without an exception. move(done, left) makes one system call.
template <typename Move>
int Transfer(TBlockingSocketStream& stream, int count, bool reading, Move move)
{
    if (!stream.Socket || !stream.Socket->Connected())
        return 0;
    const SocketLockGuard lock(stream.Socket, stream.LockSocket);
    int done = 0;
    while (count - done > 0) {
        if (!(reading ? stream.WaitForRead() : stream.WaitForWrite()))
            break;
        ssize_t n;
        do {
            n = move(done, count - done);
        } while (n < 0 && errno == EINTR);
        if (n < 0) {
            stream.SocketError(reading ? eeReceive : eeSend);
            break;
        }
        if (n == 0)
            break;
        done += static_cast<int>(n);
    }
    return done;
}

}  // namespace

TBlockingSocketStream::TBlockingSocketStream(TCustomWinSocket* socket) : Socket(socket)
{
    if (socket && socket->NonBlocking())
        throw ESocketError("Socket mode must be Blocking.");
}

int TBlockingSocketStream::Read(void* buffer, int count)
{
    char* bytes = static_cast<char*>(buffer);
    return Transfer(*this, count, true, [&](int done, int left) {
        return ::recv(Socket->SocketHandle(), bytes + done, static_cast<std::size_t>(left), 0);
    });
}

int TBlockingSocketStream::Write(const void* buffer, int count)
{
    const char* bytes = static_cast<const char*>(buffer);
    // MSG_NOSIGNAL: a peer that has gone away is an error to report, not SIGPIPE.
    return Transfer(*this, count, false, [&](int done, int left) {
        return ::send(Socket->SocketHandle(), bytes + done, static_cast<std::size_t>(left), MSG_NOSIGNAL);
    });
}

int TBlockingSocketStream::Seek(int offset, std::uint16_t origin)
{
    if (!Socket)
        return 0;
    if (origin == soFromEnd && offset == 0)
        return Socket->ReceiveLength();
    if (origin == soFromCurrent && offset > 0) {
        std::vector<char> scratch(static_cast<std::size_t>(std::min(offset, SkipChunk)));
        for (int left = offset; left > 0;) {
            const int n = std::min(left, SkipChunk);
            ReadBuffer(scratch.data(), n);
            left -= n;
        }
    }
    return 0;
}

bool TBlockingSocketStream::WaitForRead()
{
    return WaitForRead(NoTimeLimit);
}

bool TBlockingSocketStream::WaitForRead(unsigned int milliseconds)
{
    return Socket && WaitForHandle(Socket->SocketHandle(), POLLIN, milliseconds);
}

bool TBlockingSocketStream::WaitForWrite()
{
    return WaitForWrite(NoTimeLimit);
}

bool TBlockingSocketStream::WaitForWrite(unsigned int milliseconds)
{
    return Socket && WaitForHandle(Socket->SocketHandle(), POLLOUT, milliseconds);
}

void TBlockingSocketStream::SocketError(TErrorEvent errorEvent)
{
    LastError = errno;
    if (LastError == 0)
        return;
    if (OnError)
        OnError(this, Socket, errorEvent, LastError);
    if (LastError != 0)
        throw ESocketError(SocketErrorMessage(LastError, ErrorEventName(errorEvent)));
}
