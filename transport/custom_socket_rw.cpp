#include "transport/custom_socket_rw.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/exceptions.h"
#include "transport/deferred_flush.h"
#include "transport/heap_trim.h"

namespace {
const char* const SendQueueExceeded = "送信キューが MaxSendQueue を超えました";
// Milliseconds, so that the total is exact however many holds it adds up.
std::atomic<std::int64_t> pacedMilliseconds{0};
}  // namespace

TCustomSocketRW::TCustomSocketRW(TCustomWinSocket* socket)
    : SocketStream(socket), RecvBuffer(0), SendBuffer(0)
{
    SetSocket(socket);
}

TCustomSocketRW::~TCustomSocketRW()
{
    *alive_ = false;
    if (flushMarked_)
        DeferredFlush::ForThisThread().Forget(this);
    SetSocket(nullptr);
}

void TCustomSocketRW::SetSocket(TCustomWinSocket* socket)
{
    if (Socket) {
        Socket->OnSocketEvent = SavedSocketEvent;
        Socket->SetReceiveRoom(nullptr);
    }
    Socket = socket;
    SavedSocketEvent = nullptr;
    // The stream follows the reader-writer to its new socket.
    SocketStream.Socket = socket;
    if (socket) {
        SavedSocketEvent = socket->OnSocketEvent;
        socket->OnSocketEvent = [this](TObject* sender, TCustomWinSocket* s, TSocketEvent event) {
            SocketEvent(sender, s, event);
        };
        TReceiveRoom& room = *this;
        socket->SetReceiveRoom(&room);
    }
}

void TCustomSocketRW::SocketEvent(TObject* sender, TCustomWinSocket* socket, TSocketEvent event)
{
    if (event == seConnect) {
        RecvBuffer.Clear();
        SendBuffer.Clear();
        sendQueueOverflow_ = false;
    }
    const auto alive = alive_;
    if (SavedSocketEvent) {
        SavedSocketEvent(sender, socket, event);
        if (!*alive)
            return;
    }
    switch (event) {
    case seConnect: ConnectEvent(sender, socket); break;
    case seDisconnect: DisconnectEvent(sender, socket); break;
    case seWrite:
        WriteEvent(sender, socket);
        if (*alive)
            DoWrite();
        break;
    case seRead: ReadLoop(sender, socket); break;
    default: break;
    }
}

void TCustomSocketRW::ReadLoop(TObject* sender, TCustomWinSocket* socket)
{
    // A handler that runs a nested event loop must not see its own
    // connection's next read event inside it: the bytes it is still handling
    // lie at the head of the buffer. The outer loop receives what came once
    // the delivery has returned.
    if (reading_)
        return;
    const auto alive = alive_;
    struct Reading {
        TCustomSocketRW* rw;
        const std::shared_ptr<bool>& alive;
        ~Reading()
        {
            if (*alive)
                rw->reading_ = false;
        }
    } guard{this, alive};
    reading_ = true;
    if (!MayRead())
        return;
    std::int64_t budget = ReadBudget > 0 ? ReadBudget : std::numeric_limits<std::int64_t>::max();
    // The event's own receive is the first take.
    std::int64_t taken = std::exchange(received_, 0);
    // A receive that filled less than its room emptied the socket; the
    // socket is watched level-triggered, so what comes later is another event.
    bool emptied = std::exchange(receiveEmptied_, false);
    budget -= taken;
    int want = SmallestReceive;
    for (;;) {
        if (taken == 0) {
            if (emptied)
                break;
            taken = TakeFromSocket(budget, want, emptied);
            if (taken < 0)
                return;
            if (taken == 0)
                break;
            budget -= taken;
            // A receive that filled what it asked for asks for twice as much next.
            if (taken >= want)
                want = want < std::numeric_limits<int>::max() / 2 ? want * 2 : want;
        }
        const std::int64_t queuedBefore = QueuedOnThisThread();
        ReadEvent(sender, socket);
        if (!*alive)
            return;
        credit_ -= static_cast<double>(taken + QueuedOnThisThread() - queuedBefore);
        taken = 0;
        if (!WithinUnprocessedLimit(RecvBuffer.Count()))
            return;
        if (budget <= 0 || (RelayRate > 0 && credit_ < 0))
            break;
    }
    GiveBackIfEmpty(RecvBuffer);
}

std::int64_t TCustomSocketRW::TakeFromSocket(std::int64_t budget, int want, bool& emptied)
{
    if (MaxRecvSize > 0) {
        const std::int64_t waiting = SocketStream.GetSize();
        if (std::int64_t{RecvBuffer.Count()} + waiting > MaxRecvSize) {
            FailConnection(eeReceive, EMSGSIZE, "パケットサイズが MaxRecvSize を超えました");
            return -1;
        }
        const std::int64_t take = std::min({waiting, budget, std::int64_t{std::numeric_limits<int>::max()}});
        return take > 0 ? RecvBuffer.ReadFromStream(&SocketStream, static_cast<int>(take)) : 0;
    }
    const int room = static_cast<int>(std::min<std::int64_t>(std::max(RecvBuffer.Room(), want), budget));
    if (room <= 0 || !Socket)
        return 0;
    const int n = Socket->ReceiveBuf(RecvBuffer.Reserve(room), room);
    if (n <= 0)
        return 0;
    RecvBuffer.Appended(n);
    emptied = n < room;
    return n;
}

char* TCustomSocketRW::ReceiveRoom(int& size)
{
    // The limit on received bytes counts those still in the kernel, and a
    // connection that owes is not read: both count the waiting bytes first.
    if (MaxRecvSize > 0 || reading_ || Owes())
        return nullptr;
    size = std::max(RecvBuffer.Room(), SmallestReceive);
    if (ReadBudget > 0)
        size = std::min(size, ReadBudget);
    offered_ = size;
    return RecvBuffer.Reserve(size);
}

void TCustomSocketRW::Received(int count)
{
    if (count > 0) {
        RecvBuffer.Appended(count);
        received_ += count;
        receiveEmptied_ = count < offered_;
    } else {
        GiveBackIfEmpty(RecvBuffer);
    }
}

bool TCustomSocketRW::Owes()
{
    if (RelayRate <= 0)
        return false;
    const auto now = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(now - earned_).count();
    credit_ = std::min(credit_ + seconds * static_cast<double>(RelayRate), static_cast<double>(RelayBurst));
    earned_ = now;
    return credit_ < 0;
}

bool TCustomSocketRW::MayRead()
{
    if (!Owes())
        return true;
    const std::chrono::milliseconds held(static_cast<int>(-credit_ * 1000 / static_cast<double>(RelayRate)) + 1);
    CountPaced(held);
    Socket->SuspendReadWatch(static_cast<int>(held.count()));
    return false;
}

std::int64_t& TCustomSocketRW::QueuedOnThisThread()
{
    thread_local std::int64_t queued = 0;
    return queued;
}

double TCustomSocketRW::PacedSeconds()
{
    return static_cast<double>(pacedMilliseconds.load(std::memory_order_relaxed)) / 1000;
}

void TCustomSocketRW::CountPaced(std::chrono::milliseconds held)
{
    pacedMilliseconds.fetch_add(held.count(), std::memory_order_relaxed);
}

void TCustomSocketRW::ConnectEvent(TObject*, TCustomWinSocket*) {}
void TCustomSocketRW::DisconnectEvent(TObject*, TCustomWinSocket*) {}
void TCustomSocketRW::WriteEvent(TObject*, TCustomWinSocket*) {}

void TCustomSocketRW::DoWrite()
{
    if (SendBuffer.Count() > 0)
        SendBuffer.WriteToStream(&SocketStream);
    GiveBackIfEmpty(SendBuffer);
}

void TCustomSocketRW::GiveBackIfEmpty(TPipedMemoryStream& buffer)
{
    const int capacity = buffer.Capacity;
    if (buffer.Count() != 0 || capacity == 0)
        return;
    buffer.Trim();
    HeapTrim::BufferFreed(static_cast<std::size_t>(capacity));
}

void TCustomSocketRW::SendStream(TStream* stream)
{
    SendStream(stream, static_cast<int>(stream->GetSize()));
}

bool TCustomSocketRW::MayQueue(std::int64_t count)
{
    if (sendQueueOverflow_)
        return false;
    if (MaxSendQueue <= 0 || SendBuffer.Count() + count <= MaxSendQueue) {
        QueuedOnThisThread() += count;
        return true;
    }
    sendQueueOverflow_ = true;
    if (DeferredFlush)
        Flush();
    else
        FailConnection(eeSend, ENOBUFS, SendQueueExceeded);
    return false;
}

void TCustomSocketRW::FailConnection(TErrorEvent errorEvent, int errorCode, const std::string& message)
{
    const auto alive = alive_;
    TCustomWinSocket* socket = Socket;
    socket->Error(socket, errorEvent, errorCode);
    if (*alive && Socket == socket)
        socket->Close();
    if (errorCode != 0)
        throw ESocketError(message);
}

bool TCustomSocketRW::WithinUnprocessedLimit(std::int64_t held)
{
    if (MaxUnprocessedSize <= 0 || held <= MaxUnprocessedSize)
        return true;
    FailConnection(eeReceive, EMSGSIZE, "未処理の受信データが MaxUnprocessedSize を超えました");
    return false;
}

void TCustomSocketRW::Flush()
{
    if (!DeferredFlush) {
        DoWrite();
        return;
    }
    if (!flushMarked_) {
        flushMarked_ = true;
        DeferredFlush::ForThisThread().Mark(this);
    }
}

void TCustomSocketRW::FlushMarked()
{
    flushMarked_ = false;
    if (sendQueueOverflow_ && Socket && Socket->Connected())
        FailConnection(eeSend, ENOBUFS, SendQueueExceeded);
    else
        DoWrite();
}
