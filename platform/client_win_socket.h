#pragma once

#include "platform/custom_win_socket.h"

// The socket object of a client connection. In non-blocking mode Open
// resolves the name at once (blocking), starts the connection and returns;
// the connect event comes later from the event loop, followed by one
// write-ready. In blocking mode Open connects before it returns.
class TClientWinSocket : public TCustomWinSocket {
public:
    explicit TClientWinSocket(bool nonBlocking = true);

    // Delivers lookup, then connecting, and starts the connection. Raises
    // ESocketError when a handle is already open (connected or connecting) or
    // none can be made; a failure after the handle was made closes it, which
    // delivers the disconnect event, and re-raises.
    void Open(const AnsiString& host, const AnsiString& address, const AnsiString& service, int port);

    // A connection attempt is under way.
    bool Connecting() const { return connecting_; }

protected:
    void WriteReady() override;

private:
    // The connect completed (error 0) or failed: the connect event, or the
    // error event followed by the disconnect.
    void CompleteConnect(int error);

    bool connecting_ = false;
};
