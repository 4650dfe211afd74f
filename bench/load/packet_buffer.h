#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

// Byte buffers with the game's packet framing (4-byte little-endian length,
// then the payload), for the load driver and the yardstick relay.
namespace load {

inline void AppendPacket(std::string& out, std::string_view payload)
{
    const auto n = static_cast<std::uint32_t>(payload.size());
    const char header[4] = {static_cast<char>(n), static_cast<char>(n >> 8), static_cast<char>(n >> 16),
                            static_cast<char>(n >> 24)};
    out.append(header, 4);
    out.append(payload);
}

// Calls take(payload) for every whole packet at the front of in, then drops them.
template <typename Take>
void CutPackets(std::string& in, Take&& take)
{
    std::size_t at = 0;
    while (in.size() - at >= 4) {
        std::uint32_t n;
        std::memcpy(&n, in.data() + at, 4);
        if (in.size() - at - 4 < n)
            break;
        take(std::string_view(in.data() + at + 4, n));
        at += 4 + n;
    }
    in.erase(0, at);
}

// The command text of a payload: up to the first NUL.
inline std::string_view TextOf(std::string_view payload)
{
    const auto nul = payload.find('\0');
    return nul == std::string_view::npos ? payload : payload.substr(0, nul);
}

}  // namespace load
