#pragma once

#include <sys/socket.h>

#include <vector>

#include "platform/ansi_string.h"

// One socket address of either family, IPv4 or IPv6.
struct TSocketAddress {
    sockaddr_storage Storage{};
    socklen_t Length = 0;

    int Family() const { return Storage.ss_family; }
    const sockaddr* Raw() const { return reinterpret_cast<const sockaddr*>(&Storage); }
};

// The addresses for a socket to connect to: a host name (resolved now,
// blocking), else a numeric address, in either family and in the resolver's
// order of preference; and a service name or number, else the port taken as
// a 16-bit number. ESocketError says what could not be resolved.
std::vector<TSocketAddress> ResolveConnectAddresses(const AnsiString& host, const AnsiString& address,
                                                    const AnsiString& service, int port);

// The addresses to try, in order, for listening: the one the host or address
// names, or, when neither is given, every local address: first the IPv6 one
// (which also takes IPv4 connections on a dual-stack socket), then the IPv4
// one for a machine without IPv6.
std::vector<TSocketAddress> ResolveListenAddresses(const AnsiString& host, const AnsiString& address,
                                                   const AnsiString& service, int port);

// True for an address in IPv4 or IPv6 notation (no name lookup).
bool IsNumericAddress(const AnsiString& text);

// Turns an IPv4-mapped IPv6 address (an IPv4 peer of a dual-stack socket)
// into the plain IPv4 address it stands for; leaves any other alone.
void UnmapIPv4(sockaddr_storage& address);

// The address as text: dotted for IPv4, also when it arrives as an
// IPv4-mapped IPv6 address on a dual-stack socket; the usual IPv6 text
// otherwise. Empty for any other family.
AnsiString SocketAddressText(const sockaddr_storage& address);
// The port of the address; 0 for any other family.
int SocketAddressPort(const sockaddr_storage& address);
