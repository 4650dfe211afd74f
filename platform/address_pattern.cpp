#include "platform/address_pattern.h"

#include <arpa/inet.h>
#include <netinet/in.h>

#include <charconv>
#include <cstring>

namespace {

constexpr std::array<std::uint8_t, 12> MappedPrefix{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0xFF};

TIpAddress FromV6Bytes(const std::uint8_t* bytes)
{
    TIpAddress address;
    if (std::memcmp(bytes, MappedPrefix.data(), MappedPrefix.size()) == 0) {
        std::memcpy(address.Bytes.data(), bytes + 12, 4);
        return address;
    }
    address.V4 = false;
    std::memcpy(address.Bytes.data(), bytes, 16);
    return address;
}

// Clears every bit after the first count bits.
void KeepPrefix(TIpAddress& address, int count)
{
    for (int bit = count; bit < address.BitCount(); ++bit)
        address.Bytes[bit / 8] &= static_cast<std::uint8_t>(~(0x80 >> (bit % 8)));
}

}  // namespace

bool TIpAddress::IsLoopback() const
{
    if (V4)
        return Bytes[0] == 127;
    static constexpr std::array<std::uint8_t, 16> Loopback6{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    return Bytes == Loopback6;
}

std::string TIpAddress::Text() const
{
    char text[INET6_ADDRSTRLEN] = {};
    ::inet_ntop(V4 ? AF_INET : AF_INET6, Bytes.data(), text, sizeof text);
    return text;
}

std::optional<TIpAddress> ReadIpAddress(std::string_view text)
{
    const std::string zeroEnded(text);
    std::uint8_t bytes[16] = {};
    if (::inet_pton(AF_INET, zeroEnded.c_str(), bytes) == 1) {
        TIpAddress address;
        std::memcpy(address.Bytes.data(), bytes, 4);
        return address;
    }
    if (::inet_pton(AF_INET6, zeroEnded.c_str(), bytes) == 1)
        return FromV6Bytes(bytes);
    return std::nullopt;
}

std::optional<TIpAddress> IpAddressOf(const sockaddr_storage& address)
{
    if (address.ss_family == AF_INET) {
        TIpAddress result;
        std::memcpy(result.Bytes.data(), &reinterpret_cast<const sockaddr_in&>(address).sin_addr, 4);
        return result;
    }
    if (address.ss_family == AF_INET6)
        return FromV6Bytes(reinterpret_cast<const sockaddr_in6&>(address).sin6_addr.s6_addr);
    return std::nullopt;
}

bool TAddressPattern::Matches(const TIpAddress& address) const
{
    if (address.V4 != Address.V4)
        return false;
    TIpAddress masked = address;
    KeepPrefix(masked, PrefixLength);
    return masked == Address;
}

std::string TAddressPattern::Text() const
{
    const std::string address = Address.Text();
    return PrefixLength == Address.BitCount() ? address : address + '/' + std::to_string(PrefixLength);
}

std::optional<TAddressPattern> ReadAddressPattern(std::string_view text, std::string* error)
{
    const std::size_t slash = text.find('/');
    const std::optional<TIpAddress> address = ReadIpAddress(text.substr(0, slash));
    if (!address)
        return std::nullopt;
    TAddressPattern pattern{*address, address->V4 ? 32 : 64};
    if (slash != std::string_view::npos) {
        const std::string_view digits = text.substr(slash + 1);
        int length = -1;
        const auto [end, failure] = std::from_chars(digits.data(), digits.data() + digits.size(), length);
        if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size() || length < 0
            || length > address->BitCount()) {
            if (error)
                *error = "the prefix length after '/' must be a whole number from 0 to "
                         + std::to_string(address->BitCount()) + ", not '" + std::string(digits) + "'";
            return std::nullopt;
        }
        pattern.PrefixLength = length;
    }
    KeepPrefix(pattern.Address, pattern.PrefixLength);
    return pattern;
}
