#include "transport/packet_client_socket.h"

#include <QMetaProperty>
#include <QVariant>

#include "platform/convert.h"
#include "platform/cp932.h"
#include "transport/default_connection_form.h"

namespace {

bool CanWrite(const QObject* form, const char* name)
{
    const int index = form->metaObject()->indexOfProperty(name);
    return index >= 0 && form->metaObject()->property(index).isWritable();
}

bool CanRead(const QObject* form, const char* name)
{
    const int index = form->metaObject()->indexOfProperty(name);
    return index >= 0 && form->metaObject()->property(index).isReadable();
}

}  // namespace

TCustomPacketClientSocket::TCustomPacketClientSocket() : ClientSocket(std::make_unique<TClientWinSocket>(true))
{
    BindSocket(ClientSocket.get());
}

TCustomPacketClientSocket::~TCustomPacketClientSocket()
{
    // The reader-writer first, which gives the socket its routing back; then
    // the socket, which drops its handler before it closes, so nothing is raised.
    delete SocketRW;
    SocketRW = nullptr;
    ClientSocket.reset();
}

void TCustomPacketClientSocket::DoActivate(bool value)
{
    if (value == ClientSocket->Connected())
        return;
    if (ClientSocket->Connected()) {
        ClientSocket->Close();
        return;
    }
    const bool ask = AlwaysShowDialog || (Host().empty() && Address().empty()) || (Port() == 0 && Service().empty());
    if (ask && !GetHostInfo())
        return;
    ClientSocket->Open(Host(), Address(), Service(), Port());
}

void TCustomPacketClientSocket::GetDialogForm(TForm*& form)
{
    auto* defaultForm = new TFormDefaultConnection();
    form = defaultForm;
    if (OnGetDialogForm)
        OnGetDialogForm(this, form);
    if (form != defaultForm) {
        delete defaultForm;
        defaultForm = nullptr;
    }
    defaultForm_ = defaultForm;
}

bool TCustomPacketClientSocket::GetHostInfo()
{
    TForm* form = nullptr;
    GetDialogForm(form);
    if (!form)
        return false;
    // The default dialog is ours to free once it has been shown; a form the
    // owner supplied stays the owner's.
    std::unique_ptr<TForm> ownDialog(form == defaultForm_ ? form : nullptr);
    defaultForm_ = nullptr;
    const auto text = [](const AnsiString& value) { return QVariant(Cp932::Decode(value)); };
    if (CanWrite(form, "Host"))
        form->setProperty("Host", text(Host()));
    if (CanWrite(form, "Address"))
        form->setProperty("Address", text(Address()));
    if (CanWrite(form, "Port"))
        form->setProperty("Port", Port());
    if (CanWrite(form, "Service"))
        form->setProperty("Service", text(Service()));

    const bool ok = form->ShowModal() == mrOk;
    if (ok) {
        if (CanRead(form, "Host"))
            SetHost(Cp932::Encode(form->property("Host").toString()));
        if (CanRead(form, "Address"))
            SetAddress(Cp932::Encode(form->property("Address").toString()));
        if (CanRead(form, "Port"))
            SetPort(StrToInt(form->property("Port").toString()));
        if (CanRead(form, "Service"))
            SetService(Cp932::Encode(form->property("Service").toString()));
    }
    return ok;
}

void TCustomPacketClientSocket::SendStream(TStream* stream)
{
    SocketRW->SendStream(stream, static_cast<int>(stream->GetSize()));
}

void TCustomPacketClientSocket::SendStream(TStream* stream, int count)
{
    SocketRW->SendStream(stream, count);
}

TPacketClientSocket::TPacketClientSocket()
{
    SetSocketRW(MakePacketSocketRW(ClientSocket.get(), this));
}

TLineClientSocket::TLineClientSocket()
{
    SetSocketRW(MakeLineSocketRW(ClientSocket.get(), this));
}
