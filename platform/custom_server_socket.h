#pragma once

#include <memory>

#include "platform/custom_socket.h"
#include "platform/server_win_socket.h"

// The server socket component: activating it listens with its listening
// socket object; deactivating or destroying it destroys every connection,
// newest first, and closes the listening socket. The client notifications get
// the listening socket object as sender and the connection as socket.
class TCustomServerSocket : public TCustomSocket {
public:
    ~TCustomServerSocket() override;

    TServerWinSocket* Socket() const { return ServerSocket.get(); }

    TSocketNotifyEvent OnClientConnect;
    TSocketNotifyEvent OnClientDisconnect;
    TSocketNotifyEvent OnClientRead;
    TSocketNotifyEvent OnClientWrite;
    TSocketErrorEvent OnClientError;

protected:
    void DoActivate(bool value) override;
    // Takes ownership of the listening socket object and routes its events
    // through this component.
    void SetServerSocket(std::unique_ptr<TServerWinSocket> serverSocket);

    std::unique_ptr<TServerWinSocket> ServerSocket;
};
