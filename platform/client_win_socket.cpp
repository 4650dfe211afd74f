#include "platform/client_win_socket.h"

#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/socket_address.h"

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
        int result;
        do {
            result = ::connect(SocketHandle(), reinterpret_cast<const sockaddr*>(&target), sizeof target);
        } while (result != 0 && errno == EINTR && !NonBlocking());
        const int error = result == 0 ? 0 : errno;
        if (!NonBlocking()) {
            if (error != 0)
                throw ESocketError(SocketErrorMessage(error, "connect"));
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
