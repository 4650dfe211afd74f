#pragma once

#include <sys/socket.h>

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// One IP address, IPv4 or IPv6, as its bytes. An IPv4-mapped IPv6 address
// (an IPv4 peer of a dual-stack socket) is taken as the IPv4 address it
// stands for, so that a peer has one form whichever socket it came through.
struct TIpAddress {
    bool V4 = true;
    std::array<std::uint8_t, 16> Bytes{};  // the first 4 for IPv4

    int BitCount() const { return V4 ? 32 : 128; }
    bool IsLoopback() const;
    // Dotted for IPv4, the usual compressed text for IPv6.
    std::string Text() const;
    auto operator<=>(const TIpAddress&) const = default;
};

// The address of a numeric text ("192.0.2.1", "2001:db8::1"); nothing for any
// other text (no name lookup).
std::optional<TIpAddress> ReadIpAddress(std::string_view text);
// The address of a socket address of either family; nothing for another family.
std::optional<TIpAddress> IpAddressOf(const sockaddr_storage& address);

// An address with a prefix length: the addresses whose first PrefixLength
// bits are those of Address. The bits after the prefix are kept as zero.
struct TAddressPattern {
    TIpAddress Address;
    int PrefixLength = 32;

    bool Matches(const TIpAddress& address) const;
    // "ADDRESS/PREFIX", or the address alone when the prefix covers it whole.
    std::string Text() const;
    auto operator<=>(const TAddressPattern&) const = default;
};

// Reads "ADDRESS" or "ADDRESS/PREFIX" (0 to 32 for IPv4, 0 to 128 for IPv6).
// An address alone stands for itself, except that an IPv6 address alone
// stands for its /64, which one household or host usually holds whole.
// Nothing when the text is no address; Error (when given) then says why, or
// stays empty when the text is not even meant as an address (no address
// before a '/').
std::optional<TAddressPattern> ReadAddressPattern(std::string_view text, std::string* error = nullptr);
