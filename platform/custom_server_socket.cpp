#include "platform/custom_server_socket.h"

#include <sys/socket.h>

TCustomServerSocket::~TCustomServerSocket()
{
    if (ServerSocket)
        ServerSocket->OnSocketEvent = nullptr;
    ServerSocket.reset();
}

void TCustomServerSocket::SetServerSocket(std::unique_ptr<TServerWinSocket> serverSocket)
{
    ServerSocket = std::move(serverSocket);
    BindSocket(ServerSocket.get());
    auto forward = [](const TSocketNotifyEvent& handler) {
        return [&handler](TObject* sender, TCustomWinSocket* socket) {
            if (handler)
                handler(sender, socket);
        };
    };
    ServerSocket->OnClientConnect = forward(OnClientConnect);
    ServerSocket->OnClientDisconnect = forward(OnClientDisconnect);
    ServerSocket->OnClientRead = forward(OnClientRead);
    ServerSocket->OnClientWrite = forward(OnClientWrite);
    ServerSocket->OnClientError = [this](TObject* sender, TCustomWinSocket* socket, TErrorEvent errorEvent,
                                         int& errorCode) {
        if (OnClientError)
            OnClientError(sender, socket, errorEvent, errorCode);
    };
}

void TCustomServerSocket::DoActivate(bool value)
{
    if (value)
        ServerSocket->Listen(Host(), Address(), Service(), Port(), SOMAXCONN);
    else
        ServerSocket->Close();
}
