#pragma once

#include <optional>
#include <string>
#include <string_view>

// A server's place as a player types it.
struct THostAndPort {
    std::string Host;
    // 0 when the text names no port.
    int Port = 0;

    bool operator==(const THostAndPort&) const = default;
};

// Reads "host", "host:port", an IPv6 address ("2001:db8::1", "::1") and
// "[IPv6]" or "[IPv6]:port"; spaces around the text are ignored and an empty
// text gives an empty host. Nullopt for anything else: an empty host before
// a port, an unclosed or empty bracket, text after the bracket other than a
// port, a port that is not a number from 1 to 65535.
std::optional<THostAndPort> ParseHostAndPort(std::string_view text);

// Where to connect for the text of an address box: the host and port it
// names, defaultPort when it names none. A text that is none of the forms
// above is taken whole as the host, so that its lookup fails and says so.
THostAndPort ServerPlace(std::string_view text, int defaultPort);
