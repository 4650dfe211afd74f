#pragma once

#include "platform/ansi_string.h"
#include "platform/custom_win_socket.h"
#include "platform/object.h"

// The socket component base: where to connect or listen (Host, Address, Port,
// Service), whether the component is active, and the notifications its socket
// object raises through it. Setting Active to the value it has does nothing;
// setting it to the other value calls DoActivate. The connection settings
// cannot change while the component is active (ESocketError).
class TCustomSocket : public TObject {
public:
    bool Active() const { return active_; }
    void SetActive(bool value);

    const AnsiString& Host() const { return host_; }
    void SetHost(const AnsiString& value);
    const AnsiString& Address() const { return address_; }
    void SetAddress(const AnsiString& value);
    int Port() const { return port_; }
    void SetPort(int value);
    const AnsiString& Service() const { return service_; }
    void SetService(const AnsiString& value);

    TSocketNotifyEvent OnLookup;
    TSocketNotifyEvent OnConnecting;
    TSocketNotifyEvent OnConnect;
    TSocketNotifyEvent OnDisconnect;
    TSocketNotifyEvent OnListen;
    TSocketNotifyEvent OnAccept;
    TSocketNotifyEvent OnRead;
    TSocketNotifyEvent OnWrite;
    TSocketErrorEvent OnError;

protected:
    virtual void DoActivate(bool value) = 0;

    // Binds a socket object to this component's event and error routing:
    // connect and listen make the component active, disconnect inactive, and
    // each event raises the matching notification with the component as sender.
    void BindSocket(TCustomWinSocket* socket);

private:
    void Event(TCustomWinSocket* socket, TSocketEvent event);
    void CheckInactive() const;

    bool active_ = false;
    AnsiString host_;
    AnsiString address_;
    AnsiString service_;
    int port_ = 0;
};
