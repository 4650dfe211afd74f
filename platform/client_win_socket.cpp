#include "platform/client_win_socket.h"

#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/socket_address.h"

namespace {

int AwaitBlockingConnect(int handle)
{
    pollfd watch{handle, POLLOUT, 0};
    while (::poll(&watch, 1, -1) < 0)
        if (errno != EINTR)
            return errno;
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        return errno;
    return error;
}

}  // namespace

TClientWinSocket::TClientWinSocket(bool nonBlocking) : TCustomWinSocket(-1, nonBlocking) {}

void TClientWinSocket::Open(const AnsiString& host, const AnsiString& address, const AnsiString& service, int port)
{
    if (Connected() || SocketHandle() >= 0)
        throw ESocketError("ソケットは既に開かれています");
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        throw ESocketError(SocketErrorMessage(errno, "socket"));
    SetHandle(handle);
    try {
        Event(this, seLookup);
        const sockaddr_in target = ResolveSocketAddress(host, address, service, port, false);
        Event(this, seConnecting);
        const int result = ::connect(SocketHandle(), reinterpret_cast<const sockaddr*>(&target), sizeof target);
        const int error = result == 0 ? 0 : errno;
        if (!NonBlocking()) {
            // An interrupted blocking connect goes on in the background: wait
            // for it to finish instead of starting it again.
            const int outcome = error == EINTR ? AwaitBlockingConnect(SocketHandle()) : error;
            if (outcome != 0)
                throw ESocketError(SocketErrorMessage(outcome, "connect"));
            connecting_ = true;
            CompleteConnect(0);
            return;
        }
        connecting_ = true;
        if (error == 0 || error == EINPROGRESS || error == EINTR)
            WatchWriteOnce();
        else  // refused at once: reported from the event loop like a later failure
            PostToSelf([this, error] {
                if (connecting_)
                    CompleteConnect(error);
            });
    } catch (...) {
        connecting_ = false;
        DispatchSafely([this] { Close(); });
        throw;
    }
}

void TClientWinSocket::WriteReady()
{
    if (!connecting_) {
        TCustomWinSocket::WriteReady();
        return;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (getsockopt(SocketHandle(), SOL_SOCKET, SO_ERROR, &error, &length) != 0)
        error = errno;
    CompleteConnect(error);
}

void TClientWinSocket::CompleteConnect(int error)
{
    connecting_ = false;
    if (error != 0) {
        SocketFailure(eeConnect, error);
        return;
    }
    SetConnected(true);
    const int on = 1;
    setsockopt(SocketHandle(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    WatchRead();
    WatchWriteOnce();  // the write-ready that follows a completed connect
    Event(this, seConnect);
}
