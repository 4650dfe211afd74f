#include "platform/server_win_socket.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/application.h"
#include "platform/exceptions.h"
#include "platform/keep_alive.h"
#include "platform/socket_address.h"
#include "platform/socket_calls.h"

namespace {

// A listening handle bound to the address, or -1 with the failed call and its
// error code.
int OpenListeningHandle(const TSocketAddress& local, int queueSize, const char*& failedCall, int& error)
{
    const int handle = ::socket(local.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (handle < 0) {
        failedCall = "socket";
        error = errno;
        return -1;
    }
    // Lets a restarted server take its port while old connections linger in
    // TIME_WAIT; a second live listener on the port is still refused.
    const int on = 1;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    // The IPv6 any address takes IPv4 connections as well, whatever the
    // system's default for new sockets.
    const int off = 0;
    if (local.Family() == AF_INET6)
        setsockopt(handle, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
    failedCall = nullptr;
    if (::bind(handle, local.Raw(), local.Length) != 0)
        failedCall = "bind";
    else if (::listen(handle, queueSize) != 0)
        failedCall = "listen";
    if (!failedCall)
        return handle;
    error = errno;
    ::close(handle);
    return -1;
}

}  // namespace

TServerClientWinSocket::TServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket)
    : TCustomWinSocket(socketHandle, true), server_(serverWinSocket)
{
    server_->AddClient(this);
    OnSocketEvent = [this](TObject*, TCustomWinSocket*, TSocketEvent event) {
        if (server_)
            server_->ClientEvent(this, event);
    };
    OnErrorEvent = [this](TObject*, TCustomWinSocket*, TErrorEvent errorEvent, int& errorCode) {
        if (server_)
            server_->ClientError(this, errorEvent, errorCode);
    };
    SetConnected(true);
    const int on = 1;
    setsockopt(socketHandle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    KeepAlive::Enable(socketHandle);
}

TServerClientWinSocket::~TServerClientWinSocket()
{
    Destroying();
}

void TServerClientWinSocket::AfterConstruction()
{
    WatchRead();
    Event(this, seConnect);
}

void TServerClientWinSocket::ScheduleDestruction()
{
    PostToSelf([this] { delete this; });
}

void TServerClientWinSocket::Destroying()
{
    if (!server_)
        return;
    server_->RemoveClient(this);
    server_ = nullptr;
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    if (Connected())
        Close();
}

TServerWinSocket::TServerWinSocket() : TCustomWinSocket(-1, true) {}

TServerWinSocket::~TServerWinSocket()
{
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    Close();
}

void TServerWinSocket::Listen(const AnsiString& name, const AnsiString& address, const AnsiString& service, int port,
                              int queueSize)
{
    if (SocketHandle() >= 0)
        throw ESocketError("ソケットは既に待ち受け中です");
    const std::vector<TSocketAddress> candidates = ResolveListenAddresses(name, address, service, port);
    int error = 0;
    const char* failedCall = nullptr;
    for (const TSocketAddress& local : candidates) {
        const int handle = OpenListeningHandle(local, queueSize, failedCall, error);
        if (handle >= 0) {
            SetHandle(handle);
            WatchRead();
            Event(this, seListen);
            return;
        }
        // Only a machine without the address family moves on to the next
        // candidate; a port in use is the operator's to hear about.
        if (error != EAFNOSUPPORT && error != EADDRNOTAVAIL)
            break;
    }
    throw ESocketError(SocketErrorMessage(error, failedCall));
}

void TServerWinSocket::Close()
{
    while (!connections_.empty())
        delete connections_.back();
    TCustomWinSocket::Close();
}

void TServerWinSocket::RemoveClient(TServerClientWinSocket* client)
{
    const auto it = std::find(connections_.begin(), connections_.end(), client);
    if (it != connections_.end())
        connections_.erase(it);
}

void TServerWinSocket::ReadReady()
{
    // A bounded number of accepts per read-ready: a burst of connects waits
    // for the next round instead of keeping the thread from the connections
    // it already serves.
    for (int attempt = 0; attempt < MaxAcceptsPerWakeUp; ++attempt) {
        const int clientHandle =
            CurrentSocketCalls().Accept(SocketHandle(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (clientHandle >= 0) {
            acceptFailing_ = false;
            Accept(clientHandle);
            if (SocketHandle() < 0)
                return;  // a handler deactivated the server
            continue;
        }
        const int error = errno;
        if (error == EAGAIN || error == EWOULDBLOCK)
            return;
        if (error == EINTR || error == ECONNABORTED || error == EPROTO)
            continue;
        // Out of descriptors or memory: stop accepting for a moment instead
        // of spinning on a handle that stays readable. The error event comes
        // once for a run of such failures, not after every pause.
        SuspendReadWatch(AcceptPauseMs);
        if (acceptFailing_)
            return;
        acceptFailing_ = true;
        int errorCode = error;
        Error(this, eeAccept, errorCode);
        if (errorCode != 0)
            throw ESocketError(SocketErrorMessage(errorCode, ErrorEventName(eeAccept)));
        return;
    }
}

void TServerWinSocket::Accept(int clientHandle)
{
    if (OnAdmit && !OnAdmit(clientHandle)) {
        ::close(clientHandle);
        return;
    }
    TServerClientWinSocket* client = nullptr;
    try {
        if (OnGetSocket)
            OnGetSocket(this, clientHandle, client);
        if (!client)
            client = new TServerClientWinSocket(clientHandle, this);
    } catch (...) {
        if (!client)
            ::close(clientHandle);
        throw;
    }
    DispatchSafely([client] { client->AfterConstruction(); });
    DispatchSafely([this, client] { Event(client, seAccept); });
}

void TServerWinSocket::ClientEvent(TServerClientWinSocket* client, TSocketEvent event)
{
    switch (event) {
    case seConnect:
        if (OnClientConnect)
            OnClientConnect(this, client);
        break;
    case seDisconnect:
        // Destroyed from the event loop once this event has been handled,
        // unless the server destroys it first.
        client->ScheduleDestruction();
        if (OnClientDisconnect)
            OnClientDisconnect(this, client);
        break;
    case seRead:
        if (OnClientRead)
            OnClientRead(this, client);
        break;
    case seWrite:
        if (OnClientWrite)
            OnClientWrite(this, client);
        break;
    default:
        break;
    }
}

void TServerWinSocket::ClientError(TServerClientWinSocket* client, TErrorEvent errorEvent, int& errorCode)
{
    if (OnClientError)
        OnClientError(this, client, errorEvent, errorCode);
}
