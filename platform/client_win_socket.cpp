#include "platform/client_win_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/keep_alive.h"
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
    // The handle exists before the lookup, so that a name that does not
    // resolve ends like any later failure: with the disconnect event. It is
    // exchanged for one of the right family when the address needs it.
    const int handle = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0)
        throw ESocketError(SocketErrorMessage(errno, "socket"));
    SetHandle(handle);
    handleFamily_ = AF_INET;
    handleUsed_ = false;
    try {
        Event(this, seLookup);
        targets_ = ResolveConnectAddresses(host, address, service, port);
        nextTarget_ = 0;
        Event(this, seConnecting);
        connecting_ = true;
        if (!NonBlocking()) {
            ConnectBlocking();
            return;
        }
        const int error = ConnectNext();
        if (error != ConnectUnderWay)  // refused at once: reported from the event loop like a later failure
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

int TClientWinSocket::ConnectNext()
{
    const TSocketAddress& target = targets_.at(nextTarget_++);
    // A handle that has tried once is not trusted with a second connect.
    if (handleUsed_ || target.Family() != handleFamily_) {
        const int handle = ::socket(target.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (handle < 0)
            return errno;
        ReplaceHandle(handle);
        handleFamily_ = target.Family();
    }
    handleUsed_ = true;
    const int error = ::connect(SocketHandle(), target.Raw(), target.Length) == 0 ? 0 : errno;
    if (!NonBlocking())  // an interrupted blocking connect goes on in the background: wait for it
        return error == EINTR ? AwaitBlockingConnect(SocketHandle()) : error;
    if (error != 0 && error != EINPROGRESS && error != EINTR)
        return error;
    WatchWriteOnce();
    return ConnectUnderWay;
}

void TClientWinSocket::ConnectBlocking()
{
    int error = ConnectNext();
    while (error != 0 && nextTarget_ < targets_.size())
        error = ConnectNext();
    if (error != 0)
        throw ESocketError(SocketErrorMessage(error, "connect"));
    CompleteConnect(0);
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
    // A failed attempt moves on to the next address the name resolved to
    // (unless the socket was closed meanwhile); only the last failure is
    // reported.
    while (error != 0 && SocketHandle() >= 0 && nextTarget_ < targets_.size()) {
        error = ConnectNext();
        if (error == ConnectUnderWay)
            return;
    }
    connecting_ = false;
    targets_.clear();
    if (error != 0) {
        SocketFailure(eeConnect, error);
        return;
    }
    SetConnected(true);
    const int on = 1;
    setsockopt(SocketHandle(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    KeepAlive::Enable(SocketHandle());
    WatchRead();
    WatchWriteOnce();  // the write-ready that follows a completed connect
    Event(this, seConnect);
}
