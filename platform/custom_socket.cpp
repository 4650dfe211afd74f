#include "platform/custom_socket.h"

#include "platform/exceptions.h"

void TCustomSocket::SetActive(bool value)
{
    if (value != active_)
        DoActivate(value);
}

void TCustomSocket::CheckInactive() const
{
    if (active_)
        throw ESocketError("ソケットがアクティブな間は変更できません");
}

void TCustomSocket::SetHost(const AnsiString& value)
{
    CheckInactive();
    host_ = value;
}

void TCustomSocket::SetAddress(const AnsiString& value)
{
    CheckInactive();
    address_ = value;
}

void TCustomSocket::SetPort(int value)
{
    CheckInactive();
    port_ = value;
}

void TCustomSocket::SetService(const AnsiString& value)
{
    CheckInactive();
    service_ = value;
}

void TCustomSocket::BindSocket(TCustomWinSocket* socket)
{
    socket->OnSocketEvent = [this](TObject*, TCustomWinSocket* s, TSocketEvent event) { Event(s, event); };
    socket->OnErrorEvent = [this](TObject*, TCustomWinSocket* s, TErrorEvent errorEvent, int& errorCode) {
        if (OnError)
            OnError(this, s, errorEvent, errorCode);
    };
}

void TCustomSocket::Event(TCustomWinSocket* socket, TSocketEvent event)
{
    const TSocketNotifyEvent* notification = nullptr;
    switch (event) {
    case seLookup: notification = &OnLookup; break;
    case seConnecting: notification = &OnConnecting; break;
    case seConnect: active_ = true; notification = &OnConnect; break;
    case seListen: active_ = true; notification = &OnListen; break;
    case seDisconnect: active_ = false; notification = &OnDisconnect; break;
    case seAccept: notification = &OnAccept; break;
    case seRead: notification = &OnRead; break;
    case seWrite: notification = &OnWrite; break;
    }
    if (notification && *notification)
        (*notification)(this, socket);
}
