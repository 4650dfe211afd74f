#pragma once

#include <chrono>
#include <memory>

#include "platform/custom_win_socket.h"
#include "platform/object.h"
#include "platform/stream.h"
#include "transport/non_blocking_socket_stream.h"
#include "transport/piped_memory_stream.h"

// A reader-writer attaches itself to one socket, takes over its events,
// gathers incoming bytes in RecvBuffer for a subclass to cut into messages,
// and queues outgoing bytes in SendBuffer, draining it as fast as the socket
// accepts them. Nothing ever blocks.
//
// Two additions, both off by default:
//  - MaxSendQueue: a limit on the bytes queued for sending (0 = none). A send
//    that would pass it is not queued; the connection gets the error event
//    (send, ENOBUFS) and is closed, and ESocketError "送信キューが MaxSendQueue
//    を超えました" follows unless the error handler cleared the code.
// A receive limit exceeded or an impossible packet length end the connection
// the same way (receive, EMSGSIZE or EPROTO).
//  - DeferredFlush: a send only queues its bytes; the send buffer is written
//    once, after the current event has been handled. A write failure then
//    goes through the connection's error path instead of out of the send.
//
// A read-ready event takes at most ReadBudget bytes from the socket and
// delivers the whole messages among them; the rest waits in the kernel for
// the next round of the event loop, so one busy peer never holds the thread,
// and a peer that sends faster than its messages are handled is slowed by
// TCP flow control. Without MaxRecvSize the bytes are received straight into
// the free room of RecvBuffer, one receive after another until the socket
// would block or the budget is spent, and the read-ready event's own receive
// is the first of them: no system call asks how many bytes wait. Both buffers hold no memory while they are empty: it is
// taken when bytes come and given back once they have all gone.
class TCustomSocketRW : public TObject, private TReceiveRoom {
public:
    explicit TCustomSocketRW(TCustomWinSocket* socket);
    ~TCustomSocketRW() override;

    // Gives the current socket back its former event handler, then attaches
    // to socket (which may be null) and installs SocketEvent on it.
    void SetSocket(TCustomWinSocket* socket);
    // The handler installed on the socket.
    void SocketEvent(TObject* sender, TCustomWinSocket* socket, TSocketEvent event);
    // Hands the queued bytes to the socket in one write; what it accepts is consumed.
    void DoWrite();

    void SendStream(TStream* stream);
    virtual void SendStream(TStream* stream, int count) = 0;

    virtual void ConnectEvent(TObject* sender, TCustomWinSocket* socket);
    virtual void DisconnectEvent(TObject* sender, TCustomWinSocket* socket);
    virtual void ReadEvent(TObject* sender, TCustomWinSocket* socket) = 0;
    virtual void WriteEvent(TObject* sender, TCustomWinSocket* socket);

    TCustomWinSocket* Socket = nullptr;
    // Receive limit in bytes (0 or less: none); read at each read-ready event.
    int MaxRecvSize = 0;
    // The most bytes a connection may hold received but not yet delivered,
    // counted once the whole messages have been cut (0 or less: no limit).
    // Exceeding it ends the connection like MaxRecvSize; unlike that, bytes
    // still waiting in the kernel never count, so a fast sender of small
    // messages is never cut, only one message too large to deliver.
    int MaxUnprocessedSize = 0;
    // The most bytes one read-ready event takes from the socket (0 or less: all).
    int ReadBudget = DefaultReadBudget;
    static constexpr int DefaultReadBudget = 64 * 1024;
    // Pacing, off while RelayRate is 0: the connection is charged every byte
    // read from it and every byte its messages cause to be queued for sending
    // on this thread, to any connection. It may run up RelayBurst bytes at
    // once and earns RelayRate bytes a second; while it owes, it is not read,
    // so one peer cannot take the whole sending capacity of a relaying server
    // and TCP flow control slows it down.
    std::int64_t RelayRate = 0;
    std::int64_t RelayBurst = 0;

    // Bytes queued for sending by every reader-writer of this thread so far.
    static std::int64_t& QueuedOnThisThread();
    // Seconds that pacing held connections back so far, every connection of
    // the process together: each suspension of reading as it is asked for.
    // A carrier that paces for itself adds its own holds with CountPaced.
    static double PacedSeconds();
    static void CountPaced(std::chrono::milliseconds held);
    // Held inside the reader-writer rather than each in an allocation of its
    // own: a packet queued for a connection then reaches its send buffer
    // without one more pointer to follow, and an idle connection costs three
    // allocations less.
    TNonBlockingSocketStream SocketStream;
    TPipedMemoryStream RecvBuffer;
    TPipedMemoryStream SendBuffer;
    TSocketEventEvent SavedSocketEvent;

    int MaxSendQueue = 0;
    bool DeferredFlush = false;

    // Runs the deferred write of a marked reader-writer (the flush queue calls it).
    void FlushMarked();

protected:
    // Checks the send-queue limit for count more bytes: true when they may be
    // queued. Otherwise the connection is failed as described above.
    bool MayQueue(std::int64_t count);
    // After queuing: write now, or mark for the deferred write.
    void Flush();
    // True while this object has not been destroyed (checked after calling
    // out to handlers that might destroy it).
    std::shared_ptr<bool> AliveToken() const { return alive_; }
    // Ends the connection for a fault the peer caused: the socket's error
    // event with the code (its handler may clear it), the close, and then
    // ESocketError with the message unless the code was cleared. So a server
    // can log a misbehaving client instead of showing an error box.
    void FailConnection(TErrorEvent errorEvent, int errorCode, const std::string& message);
    // True when held bytes are within MaxUnprocessedSize; otherwise the
    // connection is failed as for MaxRecvSize and false is returned (when the
    // error handler cleared the code).
    bool WithinUnprocessedLimit(std::int64_t held);

private:
    // The smallest room a receive is given: below a page, so that a block
    // taken for a short line and given back does not count towards a trim.
    static constexpr int SmallestReceive = 2048;

    char* ReceiveRoom(int& size) override;
    void Received(int count) override;
    void ReadLoop(TObject* sender, TCustomWinSocket* socket);
    // Takes bytes from the socket into RecvBuffer, at most budget: one
    // receive of up to want bytes into the buffer's room, or, while
    // MaxRecvSize counts the bytes still waiting in the kernel, as many as
    // wait. Returns the bytes taken, or -1 when the connection was failed for
    // MaxRecvSize; emptied tells whether the socket had no more to give.
    std::int64_t TakeFromSocket(std::int64_t budget, int want, bool& emptied);
    // Earns credit for the time passed; true while the connection owes.
    bool Owes();
    // False, with reading suspended until the debt is paid, while the
    // connection owes.
    bool MayRead();
    // Frees the buffer's block when it holds no bytes.
    static void GiveBackIfEmpty(TPipedMemoryStream& buffer);

    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    bool reading_ = false;
    // Bytes the read-ready event's own receive brought, not yet handled, the
    // room that receive was given, and whether it took less than that room:
    // then the socket held no more, and asking again would only be told so.
    int received_ = 0;
    int offered_ = 0;
    bool receiveEmptied_ = false;
    bool flushMarked_ = false;
    bool sendQueueOverflow_ = false;
    // What the connection may still spend; the first read finds a full burst
    // earned since the clock's epoch.
    double credit_ = 0;
    std::chrono::steady_clock::time_point earned_{};
};
