#include "platform/custom_win_socket.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QMetaObject>
#include <QObject>
#include <cerrno>
#include <cstring>

#include "platform/application.h"
#include "platform/deadline_heap.h"
#include "platform/exceptions.h"
#include "platform/socket_address.h"
#include "platform/socket_calls.h"

const char* ErrorEventName(TErrorEvent event)
{
    static const char* const names[] = {"unknown", "send", "recv", "connect", "disconnect", "accept"};
    const int index = static_cast<int>(event);
    return index >= 0 && index < 6 ? names[index] : names[0];
}

std::string SocketErrorMessage(int errorCode, const char* call)
{
    char text[256];
    std::snprintf(text, sizeof text, "Windows ソケットエラー： %s (%d) [API '%s']", std::strerror(errorCode), errorCode,
                  call);
    return text;
}

namespace {

bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}

bool PeerAddress(int handle, sockaddr_storage& address)
{
    socklen_t length = sizeof address;
    if (handle < 0 || getpeername(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    UnmapIPv4(address);
    return true;
}

bool OwnAddress(int handle, sockaddr_storage& address)
{
    socklen_t length = sizeof address;
    if (handle < 0 || getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        return false;
    UnmapIPv4(address);
    return true;
}

}  // namespace

TCustomWinSocket::TCustomWinSocket(int socketHandle, bool nonBlocking)
    : nonBlocking_(nonBlocking), alive_(std::make_shared<bool>(true)), guard_(std::make_unique<QObject>())
{
    if (socketHandle >= 0)
        SetHandle(socketHandle);
}

TCustomWinSocket::~TCustomWinSocket()
{
    OnSocketEvent = nullptr;
    OnErrorEvent = nullptr;
    CloseHandle();
    *alive_ = false;
}

void TCustomWinSocket::SetHandle(int socketHandle)
{
    handle_ = socketHandle;
    const int flags = fcntl(handle_, F_GETFL);
    fcntl(handle_, F_SETFL, nonBlocking_ ? flags | O_NONBLOCK : flags & ~O_NONBLOCK);
}

void TCustomWinSocket::ReplaceHandle(int socketHandle)
{
    CloseHandle();
    SetHandle(socketHandle);
}

void TCustomWinSocket::WatchRead()
{
    if (!nonBlocking_ || handle_ < 0)
        return;
    readWatched_ = true;
    UpdateWatch();
}

void TCustomWinSocket::WatchWriteOnce()
{
    if (!nonBlocking_ || handle_ < 0)
        return;
    writeAwaited_ = true;
    UpdateWatch();
}

void TCustomWinSocket::UpdateWatch()
{
    if (handle_ < 0)
        return;
    if (!watch_) {
        TSocketWatcher& watcher = *this;
        watch_ = std::make_unique<TSocketWatch>(handle_, watcher);
    }
    watch_->Want(readWatched_ && !readSuspended_ && !readDeferred_, writeAwaited_);
}

void TCustomWinSocket::Readable()
{
    // Like a Windows socket, no further read-ready is delivered until this one
    // has been handled: a handler that runs a nested event loop gets its
    // connection's next read event after it returns. The watch is switched
    // off only when that happens, since every switch costs a system call.
    if (inReadDispatch_) {
        readDeferred_ = true;
        UpdateWatch();
        return;
    }
    inReadDispatch_ = true;
    if (!Dispatch([this] { ReadReady(); }))
        return;
    inReadDispatch_ = false;
    if (readDeferred_) {
        readDeferred_ = false;
        UpdateWatch();
    }
}

void TCustomWinSocket::Writable()
{
    writeAwaited_ = false;
    UpdateWatch();
    Dispatch([this] { WriteReady(); });
}

bool TCustomWinSocket::Dispatch(const std::function<void()>& fn)
{
    const auto alive = alive_;
    DispatchSafely(fn);
    return *alive;
}

void TCustomWinSocket::PostToSelf(std::function<void()> fn)
{
    QMetaObject::invokeMethod(guard_.get(), [fn = std::move(fn)] { DispatchSafely(fn); }, Qt::QueuedConnection);
}

void TCustomWinSocket::ReadReady()
{
    // With a reader's room the receive itself tells bytes, the peer's close
    // and a stale notification apart: one system call per event.
    int size = 0;
    if (char* room = receiveRoom_ ? receiveRoom_->ReceiveRoom(size) : nullptr) {
        ssize_t n;
        do {
            n = CurrentSocketCalls().Recv(handle_, room, static_cast<std::size_t>(size), 0);
        } while (n < 0 && errno == EINTR);
        const int error = errno;
        receiveRoom_->Received(n > 0 ? static_cast<int>(n) : 0);
        if (n > 0) {
            Event(this, seRead);
        } else if (n == 0) {
            Close();
        } else if (!WouldBlock(error)) {
            SocketFailure(eeReceive, error);
        }
        return;
    }
    if (ReceiveLength() > 0) {
        Event(this, seRead);
        return;
    }
    // Nothing counted as waiting: either the peer closed, or the bytes were
    // taken already and this notification is stale. Peek to tell them apart.
    char probe;
    ssize_t n;
    do {
        n = CurrentSocketCalls().Recv(handle_, &probe, 1, MSG_PEEK);
    } while (n < 0 && errno == EINTR);
    if (n > 0)
        Event(this, seRead);
    else if (n == 0)
        Close();
    else if (!WouldBlock(errno))
        SocketFailure(eeReceive, errno);
}

void TCustomWinSocket::SuspendReadWatch(int milliseconds)
{
    if (!readWatched_)
        return;
    readSuspended_ = true;
    UpdateWatch();
    // Overlapping holds end at the earliest of their ends.
    const auto until = TDeadline::Clock::now() + std::chrono::milliseconds(milliseconds);
    if (!resumeRead_) {
        resumeRead_ = std::make_unique<TDeadline>([this] {
            readSuspended_ = false;
            UpdateWatch();
        });
    }
    if (!resumeRead_->Pending() || until < resumeRead_->When())
        resumeRead_->StartAt(until);
}

void TCustomWinSocket::WriteReady()
{
    Event(this, seWrite);
}

int TCustomWinSocket::SendBuf(const void* buffer, int count)
{
    if (!connected_ || count <= 0)
        return 0;
    ssize_t n;
    do {
        n = CurrentSocketCalls().Send(handle_, buffer, static_cast<std::size_t>(count), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (!WouldBlock(errno)) {
            SocketFailure(eeSend, errno);
            return -1;
        }
        WatchWriteOnce();
        return -1;
    }
    if (n < count)
        WatchWriteOnce();
    return static_cast<int>(n);
}

int TCustomWinSocket::ReceiveBuf(void* buffer, int count)
{
    if (!connected_ || count <= 0)
        return 0;
    ssize_t n;
    do {
        n = CurrentSocketCalls().Recv(handle_, buffer, static_cast<std::size_t>(count), 0);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        if (!WouldBlock(errno))
            SocketFailure(eeReceive, errno);
        return -1;
    }
    return static_cast<int>(n);
}

int TCustomWinSocket::ReceiveLength()
{
    int waiting = 0;
    if (handle_ < 0 || ioctl(handle_, FIONREAD, &waiting) != 0)
        return 0;
    return waiting;
}

void TCustomWinSocket::Close()
{
    if (handle_ < 0 || closing_)
        return;
    closing_ = true;
    const auto alive = alive_;
    try {
        Event(this, seDisconnect);
    } catch (...) {
        if (*alive)
            CloseHandle();
        throw;
    }
    if (*alive)
        CloseHandle();
}

void TCustomWinSocket::SocketFailure(TErrorEvent errorEvent, int errorCode)
{
    const auto alive = alive_;
    Error(this, errorEvent, errorCode);
    if (*alive)
        Close();
    if (errorCode != 0)
        throw ESocketError(SocketErrorMessage(errorCode, ErrorEventName(errorEvent)));
}

void TCustomWinSocket::Event(TCustomWinSocket* socket, TSocketEvent event)
{
    if (OnSocketEvent)
        OnSocketEvent(this, socket, event);
}

void TCustomWinSocket::Error(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode)
{
    if (OnErrorEvent)
        OnErrorEvent(this, socket, errorEvent, errorCode);
}

void TCustomWinSocket::CloseHandle()
{
    // The watch goes before the handle closes: a batch that fetched an event
    // for it drops that event.
    watch_.reset();
    readWatched_ = false;
    readDeferred_ = false;
    writeAwaited_ = false;
    if (handle_ >= 0)
        ::close(handle_);
    handle_ = -1;
    connected_ = false;
    closing_ = false;
}

AnsiString TCustomWinSocket::RemoteAddress() const
{
    sockaddr_storage address{};
    return PeerAddress(handle_, address) ? SocketAddressText(address) : AnsiString();
}

AnsiString TCustomWinSocket::RemoteHost() const
{
    sockaddr_storage address{};
    if (!PeerAddress(handle_, address))
        return {};
    char host[NI_MAXHOST] = {};
    if (getnameinfo(reinterpret_cast<const sockaddr*>(&address), sizeof address, host, sizeof host, nullptr, 0,
                    NI_NAMEREQD) != 0)
        return {};
    return host;
}

int TCustomWinSocket::RemotePort() const
{
    sockaddr_storage address{};
    return PeerAddress(handle_, address) ? SocketAddressPort(address) : 0;
}

AnsiString TCustomWinSocket::LocalAddress() const
{
    sockaddr_storage address{};
    return OwnAddress(handle_, address) ? SocketAddressText(address) : AnsiString();
}

AnsiString TCustomWinSocket::LocalHost() const
{
    char name[256] = {};
    if (gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

int TCustomWinSocket::LocalPort() const
{
    sockaddr_storage address{};
    return OwnAddress(handle_, address) ? SocketAddressPort(address) : 0;
}
