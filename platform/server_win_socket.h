#pragma once

#include <functional>
#include <vector>

#include "platform/custom_win_socket.h"

class TServerWinSocket;

// One accepted connection of a TServerWinSocket. Construction appends it to
// the server's connection list and installs the server's per-connection
// routing as its event handler; AfterConstruction, called by the server once
// the object is complete, starts its events and delivers the connect event.
// After its disconnect event the object is destroyed from the event loop,
// never inside its own handler. Destroying it removes it from the list.
class TServerClientWinSocket : public TCustomWinSocket {
public:
    TServerClientWinSocket(int socketHandle, TServerWinSocket* serverWinSocket);
    ~TServerClientWinSocket() override;

    void AfterConstruction();

    TServerWinSocket* ServerWinSocket() const { return server_; }

protected:
    // The first part of destruction: leave the connection list, drop the
    // event handler and, if still connected, disconnect through the virtual
    // Event, so that a subclass overriding Event still sees the disconnect.
    // A subclass calls it first in its own destructor; later calls do nothing.
    void Destroying();

private:
    friend class TServerWinSocket;
    // Destroys this object from the event loop after the current event.
    void ScheduleDestruction();

    TServerWinSocket* server_;
};

// The listening socket: accepts connections, keeps them in a list (oldest
// first) and routes their events to its On... handlers, with itself as sender
// and the connection as socket. Each read-ready accepts at most
// MaxAcceptsPerWakeUp connections. When accepting fails for want of file
// handles or memory, accepting pauses for AcceptPauseMs at a time and the
// error event (accept) comes once, at the first failure of the run.
// Accepted connections get TCP keepalive (see KeepAlive).
class TServerWinSocket : public TCustomWinSocket {
public:
    static constexpr int MaxAcceptsPerWakeUp = 64;
    static constexpr int AcceptPauseMs = 100;

    TServerWinSocket();
    ~TServerWinSocket() override;

    // Listens on the port or service, on every local address unless name or
    // address says otherwise. ESocketError when that is not possible.
    void Listen(const AnsiString& name, const AnsiString& address, const AnsiString& service, int port,
                int queueSize);
    // Destroys every connection, the most recently accepted first, then
    // closes the listening handle.
    void Close() override;

    int ActiveConnections() const { return static_cast<int>(connections_.size()); }
    TCustomWinSocket* Connections(int index) const { return connections_.at(static_cast<std::size_t>(index)); }

    // Asked for the object of each accepted handle before anything happens on
    // it; when it supplies none, a plain TServerClientWinSocket is made.
    TGetSocketEvent OnGetSocket;
    // Asked first, with the accepted handle: false closes it at once, before
    // any object is made for it (a banned address, one over its limits).
    std::function<bool(int clientHandle)> OnAdmit;
    TSocketNotifyEvent OnClientConnect;
    TSocketNotifyEvent OnClientDisconnect;
    TSocketNotifyEvent OnClientRead;
    TSocketNotifyEvent OnClientWrite;
    TSocketErrorEvent OnClientError;

protected:
    void ReadReady() override;

private:
    friend class TServerClientWinSocket;
    void AddClient(TServerClientWinSocket* client) { connections_.push_back(client); }
    void RemoveClient(TServerClientWinSocket* client);
    void ClientEvent(TServerClientWinSocket* client, TSocketEvent event);
    void ClientError(TServerClientWinSocket* client, TErrorEvent errorEvent, int& errorCode);
    void Accept(int clientHandle);

    std::vector<TServerClientWinSocket*> connections_;
    bool acceptFailing_ = false;
};
