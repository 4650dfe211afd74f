#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <vector>

#include "platform/ansi_string.h"

// The address as the game's log shows a TCP peer's: dotted IPv4 (also for an
// IPv4 peer of a dual-stack socket), the usual IPv6 text otherwise.
AnsiString AddressText(const QHostAddress& address);

// The player's address: the peer's own, or, when the peer is one of the
// trusted proxies, the last address in its X-Forwarded-For header (the one
// that proxy added). A header that does not end in an address is not taken:
// the proxy's own address stands then.
AnsiString PlayerAddress(const QHostAddress& peer, const QByteArray& forwardedFor,
                         const std::vector<QHostAddress>& trustedProxies);
