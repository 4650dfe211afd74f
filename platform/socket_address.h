#pragma once

#include <netinet/in.h>

#include "platform/ansi_string.h"

// The IPv4 address and port for a socket to connect to or listen on: a host
// name (resolved now, blocking, or a dotted address), else a dotted address,
// and a service name or number, else the port taken as a 16-bit number.
// ESocketError says what could not be resolved. With allowAny, no host and no
// address mean every local address (for listening).
sockaddr_in ResolveSocketAddress(const AnsiString& host, const AnsiString& address, const AnsiString& service, int port,
                                 bool allowAny);
