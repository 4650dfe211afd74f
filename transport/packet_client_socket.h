#pragma once

#include <functional>
#include <memory>

#include "platform/client_win_socket.h"
#include "platform/custom_socket.h"
#include "platform/form.h"
#include "transport/packet_endpoints.h"

// Lets the owner supply its own dialog form, keep the default one, or veto
// the dialog by setting aForm to null.
using TGetFormEvent = std::function<void(TObject* aSender, TForm*& aForm)>;

// A client component that connects to a server and exchanges messages over
// that one connection through a reader-writer. Activating it asks the user
// for the host and port in a dialog when AlwaysShowDialog is set, when Host
// and Address are both empty, or when Port is 0 and Service is empty; a
// cancelled dialog drops the activation silently.
//
// A dialog form is any form that offers some of the properties "Host",
// "Address", "Port" and "Service" by name (Qt's property system): the socket
// fills in those it can write and, after OK, reads back those it can read.
class TCustomPacketClientSocket : public TCustomSocket {
public:
    TCustomPacketClientSocket();
    ~TCustomPacketClientSocket() override;

    bool GetHostInfo();
    void GetDialogForm(TForm*& form);

    int GetMaxRecvSize() const { return SocketRW->MaxRecvSize; }
    void SetMaxRecvSize(int value) { SocketRW->MaxRecvSize = value; }

    // The stream must stand at its beginning.
    void SendStream(TStream* stream);
    void SendStream(TStream* stream, int count);

    TClientWinSocket* Socket() const { return ClientSocket.get(); }

    bool AlwaysShowDialog = false;
    std::unique_ptr<TClientWinSocket> ClientSocket;
    TCustomSocketRW* SocketRW = nullptr;
    TGetFormEvent OnGetDialogForm;

protected:
    void DoActivate(bool value) override;
    // Takes ownership of the subclass's reader-writer.
    void SetSocketRW(TCustomSocketRW* rw) { SocketRW = rw; }

private:
    // The default dialog made by the last GetDialogForm, if it was kept.
    TForm* defaultForm_ = nullptr;
};

class TPacketClientSocket : public TCustomPacketClientSocket, public TPacketEndpoint {
public:
    TPacketClientSocket();
};

class TLineClientSocket : public TCustomPacketClientSocket, public TLineEndpoint {
public:
    TLineClientSocket();
};
