#include "platform/host_and_port.h"

#include <algorithm>
#include <cctype>

namespace {

std::string_view Trimmed(std::string_view text)
{
    const auto space = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

// 1 to 65535 in decimal digits, else 0.
int PortNumber(std::string_view digits)
{
    if (digits.empty() || digits.size() > 5 || !std::all_of(digits.begin(), digits.end(), [](char c) {
            return c >= '0' && c <= '9';
        }))
        return 0;
    int port = 0;
    for (const char c : digits)
        port = port * 10 + (c - '0');
    return port <= 0xFFFF ? port : 0;
}

bool PlainHost(std::string_view host)
{
    return !host.empty() && host.find_first_of("[] \t") == std::string_view::npos;
}

}  // namespace

std::optional<THostAndPort> ParseHostAndPort(std::string_view text)
{
    text = Trimmed(text);
    if (text.empty())
        return THostAndPort{};
    if (text.front() == '[') {
        const std::size_t close = text.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        const std::string_view host = text.substr(1, close - 1);
        const std::string_view rest = text.substr(close + 1);
        if (!PlainHost(host) || host.find(':') == std::string_view::npos)
            return std::nullopt;
        if (rest.empty())
            return THostAndPort{std::string(host), 0};
        const int port = rest.front() == ':' ? PortNumber(rest.substr(1)) : 0;
        if (port == 0)
            return std::nullopt;
        return THostAndPort{std::string(host), port};
    }
    const std::size_t colon = text.find(':');
    // Two colons or more without brackets: an IPv6 address with no port.
    if (colon == std::string_view::npos || text.find(':', colon + 1) != std::string_view::npos)
        return PlainHost(text) ? std::optional(THostAndPort{std::string(text), 0}) : std::nullopt;
    const std::string_view host = text.substr(0, colon);
    const int port = PortNumber(text.substr(colon + 1));
    if (!PlainHost(host) || port == 0)
        return std::nullopt;
    return THostAndPort{std::string(host), port};
}

THostAndPort ServerPlace(std::string_view text, int defaultPort)
{
    THostAndPort place = ParseHostAndPort(text).value_or(THostAndPort{std::string(text), 0});
    if (place.Port == 0)
        place.Port = defaultPort;
    return place;
}
