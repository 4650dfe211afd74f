#pragma once

#include <cstddef>
#include <vector>

#include "platform/custom_win_socket.h"
#include "platform/socket_address.h"

// The socket object of a client connection. In non-blocking mode Open
// resolves the name at once (blocking), starts the connection and returns;
// the connect event comes later from the event loop, followed by one
// write-ready. In blocking mode Open connects before it returns. A name with
// several addresses (IPv6 and IPv4) is tried address by address, in the
// resolver's order, until one connects; only the last failure is reported.
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
    static constexpr int ConnectUnderWay = -1;

    // Starts connecting to the next address, on a fresh handle of its family
    // when needed: ConnectUnderWay while a non-blocking connect goes on,
    // else the outcome (0 or the error code).
    int ConnectNext();
    // Tries the addresses in turn, waiting for each; raises the last failure.
    void ConnectBlocking();
    // The connect completed (error 0) or failed: the connect event, the next
    // address, or, after the last one, the error event followed by the
    // disconnect.
    void CompleteConnect(int error);

    bool connecting_ = false;
    std::vector<TSocketAddress> targets_;
    std::size_t nextTarget_ = 0;
    int handleFamily_ = 0;
    bool handleUsed_ = false;
};
