#pragma once

#include <QString>
#include <memory>
#include <mutex>

#include "platform/ansi_string.h"
#include "platform/object.h"
#include "platform/socket_reactor.h"
#include "platform/socket_types.h"

// Room a reader offers for the receive of a read-ready event: the event then
// costs one recv straight into the reader's buffer instead of a count of the
// waiting bytes followed by a receive.
class TReceiveRoom {
public:
    // Where up to size bytes may be received now; null (size untouched) when
    // the reader wants to be told of readiness only.
    virtual char* ReceiveRoom(int& size) = 0;
    // count bytes were received into the room just offered (0: none came,
    // the peer closed, or the receive failed).
    virtual void Received(int count) = 0;

protected:
    ~TReceiveRoom() = default;
};

// One TCP socket handle with the events of an event-driven socket.
//
// In non-blocking mode the socket watches its handle from the Qt event loop of
// the thread that made it (through that thread's TSocketReactor) and delivers,
// one at a time:
//  - read-ready while bytes wait; a peer that closed is delivered as the
//    disconnect event, while the socket still counts as connected, after which
//    the handle closes;
//  - write-ready once after a connect completes and once after a send that
//    could not take everything, when room has freed up (never otherwise: the
//    write watch stays off, so nothing spins);
//  - accept on a listening socket (see TServerWinSocket).
// A send or receive failure other than would-block gives the error event with
// the code by reference, then the disconnect, then ESocketError unless the
// error handler cleared the code. An exception escaping any event handler goes
// to the application's standard error report and dispatching goes on.
//
// Deleting a socket drops its event handler first: a connected socket deleted
// this way closes without notifying anybody.
class TCustomWinSocket : public TObject, private TSocketWatcher {
public:
    TCustomWinSocket(int socketHandle, bool nonBlocking);
    ~TCustomWinSocket() override;

    // Bytes accepted, or -1 when the send would block (the write-ready event
    // follows once room frees up). 0 when not connected.
    int SendBuf(const void* buffer, int count);
    // Bytes received, or -1 when none are waiting. 0 when not connected.
    int ReceiveBuf(void* buffer, int count);
    // Bytes waiting to be received.
    int ReceiveLength();
    // While set (null: none), a read-ready event first receives into the
    // room offered: read-ready follows only when bytes came, the peer's close
    // is the disconnect event, and an event finding nothing is dropped, as
    // without a room.
    void SetReceiveRoom(TReceiveRoom* room) { receiveRoom_ = room; }
    // Stops read-ready events for a while (a listening socket that cannot
    // accept now must not spin; a peer that has used its share waits).
    void SuspendReadWatch(int milliseconds);
    // Performs the disconnect: the disconnect event, then the handle closes.
    // Nothing happens when there is no handle.
    virtual void Close();

    bool Connected() const { return connected_; }
    bool NonBlocking() const { return nonBlocking_; }
    int SocketHandle() const { return handle_; }

    AnsiString RemoteAddress() const;
    // The peer's host name by reverse lookup (blocking); empty when none is found.
    AnsiString RemoteHost() const;
    int RemotePort() const;
    AnsiString LocalAddress() const;
    AnsiString LocalHost() const;
    int LocalPort() const;

    void Lock() { mutex_.lock(); }
    void Unlock() { mutex_.unlock(); }

    TSocketEventEvent OnSocketEvent;
    TSocketErrorEvent OnErrorEvent;

    // The per-socket event dispatch: calls the installed event handler.
    virtual void Event(TCustomWinSocket* socket, TSocketEvent event);
    // Calls the installed error handler, which may clear errorCode.
    virtual void Error(TCustomWinSocket* socket, TErrorEvent errorEvent, int& errorCode);

protected:
    // Takes over a new handle (for opening and listening).
    void SetHandle(int socketHandle);
    // Closes the handle without any event and takes over another (a connect
    // that moves on to the resolver's next address).
    void ReplaceHandle(int socketHandle);
    void SetConnected(bool connected) { connected_ = connected; }
    // Starts watching the handle for readability.
    void WatchRead();
    // Watches for writability once (a pending connect, or a send that blocked).
    void WatchWriteOnce();
    // The error event, the disconnect and, unless the code was cleared,
    // ESocketError naming the call.
    void SocketFailure(TErrorEvent errorEvent, int errorCode);
    // Called when the handle is readable: read-ready or the peer's close.
    virtual void ReadReady();
    // Called when the handle is writable after WatchWriteOnce.
    virtual void WriteReady();
    // Runs an event handler the way the event loop does: exceptions go to the
    // standard error report. Returns false when this object was deleted by it.
    bool Dispatch(const std::function<void()>& fn);
    // Posts fn to the event loop; it is dropped if this object is deleted first.
    void PostToSelf(std::function<void()> fn);
    // True while this object has not been destroyed (checked after calling
    // out to handlers that might destroy it).
    std::shared_ptr<bool> AliveToken() const { return alive_; }

private:
    void Readable() override;
    void Writable() override;
    // Tells the watch what is wanted now, making it on first need.
    void UpdateWatch();
    void CloseHandle();

    int handle_ = -1;
    bool nonBlocking_;
    bool connected_ = false;
    bool closing_ = false;
    // Read readiness is watched while readWatched_, unless suspended or
    // deferred; write readiness while writeAwaited_.
    bool readWatched_ = false;
    bool readSuspended_ = false;
    bool inReadDispatch_ = false;
    bool readDeferred_ = false;
    bool writeAwaited_ = false;
    std::shared_ptr<bool> alive_;
    std::recursive_mutex mutex_;
    std::unique_ptr<TSocketWatch> watch_;
    std::unique_ptr<class QObject> guard_;
    // Ends a suspension of the read watch; made on first need.
    std::unique_ptr<class TDeadline> resumeRead_;
    TReceiveRoom* receiveRoom_ = nullptr;
};

// "Windows ソケットエラー： <text> (<code>) [API '<call>']" for a system error code.
std::string SocketErrorMessage(int errorCode, const char* call);
